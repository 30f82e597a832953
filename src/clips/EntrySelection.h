// A list of entries as a user writes it: row numbers, ranges and names separated by commas,
// such as "3,10-20,speech_00042.asf".
#pragma once

#include <string_view>
#include <vector>

#include "archive/EntryTable.h"

namespace tessaly {

// The rows the list names, in table order, each once. Throws std::invalid_argument naming the
// first item that is malformed, out of range or names no entry.
std::vector<int> SelectEntries(const EntryTable& table, std::string_view list);

}  // namespace tessaly
