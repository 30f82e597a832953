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

EntryTable::EntryTable(const EntryTable& other)
    : columns_(other.columns_),
      rows_(other.rows_),
      cells_(other.cells_.size()),
      widths_(other.widths_),
      shapeRevision_(other.shapeRevision_),
      contentRevision_(other.contentRevision_) {
  for (size_t i = 0; i < cells_.size(); ++i)
    cells_[i] = Store({other.cells_[i].bytes, other.cells_[i].size});
}

EntryTable& EntryTable::operator=(const EntryTable& other) {
  if (this != &other) *this = EntryTable(other);
  return *this;
}

void EntryTable::SetColumnCount(int columns) {
  columns = std::max(columns, 1);
  if (columns == columns_) return;
  std::vector<Text> cells(static_cast<size_t>(columns) * rows_);
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

std::string_view EntryTable::Cell(int column, int row) const {
  if (column < 0 || column >= columns_ || row < 0 || row >= rows_) return {};
  const Text& text = cells_[static_cast<size_t>(row) * columns_ + column];
  return {text.bytes, text.size};
}

void EntryTable::SetCell(int column, int row, std::string_view text) {
  if (column < 0 || column >= columns_ || row < 0 || row >= rows_) return;
  cells_[static_cast<size_t>(row) * columns_ + column] = Store(text);
  ++contentRevision_;
}

EntryTable::Text EntryTable::Store(std::string_view text) {
  constexpr size_t kChunkSize = 1 << 20;
  if (text.empty()) return {};
  char* bytes;
  if (text.size() > kChunkSize / 4) {
    // A large cell gets a block of its own; the current chunk stays for small cells.
    bytes = largeCells_.emplace_back(std::make_unique<char[]>(text.size())).get();
  } else {
    if (chunks_.empty() || kChunkSize - chunkUsed_ < text.size()) {
      chunks_.push_back(std::make_unique<char[]>(kChunkSize));
      chunkUsed_ = 0;
    }
    bytes = chunks_.back().get() + chunkUsed_;
    chunkUsed_ += text.size();
  }
  std::copy(text.begin(), text.end(), bytes);
  return {bytes, text.size()};
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
  chunks_.clear();
  largeCells_.clear();
  chunkUsed_ = 0;
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
  std::vector<Text> cells(cells_.size());
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
