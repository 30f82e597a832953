#include <gtest/gtest.h>

#include <string>

#include "archive/EntryTable.h"

namespace tessaly {
namespace {

// Cells are views into the table's own store: they must stay put while the table grows and
// other cells are written, and copies must own their texts.
TEST(EntryTable, CellViewsSurviveGrowthAndCopiesOwnTheirText) {
  EntryTable table;
  table.LayOutColumns();
  table.SetRowCount(2);
  table.SetCell(kColName, 1, "speech_00001.asf");
  std::string_view name = table.Cell(kColName, 1);
  const std::string large(400 * 1024, 'x');  // bigger than a store chunk's share
  for (int row = 2; row < 20000; ++row) {
    table.SetRowCount(row + 1);
    table.SetCell(kColSize, row, std::to_string(row));
  }
  table.SetCell(kColSize, 1, large);
  EXPECT_EQ(name, "speech_00001.asf");
  EXPECT_EQ(table.Cell(kColSize, 1), large);

  EntryTable copy = table;
  table.Reset();
  EXPECT_EQ(copy.Cell(kColName, 1), "speech_00001.asf");
  EXPECT_EQ(copy.Cell(kColSize, 19999), "19999");
  EXPECT_EQ(copy.Cell(kColSize, 1), large);
  EXPECT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.Cell(kColName, 1), "");
}

}  // namespace
}  // namespace tessaly
