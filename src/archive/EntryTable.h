// The table of entries: a header row and one row per entry, 17 columns of byte-string cells
// (never re-encoded), plus the column widths that the listing lays out or a table file loads.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/TextStore.h"
#include "base/Numbers.h"

namespace tessaly {

enum Column : int {
  kColNumber = 0,
  kColName = 1,
  kColId = 2,
  kColBlock = 3,
  kColAsfCount = 4,
  kColDigitIndex = 5,
  kColRealAddress = 6,
  kColAddress = 7,
  kColOffset = 8,
  kColPosInBlock = 9,
  kColOffsetPos = 10,
  kColBlockPos = 11,
  kColUnknwn1 = 12,
  kColUnknwn2 = 13,
  kColUnknwn3 = 14,
  kColUnknwn4 = 15,
  kColSize = 16,
  kEntryColumnCount = 17,
};

// The texts of a row's first cells, gathered in one reusable buffer so that the table stores a
// whole row with one copy.
class RowTexts {
 public:
  void Clear() {
    bytes_.clear();
    count_ = 0;
  }
  // Appends to the cell being built; EndCell closes it. Cells beyond the 17th are dropped.
  void Append(std::string_view text) { bytes_.append(text); }
  // Decimal digits, padded with leading zeros to `minDigits`.
  void AppendNumber(uint64_t value, int minDigits = 1) {
    DecimalDigits number(value);
    std::string_view digits = number.View();
    if (digits.size() < static_cast<size_t>(minDigits))
      bytes_.append(static_cast<size_t>(minDigits) - digits.size(), '0');
    bytes_.append(digits);
  }
  void EndCell() {
    if (count_ < kEntryColumnCount) ends_[static_cast<size_t>(count_++)] = bytes_.size();
  }
  void Add(std::string_view text) {
    Append(text);
    EndCell();
  }
  void AddNumber(uint64_t value) {
    AppendNumber(value);
    EndCell();
  }

 private:
  friend class EntryTable;
  std::string bytes_;
  std::array<size_t, kEntryColumnCount> ends_{};
  int count_ = 0;
};

class EntryTable {
 public:
  static constexpr int kDefaultColumnWidth = 100;

  // The grid's initial shape: 2 x 2 empty, column 0 60 pixels wide, column 1 100.
  EntryTable();
  // A copy stores its own cell texts.
  EntryTable(const EntryTable& other);
  EntryTable& operator=(const EntryTable& other);
  // A moved-from table has no cells and ignores writes until it is reset.
  EntryTable(EntryTable&& other) noexcept;
  EntryTable& operator=(EntryTable&& other) noexcept;

  int ColumnCount() const { return columns_; }
  int RowCount() const { return rows_; }
  // Both keep the cells that stay inside the new shape; new cells are empty, new columns get the
  // default width. Counts below 1 are taken as 1.
  void SetColumnCount(int columns);
  void SetRowCount(int rows);
  // Makes room for `rows` rows of the current column count, so a table that grows row by row up
  // to that size never moves its cells.
  void ReserveRows(int rows);

  // Cells outside the shape read as empty; writes outside it are ignored. A cell's view stays
  // valid until that cell is written again or the table is reset.
  std::string_view Cell(int column, int row) const {
    return Inside(column, row) ? store_.View(cells_[Index(column, row)]) : std::string_view();
  }
  void SetCell(int column, int row, std::string_view text) {
    if (!Inside(column, row)) return;
    cells_[Index(column, row)] = store_.Store(text);
    ++contentRevision_;
  }
  // Cells 0 to texts' count - 1 of `row`, as SetCell would write them one by one.
  void SetRow(int row, const RowTexts& texts);

  int ColumnWidth(int column) const;
  void SetColumnWidth(int column, int width);

  // Every cell emptied, 2 rows and 2 columns.
  void Reset();
  // 17 columns, the widths of columns 0-2 and 5-15, the 17 titles in row 0.
  void LayOutColumns();

  // Puts the data rows (1 to RowCount()-1) in the order given: order[i] is the old row that
  // becomes row i + 1.
  void PermuteDataRows(const std::vector<int>& order);

  // Counts every change of shape, for views that cache the shape.
  uint64_t ShapeRevision() const { return shapeRevision_; }
  // Counts every change of a cell or a width.
  uint64_t ContentRevision() const { return contentRevision_; }

 private:
  int columns_ = 0;
  int rows_ = 0;

  bool Inside(int column, int row) const {
    return static_cast<unsigned>(column) < static_cast<unsigned>(columns_) &&
           static_cast<unsigned>(row) < static_cast<unsigned>(rows_);
  }
  size_t Index(int column, int row) const {
    return static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(column);
  }

  std::vector<TextStore::Text> cells_;  // row-major
  TextStore store_;
  std::vector<int> widths_;
  uint64_t shapeRevision_ = 0;
  uint64_t contentRevision_ = 0;
};

// The 17 titles; column 5's holds the byte 0xE5 where an English "e" would be.
const std::vector<std::string>& EntryColumnTitles();

}  // namespace tessaly
