#include "controls/ListRules.h"

#include <algorithm>

#include "process/ProcessRules.h"

bool ParseColumnSpec(std::string_view spec,
                     const std::function<bool(const std::string& heading, int width)>& insertColumn) {
    size_t position = 0;
    while (position <= spec.size()) {
        const size_t comma = spec.find(',', position);
        if (comma == std::string_view::npos) return true;
        const std::string heading(spec.substr(position, comma - position));
        const size_t semicolon = spec.find(';', comma + 1);
        const size_t widthEnd = semicolon == std::string_view::npos ? spec.size() : semicolon;
        const int width = static_cast<int>(AtoiPrefix(spec.substr(comma + 1, widthEnd - comma - 1)));
        if (!insertColumn(heading, width)) return false;
        if (semicolon == std::string_view::npos) return true;
        position = semicolon + 1;
    }
    return true;
}

namespace {

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

int Sign(long long u, long long v) { return u < v ? -1 : (u > v ? 1 : 0); }

// Up to length bytes from position; a part with no bytes counts as 0.
long long DatePart(std::string_view text, size_t position, size_t length) {
    if (position >= text.size()) return 0;
    return AtoiPrefix(text.substr(position, length));
}

}  // namespace

bool IsNumberText(std::string_view text) { return std::all_of(text.begin(), text.end(), IsAsciiDigit); }

bool IsDateText(std::string_view text) {
    if (text.size() != 10 || text[2] != '/' || text[5] != '/') return false;
    for (size_t i : {0, 1, 3, 4, 6, 7, 8, 9}) {
        if (!IsAsciiDigit(text[i])) return false;
    }
    return true;
}

int CompareNumberTexts(std::string_view x, std::string_view y) { return Sign(AtoiPrefix(x), AtoiPrefix(y)); }

int CompareDateTexts(std::string_view x, std::string_view y) {
    struct Part {
        size_t position, length;
    };
    for (Part part : {Part{6, 4}, Part{3, 2}, Part{0, 2}}) {
        const int order = Sign(DatePart(x, part.position, part.length), DatePart(y, part.position, part.length));
        if (order != 0) return order;
    }
    return 0;
}

int CompareCells(const std::string& t1, const std::string& t2, bool ascending, const TextCollation& compareText) {
    const std::string& x = ascending ? t1 : t2;
    const std::string& y = ascending ? t2 : t1;
    if (IsNumberText(t1)) return CompareNumberTexts(x, y);
    if (IsDateText(t1)) return CompareDateTexts(x, y);
    return compareText(x, y);
}

uint64_t FigureValue(std::string_view text) {
    uint64_t value = 0;
    for (char c : text) {
        if (c == ',') continue;
        if (!IsAsciiDigit(c)) break;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value;
}

int CompareFigureCells(std::string_view t1, std::string_view t2, bool ascending) {
    const uint64_t x = FigureValue(ascending ? t1 : t2);
    const uint64_t y = FigureValue(ascending ? t2 : t1);
    return x < y ? -1 : (x > y ? 1 : 0);
}
