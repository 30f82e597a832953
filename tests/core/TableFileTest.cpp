#include "packing/TableFile.h"

#include <gtest/gtest.h>

#include "base/Errors.h"
#include "support/ErrorText.h"
#include "support/TempFolder.h"

namespace tessaly {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

const std::vector<std::string> kRow1 = {"1",    "speech_00001.asf",
                                        "4660", "0",
                                        "2",    "3",
                                        "0",    "0",
                                        "0",    "100",
                                        "100",  "120",
                                        "1",    "2",
                                        "3",    "4",
                                        "4096"};
const std::vector<std::string> kRow2 = {"2",    "speech_00002.asf",
                                        "4660", "0",
                                        "2",    "3",
                                        "4096", "4096",
                                        "0",    "102",
                                        "100",  "120",
                                        "1",    "2",
                                        "3",    "4",
                                        "1760"};

EntryTable TwoEntryTable() {
  EntryTable table;
  table.LayOutColumns();
  table.SetRowCount(3);
  for (int c = 0; c < kEntryColumnCount; ++c) {
    table.SetCell(c, 1, kRow1[c]);
    table.SetCell(c, 2, kRow2[c]);
  }
  return table;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

void ExpectSameTable(const EntryTable& a, const EntryTable& b) {
  ASSERT_EQ(a.ColumnCount(), b.ColumnCount());
  ASSERT_EQ(a.RowCount(), b.RowCount());
  for (int c = 0; c < a.ColumnCount(); ++c) {
    EXPECT_EQ(a.ColumnWidth(c), b.ColumnWidth(c)) << "column " << c;
    for (int r = 0; r < a.RowCount(); ++r)
      EXPECT_EQ(std::string(a.Cell(c, r)), std::string(b.Cell(c, r))) << "cell " << c << "," << r;
  }
}

TEST(TableFile, TwoEntryTableIsStoredLineForLineAndLoadsBack) {
  TempFolder folder;
  std::string path = folder / "speech_.tbl";
  EntryTable table = TwoEntryTable();
  SaveTableFile(table, path);

  std::vector<std::string> expected = {"17,3",     "cw 0,55", "cw 1,200", "cw 2,55", "cw 3,100",
                                       "cw 4,100", "cw 5,0",  "cw 6,0",   "cw 7,0",  "cw 8,0",
                                       "cw 9,0",   "cw 10,0", "cw 11,0",  "cw 12,0", "cw 13,0",
                                       "cw 14,0",  "cw 15,0", "cw 16,100"};
  const auto& titles = EntryColumnTitles();
  for (int c = 0; c < 17; ++c) expected.push_back(std::to_string(c) + ",0," + titles[c]);
  for (int c = 0; c < 17; ++c) expected.push_back(std::to_string(c) + ",1," + kRow1[c]);
  for (int c = 0; c < 17; ++c) expected.push_back(std::to_string(c) + ",2," + kRow2[c]);
  ASSERT_EQ(expected.size(), 69u);
  std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes, Lines(expected));
  EXPECT_NE(bytes.find("5,0,Digit Ind\xE5x\r\n"), std::string::npos);

  EntryTable loaded;
  LoadTableFile(loaded, path);
  ExpectSameTable(loaded, table);

  // Saving again replaces the file and gives the same bytes.
  SaveTableFile(loaded, path);
  EXPECT_EQ(ReadBytes(path), bytes);
}

TEST(TableFile, CellTextsAreEscapedOnlyWhenTheyHoldACarriageReturn) {
  struct Case {
    std::string text, written, loaded;
  } cases[] = {
      {"a,b,c", "a,b,c", "a,b,c"},
      {"x\r\ny", "x\t\by", "x"},
      {"x\ry\r\nz", "x\ty\t\bz", "x"},
      {"tab\there", "tab\there", "tab\there"},
      {"bs\bonly", "bs\bonly", "bs\nonly"},
      {"x\ry", "x\ty", "x\ty"},
      {"\xE5\xFF\x01", "\xE5\xFF\x01", "\xE5\xFF\x01"},
  };
  TempFolder folder;
  for (const auto& c : cases) {
    EntryTable table;
    table.SetCell(1, 1, c.text);
    SaveTableFile(table, folder / "t.tbl");
    EXPECT_EQ(ReadBytes(folder / "t.tbl"),
              Lines({"2,2", "cw 0,60", "cw 1,100", "1,1," + c.written}));
    EntryTable loaded;
    LoadTableFile(loaded, folder / "t.tbl");
    EXPECT_EQ(std::string(loaded.Cell(1, 1)), c.loaded);
  }
}

TEST(TableFile, ForeignFileWithOddLinesLoadsWhatFitsTheShape) {
  TempFolder folder;
  std::string path = folder / "odd.tbl";
  WriteBytes(path,
             "17,3\r\n"
             "cw 20,50\r\n"     // column outside the shape
             "cw -1,7\r\n"      // negative column
             "cw 3, 77px\r\n"   // lenient width: leading digits
             "cw 4,-5x\n"       // not a number: sign dropped; LF-only line end
             "0,5,row out\r\n"  // row outside the shape
             "20,1,column out\r\n"
             "-1,1,negative column\r\n"
             "1,-2,negative row\r\n"
             "+2,1,plus\r\n"
             " 3x,1,lenient\r\n"
             "7,no row field\r\n"  // one comma: row 0, text after it
             "1,2,first\r\n"
             "1,2,second\r\n"  // a later line wins
             "just text\r\n"   // no comma: cell (0, 0)
             "\r\n"            // empty: empties cell (0, 0)
             "6,2,last line without end");
  EntryTable table;
  table.LayOutColumns();
  LoadTableFile(table, path);

  EXPECT_EQ(table.ColumnCount(), 17);
  EXPECT_EQ(table.RowCount(), 3);
  EXPECT_EQ(table.ColumnWidth(3), 77);
  EXPECT_EQ(table.ColumnWidth(4), 5);
  EXPECT_EQ(table.ColumnWidth(0), 55);
  EXPECT_EQ(table.ColumnWidth(16), 100);
  EXPECT_EQ(std::string(table.Cell(0, 0)), "");
  EXPECT_EQ(std::string(table.Cell(1, 0)),
            "Name");  // loading doesn't empty cells the file doesn't name
  EXPECT_EQ(std::string(table.Cell(2, 1)), "plus");
  EXPECT_EQ(std::string(table.Cell(3, 1)), "lenient");
  EXPECT_EQ(std::string(table.Cell(7, 0)), "no row field");
  EXPECT_EQ(std::string(table.Cell(1, 2)), "second");
  EXPECT_EQ(std::string(table.Cell(6, 2)), "last line without end");
  EXPECT_EQ(std::string(table.Cell(1, 1)), "");
  EXPECT_EQ(std::string(table.Cell(0, 1)), "");
}

TEST(TableFile, ShapeLineRules) {
  struct Case {
    std::string firstLine;
    int columns, rows;
  } cases[] = {
      {"", 17, 3},  // empty first line keeps the shape
      {"0,-4", 1, 1},
      {"5", 1, 5},  // no comma: empty column count, the whole line is the row count
      {"4,6,9", 4, 6},
      {" 3,x", 3, 1},
  };
  TempFolder folder;
  for (const auto& c : cases) {
    EntryTable table;
    table.LayOutColumns();
    table.SetRowCount(3);
    WriteBytes(folder / "s.tbl", c.firstLine + "\r\n0,0,kept\r\n");
    LoadTableFile(table, folder / "s.tbl");
    EXPECT_EQ(table.ColumnCount(), c.columns) << c.firstLine;
    EXPECT_EQ(table.RowCount(), c.rows) << c.firstLine;
    EXPECT_EQ(std::string(table.Cell(0, 0)), "kept");
  }
}

TEST(TableFile, LongCellsAndManyRowsRoundTrip) {
  TempFolder folder;
  EntryTable table = TwoEntryTable();
  table.SetRowCount(5003);
  for (int r = 3; r < 5003; ++r) table.SetCell(1, r, "row " + std::to_string(r));
  table.SetCell(2, 2, std::string(3 << 20, 'x'));  // longer than the read buffer
  table.SetCell(3, 5000, "late\r\nescape");        // escaped, far past the first buffer
  SaveTableFile(table, folder / "big.tbl");
  EntryTable loaded;
  LoadTableFile(loaded, folder / "big.tbl");
  EXPECT_EQ(loaded.Cell(3, 5000), "late");
  loaded.SetCell(3, 5000, table.Cell(3, 5000));
  ExpectSameTable(loaded, table);
}

TEST(TableFile, FailuresCarryTheirTextsAndLeaveTheTableAlone) {
  TempFolder folder;
  EntryTable table = TwoEntryTable();
  for (const std::string& path : {folder / "missing/t.tbl", folder.Path()})
    EXPECT_EQ(testing::ErrorText<FrameworkError>([&] { SaveTableFile(table, path); }),
              "Cannot Create " + path);
  std::string missing = folder / "none.tbl";
  EXPECT_EQ(testing::ErrorText<FrameworkError>([&] { LoadTableFile(table, missing); }),
            "Cannot open file " + missing);
  // A shape far beyond what the file could describe is refused before anything is changed.
  WriteBytes(folder / "huge.tbl", "17,2000000000\r\n0,0,x\r\n");
  EXPECT_THROW(LoadTableFile(table, folder / "huge.tbl"), FrameworkError);
  ExpectSameTable(table, TwoEntryTable());
}

}  // namespace
}  // namespace tessaly
