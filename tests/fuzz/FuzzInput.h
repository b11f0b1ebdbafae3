// Shared by the fuzz targets: the input as text, and its split into pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

inline std::string_view InputText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The pieces between NUL bytes (one piece when there is none).
inline std::vector<std::string> SplitAtNul(std::string_view text) {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (size_t nul; (nul = text.find('\0', start)) != std::string_view::npos; start = nul + 1) {
        pieces.emplace_back(text.substr(start, nul - start));
    }
    pieces.emplace_back(text.substr(start));
    return pieces;
}

// A property that does not hold is a finding: abort so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
