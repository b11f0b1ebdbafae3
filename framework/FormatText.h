// printf-style formatting of code page 936 texts into a std::string, without
// fixed buffers. Plain: no windows.h, so every room can use it.
#pragma once

#include <string>

std::string FormatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
