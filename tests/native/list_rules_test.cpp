#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "controls/ListRules.h"

namespace {

using Columns = std::vector<std::pair<std::string, int>>;

Columns Parse(const std::string& spec, bool* complete = nullptr, int refuseAt = -1) {
    Columns columns;
    const bool result = ParseColumnSpec(spec, [&](const std::string& heading, int width) {
        if (static_cast<int>(columns.size()) == refuseAt) return false;
        columns.emplace_back(heading, width);
        return true;
    });
    if (complete) *complete = result;
    return columns;
}

int Strcmp(const std::string& x, const std::string& y) { return std::strcmp(x.c_str(), y.c_str()); }

}  // namespace

TEST(ColumnSpec, MainWindowSpec) {
    bool complete = false;
    EXPECT_EQ((Columns{{"进程名", 280}, {"说明", 120}, {"ProcID", 80}}),
              Parse("进程名,280;说明,120;ProcID,80", &complete));
    EXPECT_TRUE(complete);
}

TEST(ColumnSpec, SeparatorEdgeCases) {
    bool complete = false;
    EXPECT_TRUE(Parse("", &complete).empty());
    EXPECT_TRUE(complete);
    EXPECT_TRUE(Parse("no comma at all;still none", &complete).empty());
    EXPECT_TRUE(complete);
    // Empty width: a column of width 0, whether a semicolon or the end follows.
    EXPECT_EQ((Columns{{"a", 0}, {"b", 0}}), Parse("a,;b,"));
    // A trailing piece without comma, or a trailing semicolon, adds nothing.
    EXPECT_EQ((Columns{{"a", 5}}), Parse("a,5;tail"));
    EXPECT_EQ((Columns{{"a", 5}}), Parse("a,5;"));
    // Semicolons before the first comma belong to the heading.
    EXPECT_EQ((Columns{{"one;two", 7}}), Parse("one;two,7"));
    // Text after the width is ignored, and an empty heading is allowed.
    EXPECT_EQ((Columns{{"a", 12}, {"", 3}}), Parse("a,12,99;,3"));
    EXPECT_EQ((Columns{{"x", 0}}), Parse("x,abc"));
}

TEST(ColumnSpec, RefusedColumnStopsWithFalse) {
    bool complete = true;
    EXPECT_EQ((Columns{{"a", 1}}), Parse("a,1;b,2;c,3", &complete, 1));
    EXPECT_FALSE(complete);
}

TEST(CompareCells, NumbersSortNumerically) {
    EXPECT_LT(CompareCells("9", "10", true, Strcmp), 0);
    EXPECT_GT(CompareCells("9", "10", false, Strcmp), 0);
    EXPECT_EQ(0, CompareCells("42", "42", true, Strcmp));
    EXPECT_EQ(0, CompareCells("42", "42", false, Strcmp));
}

TEST(CompareCells, KindChosenFromFirstOperandOnly) {
    // An empty first cell is the number 0; the second is read with atoi.
    EXPECT_LT(CompareCells("", "5", true, Strcmp), 0);
    EXPECT_EQ(0, CompareCells("", "abc", true, Strcmp));
    // A non-numeric first cell compares as text.
    EXPECT_GT(CompareCells("abc", "", true, Strcmp), 0);
    // "9x" is read as 9 here, although text order would put "10" first.
    EXPECT_GT(CompareCells("10", "9x", true, Strcmp), 0);
    EXPECT_GT(CompareCells("b.exe", "a.exe", true, Strcmp), 0);
    EXPECT_LT(CompareCells("b.exe", "a.exe", false, Strcmp), 0);
    // Descending swaps the operands, yet the kind still comes from the first.
    EXPECT_LT(CompareCells("10", "9x", false, Strcmp), 0);
    EXPECT_LT(CompareCells("abc", "", false, Strcmp), 0);
}

TEST(CompareCells, DatesByYearMonthDay) {
    EXPECT_LT(CompareCells("05/11/2007", "04/12/2007", true, Strcmp), 0);  // month decides
    EXPECT_GT(CompareCells("05/11/2008", "30/12/2007", true, Strcmp), 0);  // year decides
    EXPECT_LT(CompareCells("04/11/2007", "05/11/2007", true, Strcmp), 0);  // day decides
    EXPECT_EQ(0, CompareCells("05/11/2007", "05/11/2007", false, Strcmp));
    // A short second operand contributes only the bytes it has.
    EXPECT_GT(CompareCells("05/11/2007", "05/11", true, Strcmp), 0);
    EXPECT_FALSE(IsDateText("5/11/2007"));
    EXPECT_FALSE(IsDateText("05-11-2007"));
}

TEST(CompareCells, FiguresByValueIgnoringSeparatorsAndUnit) {
    EXPECT_EQ(12345u, FigureValue("12,345 K"));
    EXPECT_LT(CompareFigureCells("9,999 K", "10,000 K", true), 0) << "text order would put 10,000 first";
    EXPECT_GT(CompareFigureCells("9,999 K", "10,000 K", false), 0);
    EXPECT_EQ(0, CompareFigureCells("1,024 K", "1,024 K", true));
    EXPECT_EQ(0, CompareFigureCells("7", "7", false));
}
