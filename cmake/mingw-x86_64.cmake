# The 64-bit Windows program. Wine's 64-bit loader is called by its path: the
# wrapper in /usr/bin picks the 32-bit loader whenever it is installed.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TVX_MINGW_TARGET x86_64-w64-mingw32)
set(TVX_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
