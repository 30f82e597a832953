// The cell count a table file's shape line asks for, read as loading reads it. Fuzz targets skip
// inputs that ask for large tables: they only cost allocation time, and loading refuses shapes
// beyond its limit before allocating.
#pragma once

#include <cstdint>
#include <string_view>

namespace tessaly::fuzzing {

inline uint64_t ShapeCells(std::string_view text) {
  std::string_view line = text.substr(0, text.find('\n'));
  auto count = [](std::string_view field) {
    size_t i = field.find_first_not_of(' ');
    if (i != std::string_view::npos && (field[i] == '+' || field[i] == '-')) ++i;
    uint64_t value = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9' && value < (1u << 31); ++i)
      value = value * 10 + static_cast<uint64_t>(field[i] - '0');
    return value < 1 ? uint64_t{1} : value;
  };
  size_t comma = line.find(',');
  if (comma == std::string_view::npos) return count(line);
  return count(line.substr(0, comma)) * count(line.substr(comma + 1));
}

}  // namespace tessaly::fuzzing
