// The table of entries: a header row and one row per entry, 17 columns of byte-string cells
// (never re-encoded), plus the column widths that the listing lays out or a table file loads.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
    return Inside(column, row) ? View(cells_[Index(column, row)]) : std::string_view();
  }
  void SetCell(int column, int row, std::string_view text) {
    if (!Inside(column, row)) return;
    cells_[Index(column, row)] = Store(text);
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
  // A cell's bytes live in the table's text store; the cell keeps where and how many in 8 bytes,
  // which at 17 cells a row is most of a large table's memory. A small text's place is its byte
  // position across the chunks; a large one's is its index among the large cells, its size
  // kLargeSize.
  using Text = uint64_t;
  static constexpr int kSizeBits = 24;
  static constexpr uint64_t kLargeSize = (uint64_t{1} << kSizeBits) - 1;
  static constexpr int kChunkBits = 20;
  static constexpr size_t kChunkSize = size_t{1} << kChunkBits;  // 1 MiB
  static constexpr size_t kLargeCell = kChunkSize / 4;           // from here on, a block of its own
  static Text MakeText(uint64_t place, uint64_t size) { return place << kSizeBits | size; }

  bool Inside(int column, int row) const {
    return static_cast<unsigned>(column) < static_cast<unsigned>(columns_) &&
           static_cast<unsigned>(row) < static_cast<unsigned>(rows_);
  }
  size_t Index(int column, int row) const {
    return static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(column);
  }
  std::string_view View(Text text) const {
    uint64_t size = text & kLargeSize, place = text >> kSizeBits;
    if (size == 0) return {};
    if (size == kLargeSize) {
      const LargeCell& large = largeCells_[place];
      return {large.bytes.get(), large.size};
    }
    return {chunks_[place >> kChunkBits].get() + (place & (kChunkSize - 1)), size};
  }
  // Copies `text` into the store, in chunks that never move, so views stay valid.
  Text Store(std::string_view text) {
    if (text.empty()) return 0;
    if (text.size() > chunkLeft_) return StoreInNewBlock(text);
    std::memcpy(chunkFree_, text.data(), text.size());
    Text stored = MakeText(freePlace_, text.size());
    chunkFree_ += text.size();
    chunkLeft_ -= text.size();
    freePlace_ += text.size();
    return stored;
  }
  Text StoreInNewBlock(std::string_view text);

  struct LargeCell {
    std::unique_ptr<char[]> bytes;
    size_t size;
  };
  std::vector<Text> cells_;                      // row-major
  std::vector<std::unique_ptr<char[]>> chunks_;  // kChunkSize each; the last one is filling
  std::vector<LargeCell> largeCells_;
  char* chunkFree_ = nullptr;  // the free end of the last chunk
  size_t chunkLeft_ = 0;
  uint64_t freePlace_ = 0;  // the place of chunkFree_
  std::vector<int> widths_;
  uint64_t shapeRevision_ = 0;
  uint64_t contentRevision_ = 0;
};

// The 17 titles; column 5's holds the byte 0xE5 where an English "e" would be.
const std::vector<std::string>& EntryColumnTitles();

}  // namespace tessaly
