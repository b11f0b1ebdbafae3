// Plain rules of the sortable list: the column spec and the row comparison.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Reads "heading,width;heading,width;..." and calls insertColumn for each entry
// in order. Returns false as soon as insertColumn refuses a column.
bool ParseColumnSpec(std::string_view spec,
                     const std::function<bool(const std::string& heading, int width)>& insertColumn);

bool IsNumberText(std::string_view text);  // every byte an ASCII digit; empty counts
bool IsDateText(std::string_view text);    // DD/MM/YYYY
int CompareNumberTexts(std::string_view x, std::string_view y);
int CompareDateTexts(std::string_view x, std::string_view y);

using TextCollation = std::function<int(const std::string& x, const std::string& y)>;

// The kind of comparison is chosen from t1 alone; descending swaps the operands.
int CompareCells(const std::string& t1, const std::string& t2, bool ascending, const TextCollation& compareText);

// A figure as the list shows it ("12,345 K", "87"): its digits up to the
// first byte that is neither a digit nor ','; 0 without digits.
uint64_t FigureValue(std::string_view text);
// Cells of a figure column compare by value; descending swaps the operands.
int CompareFigureCells(std::string_view t1, std::string_view t2, bool ascending);
