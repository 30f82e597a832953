#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "base/Errors.h"
#include "base/Paths.h"
#include "packing/TableFile.h"
#include "packing/UnpackFolder.h"
#include "packing/Unpacking.h"
#include "support/ArchiveBuilder.h"
#include "support/ErrorText.h"
#include "support/RecordingHost.h"

namespace tessaly {
namespace {

using testing::ArchiveBuilder;
using testing::ArchivePair;
using testing::ReadBytes;
using testing::RecordingHost;
using testing::TempFolder;
using testing::WriteBytes;

class UnpackTest : public ::testing::Test {
 protected:
  UnpackResult Run(const std::string& chosen) { return Unpack(chosen, state, table, host); }

  // A pair "speech" of one block whose entries start at the given units of 256 bytes.
  ArchivePair WriteSpeech(std::vector<uint16_t> units, size_t dataSize) {
    archive = ArchiveBuilder();
    archive.Block({.units = std::move(units)});
    data = archive.Data(dataSize);
    return WritePair(folder, "speech", archive.Index(), data);
  }

  std::string Folder() const { return folder / "speech_"; }
  std::string EntryFile(int r) const {
    return Folder() + "/speech_0000" + std::to_string(r) + ".asf";
  }

  std::vector<int> ProgressPositionsAfter(const std::string& call) const {
    std::vector<int> positions;
    for (size_t i = static_cast<size_t>(host.IndexOf(call)); i < host.calls.size(); ++i)
      if (host.calls[i].rfind("progress.position ", 0) == 0)
        positions.push_back(std::stoi(host.calls[i].substr(18)));
    return positions;
  }

  TempFolder folder;
  ArchiveState state;
  EntryTable table;
  RecordingHost host;
  ArchiveBuilder archive;
  std::string data;
};

TEST(ComputeSizes, DifferencesModulo2To32AndTheLastRowRunsToTheLow32BitsOfTheSize) {
  EntryTable table;
  table.LayOutColumns();
  table.SetRowCount(5);
  const char* starts[] = {"0", "4096", "4096", "3996"};
  for (int r = 1; r <= 4; ++r) table.SetCell(kColRealAddress, r, starts[r - 1]);
  RecordingHost host;
  uint64_t dataFileSize = (uint64_t{1} << 32) + 12000;
  EXPECT_EQ(ComputeSizes(table, dataFileSize, host), 12000u);
  const char* sizes[] = {"4096", "0", "4294967196", "8004"};
  for (int r = 1; r <= 4; ++r) EXPECT_EQ(std::string(table.Cell(kColSize, r)), sizes[r - 1]) << r;
  EXPECT_EQ(host.progressMin, 1);
  EXPECT_EQ(host.progressMax, 4);
  EXPECT_EQ(host.progressPosition, 4);
}

TEST_F(UnpackTest, ThreeEntriesEachIntoItsFileWithIndexCopyAndTable) {
  ArchivePair pair = WriteSpeech({0, 16, 40}, 12000);
  // Unpacking only reads the archive.
  ASSERT_EQ(::chmod(pair.dataPath.c_str(), 0444), 0);

  UnpackResult result = Run(pair.dataPath);
  EXPECT_EQ(result.listing, ListingEnd::Complete);
  ASSERT_EQ(result.end, UnpackEnd::Success);
  EXPECT_EQ(result.folder, Folder());

  const char* sizes[] = {"4096", "6144", "1760"};
  const size_t starts[] = {0, 4096, 10240};
  for (int r = 1; r <= 3; ++r) {
    EXPECT_EQ(std::string(table.Cell(kColSize, r)), sizes[r - 1]);
    EXPECT_EQ(ReadBytes(EntryFile(r)), data.substr(starts[r - 1], std::stoul(sizes[r - 1])))
        << "row " << r;
  }
  EXPECT_EQ(ReadBytes(Folder() + "/speech_.id"), archive.Index());
  std::string tableText = ReadBytes(Folder() + "/speech_.tbl");
  EXPECT_EQ(tableText.substr(0, 6), "17,4\r\n");
  EXPECT_NE(tableText.find("\r\n16,3,1760\r\n"), std::string::npos);
  EntryTable loaded;
  LoadTableFile(loaded, Folder() + "/speech_.tbl");
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 17; ++c)
      EXPECT_EQ(std::string(loaded.Cell(c, r)), std::string(table.Cell(c, r))) << c << "," << r;

  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].kind, MessageKind::Success);
  EXPECT_EQ(host.messages[0].text, "Successfully extracted to " + Folder());
  EXPECT_TRUE(host.messages[0].windowEnabled);
  EXPECT_EQ(host.status[1], "Asf count: 3");

  // Painting brought up to date around the listing; the window disabled after it; both passes
  // run the progress bar from 1 to R - 1 and it ends at 0.
  EXPECT_EQ(host.calls.front(), "update");
  EXPECT_EQ(host.calls[host.IndexOf("toolbar.enable") + 2], "update");
  EXPECT_LT(host.IndexOf("toolbar.enable"), host.IndexOf("window.disable"));
  EXPECT_EQ(ProgressPositionsAfter("window.disable"), (std::vector<int>{1, 2, 3, 0, 1, 2, 3, 0}));
  size_t disabled = static_cast<size_t>(host.IndexOf("window.disable"));
  EXPECT_EQ(host.calls[disabled + 1], "progress.min 1");
  EXPECT_EQ(host.calls[disabled + 2], "progress.max 3");
  // One fixed repaint per pass (r = 1) and one per extracted entry; messages let through.
  EXPECT_EQ(std::count(host.calls.begin() + disabled, host.calls.end(), "repaint"), 5);
  EXPECT_GT(host.processed, 0);
  EXPECT_LT(host.IndexOf("window.enable"), host.IndexOf("message"));
  EXPECT_EQ(host.calls.back(), "progress.position 0");
  EXPECT_FALSE(state.IsOpen());
  EXPECT_TRUE(state.index.Empty());
}

TEST_F(UnpackTest, SizesThatDontAddUpWriteNothingAndResetTheTable) {
  ArchivePair pair = WriteSpeech({1, 16, 40}, 12000);
  UnpackResult result = Run(pair.indexPath);
  EXPECT_EQ(result.end, UnpackEnd::SizeMismatch);
  EXPECT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.ColumnCount(), 2);
  for (int c = 0; c < 2; ++c)
    for (int r = 0; r < 2; ++r) EXPECT_EQ(std::string(table.Cell(c, r)), "");
  ASSERT_TRUE(std::filesystem::is_directory(Folder()));
  EXPECT_TRUE(std::filesystem::is_empty(Folder()));
  size_t n = host.calls.size();
  ASSERT_GE(n, 3u);
  EXPECT_EQ(host.calls[n - 3], "window.enable");
  EXPECT_EQ(host.calls[n - 2], "repaint");
  EXPECT_EQ(host.calls[n - 1], "message Information Error with filesize extracting.");
  EXPECT_EQ(host.progressPosition, 3);
  EXPECT_FALSE(state.IsOpen());
}

TEST_F(UnpackTest, AliasedRowsGiveAnEmptyFileThenTheStream) {
  ArchivePair pair = WriteSpeech({0, 0, 16}, 8192);
  ASSERT_EQ(Run(pair.indexPath).end, UnpackEnd::Success);
  EXPECT_EQ(std::string(table.Cell(kColSize, 1)), "0");
  EXPECT_EQ(ReadBytes(EntryFile(1)), "");
  EXPECT_EQ(ReadBytes(EntryFile(2)), data.substr(0, 4096));
  EXPECT_EQ(ReadBytes(EntryFile(3)), data.substr(4096));
}

TEST_F(UnpackTest, ExistingFolderIsReusedAndItsFilesReplaced) {
  ArchivePair pair = WriteSpeech({0, 16}, 6000);
  std::filesystem::create_directory(Folder());
  WriteBytes(EntryFile(1), std::string(10000, 'x'));
  WriteBytes(Folder() + "/speech_.id", std::string(5000, 'y'));
  WriteBytes(Folder() + "/speech_.tbl", std::string(90000, 'z'));
  WriteBytes(Folder() + "/keep.txt", "mine");

  ASSERT_EQ(Run(pair.indexPath).end, UnpackEnd::Success);
  EXPECT_EQ(ReadBytes(EntryFile(1)), data.substr(0, 4096));
  EXPECT_EQ(ReadBytes(Folder() + "/speech_.id"), archive.Index());
  EXPECT_EQ(ReadBytes(Folder() + "/speech_.tbl").substr(0, 6), "17,3\r\n");
  EXPECT_LT(ReadBytes(Folder() + "/speech_.tbl").size(), 90000u);
  EXPECT_EQ(ReadBytes(Folder() + "/keep.txt"), "mine");
}

TEST_F(UnpackTest, EmptyDataFileStopsSilentlyAfterTheCheckAndLeavesItClosed) {
  ArchivePair pair = WriteSpeech({0, 16}, 0);
  UnpackResult result = Run(pair.indexPath);
  EXPECT_EQ(result.listing, ListingEnd::CheckFailed);
  EXPECT_EQ(result.end, UnpackEnd::NothingToDo);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "SCHl not found in 0");
  EXPECT_FALSE(std::filesystem::exists(Folder()));
  EXPECT_EQ(host.IndexOf("window.disable"), -1);
  EXPECT_FALSE(state.IsOpen());

  WriteBytes(pair.dataPath, archive.Data(5000));
  data = archive.Data(5000);
  ASSERT_EQ(Run(pair.indexPath).end, UnpackEnd::Success);
  EXPECT_EQ(ReadBytes(EntryFile(2)), data.substr(4096));
}

TEST_F(UnpackTest, TruncatedIndexStopsWithNothingWritten) {
  archive.Block({.units = {0}}).Block({.units = {16}, .blockPos = 900});
  archive.indexSize = 300;
  ArchivePair pair = WritePair(folder, "speech", archive.Index(), archive.Data(8192));
  UnpackResult result = Run(pair.indexPath);
  EXPECT_EQ(result.listing, ListingEnd::IndexTruncated);
  EXPECT_EQ(result.end, UnpackEnd::Stopped);
  EXPECT_FALSE(std::filesystem::exists(Folder()));
  EXPECT_EQ(host.IndexOf("window.disable"), -1);
  EXPECT_FALSE(state.IsOpen());
}

// A stop asked for while the entry files are written: those written stay whole and new, the rest
// keep their old bytes, the index copy and table file stay as they were, no temporary is left and
// nothing outside the folder changes; the message says how far it got.
TEST_F(UnpackTest, StopWhileWritingLeavesEveryEntryOldOrNewAndSaysHowFar) {
  ArchivePair pair = WriteSpeech({0, 16, 32, 48, 64}, 20000);
  std::filesystem::create_directory(Folder());
  for (int r = 1; r <= 5; ++r) WriteBytes(EntryFile(r), std::string(100, 'o'));
  WriteBytes(Folder() + "/speech_.id", "old index copy");
  WriteBytes(Folder() + "/speech_.tbl", "old table");
  WriteBytes(Folder() + "/keep.txt", "mine");
  const auto outside = testing::FilesUnder(folder.Path());
  // The size pass counts 1 to 5, then the writing pass does: stopped once it is at entry 3.
  int threes = 0;
  host.onProgress = [&](int position) {
    if (position == 3 && ++threes == 2) host.stop.request_stop();
  };

  UnpackResult result = Run(pair.indexPath);
  EXPECT_EQ(result.end, UnpackEnd::Cancelled);
  EXPECT_EQ(result.written, 3);
  for (int r = 1; r <= 3; ++r)
    EXPECT_EQ(ReadBytes(EntryFile(r)), data.substr((r - 1) * 4096, 4096)) << r;
  for (int r = 4; r <= 5; ++r) EXPECT_EQ(ReadBytes(EntryFile(r)), std::string(100, 'o')) << r;
  auto after = testing::FilesUnder(folder.Path());
  for (int r = 1; r <= 3; ++r) after.erase("speech_/speech_0000" + std::to_string(r) + ".asf");
  auto unchanged = outside;
  for (int r = 1; r <= 3; ++r) unchanged.erase("speech_/speech_0000" + std::to_string(r) + ".asf");
  EXPECT_EQ(after, unchanged);  // no temporaries, the index copy and table file as they were
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].kind, MessageKind::Information);
  EXPECT_EQ(host.messages[0].text, "Unpack stopped: 3 of 5 entry files were written to " +
                                       Folder() + ". The index copy and the table file were not.");
  EXPECT_TRUE(host.messages[0].windowEnabled);
  EXPECT_TRUE(host.windowEnabled);
  EXPECT_FALSE(state.IsOpen());
  EXPECT_EQ(host.progressPosition, 0);
}

// Stopped while the pair is still listed: nothing is made, not even the folder.
TEST_F(UnpackTest, StopWhileListingWritesNothing) {
  ArchivePair pair = WriteSpeech({0, 16, 32}, 12000);
  host.stop.request_stop();
  UnpackResult result = Run(pair.indexPath);
  EXPECT_EQ(result.listing, ListingEnd::Cancelled);
  EXPECT_EQ(result.end, UnpackEnd::Cancelled);
  EXPECT_FALSE(std::filesystem::exists(Folder()));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Unpack stopped: no file was written.");
  EXPECT_TRUE(host.toolbarAndGridEnabled);
  EXPECT_FALSE(state.IsOpen());
}

// Framework errors end Unpack where they happen: the files written before stay, the window is
// enabled again and the archive released.
TEST_F(UnpackTest, FrameworkErrorsEndItEnabledAndReleased) {
  // A row whose next row begins 100 bytes before it: its size can't be read back.
  ArchiveBuilder stepBack;
  stepBack.Block({.units = {0, 16}}).Block({.units = {0}, .offset = 3996});
  ArchivePair stepBackPair = WritePair(folder, "speech", stepBack.Index(), stepBack.Data(8192));
  ArchiveBuilder noBlocks;
  ArchivePair noBlocksPair = WritePair(folder, "none", noBlocks.Index(), "SCHl");
  ArchiveBuilder two;
  two.Block({.units = {0, 16}});
  ArchivePair twoPair = WritePair(folder, "two", two.Index(), two.Data(8192));
  std::filesystem::create_directories(folder / "two_/two_00002.asf");

  const struct {
    std::string chosen;
    std::string error;
    std::vector<std::string> written;
  } cases[] = {
      {stepBackPair.indexPath, "'4294967196' is not a valid integer value", {"speech_00001.asf"}},
      {noBlocksPair.indexPath, "'' is not a valid integer value", {}},
      {twoPair.indexPath,
       "Cannot create file \"" + folder / "two_/two_00002.asf" + "\". Is a directory",
       {"two_00001.asf", "two_00002.asf"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.chosen);
    host = RecordingHost();
    EXPECT_EQ(testing::ErrorText<FrameworkError>([&] { Run(c.chosen); }), c.error);
    EXPECT_TRUE(host.windowEnabled);
    EXPECT_EQ(host.calls.back(), "window.enable");
    EXPECT_FALSE(state.IsOpen());
    std::vector<std::string> written;
    std::string unpackFolder = UnpackFolder::OfArchive(c.chosen).path;
    for (const auto& entry : std::filesystem::directory_iterator(unpackFolder))
      written.push_back(entry.path().filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, c.written);
  }
  EXPECT_EQ(ReadBytes(folder / "speech_/speech_00001.asf"), stepBack.Data(8192).substr(0, 4096));
}

}  // namespace
}  // namespace tessaly
