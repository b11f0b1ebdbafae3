// printf-style formatting of code page 936 texts into a std::string, without
// fixed buffers. Plain: no windows.h, so every room can use it.
#pragma once

#include <string>

std::string FormatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// A lead byte of a double-byte character of code page 936: a cut must not
// fall right after it.
inline bool IsCodePage936LeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }
