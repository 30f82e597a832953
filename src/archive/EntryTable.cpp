#include "archive/EntryTable.h"

#include <algorithm>

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

void EntryTable::SetColumnCount(int columns) {
  columns = std::max(columns, 1);
  if (columns == columns_) return;
  std::vector<std::string> cells(static_cast<size_t>(columns) * rows_);
  int keep = std::min(columns, columns_);
  for (int r = 0; r < rows_; ++r)
    for (int c = 0; c < keep; ++c)
      cells[static_cast<size_t>(r) * columns + c] =
          std::move(cells_[static_cast<size_t>(r) * columns_ + c]);
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

const std::string& EntryTable::Cell(int column, int row) const {
  static const std::string empty;
  if (column < 0 || column >= columns_ || row < 0 || row >= rows_) return empty;
  return cells_[static_cast<size_t>(row) * columns_ + column];
}

void EntryTable::SetCell(int column, int row, std::string text) {
  if (column < 0 || column >= columns_ || row < 0 || row >= rows_) return;
  cells_[static_cast<size_t>(row) * columns_ + column] = std::move(text);
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
  std::vector<std::string> cells(cells_.size());
  for (int c = 0; c < columns_; ++c) cells[static_cast<size_t>(c)] = std::move(cells_[c]);
  for (size_t i = 0; i < order.size(); ++i) {
    auto from = static_cast<size_t>(order[i]) * columns_;
    auto to = (i + 1) * columns_;
    for (int c = 0; c < columns_; ++c) cells[to + c] = std::move(cells_[from + c]);
  }
  cells_ = std::move(cells);
  ++contentRevision_;
}

}  // namespace tessaly
