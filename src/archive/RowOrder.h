// The order in which a header click shows a table's data rows.
#pragma once

#include <string_view>
#include <vector>

#include "archive/EntryTable.h"

namespace tessaly {

// True when `text` is a number: at least one digit, an optional leading "-" and at most one ".".
bool IsNumberText(std::string_view text);

// Compares two cell texts: numerically when both are numbers, otherwise as text by byte codes
// (case-sensitive; two empty cells are equal). Negative, zero or positive like strcmp.
int CompareCells(std::string_view a, std::string_view b);

// The data rows (1 to RowCount() - 1) in order of `column`; equal cells are decided by the
// columns to its right, up to the last. Descending reverses the whole comparison. Rows that
// compare equal keep their order. The result suits EntryTable::PermuteDataRows.
std::vector<int> SortedDataRows(const EntryTable& table, int column, bool descending);

}  // namespace tessaly
