#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>

#include "archive/Listing.h"
#include "base/Errors.h"
#include "support/ArchiveBuilder.h"
#include "support/ErrorText.h"
#include "support/HeldFile.h"
#include "support/RecordingHost.h"

namespace tessaly {
namespace {

using testing::ArchiveBuilder;
using testing::ArchivePair;
using testing::HeldFile;
using testing::RecordingHost;
using testing::TempFolder;
using testing::WriteBytes;
using Row = std::vector<std::string>;

class ListingTest : public ::testing::Test {
 protected:
  ListingEnd List(const std::string& chosen) { return ListArchive(chosen, state, table, host); }

  Row RowAt(int r) const {
    Row row;
    for (int c = 0; c < table.ColumnCount(); ++c) row.push_back(std::string(table.Cell(c, r)));
    return row;
  }

  std::vector<std::string> Status() const {
    return {host.status[0], host.status[1], host.status[2], host.status[3]};
  }

  // The listing's end state shared by every end that opened the archive.
  void ExpectFinished() const {
    EXPECT_TRUE(host.toolbarAndGridEnabled);
    EXPECT_EQ(host.calls.back(), "progress.position 0");
    EXPECT_EQ(host.progressPosition, 0);
    EXPECT_TRUE(state.IsOpen());
  }

  TempFolder folder;
  ArchiveState state;
  EntryTable table;
  RecordingHost host;
};

TEST(AddressUnits, DecodeBigEndianUnitsOf256Bytes) {
  EXPECT_EQ(AddressFromUnit(0x01, 0x02), 66048u);
  EXPECT_EQ(AddressFromUnit(0xFF, 0xFF), 16776960u);
  EXPECT_EQ(AddressFromUnit(0x00, 0x00), 0u);
  using Pair = std::array<uint8_t, 2>;
  EXPECT_EQ(UnitFromAddress(66048), (Pair{0x01, 0x02}));
  EXPECT_EQ(UnitFromAddress(66100), (Pair{0x01, 0x02}));
  EXPECT_EQ(UnitFromAddress(16777216), (Pair{0x00, 0x00}));
}

// Three blocks whose headers lie out of descriptor order with a gap, slots of 5 and 2 bytes, and
// an Offset near 2^32 whose RealAddress wraps.
ArchiveBuilder ThreeBlocks() {
  ArchiveBuilder archive;
  archive.Block({.units = {0, 16},
                 .offset = 0,
                 .id = 0x1234,
                 .digitIndex = 0x83,
                 .unknwn1 = 0x0102,
                 .unknwn2 = 7,
                 .unknwn3 = 8,
                 .unknwn4 = 0xFFFF,
                 .blockPos = 200});
  archive.Block({.units = {0, 2}, .offset = 8192, .id = 9, .blockPos = 136});
  archive.Block({.units = {2}, .offset = 4294967040u, .blockPos = 152});
  return archive;
}

TEST_F(ListingTest, ListsEveryColumnOfEveryEntryWhicheverFileIsPicked) {
  ArchiveBuilder archive = ThreeBlocks();
  std::string index = archive.Index();
  ASSERT_EQ(index.size(), 222u);
  ArchivePair pair = WritePair(folder, "speech", index, archive.Data(9000));

  const std::vector<Row> expected = {
      {"1", "speech_00001.asf", "4660", "0", "2", "131", "0", "0", "0", "212", "100", "200", "258",
       "7", "8", "65535", ""},
      {"2", "speech_00002.asf", "4660", "0", "2", "131", "4096", "4096", "0", "217", "100", "200",
       "258", "7", "8", "65535", ""},
      {"3", "speech_00003.asf", "9", "1", "2", "0", "8192", "0", "8192", "148", "116", "136", "0",
       "0", "0", "0", ""},
      {"4", "speech_00004.asf", "9", "1", "2", "0", "8704", "512", "8192", "150", "116", "136", "0",
       "0", "0", "0", ""},
      {"5", "speech_00005.asf", "0", "2", "1", "0", "256", "512", "4294967040", "164", "132", "152",
       "0", "0", "0", "0", ""},
  };
  for (const std::string& chosen : {pair.dataPath, pair.indexPath}) {
    SCOPED_TRACE(chosen);
    host = RecordingHost();
    EXPECT_EQ(List(chosen), ListingEnd::Complete);
    EXPECT_EQ(state.chosenPath, chosen);
    EXPECT_EQ(state.indexPath, pair.indexPath);
    EXPECT_EQ(state.dataPath, pair.dataPath);
    ASSERT_EQ(table.ColumnCount(), 17);
    ASSERT_EQ(table.RowCount(), 6);
    EXPECT_EQ(RowAt(0), EntryColumnTitles());
    for (int r = 1; r <= 5; ++r) EXPECT_EQ(RowAt(r), expected[r - 1]) << "row " << r;
    EXPECT_EQ(state.index.Bytes(), std::vector<uint8_t>(index.begin(), index.end()));
    EXPECT_EQ(state.dataSize, 9000u);

    // Disabled before anything is read, repaints at the fixed points (all five of the block
    // fractions fall on block 0 when there are fewer than five blocks), progress by index position.
    const std::vector<std::string> calls = {"status 0 ",
                                            "status 1 ",
                                            "status 2 ",
                                            "status 3 ",
                                            "toolbar.disable",
                                            "repaint",
                                            "repaint",
                                            "progress.max 222",
                                            "repaint",
                                            "repaint",
                                            "repaint",
                                            "repaint",
                                            "repaint",
                                            "repaint",
                                            "repaint",
                                            "progress.position 217",
                                            "progress.position 222",
                                            "repaint",
                                            "progress.position 150",
                                            "progress.position 152",
                                            "progress.position 166",
                                            "status 0 speech.idx - speech.big",
                                            "status 1 Asf count: 5",
                                            "status 2 Read 166 bytes of 222",
                                            "toolbar.enable",
                                            "progress.position 0"};
    EXPECT_EQ(host.calls, calls);
    EXPECT_TRUE(host.messages.empty());
    ExpectFinished();
  }
}

TEST_F(ListingTest, SlotSizeComesFromTheLowSevenBitsOfDigitIndex) {
  const struct {
    uint8_t digitIndex;
    unsigned slotSize;
  } cases[] = {{0x00, 2}, {0x80, 2}, {0x03, 5}, {0x83, 5}, {0x7F, 129}, {0xFF, 129}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.digitIndex));
    ArchiveBuilder archive;
    archive.Block({.units = {0, 16}, .digitIndex = c.digitIndex});
    ArchivePair pair = WritePair(folder, "slots", archive.Index(), archive.Data(8192));
    host = RecordingHost();
    ASSERT_EQ(List(pair.indexPath), ListingEnd::Complete);
    EXPECT_EQ(std::string(table.Cell(kColPosInBlock, 1)), "116");
    EXPECT_EQ(std::string(table.Cell(kColPosInBlock, 2)), std::to_string(116 + c.slotSize));
    EXPECT_EQ(std::string(table.Cell(kColDigitIndex, 2)), std::to_string(c.digitIndex));
    EXPECT_EQ(std::string(table.Cell(kColRealAddress, 2)), "4096");
    EXPECT_EQ(host.status[2], "Read " + std::to_string(116 + 2 * c.slotSize) + " bytes of " +
                                  std::to_string(116 + 2 * c.slotSize));
  }
}

TEST_F(ListingTest, NamesComeFromTheIndexBaseNameWithAtLeastFiveDigits) {
  ArchiveBuilder archive;
  archive.Block({.units = {0, 0}});
  ArchivePair pair = WritePair(folder, "a.b", archive.Index(), archive.Data(4));
  ASSERT_EQ(List(pair.dataPath), ListingEnd::Complete);
  EXPECT_EQ(std::string(table.Cell(kColName, 2)), "a.b_00002.asf");
  EXPECT_EQ(host.status[0], "a.b.idx - a.b.big");

  // 393 descriptors share one block of 255 aliased entries: 100,215 entries.
  ArchiveBuilder big;
  for (int k = 0; k < 393; ++k)
    big.Block({.units = std::vector<uint16_t>(255, 0), .blockPos = 6376});
  pair = WritePair(folder, "big", big.Index(), big.Data(4));
  host = RecordingHost();
  host.recordProgress = false;
  ASSERT_EQ(List(pair.indexPath), ListingEnd::Complete);
  ASSERT_EQ(table.RowCount(), 100216);
  EXPECT_EQ(std::string(table.Cell(kColName, 99999)), "big_99999.asf");
  EXPECT_EQ(std::string(table.Cell(kColName, 100000)), "big_100000.asf");
  EXPECT_EQ(std::string(table.Cell(kColBlock, 100215)), "392");
  EXPECT_EQ(host.status[1], "Asf count: 100215");
  // Four fixed repaints plus block 1 and the five fractions of 393: ten, however large.
  EXPECT_EQ(host.repaints, 10);
}

TEST_F(ListingTest, EndsThatOpenNothingChangeNothingAndReleaseAnEarlierArchive) {
  ArchiveBuilder archive;
  archive.Block({.units = {0}});
  ArchivePair pair = WritePair(folder, "speech", archive.Index(), archive.Data(100));
  WriteBytes(folder / "noindex.big", archive.Data(100));
  WriteBytes(folder / "nodata.idx", archive.Index());

  const struct {
    std::string chosen;
    ListingEnd end;
    std::string message;
  } cases[] = {
      {folder / "none.big", ListingEnd::FileMissing,
       "File: " + folder / "none.idx" + " not found."},
      {folder / "noindex.idx", ListingEnd::FileMissing,
       "File: " + folder / "noindex.idx" + " not found."},
      {folder / "nodata", ListingEnd::FileMissing,
       "File: " + folder / "nodata.big" + " not found."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    host = RecordingHost();
    ASSERT_EQ(List(pair.indexPath), ListingEnd::Complete);
    std::vector<Row> before = {RowAt(0), RowAt(1)};
    std::vector<std::string> statusBefore = Status();
    host.calls.clear();

    EXPECT_EQ(ListArchive(c.chosen, state, table, host), c.end);
    EXPECT_FALSE(state.IsOpen());
    EXPECT_TRUE(state.index.Empty());
    EXPECT_EQ((std::vector<Row>{RowAt(0), RowAt(1)}), before);
    EXPECT_EQ(table.RowCount(), 2);
    EXPECT_EQ(Status(), statusBefore);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"message Error " + c.message}));
  }
}

// Files copied from systems that ignore case: the partner is found whatever its case, unless
// two files could be it.
TEST_F(ListingTest, UpperCasePairIsFoundFromEitherFile) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows file names ignore case: the system itself finds the file";
#endif
  ArchiveBuilder archive;
  archive.Block({.units = {0}});
  WriteBytes(folder / "SPEECH.IDX", archive.Index());
  WriteBytes(folder / "SPEECH.BIG", archive.Data(100));
  for (const char* chosen : {"SPEECH.BIG", "SPEECH.IDX"}) {
    SCOPED_TRACE(chosen);
    ASSERT_EQ(List(folder / chosen), ListingEnd::Complete);
    EXPECT_EQ(state.indexPath, folder / "SPEECH.IDX");
    EXPECT_EQ(state.dataPath, folder / "SPEECH.BIG");
    EXPECT_EQ(host.status[0], "SPEECH.IDX - SPEECH.BIG");
    EXPECT_EQ(table.Cell(kColName, 1), "SPEECH_00001.asf");
  }

  WriteBytes(folder / "Speech.Idx", archive.Index());
  host = RecordingHost();
  EXPECT_EQ(List(folder / "SPEECH.BIG"), ListingEnd::FileMissing);
  EXPECT_EQ(host.messages.at(0).text, "File: " + folder / "SPEECH.idx" + " not found.");
}

TEST_F(ListingTest, ArchiveWithoutBlocksGivesTitlesAndOneEmptyRow) {
  ArchiveBuilder archive;
  ArchivePair pair = WritePair(folder, "empty", archive.Index(), "SCHl");
  ASSERT_EQ(List(pair.indexPath), ListingEnd::Complete);
  EXPECT_EQ(table.ColumnCount(), 17);
  EXPECT_EQ(table.RowCount(), 2);
  EXPECT_EQ(RowAt(0), EntryColumnTitles());
  EXPECT_EQ(RowAt(1), Row(17));
  EXPECT_EQ(Status(), (std::vector<std::string>{"empty.idx - empty.big", "Asf count: 0",
                                                "Read 88 bytes of 88", ""}));
  ExpectFinished();
}

TEST_F(ListingTest, FailedCheckKeepsTheRowsBeforeIt) {
  ArchiveBuilder archive;
  archive.Block({.units = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}});
  std::vector<uint64_t> starts;
  for (uint64_t unit : {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11}) starts.push_back(unit * 256);
  ArchivePair pair =
      WritePair(folder, "speech", archive.Index(), ArchiveBuilder::DataWithSchl(4096, starts));

  EXPECT_EQ(List(pair.indexPath), ListingEnd::CheckFailed);
  EXPECT_EQ(table.RowCount(), 10);
  EXPECT_EQ(std::string(table.Cell(kColRealAddress, 9)), "2048");
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].kind, MessageKind::PlainError);
  EXPECT_EQ(host.messages[0].text, "SCHl not found in 2304");
  EXPECT_FALSE(host.messages[0].toolbarAndGridEnabled);
  EXPECT_EQ(host.status[1], "Asf count: 10");
  // The position just after the failed entry's slot.
  EXPECT_EQ(host.status[2], "Read " + std::to_string(88 + 16 + 12 + 10 * 2) + " bytes of " +
                                std::to_string(88 + 16 + 12 + 12 * 2));
  ExpectFinished();
}

TEST_F(ListingTest, StartAtOrPastTheDataFileEndFailsTheCheck) {
  const struct {
    size_t dataSize;
    uint32_t offset;
    uint16_t unit;
    uint32_t realAddress;
  } cases[] = {
      {0, 0, 0, 0},        // empty data file
      {512, 0, 2, 512},    // at the end
      {512, 0, 9, 2304},   // past it
      {512, 510, 0, 510},  // only two bytes left
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.realAddress);
    state.Release();  // the last case's listing holds the data file open: nobody may write it
    ArchiveBuilder archive;
    archive.Block({.units = {c.unit}, .offset = c.offset});
    ArchivePair pair = WritePair(folder, "speech", archive.Index(),
                                 ArchiveBuilder::DataWithSchl(c.dataSize, {0, 508}));
    host = RecordingHost();
    EXPECT_EQ(List(pair.indexPath), ListingEnd::CheckFailed);
    EXPECT_EQ(host.calls.at(host.LastIndexOf("message")),
              "message PlainError SCHl not found in " + std::to_string(c.realAddress));
    EXPECT_EQ(table.RowCount(), 2);
    EXPECT_EQ(RowAt(1), Row(17));
    EXPECT_EQ(host.status[1], "Asf count: 1");
    EXPECT_EQ(state.dataSize, c.dataSize);
    ExpectFinished();
  }
}

TEST_F(ListingTest, StructuresPastTheIndexEndStopWithAnErrorAndKeepTheRows) {
  ArchiveBuilder one;
  one.Block({.units = {0}});

  ArchiveBuilder huge = one;
  huge.blockCount = 4000000000u;  // would be 64 GB of descriptors

  ArchiveBuilder farBlock;
  farBlock.Block({.units = {0}}).Block({.units = {16}, .blockPos = 5000});
  farBlock.indexSize = 200;

  ArchiveBuilder cut;
  cut.Block({.units = {0, 16, 32}, .digitIndex = 2});
  cut.indexSize = 88 + 16 + 12 + 4 + 4 + 3;  // the third slot lacks a byte

  const struct {
    const char* name;
    std::string index;
    uint64_t position;
    int listed;
    int columns;
    std::string asfCount;
    std::string read;
  } cases[] = {
      {"short header", std::string(50, '\0'), 0, 0, 2, "Asf count: 0", "Read 0 bytes of 50"},
      {"descriptors", huge.Index(), 104, 0, 17, "Asf count: 0", "Read 104 bytes of 118"},
      {"block position", farBlock.Index(), 5000, 1, 17, "Asf count: 1", "Read 200 bytes of 200"},
      {"cut slot", cut.Index(), 124, 2, 17, "Asf count: 3", "Read 124 bytes of 127"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ArchivePair pair =
        WritePair(folder, "speech", c.index, ArchiveBuilder::DataWithSchl(8192, {0, 4096}));
    host = RecordingHost();
    EXPECT_EQ(List(pair.indexPath), ListingEnd::IndexTruncated);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(host.messages[0].text, "Index file " + pair.indexPath +
                                         " is cut short: the structure at " +
                                         std::to_string(c.position) + " runs past its end.");
    EXPECT_FALSE(host.messages[0].toolbarAndGridEnabled);
    EXPECT_EQ(table.RowCount(), std::max(2, c.listed + 1));
    EXPECT_EQ(table.ColumnCount(), c.columns);
    if (c.listed > 0) {
      EXPECT_EQ(std::string(table.Cell(kColName, c.listed)),
                "speech_0000" + std::to_string(c.listed) + ".asf");
    }
    EXPECT_EQ(host.status[1], c.asfCount);
    EXPECT_EQ(host.status[2], c.read);
    ExpectFinished();
  }
}

TEST_F(ListingTest, ReadOnlyDataFileHeldByAnotherReaderLists) {
  ArchiveBuilder archive;
  archive.Block({.units = {0, 16}});
  ArchivePair pair = WritePair(folder, "speech", archive.Index(), archive.Data(8192));
  ASSERT_EQ(::chmod(pair.dataPath.c_str(), 0444), 0);
  File otherReader = File::OpenRead(pair.dataPath);
  EXPECT_EQ(List(pair.indexPath), ListingEnd::Complete);
  EXPECT_EQ(table.RowCount(), 3);
  ExpectFinished();
}

TEST_F(ListingTest, DataFileInUseEndsWithFrameworkErrorEnabledAndNothingOpen) {
  ArchiveBuilder archive;
  archive.Block({.units = {0}});
  ArchivePair pair = WritePair(folder, "speech", archive.Index(), archive.Data(100));
  std::optional<HeldFile> writer(std::in_place, pair.dataPath);
  ASSERT_TRUE(writer->Holds());

  EXPECT_EQ(testing::ErrorText<FrameworkError>([&] { List(pair.indexPath); }),
            "Cannot open file \"" + pair.dataPath + "\". The file is in use by another program");
  writer.reset();
  EXPECT_LT(host.IndexOf("toolbar.disable"), host.IndexOf("repaint"));
  EXPECT_EQ(host.calls.back(), "toolbar.enable");
  EXPECT_FALSE(state.IsOpen());
  EXPECT_TRUE(state.index.Empty());
  EXPECT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.ColumnCount(), 2);
  EXPECT_EQ(Status(), std::vector<std::string>(4));
}

}  // namespace
}  // namespace tessaly
