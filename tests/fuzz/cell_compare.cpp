// The cell comparison of the sortable list, with byte order as the text
// collation: within one kind of cell (all numbers, all dates or all other
// texts) it is the order the cells mean, antisymmetric and transitive, and
// descending is ascending with the operands swapped. The kind is chosen from
// the first cell alone, so cells of mixed kinds are not checked.
// Input: three cells separated by NUL bytes.
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "controls/ListRules.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

int ByteOrder(const std::string& x, const std::string& y) {
    const int order = x.compare(y);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

int Compare(const std::string& x, const std::string& y, bool ascending = true) {
    const int order = CompareCells(x, y, ascending, ByteOrder);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

enum Kind { kNumber, kDate, kText };
Kind KindOf(const std::string& cell) { return IsNumberText(cell) ? kNumber : (IsDateText(cell) ? kDate : kText); }

// Numbers by value (read as 32-bit at most), dates by year, month and day.
int Meant(const std::string& x, const std::string& y) {
    auto value = [](const std::string& c) {
        return std::min<long long>(std::strtoll(c.c_str(), nullptr, 10), INT32_MAX);
    };
    auto yearMonthDay = [](const std::string& c) { return c.substr(6, 4) + c.substr(3, 2) + c.substr(0, 2); };
    switch (KindOf(x)) {
    case kNumber: return value(x) < value(y) ? -1 : (value(x) > value(y) ? 1 : 0);
    case kDate: return ByteOrder(yearMonthDay(x), yearMonthDay(y));
    case kText: break;
    }
    return ByteOrder(x, y);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> cells = SplitAtNul(InputText(data, size));
    if (cells.size() != 3) return 0;

    for (const std::string& x : cells) {
        FUZZ_CHECK(Compare(x, x) == 0);
        for (const std::string& y : cells) {
            if (KindOf(x) != KindOf(y)) continue;
            FUZZ_CHECK(Compare(x, y) == Meant(x, y));
            FUZZ_CHECK(Compare(x, y) == -Compare(y, x));
            FUZZ_CHECK(Compare(x, y, false) == Compare(y, x));
        }
    }
    if (KindOf(cells[0]) != KindOf(cells[1]) || KindOf(cells[1]) != KindOf(cells[2])) return 0;
    std::sort(cells.begin(), cells.end());
    do {
        if (Compare(cells[0], cells[1]) <= 0 && Compare(cells[1], cells[2]) <= 0) {
            FUZZ_CHECK(Compare(cells[0], cells[2]) <= 0);
        }
    } while (std::next_permutation(cells.begin(), cells.end()));
    return 0;
}
