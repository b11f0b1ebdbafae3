# Cross build for 32-bit Windows with MinGW-w64 (posix thread model, needed by GoogleTest).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Wine's 32-bit loader, called by its path: the wrapper in /usr/bin would not
# say so when the machine cannot run it. The prefix comes from WINEPREFIX.
set(TVX_WINE_LOADER /usr/lib/wine/wine)
# Tests run under Wine with code page 936, whether or not that Linux locale exists.
set(CMAKE_CROSSCOMPILING_EMULATOR env LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 ${TVX_WINE_LOADER})
