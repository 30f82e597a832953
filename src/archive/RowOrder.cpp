#include "archive/RowOrder.h"

#include <algorithm>
#include <numeric>

namespace tessaly {
namespace {

struct Decimal {
  bool negative = false;
  std::string_view integer;   // without leading zeros
  std::string_view fraction;  // without trailing zeros
  bool IsZero() const { return integer.empty() && fraction.empty(); }
};

Decimal Split(std::string_view text) {
  Decimal d;
  if (!text.empty() && text.front() == '-') {
    d.negative = true;
    text.remove_prefix(1);
  }
  auto dot = text.find('.');
  d.integer = text.substr(0, dot);
  d.fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  while (!d.integer.empty() && d.integer.front() == '0') d.integer.remove_prefix(1);
  while (!d.fraction.empty() && d.fraction.back() == '0') d.fraction.remove_suffix(1);
  return d;
}

int Sign(int value) {
  return (value > 0) - (value < 0);
}

// Compares magnitudes exactly, digit by digit, so long numbers lose nothing.
int CompareMagnitude(const Decimal& a, const Decimal& b) {
  if (a.integer.size() != b.integer.size()) return a.integer.size() < b.integer.size() ? -1 : 1;
  if (int c = a.integer.compare(b.integer)) return Sign(c);
  return Sign(a.fraction.compare(b.fraction));
}

int CompareNumbers(std::string_view a, std::string_view b) {
  Decimal x = Split(a), y = Split(b);
  bool xNegative = x.negative && !x.IsZero();
  bool yNegative = y.negative && !y.IsZero();
  if (xNegative != yNegative) return xNegative ? -1 : 1;
  int magnitude = CompareMagnitude(x, y);
  return xNegative ? -magnitude : magnitude;
}

}  // namespace

bool IsNumberText(std::string_view text) {
  if (!text.empty() && text.front() == '-') text.remove_prefix(1);
  bool digit = false, dot = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c == '.' && !dot) {
      dot = true;
    } else {
      return false;
    }
  }
  return digit;
}

int CompareCells(std::string_view a, std::string_view b) {
  if (IsNumberText(a) && IsNumberText(b)) return CompareNumbers(a, b);
  return Sign(a.compare(b));  // char_traits<char> compares bytes as unsigned
}

std::vector<int> SortedDataRows(const EntryTable& table, int column, bool descending) {
  std::vector<int> order(static_cast<size_t>(std::max(table.RowCount() - 1, 0)));
  std::iota(order.begin(), order.end(), 1);
  if (column < 0 || column >= table.ColumnCount()) return order;
  int columns = table.ColumnCount();
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    for (int c = column; c < columns; ++c) {
      int result = CompareCells(table.Cell(c, a), table.Cell(c, b));
      if (result != 0) return descending ? result > 0 : result < 0;
    }
    return false;
  });
  return order;
}

}  // namespace tessaly
