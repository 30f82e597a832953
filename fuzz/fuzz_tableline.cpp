// Parses arbitrary text as table file lines, in memory, with no file and no table. Invariants:
// the lines cut give back the whole text; the quick paths for plain lines agree with the general
// rules, read here from the format's own wording; a parsed cell line written back in the
// program's form parses to the same cell; an unescaped text is a single line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "packing/TableLines.h"

namespace {

using namespace tessaly;
using fuzzing::Require;

// A number field by the format's words: after leading spaces an optional sign and digits; a
// field that is exactly that is the signed value, else the digits it begins with or 0.
int64_t NumberByTheRules(std::string_view field) {
  size_t i = field.find_first_not_of(' ');
  if (i == std::string_view::npos) return 0;
  bool negative = field[i] == '-';
  if (field[i] == '+' || field[i] == '-') ++i;
  size_t digits = i;
  int64_t value = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i)
    value = std::min<int64_t>(value * 10 + (field[i] - '0'), int64_t{1} << 40);
  if (i == field.size() && i > digits && negative) value = -value;
  return std::clamp<int64_t>(value, INT32_MIN, INT32_MAX);
}

// The text before the first comma, the comma dropped; empty, and `rest` whole, without one.
std::string_view FieldByTheRules(std::string_view& rest) {
  size_t comma = rest.find(',');
  if (comma == std::string_view::npos) return {};
  std::string_view field = rest.substr(0, comma);
  rest.remove_prefix(comma + 1);
  return field;
}

void CheckLine(std::string_view line) {
  TableLine parsed = ParseTableLine(line);
  bool width = line.size() >= 2 && line.substr(0, 2) == "cw";
  Require(parsed.isWidth == width, "width lines are those that begin with cw");
  if (width) {
    std::string_view rest = line.substr(std::min<size_t>(3, line.size()));
    size_t comma = rest.find(',');
    Require(parsed.column == NumberByTheRules(rest.substr(0, comma)), "a width line's column");
    Require(parsed.width ==
                (comma == std::string_view::npos ? 0 : NumberByTheRules(rest.substr(comma + 1))),
            "a width line's width");
    return;
  }
  std::string_view rest = line;
  int64_t column = NumberByTheRules(FieldByTheRules(rest));
  int64_t row = NumberByTheRules(FieldByTheRules(rest));
  Require(parsed.column == column && parsed.row == row && parsed.text == rest,
          "a cell line splits at its first two commas");
  Require(parsed.text.data() + parsed.text.size() == line.data() + line.size(),
          "a cell's text is the end of its line");

  if (column >= 0 && row >= 0) {
    std::string written = std::to_string(column) + "," + std::to_string(row) + ",";
    written.append(parsed.text);
    TableLine again = ParseTableLine(written);
    Require(
        !again.isWidth && again.column == column && again.row == row && again.text == parsed.text,
        "a cell line written back parses to the same cell");
  }

  std::string text = UnescapeCellText(parsed.text);
  if (parsed.text.find('\b') == std::string_view::npos) {
    Require(text == parsed.text, "a text without BS is not changed");
  } else {
    Require(text.find_first_of("\r\t\b") == std::string::npos,
            "an unescaped text is one line with no escapes left");
    Require(text.size() <= parsed.text.size(), "unescaping never adds bytes");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string_view rest = text;
  size_t consumed = 0;
  bool first = true;
  while (!rest.empty()) {
    std::optional<std::string_view> cut = CutLine(rest);
    std::string_view line = cut ? *cut : rest;
    Require(line.find('\n') == std::string_view::npos, "a line holds no LF");
    Require(line.data() == text.data() + consumed, "lines follow one another");
    size_t end = cut ? static_cast<size_t>(rest.data() - text.data()) : size;
    size_t ending = end - consumed - line.size();
    Require(cut ? (ending == 1 || (ending == 2 && text[end - 2] == '\r')) && text[end - 1] == '\n'
                : ending == 0,
            "a line ends at LF or CR LF, or at the end of the text");
    consumed = end;
    if (!cut) rest = {};
    if (first) {
      std::optional<TableShape> shape = ParseShapeLine(line);
      Require(shape.has_value() == !line.empty(), "only an empty first line keeps the shape");
      if (shape) {
        std::string_view counts = line;
        int64_t columns = NumberByTheRules(FieldByTheRules(counts));
        int64_t rows = NumberByTheRules(counts);
        Require(shape->columns == std::max<int64_t>(columns, 1) &&
                    shape->rows == std::max<int64_t>(rows, 1),
                "the shape line gives columns, rows, each at least 1");
      }
      first = false;
    } else {
      CheckLine(line);
    }
  }
  Require(consumed == size, "the lines cover the whole text");
  return 0;
}
