#include "archive/EntryTable.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tessaly {

const std::vector<std::string>& EntryColumnTitles() {
  static const std::vector<std::string> titles = {
      "#",         "Name",           "ID",           "Block #",
      "ASF count", "Digit Ind\xE5x", "Real Address", "Address",
      "Offset",    "Pos in Block",   "Offset Pos",   "Block Pos",
      "Unknwn1",   "Unknwn2",        "Unknwn3",      "Unknwn4",
      "Size"};
  return titles;
}

EntryTable::EntryTable() {
  Reset();
  widths_ = {60, kDefaultColumnWidth};
}

EntryTable::EntryTable(const EntryTable& other)
    : columns_(other.columns_),
      rows_(other.rows_),
      cells_(other.cells_.size()),
      widths_(other.widths_),
      shapeRevision_(other.shapeRevision_),
      contentRevision_(other.contentRevision_) {
  for (size_t i = 0; i < cells_.size(); ++i)
    cells_[i] = store_.Store(other.store_.View(other.cells_[i]));
}

EntryTable::EntryTable(EntryTable&& other) noexcept {
  *this = std::move(other);
}

EntryTable& EntryTable::operator=(EntryTable&& other) noexcept {
  if (this == &other) return *this;
  columns_ = std::exchange(other.columns_, 0);
  rows_ = std::exchange(other.rows_, 0);
  cells_ = std::exchange(other.cells_, {});
  store_ = std::move(other.store_);
  widths_ = std::exchange(other.widths_, {});
  shapeRevision_ = other.shapeRevision_++;
  contentRevision_ = other.contentRevision_++;
  return *this;
}

EntryTable& EntryTable::operator=(const EntryTable& other) {
  if (this != &other) *this = EntryTable(other);
  return *this;
}

void EntryTable::SetColumnCount(int columns) {
  columns = std::max(columns, 1);
  if (columns == columns_) return;
  std::vector<TextStore::Text> cells(static_cast<size_t>(columns) * rows_);
  int keep = std::min(columns, columns_);
  for (int r = 0; r < rows_; ++r)
    for (int c = 0; c < keep; ++c)
      cells[static_cast<size_t>(r) * columns + c] = cells_[static_cast<size_t>(r) * columns_ + c];
  cells_ = std::move(cells);
  columns_ = columns;
  widths_.resize(static_cast<size_t>(columns), kDefaultColumnWidth);
  ++shapeRevision_;
}

void EntryTable::SetRowCount(int rows) {
  rows = std::max(rows, 1);
  if (rows == rows_) return;
  cells_.resize(static_cast<size_t>(rows) * columns_);
  rows_ = rows;
  ++shapeRevision_;
}

void EntryTable::ReserveRows(int rows) {
  if (rows > 0) cells_.reserve(static_cast<size_t>(rows) * columns_);
}

void EntryTable::SetRow(int row, const RowTexts& texts) {
  if (!Inside(0, row)) return;
  // The cells share the row's bytes, stored once; a row too long for that stores cell by cell.
  bool shared = texts.bytes_.size() < TextStore::kLargeText;
  TextStore::Text whole = shared ? store_.Store(texts.bytes_) : 0;
  size_t start = 0;
  for (int c = 0; c < texts.count_ && c < columns_; ++c) {
    size_t end = texts.ends_[static_cast<size_t>(c)];
    std::string_view text(texts.bytes_.data() + start, end - start);
    cells_[Index(c, row)] =
        shared ? TextStore::Part(whole, start, text.size()) : store_.Store(text);
    start = end;
  }
  ++contentRevision_;
}

int EntryTable::ColumnWidth(int column) const {
  if (column < 0 || column >= columns_) return 0;
  return widths_[static_cast<size_t>(column)];
}

void EntryTable::SetColumnWidth(int column, int width) {
  if (column < 0 || column >= columns_) return;
  widths_[static_cast<size_t>(column)] = width;
  ++contentRevision_;
}

void EntryTable::Reset() {
  cells_.clear();
  store_.Clear();
  columns_ = 0;
  rows_ = 0;
  SetColumnCount(2);
  SetRowCount(2);
  ++contentRevision_;
}

void EntryTable::LayOutColumns() {
  SetColumnCount(kEntryColumnCount);
  SetColumnWidth(kColNumber, 55);
  SetColumnWidth(kColName, 200);
  SetColumnWidth(kColId, 55);
  for (int c = kColDigitIndex; c <= kColUnknwn4; ++c) SetColumnWidth(c, 0);
  const auto& titles = EntryColumnTitles();
  for (int c = 0; c < kEntryColumnCount; ++c) SetCell(c, 0, titles[static_cast<size_t>(c)]);
}

void EntryTable::PermuteDataRows(const std::vector<int>& order) {
  std::vector<TextStore::Text> cells(cells_.size());
  for (int c = 0; c < columns_; ++c) cells[static_cast<size_t>(c)] = cells_[c];
  for (size_t i = 0; i < order.size(); ++i) {
    auto from = static_cast<size_t>(order[i]) * columns_;
    auto to = (i + 1) * columns_;
    for (int c = 0; c < columns_; ++c) cells[to + c] = cells_[from + c];
  }
  cells_ = std::move(cells);
  ++contentRevision_;
}

}  // namespace tessaly
