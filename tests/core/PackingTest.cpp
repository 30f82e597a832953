#include "packing/Packing.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>

#include <gtest/gtest.h>

#include "base/Errors.h"
#include "packing/Growth.h"
#include "support/ErrorText.h"
#include "support/HeldFile.h"
#include "support/PackFolder.h"
#include "support/RecordingHost.h"

namespace tessaly {
namespace {

using testing::ArchiveBuilder;
using testing::PackFolder;
using testing::ReadBytes;
using testing::RecordingHost;
using testing::WriteBytes;

// Two blocks: entries at 0 and 2560 in block 0, at `offset` and `offset` + 1024 in block 1; the
// last entry is 600 bytes long.
void TwoBlocks(PackFolder& pack, uint32_t offset) {
  ArchiveBuilder archive;
  archive.Block({.units = {0, 10}, .offset = 0, .id = 7, .digitIndex = 3});
  archive.Block({.units = {0, 4}, .offset = offset, .id = 8, .digitIndex = 0x81});
  FillFromArchive(pack, archive, offset + 1024 + 600);
}

std::string Replacement(size_t length, char fill = 'R') {
  return std::string(length, fill);
}

class PackTest : public ::testing::Test {
 protected:
  PackResult RunPack() {
    pack.Write();
    before = pack.Snapshot();
    return Pack(pack.folder, grid, host);
  }
  // The new pair as the fixture's entries would be packed, given each entry's stored bytes.
  std::string Data() const { return ReadBytes(pack.dataPath); }
  std::string Index() const { return ReadBytes(pack.indexPath); }

  void ExpectNothingWritten() {
    EXPECT_EQ(pack.Snapshot(), before);
    EXPECT_TRUE(host.windowEnabled);
  }
  void ExpectOneMessage(MessageKind kind, const std::string& text, bool windowEnabled) {
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].kind, kind);
    EXPECT_EQ(host.messages[0].text, text);
    EXPECT_EQ(host.messages[0].windowEnabled, windowEnabled);
  }
  void ExpectReset() {
    EXPECT_EQ(grid.ColumnCount(), 2);
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(std::string(grid.Cell(0, 0)), "");
  }

  PackFolder pack;
  EntryTable grid;
  RecordingHost host;
  std::map<std::string, std::string> before;
};

TEST_F(PackTest, NoChangeGivesBackThePairAndTheFolderByteForByte) {
  TwoBlocks(pack, 4096);
  PackResult result = RunPack();
  ASSERT_EQ(result.end, PackEnd::Success);
  std::string data;
  for (int r = 1; r <= 4; ++r) data += pack.entries[r];
  EXPECT_EQ(Data(), data);
  EXPECT_EQ(Index(), pack.index);
  EXPECT_EQ(ReadBytes(pack.indexCopyPath), pack.index);
  std::string table = ReadBytes(pack.tablePath);
  SaveTableFile(pack.table, pack.root / "expected.tbl");
  EXPECT_EQ(table, ReadBytes(pack.root / "expected.tbl"));
  ExpectOneMessage(MessageKind::Success,
                   "Successfully saved to " + pack.indexPath + "\r\nand " + pack.dataPath, true);
  EXPECT_EQ(host.progressMin, 1);
  EXPECT_EQ(host.progressMax, 4);
  EXPECT_EQ(host.progressPosition, 0);
  // Disabled before anything is read, enabled again before the message.
  EXPECT_LT(host.IndexOf("window.disable"), host.IndexOf("progress.max"));
  EXPECT_LT(host.LastIndexOf("window.enable"), host.IndexOf("message"));
}

TEST_F(PackTest, PaddingKeepsShortEntriesInPlaceAndRoundsLongOnesToWholeUnits) {
  struct Case {
    size_t length, size, stored;
  } cases[] = {{500, 1000, 1000}, {0, 1000, 1000},   {1000, 1000, 1000},
               {1000, 768, 1024}, {1024, 768, 1024}, {1300, 1000, 1536}};
  for (const Case& c : cases) {
    PackFolder one;
    ArchiveBuilder archive;
    archive.Block({.units = {0}});
    FillFromArchive(one, archive, c.size);
    one.entries[1] = Replacement(c.length);
    one.Write();
    RecordingHost caseHost;
    EntryTable caseGrid;
    ASSERT_EQ(Pack(one.folder, caseGrid, caseHost).end, PackEnd::Success) << c.length;
    EXPECT_EQ(ReadBytes(one.dataPath),
              Replacement(c.length) + std::string(c.stored - c.length, '\0'));
    EXPECT_EQ(std::string(caseGrid.Cell(kColSize, 1)), std::to_string(c.stored));
    EXPECT_EQ(ReadBytes(one.indexPath), one.index);  // nothing after it moves
  }
}

// A table whose recorded sizes overlap (edited by hand): each entry's padding is zeros even where
// an earlier entry's bytes were written, and the file is as long as the furthest padding.
TEST_F(PackTest, PaddingOverwritesWhatAnOverlappingEarlierEntryWrote) {
  ArchiveBuilder archive;
  archive.Block({.units = {0, 1}});
  FillFromArchive(pack, archive, 512);
  pack.table.SetCell(kColSize, 1, "1024");  // reaches over the second entry
  pack.entries[1] = Replacement(1000, 'A');
  pack.entries[2] = Replacement(10, 'B');
  ASSERT_EQ(RunPack().end, PackEnd::Success);
  std::string expected = Replacement(256, 'A') + Replacement(10, 'B') + std::string(246, '\0') +
                         Replacement(488, 'A') + std::string(24, '\0');
  EXPECT_EQ(Data(), expected);
}

TEST_F(PackTest, GrowthMovesLaterEntriesOfTheSameBlockAndLaterBlocks) {
  struct Case {
    size_t length;  // replacement of entry 1, "Size" 2560
    uint32_t growth;
    std::string addressUnit;  // entry 2's AddressUnit
    std::string offset;       // block 1's Offset
  } cases[] = {{2600, 256, {0x00, 0x0B}, {0x00, 0x11, 0x00, 0x00}},
               {3000, 512, {0x00, 0x0C}, {0x00, 0x12, 0x00, 0x00}}};
  for (const Case& c : cases) {
    PackFolder casePack;
    TwoBlocks(casePack, 4096);
    casePack.entries[1] = Replacement(c.length);
    casePack.Write();
    RecordingHost caseHost;
    EntryTable caseGrid;
    ASSERT_EQ(Pack(casePack.folder, caseGrid, caseHost).end, PackEnd::Success);

    uint32_t g = c.growth;
    EXPECT_EQ(std::string(caseGrid.Cell(kColSize, 1)), std::to_string(2560 + g));
    // Same block: Real Address and Address move.
    EXPECT_EQ(std::string(caseGrid.Cell(kColRealAddress, 2)), std::to_string(2560 + g));
    EXPECT_EQ(std::string(caseGrid.Cell(kColAddress, 2)), std::to_string(2560 + g));
    EXPECT_EQ(std::string(caseGrid.Cell(kColOffset, 2)), "0");
    // Other block: Real Address and Offset move, Address stays.
    for (int r : {3, 4}) {
      EXPECT_EQ(std::string(caseGrid.Cell(kColOffset, r)), std::to_string(4096 + g));
      EXPECT_EQ(std::string(caseGrid.Cell(kColAddress, r)), r == 3 ? "0" : "1024");
    }
    EXPECT_EQ(std::string(caseGrid.Cell(kColRealAddress, 4)), std::to_string(5120 + g));
    EXPECT_EQ(std::string(caseGrid.Cell(kColRealAddress, 1)), "0");

    std::string index = casePack.index;
    uint32_t pos = std::stoul(std::string(casePack.table.Cell(kColPosInBlock, 2)));
    index.replace(pos, 2, c.addressUnit);
    index.replace(116, 4, c.offset);
    EXPECT_EQ(ReadBytes(casePack.indexPath), index);
    EXPECT_EQ(ReadBytes(casePack.indexCopyPath), index);
    EXPECT_EQ(ReadBytes(casePack.dataPath),
              Replacement(c.length) + std::string(2560 + g - c.length, '\0') + casePack.entries[2] +
                  casePack.entries[3] + casePack.entries[4]);
    EntryTable stored;
    LoadTableFile(stored, casePack.tablePath);
    for (int r = 1; r <= 4; ++r)
      for (int col = 0; col < kEntryColumnCount; ++col)
        EXPECT_EQ(std::string(stored.Cell(col, r)), std::string(caseGrid.Cell(col, r)));
  }
}

TEST_F(PackTest, GrowthOfTheLastEntryOfABlockMovesOnlyLaterBlocksOffsets) {
  TwoBlocks(pack, 3560);  // entry 2 is 1000 bytes
  pack.entries[2] = Replacement(1300);
  ASSERT_EQ(RunPack().end, PackEnd::Success);
  EXPECT_EQ(std::string(grid.Cell(kColSize, 2)), "1536");
  EXPECT_EQ(std::string(grid.Cell(kColAddress, 2)), "2560");
  for (int r : {3, 4}) EXPECT_EQ(std::string(grid.Cell(kColOffset, r)), "4096");
  EXPECT_EQ(std::string(grid.Cell(kColAddress, 4)), "1024");
  EXPECT_EQ(std::string(grid.Cell(kColRealAddress, 4)), "5120");
  std::string index = pack.index;
  index.replace(116, 4, std::string{0x00, 0x10, 0x00, 0x00});
  EXPECT_EQ(Index(), index);
}

TEST_F(PackTest, LastEntryGrowingChangesOnlyItsSize) {
  TwoBlocks(pack, 4096);
  pack.entries[4] = Replacement(700);
  ASSERT_EQ(RunPack().end, PackEnd::Success);
  for (int r = 1; r <= 4; ++r)
    for (int c = 0; c < kColSize; ++c)
      EXPECT_EQ(std::string(grid.Cell(c, r)), std::string(pack.table.Cell(c, r)));
  EXPECT_EQ(std::string(grid.Cell(kColSize, 4)), "768");
  EXPECT_EQ(Index(), pack.index);
  EXPECT_EQ(Data().size(), 5120u + 768);
}

TEST_F(PackTest, AliasedRowsTheLaterMayGrowTheEarlierIsRefused) {
  ArchiveBuilder archive;
  archive.Block({.units = {0, 4, 4, 8}});  // rows 2 and 3 share 1024; row 2 is empty
  FillFromArchive(pack, archive, 2048 + 100);
  pack.entries[3] = Replacement(1100);  // grows by 256: row 2 stays, row 4 moves
  ASSERT_EQ(RunPack().end, PackEnd::Success);
  EXPECT_EQ(std::string(grid.Cell(kColRealAddress, 2)), "1024");
  EXPECT_EQ(std::string(grid.Cell(kColRealAddress, 4)), "2304");

  PackFolder again;
  FillFromArchive(again, archive, 2048 + 100);
  again.entries[2] = Replacement(10);
  again.Write();
  RecordingHost host2;
  EntryTable grid2;
  EXPECT_EQ(Pack(again.folder, grid2, host2).end, PackEnd::Refused);
  ASSERT_EQ(host2.messages.size(), 1u);
  EXPECT_EQ(host2.messages[0].text,
            refusal::SharedAddress("speech_00002.asf", 1024, "speech_00003.asf"));
  EXPECT_FALSE(std::filesystem::exists(again.dataPath));
}

TEST_F(PackTest, HeaderOnlyTableGivesAnEmptyDataFileAndTheSameIndex) {
  TwoBlocks(pack, 4096);
  pack.table.SetRowCount(1);
  ASSERT_EQ(RunPack().end, PackEnd::Success);
  EXPECT_EQ(Data(), "");
  EXPECT_EQ(Index(), pack.index);
  EXPECT_EQ(host.progressMax, 0);
}

TEST_F(PackTest, MissingResourcesChangeNothing) {
  TwoBlocks(pack, 4096);
  pack.Write();
  grid.LayOutColumns();
  std::filesystem::rename(pack.folder, pack.root / "a.b_");
  // The folder a.b_ is looked into for a.tbl and a.id.
  EXPECT_EQ(Pack(pack.root / "a.b_", grid, host).end, PackEnd::ResourcesMissing);
  ExpectOneMessage(MessageKind::Information, "Resource files not found in " + pack.root / "a.b_",
                   true);
  EXPECT_EQ(grid.ColumnCount(), 17);
  EXPECT_EQ(host.IndexOf("window.disable"), -1);
}

// A folder copied from a system that ignores case: its table file and index copy are read and
// rewritten under their own names.
TEST_F(PackTest, UpperCaseTableFileAndIndexCopyAreFound) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows file names ignore case: the system itself finds the file";
#endif
  TwoBlocks(pack, 4096);
  pack.Write();
  std::filesystem::rename(pack.folder + "/speech_.tbl", pack.folder + "/SPEECH_.TBL");
  std::filesystem::rename(pack.folder + "/speech_.id", pack.folder + "/Speech_.Id");
  ASSERT_EQ(Pack(pack.folder, grid, host).end, PackEnd::Success);
  EXPECT_EQ(Index(), pack.index);
  EXPECT_EQ(ReadBytes(pack.folder + "/Speech_.Id"), pack.index);
  EXPECT_FALSE(std::filesystem::exists(pack.folder + "/speech_.id"));
  EXPECT_FALSE(std::filesystem::exists(pack.folder + "/speech_.tbl"));
  EXPECT_NE(ReadBytes(pack.folder + "/SPEECH_.TBL").find("16,1,"), std::string::npos);
}

TEST_F(PackTest, MissingEntryFileResetsTheTableAndWritesNoPair) {
  TwoBlocks(pack, 4096);
  pack.entries[1] = Replacement(3000);  // a growth before the failure
  pack.Write();
  WriteBytes(pack.dataPath, "earlier data");
  WriteBytes(pack.indexPath, "earlier index");
  std::filesystem::remove(pack.EntryPath(3));
  before = pack.Snapshot();
  EXPECT_EQ(Pack(pack.folder, grid, host).end, PackEnd::EntryMissing);
  ExpectOneMessage(MessageKind::Information, "File not found " + pack.EntryPath(3), true);
  ExpectReset();
  ExpectNothingWritten();
  EXPECT_EQ(host.progressPosition, 3);
}

TEST_F(PackTest, IntErrorIsNoticedOnlyWhenSomethingGrowsAndKeepsTheMovesMadeSoFar) {
  TwoBlocks(pack, 4096);
  pack.table.SetCell(kColOffset, 4, "x");
  ASSERT_EQ(RunPack().end, PackEnd::Success);  // nothing grows: the cell is never read

  PackFolder grows;
  TwoBlocks(grows, 4096);
  grows.table.SetCell(kColOffset, 4, "x");
  grows.entries[1] = Replacement(2600);
  grows.Write();
  RecordingHost host2;
  EntryTable grid2;
  auto before2 = grows.Snapshot();
  EXPECT_EQ(Pack(grows.folder, grid2, host2).end, PackEnd::IntError);
  ASSERT_EQ(host2.messages.size(), 1u);
  EXPECT_EQ(host2.messages[0].kind, MessageKind::Error);
  EXPECT_EQ(host2.messages[0].text, "Alarm! Int error.");
  EXPECT_FALSE(host2.messages[0].windowEnabled);  // shown before the window is enabled
  EXPECT_TRUE(host2.windowEnabled);
  // Rows 2 and 3 moved before row 4 stopped the scan; row 1's Size isn't written.
  EXPECT_EQ(std::string(grid2.Cell(kColRealAddress, 2)), "2816");
  EXPECT_EQ(std::string(grid2.Cell(kColRealAddress, 3)), "4352");
  EXPECT_EQ(std::string(grid2.Cell(kColRealAddress, 4)), "5120");
  EXPECT_EQ(std::string(grid2.Cell(kColSize, 1)), "2560");
  EXPECT_EQ(grows.Snapshot(), before2);
}

TEST_F(PackTest, FrameworkErrorsEndWithTheWindowEnabledAndNothingWritten) {
  TwoBlocks(pack, 4096);
  pack.table.SetCell(kColSize, 2, "");
  pack.Write();
  WriteBytes(pack.dataPath, "earlier data");
  before = pack.Snapshot();
  EXPECT_EQ(testing::ErrorText<FrameworkError>([&] { Pack(pack.folder, grid, host); }),
            "'' is not a valid integer value");
  ExpectNothingWritten();
}

// A stop asked for at any row, also after the last one, writes nothing: the earlier pair, the
// index copy and the table file stay as they were and no temporary is left.
TEST_F(PackTest, StopAtAnyRowChangesNoFile) {
  for (int stopAt : {1, 3, 4}) {
    SCOPED_TRACE(stopAt);
    PackFolder folder;
    TwoBlocks(folder, 4096);
    folder.entries[1] = Replacement(3000);  // grows: later rows move
    folder.Write();
    WriteBytes(folder.dataPath, "earlier data");
    WriteBytes(folder.indexPath, "earlier index");
    const auto snapshot = folder.Snapshot();
    RecordingHost stopped;
    stopped.onProgress = [&](int position) {
      if (position == stopAt) stopped.stop.request_stop();
    };
    EntryTable table;
    EXPECT_EQ(Pack(folder.folder, table, stopped).end, PackEnd::Cancelled);
    EXPECT_EQ(folder.Snapshot(), snapshot);
    ASSERT_EQ(stopped.messages.size(), 1u);
    EXPECT_EQ(stopped.messages[0].kind, MessageKind::Information);
    EXPECT_EQ(stopped.messages[0].text,
              "Pack stopped: nothing was written. The folder and the pair beside it are as they "
              "were.");
    EXPECT_TRUE(stopped.messages[0].windowEnabled);
    EXPECT_EQ(table.RowCount(), 2);  // reset, as at Pack's other stops
    EXPECT_EQ(stopped.progressPosition, 0);
  }
}

TEST_F(PackTest, EmptyIndexCopyStopsSilentlyAndLeavesNothing) {
  TwoBlocks(pack, 4096);
  pack.index.clear();
  EXPECT_EQ(RunPack().end, PackEnd::EmptyIndex);
  EXPECT_TRUE(host.messages.empty());
  ExpectReset();
  ExpectNothingWritten();
}

TEST_F(PackTest, UnsafeTablesAreRefusedWithNothingWritten) {
  struct Case {
    const char* what;
    int row, column;
    std::string cell;
    size_t growRow1To;  // 0: no replacement
    std::string text;
  } cases[] = {
      {"separator", 2, kColName, "../speech_00002.asf", 0,
       refusal::NotPlainName("../speech_00002.asf")},
      {"absolute", 3, kColName, "/etc/passwd", 0, refusal::NotPlainName("/etc/passwd")},
      {"order", 3, kColRealAddress, "2000", 0, refusal::OutOfOrder("speech_00003.asf", "2000")},
      {"negative", 1, kColRealAddress, "-256", 0,
       refusal::AddressOutOfRange("speech_00001.asf", "-256")},
      {"address span", 2, kColAddress, "16776960", 2600,
       refusal::UnstorableAddress("speech_00002.asf", 16777216)},
      {"unaligned", 1, kColSize, "2500", 2600,
       refusal::UnstorableAddress("speech_00002.asf", 2560 + 316)},
      {"pos in block", 2, kColPosInBlock, "999999", 0,
       "Table and index copy disagree at speech_00002.asf: Pos in Block 999999 lies outside "
       "the index copy"},
      {"offset pos", 3, kColOffsetPos, "-1", 0,
       "Table and index copy disagree at speech_00003.asf: Offset Pos 4294967295 lies outside "
       "the index copy"},
      {"offset", 4, kColOffset, "4352", 0,
       "Table and index copy disagree at speech_00004.asf: Offset 4352, the index copy holds "
       "4096 at Offset Pos 116"},
      {"beyond 2 GiB", 4, kColRealAddress, "2147483600", 2600,
       refusal::BeyondDataLimit("speech_00004.asf", 2147483600u + 256)},
  };
  for (const Case& c : cases) {
    PackFolder casePack;
    TwoBlocks(casePack, 4096);
    casePack.table.SetCell(c.column, c.row, c.cell);
    if (c.column == kColAddress) {
      // The index copy agrees, so that the growth is what refuses.
      uint32_t pos = std::stoul(std::string(casePack.table.Cell(kColPosInBlock, c.row)));
      casePack.index[pos] = casePack.index[pos + 1] = '\xFF';
    }
    if (c.growRow1To) casePack.entries[1] = Replacement(c.growRow1To);
    casePack.Write();
    WriteBytes(casePack.dataPath, "earlier data");
    auto caseBefore = casePack.Snapshot();
    RecordingHost caseHost;
    EntryTable caseGrid;
    EXPECT_EQ(Pack(casePack.folder, caseGrid, caseHost).end, PackEnd::Refused) << c.what;
    ASSERT_EQ(caseHost.messages.size(), 1u) << c.what;
    EXPECT_EQ(caseHost.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(caseHost.messages[0].text, c.text) << c.what;
    EXPECT_TRUE(caseHost.messages[0].windowEnabled);
    EXPECT_EQ(caseGrid.RowCount(), 2) << c.what;
    EXPECT_EQ(casePack.Snapshot(), caseBefore) << c.what;
  }
}

TEST_F(PackTest, HugeRecordedSizeIsPaddedWithoutABufferOfThatSize) {
  ArchiveBuilder archive;
  archive.Block({.units = {0}});
  FillFromArchive(pack, archive, 10);
  pack.table.SetCell(kColSize, 1, "2000000000");
  ASSERT_EQ(RunPack().end, PackEnd::Success);
  EXPECT_EQ(std::filesystem::file_size(pack.dataPath), 2000000000u);
  std::string head(10, '\0');
  std::FILE* f = std::fopen(pack.dataPath.c_str(), "rb");
  ASSERT_TRUE(f);
  ASSERT_EQ(std::fread(head.data(), 1, 10, f), 10u);
  std::fseek(f, 1999999990, SEEK_SET);
  std::string tail(10, 'x');
  ASSERT_EQ(std::fread(tail.data(), 1, 10, f), 10u);
  std::fclose(f);
  EXPECT_EQ(head, pack.entries[1]);
  EXPECT_EQ(tail, std::string(10, '\0'));
}

// Fault tests: the pack fails part-way and leaves an earlier pair and the folder as they were.
class PackFaultTest : public PackTest {
 protected:
  void SetUp() override {
    TwoBlocks(pack, 4096);
    pack.entries[1] = Replacement(3000);
    pack.Write();
    WriteBytes(pack.dataPath, "earlier data");
    WriteBytes(pack.indexPath, "earlier index");
    before = pack.Snapshot();
  }
  void ExpectFrameworkError() {
    EXPECT_THROW(Pack(pack.folder, grid, host), FrameworkError);
    ExpectNothingWritten();
  }
};

#ifndef _WIN32  // a limit on file sizes is POSIX's
TEST_F(PackFaultTest, WriteFailingPartWay) {
  // The process may write no file beyond 4000 bytes: the data file fails while entry 3 is copied.
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 4000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const bool threw =
      testing::ErrorText<FrameworkError>([&] { Pack(pack.folder, grid, host); }).has_value();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(threw);
  ExpectNothingWritten();
}
#endif

TEST_F(PackFaultTest, EntryFileThatCantBeOpened) {
  // Another program holds entry 3 for writing (this works for every user, root included).
  {
    testing::HeldFile writer(pack.EntryPath(3));
    ASSERT_TRUE(writer.Holds());
    EXPECT_THROW(Pack(pack.folder, grid, host), FrameworkError);
  }
  ExpectNothingWritten();  // once the file is free again, so that it can be read back
}

TEST_F(PackFaultTest, FolderInPlaceOfAnEntryFile) {
  std::filesystem::remove(pack.EntryPath(2));
  std::filesystem::create_directory(pack.EntryPath(2));
  before = pack.Snapshot();
  EXPECT_EQ(Pack(pack.folder, grid, host).end, PackEnd::EntryMissing);
  ExpectNothingWritten();
}

}  // namespace
}  // namespace tessaly
