#include "archive/RowOrder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessaly {
namespace {

struct CellCase {
  const char* a;
  const char* b;
  int expected;  // sign of CompareCells(a, b)
};

TEST(RowOrderTest, ComparesCellsAsNumbersOrText) {
  const CellCase cases[] = {
      {"2", "10", -1},  // numbers, not text
      {"-5", "3", -1},
      {"-10", "-9", -1},  // negative numbers
      {"1.5", "1.25", 1},
      {"007", "7", 0},  // decimal places, leading zeros
      {"-0", "0", 0},
      {"12345678901234567890", "12345678901234567891", -1},
      {"speech_100000.asf", "speech_99999.asf", -1},  // text by byte codes
      {"B", "a", -1},
      {"a", "B", 1},  // case-sensitive: 'B' < 'a'
      {"", "", 0},
      {"", "0", -1},     // empty is text
      {"10", "9a", -1},  // one side text: both compared as text
      {"1.2.3", "1.2", 1},
      {"-", "0", -1},    // not numbers
      {"\xE5", "z", 1},  // bytes above 0x7F sort after ASCII
  };
  for (const auto& c : cases) {
    int result = CompareCells(c.a, c.b);
    EXPECT_EQ((result > 0) - (result < 0), c.expected) << '"' << c.a << "\" vs \"" << c.b << '"';
    int reverse = CompareCells(c.b, c.a);
    EXPECT_EQ((reverse > 0) - (reverse < 0), -c.expected) << '"' << c.b << "\" vs \"" << c.a << '"';
  }
}

// A table with a header row and one data row per entry of `rows`; each entry lists its cells.
EntryTable MakeTable(const std::vector<std::vector<std::string>>& rows) {
  EntryTable table;
  table.SetColumnCount(static_cast<int>(rows.front().size()));
  table.SetRowCount(static_cast<int>(rows.size()) + 1);
  for (int r = 0; r < static_cast<int>(rows.size()); ++r)
    for (int c = 0; c < static_cast<int>(rows[r].size()); ++c) table.SetCell(c, r + 1, rows[r][c]);
  return table;
}

struct SortCase {
  const char* what;
  int column;
  bool descending;
  std::vector<int> expected;
};

TEST(RowOrderTest, SortsDataRowsWithTiesDecidedToTheRight) {
  // Columns: "#", Block, Name, Size (empty, as after a listing).
  EntryTable table = MakeTable({
      {"1", "2", "b", ""},
      {"2", "1", "c", ""},
      {"10", "1", "a", ""},
      {"9", "1", "c", ""},
  });
  const SortCase cases[] = {
      {"# ascending is numeric", 0, false, {1, 2, 4, 3}},
      {"# descending", 0, true, {3, 4, 2, 1}},
      {"names as text", 2, false, {3, 1, 2, 4}},
      {"ties in Block go to Name, then to Size", 1, false, {3, 2, 4, 1}},
      {"descending reverses the tie-break too, equal rows stay", 1, true, {1, 2, 4, 3}},
      {"empty Size keeps the order", 3, false, {1, 2, 3, 4}},
      {"empty Size descending keeps the order", 3, true, {1, 2, 3, 4}},
      {"a column outside the table keeps the order", 7, false, {1, 2, 3, 4}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SortedDataRows(table, c.column, c.descending), c.expected) << c.what;
}

TEST(RowOrderTest, NeverSwapsRowsEqualInEveryColumnFromTheSortColumnOn) {
  // Rows 1 and 3 differ only in column 0, left of the sort column.
  EntryTable table = MakeTable({{"1", "x", "5"}, {"2", "y", "5"}, {"3", "x", "5"}});
  EXPECT_EQ(SortedDataRows(table, 1, false), (std::vector<int>{1, 3, 2}));
  EXPECT_EQ(SortedDataRows(table, 1, true), (std::vector<int>{2, 1, 3}));

  table.PermuteDataRows(SortedDataRows(table, 1, true));
  EXPECT_EQ(std::string(table.Cell(0, 1)), "2");
  EXPECT_EQ(std::string(table.Cell(0, 2)), "1");
  EXPECT_EQ(std::string(table.Cell(0, 3)), "3");
}

TEST(RowOrderTest, TablesWithoutDataRowsGiveAnEmptyOrder) {
  EntryTable table;
  table.SetRowCount(1);
  EXPECT_TRUE(SortedDataRows(table, 0, false).empty());
}

}  // namespace
}  // namespace tessaly
