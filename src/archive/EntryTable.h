// The table of entries: a header row and one row per entry, 17 columns of byte-string cells
// (never re-encoded), plus the column widths that the listing lays out or a table file loads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

class EntryTable {
 public:
  static constexpr int kDefaultColumnWidth = 100;

  // The grid's initial shape: 2 x 2 empty, column 0 60 pixels wide, column 1 100.
  EntryTable();
  // A copy stores its own cell texts.
  EntryTable(const EntryTable& other);
  EntryTable& operator=(const EntryTable& other);
  EntryTable(EntryTable&&) noexcept = default;
  EntryTable& operator=(EntryTable&&) noexcept = default;

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
  std::string_view Cell(int column, int row) const;
  void SetCell(int column, int row, std::string_view text);

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
  // A cell's bytes live in the table's text store; the cell keeps where and how many.
  struct Text {
    const char* bytes = nullptr;
    size_t size = 0;
  };
  // Copies `text` into the store, in chunks that never move, so views stay valid.
  Text Store(std::string_view text);

  std::vector<Text> cells_;                          // row-major
  std::vector<std::unique_ptr<char[]>> chunks_;      // 1 MiB each; the last one is filling
  std::vector<std::unique_ptr<char[]>> largeCells_;  // one block per large cell
  size_t chunkUsed_ = 0;
  std::vector<int> widths_;
  uint64_t shapeRevision_ = 0;
  uint64_t contentRevision_ = 0;
};

// The 17 titles; column 5's holds the byte 0xE5 where an English "e" would be.
const std::vector<std::string>& EntryColumnTitles();

}  // namespace tessaly
