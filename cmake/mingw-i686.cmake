# The 32-bit Windows program. Wine's 32-bit loader is called by its path: the
# wrapper in /usr/bin would not say so when the machine cannot run it.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TVX_MINGW_TARGET i686-w64-mingw32)
set(TVX_WINE_LOADER /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
