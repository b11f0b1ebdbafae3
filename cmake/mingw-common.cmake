# Cross build for Windows with MinGW-w64 (posix thread model, needed by
# GoogleTest), for the target TVX_MINGW_TARGET (e.g. i686-w64-mingw32).
# Tests run under TVX_WINE_LOADER, Wine's loader for that architecture, called
# by its path; the prefix comes from WINEPREFIX.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TVX_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TVX_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${TVX_MINGW_TARGET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TVX_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Code page 936 under Wine, whether or not that Linux locale exists.
set(CMAKE_CROSSCOMPILING_EMULATOR env LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 ${TVX_WINE_LOADER})
