#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/EntryTable.h"
#include "archive/TextStore.h"

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
  // Some 2 MB of texts: several chunks, and texts that don't fit a chunk's rest.
  auto text = [](int row) { return std::to_string(row) + std::string(row % 200, '.'); };
  for (int row = 2; row < 20000; ++row) {
    table.SetRowCount(row + 1);
    table.SetCell(kColSize, row, text(row));
  }
  table.SetCell(kColSize, 1, large);
  EXPECT_EQ(name, "speech_00001.asf");
  EXPECT_EQ(table.Cell(kColSize, 1), large);

  EntryTable copy = table;
  table.Reset();
  EXPECT_EQ(copy.Cell(kColName, 1), "speech_00001.asf");
  for (int row = 2; row < 20000; ++row) ASSERT_EQ(copy.Cell(kColSize, row), text(row));
  EXPECT_EQ(copy.Cell(kColSize, 1), large);
  EXPECT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.Cell(kColName, 1), "");
}

// A row written whole reads as the same cells written one by one; a moved-from table must not
// write into the store it gave away.
TEST(EntryTable, WholeRowsAndMovedTables) {
  EntryTable table;
  table.LayOutColumns();
  table.SetRowCount(3);
  RowTexts texts;
  texts.AddNumber(7);
  texts.Append("speech_");
  texts.AppendNumber(7, 5);
  texts.Add(".asf");
  texts.Add("");
  texts.AddNumber(123456789012);
  table.SetRow(1, texts);
  table.SetRow(5, texts);  // outside the table: ignored
  EXPECT_EQ(table.Cell(kColNumber, 1), "7");
  EXPECT_EQ(table.Cell(kColName, 1), "speech_00007.asf");
  EXPECT_EQ(table.Cell(kColId, 1), "");
  EXPECT_EQ(table.Cell(kColBlock, 1), "123456789012");
  EXPECT_EQ(table.Cell(kColAsfCount, 1), "");
  EXPECT_EQ(table.RowCount(), 3);
  texts.Clear();
  const std::string longText(300 * 1024, 'L');  // the row is too long to share one chunk
  texts.Add("2");
  texts.Add(longText);
  table.SetRow(2, texts);
  EXPECT_EQ(table.Cell(kColNumber, 2), "2");
  EXPECT_EQ(table.Cell(kColName, 2), longText);
  EXPECT_EQ(table.Cell(kColName, 1), "speech_00007.asf");

  EntryTable moved = std::move(table);
  table.SetCell(kColName, 1, "overwritten?");  // NOLINT(bugprone-use-after-move): on purpose
  EXPECT_EQ(table.Cell(kColName, 1), "");
  moved.SetCell(kColId, 2, "42");
  EXPECT_EQ(moved.Cell(kColName, 1), "speech_00007.asf");
  EXPECT_EQ(moved.Cell(kColName, 2), longText);
  EXPECT_EQ(moved.Cell(kColId, 2), "42");
  table.Reset();
  table.SetCell(kColNumber, 1, "ok");
  EXPECT_EQ(table.Cell(kColNumber, 1), "ok");
}

// Chunks start small and grow; a text may be larger than the chunk it arrives at, or need a block
// of its own. Every text must read back whole after all the others were stored.
TEST(TextStore, TextsOfEverySizeReadBackWhole) {
  const std::vector<size_t> sizes = {1,
                                     4095,
                                     4096,
                                     1,
                                     5000,
                                     70000,
                                     3,
                                     8191,
                                     1 << 19,
                                     2,
                                     TextStore::kLargeText - 1,
                                     TextStore::kLargeText,
                                     1 << 20,
                                     17,
                                     1000000,
                                     5};
  TextStore store;
  for (int round = 0; round < 2; ++round) {
    std::vector<std::string> texts;
    std::vector<TextStore::Text> stored;
    for (size_t i = 0; i < sizes.size(); ++i) {
      std::string text(sizes[i], static_cast<char>('a' + i));
      text.front() = '<';
      text.back() = '>';
      stored.push_back(store.Store(text));
      texts.push_back(std::move(text));
    }
    for (size_t i = 0; i < sizes.size(); ++i) ASSERT_EQ(store.View(stored[i]), texts[i]) << i;
    EXPECT_EQ(store.View(TextStore::Part(stored[4], 1, 3)), texts[4].substr(1, 3));
    EXPECT_EQ(store.View(TextStore::Part(stored[4], 2, 0)), "");
    EXPECT_EQ(store.View(store.Store("")), "");
    store.Clear();  // the second round starts from a small chunk again
  }
}

}  // namespace
}  // namespace tessaly
