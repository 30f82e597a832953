#include "packing/TableLines.h"

#include <algorithm>
#include <limits>

namespace tessaly {

namespace {

// Splits off the text before the first comma, with the comma. Without a comma the field is
// empty and `rest` stays whole.
std::string_view CutField(std::string_view& rest) {
  size_t comma = rest.find(',');
  if (comma == std::string_view::npos) return {};
  std::string_view field = rest.substr(0, comma);
  rest.remove_prefix(comma + 1);
  return field;
}

}  // namespace

int32_t LenientNumber(std::string_view field) {
  if (!field.empty() && field.size() <= 9) {  // the common case: a few plain digits
    int32_t value = 0;
    size_t i = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i)
      value = value * 10 + (field[i] - '0');
    if (i == field.size()) return value;
  }
  size_t i = 0;
  while (i < field.size() && field[i] == ' ') ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  int64_t value = 0;
  size_t digits = i;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i)
    value = std::min<int64_t>(value * 10 + (field[i] - '0'), int64_t{1} << 32);
  bool whole = i == field.size() && i > digits;
  if (whole && negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

std::optional<TableShape> ParseShapeLine(std::string_view line) {
  if (line.empty()) return std::nullopt;
  std::string_view columns = CutField(line);
  return TableShape{std::max<int32_t>(LenientNumber(columns), 1),
                    std::max<int32_t>(LenientNumber(line), 1)};
}

TableLine ParseUncommonLine(std::string_view line) {
  TableLine parsed{};
  if (line.size() >= 2 && line[0] == 'c' && line[1] == 'w') {
    // The column number runs from the fourth character to the first comma.
    std::string_view rest = line.substr(std::min<size_t>(3, line.size()));
    size_t comma = rest.find(',');
    parsed.isWidth = true;
    parsed.column = LenientNumber(rest.substr(0, comma));
    parsed.width = comma == std::string_view::npos ? 0 : LenientNumber(rest.substr(comma + 1));
    return parsed;
  }
  parsed.column = LenientNumber(CutField(line));
  parsed.row = LenientNumber(CutField(line));
  parsed.text = line;
  return parsed;
}

std::string UnescapeCellText(std::string_view text) {
  if (!Holds(text, '\b')) return std::string(text);
  std::string result(text.substr(0, text.find_first_of("\t\r")));
  std::replace(result.begin(), result.end(), '\b', '\n');
  return result;
}

}  // namespace tessaly
