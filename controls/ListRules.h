// Plain rules of the sortable list: the column spec and the row comparison.
#pragma once

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
