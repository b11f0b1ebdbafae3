# Cross build for 64-bit Windows with MinGW-w64 (posix thread model, needed by GoogleTest).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Wine's 64-bit loader, called by its path: the wrapper in /usr/bin picks the
# 32-bit loader whenever it is installed. The prefix comes from WINEPREFIX.
set(TVX_WINE_LOADER /usr/lib/wine/wine64)
# Tests run under Wine with code page 936, whether or not that Linux locale exists.
set(CMAKE_CROSSCOMPILING_EMULATOR env LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 ${TVX_WINE_LOADER})
