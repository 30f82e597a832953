// The table file's lines, read from text in memory: how lines end, the shape line, width lines
// ("cw <column>,<width>"), cell lines ("<column>,<row>,<escaped text>") and their lenient numbers.
// Loading applies what these give to a table; they touch no file and no table themselves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

// Cuts the first line from `text`: the bytes before its first LF, without the LF or a CR just
// before it. nullopt, and `text` untouched, when `text` holds no LF (its last line, if any, has
// no line end).
inline std::optional<std::string_view> CutLine(std::string_view& text) {
  size_t lf = text.find('\n');
  if (lf == std::string_view::npos) return std::nullopt;
  std::string_view line = text.substr(0, lf);
  text.remove_prefix(lf + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// A number field read leniently: leading spaces, an optional sign, then digits. A field that is
// exactly that gives the signed value; anything else gives the digits it begins with, sign
// dropped, or 0. Values beyond 32 bits saturate.
int32_t LenientNumber(std::string_view field);

struct TableShape {
  int32_t columns;  // at least 1
  int32_t rows;     // at least 1
};
// The first line: the columns before its first comma, the rows after it (a line without a comma
// is all rows). nullopt for an empty line, which leaves a table's shape as it was.
std::optional<TableShape> ParseShapeLine(std::string_view line);

// Any line after the first.
struct TableLine {
  bool isWidth;  // a width line: `column` and `width`; else a cell line: `column`, `row`, `text`
  int32_t column;
  int32_t row;
  int32_t width;
  std::string_view text;  // escaped, as the line holds it
};

// Lines other than the common cell line "<digits>,<digits>,<text>".
TableLine ParseUncommonLine(std::string_view line);

// The common cell line split in one pass, the rest handed on; inline, as it runs once per line
// of a table file.
inline TableLine ParseTableLine(std::string_view line) {
  TableLine parsed{};
  size_t i = 0;
  int32_t* numbers[2] = {&parsed.column, &parsed.row};
  for (int32_t* number : numbers) {
    size_t start = i;
    for (; i < line.size() && i - start < 9 && line[i] >= '0' && line[i] <= '9'; ++i)
      *number = *number * 10 + (line[i] - '0');
    if (i == start || i == line.size() || line[i] != ',') return ParseUncommonLine(line);
    ++i;
  }
  parsed.text = line.substr(i);
  return parsed;
}

// A cell holds one line: when `text` holds a BS, TAB and BS become CR and LF again and the text
// ends before its first CR. A text without BS comes back unchanged.
std::string UnescapeCellText(std::string_view text);

// Whether `text` holds `c`; most cells are a few bytes, for which a loop beats a library call.
inline bool Holds(std::string_view text, char c) {
  if (text.size() > 32) return text.find(c) != std::string_view::npos;
  for (char t : text)
    if (t == c) return true;
  return false;
}

}  // namespace tessaly
