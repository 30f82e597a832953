// The unpack folder's names, the case rule as every operation that opens a folder applies it, and
// what status finds wrong with replaced entries.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

#include "base/Paths.h"
#include "cli/ClipFixtures.h"
#include "clips/FolderStatus.h"
#include "packing/Packing.h"
#include "packing/UnpackFolder.h"
#include "packing/Unpacking.h"
#include "support/RecordingHost.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::RecordingHost;
using testing::TempFolder;
using testing::WriteBytes;

TEST(UnpackPaths, FolderAndFileNamesComeFromTheChosenFile) {
  const struct {
    const char* chosen;
    const char* folder;
    const char* indexCopy;
    const char* tableFile;
  } cases[] = {
      {"/a/speech.big", "/a/speech_", "speech_.id", "speech_.tbl"},
      {"/a/a.b.idx", "/a/a.b_", "a.b_.id", "a.b_.tbl"},
      {"/a.d/noext", "/a.d/noext_", "noext_.id", "noext_.tbl"},
  };
  for (const auto& c : cases) {
    const UnpackFolder folder = UnpackFolder::OfArchive(c.chosen);
    EXPECT_EQ(folder.path, c.folder);
    EXPECT_EQ(folder.indexCopy, JoinPath(c.folder, c.indexCopy));
    EXPECT_EQ(folder.tableFile, JoinPath(c.folder, c.tableFile));
  }
}

// unpack --to and pack --to: the folder and the new pair go where asked, and a folder whose pair
// doesn't lie beside it needs a note naming it.
TEST(UnpackPaths, ElsewhereThanBesideThePair) {
  // A path from the root, with the system's separator: P("a", "b") is "/a/b" here.
  auto P = [](std::initializer_list<const char*> parts) {
    std::string path;
    for (const char* part : parts) path = JoinPath(path, part);
    return path.empty() ? JoinPath("", "") : path;
  };
  const struct {
    std::string chosen, into, folder;
    bool needsNote;
  } unpacks[] = {
      {P({"a", "speech.big"}), P({"m"}), P({"m", "speech_"}), true},
      {P({"a", "speech.big"}), P({"a"}), P({"a", "speech_"}), false},
      {P({"a", "speech.big"}), "", P({"a", "speech_"}), false},
      {P({"a", "speech.idx"}), P({}), P({"speech_"}), true},
  };
  for (const auto& c : unpacks) {
    SCOPED_TRACE(c.chosen + " into " + c.into);
    const UnpackFolder folder = UnpackFolder::OfArchive(c.chosen, c.into);
    EXPECT_EQ(folder.path, c.folder);
    EXPECT_EQ(folder.sourceIndex, P({"a", "speech.idx"}));
    EXPECT_EQ(folder.sourceNote, JoinPath(c.folder, "speech_.source"));
    EXPECT_EQ(folder.NeedsSourceNote(), c.needsNote);
  }
  const struct {
    std::string folder, into, packedIndex;
    bool elsewhere;
  } packs[] = {
      {P({"m", "speech_"}), "", P({"m", "speech_.idx"}), false},
      {P({"m", "speech_"}), P({"m"}), P({"m", "speech_.idx"}), false},
      {P({"m", "speech_"}), P({"o"}), P({"o", "speech_.idx"}), true},
      {"speech_", "", "speech_.idx", false},
  };
  for (const auto& c : packs) {
    SCOPED_TRACE(c.folder + " into " + c.into);
    UnpackFolder folder = UnpackFolder::Chosen(c.folder);
    if (!c.into.empty()) folder.PackInto(c.into);
    EXPECT_EQ(folder.packedIndex, c.packedIndex);
    EXPECT_EQ(folder.packedData, ChangeFileExt(c.packedIndex, ".big"));
    EXPECT_EQ(folder.PacksElsewhere(), c.elsewhere);
  }
}

// Three clips, unpacked: a stereo PCM one and two mono XA ones, all 22050 Hz.
class UnpackedClips : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::WriteClipPair(root, "speech",
                           {testing::AsString(testing::PcmStereoTemplate(22050)),
                            testing::AsString(testing::XaR2MonoTemplate(22050)),
                            testing::AsString(testing::XaR2MonoTemplate(22050))});
    Unpack(root / "speech.idx");
  }

  void Unpack(const std::string& chosen) {
    RecordingHost host;
    ArchiveState state;
    EntryTable table;
    ASSERT_EQ(tessaly::Unpack(chosen, state, table, host).end, UnpackEnd::Success);
  }

  std::string Entry(int row) const {
    return folder + "/speech_0000" + std::to_string(row) + ".asf";
  }

  TempFolder root;
  std::string folder = root / "speech_";
};

// A folder copied from a system that ignores case: its table file, index copy and source pair
// spelt upper-case are found by every operation that opens the folder, and rewritten under their
// own names.
TEST_F(UnpackedClips, EveryCallerFindsPartnersWhoseNamesDifferInCase) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows file names ignore case: the system itself finds the file";
#endif
  fs::rename(folder + "/speech_.tbl", folder + "/SPEECH_.TBL");
  fs::rename(folder + "/speech_.id", folder + "/Speech_.Id");
  fs::rename(root / "speech.idx", root / "SPEECH.IDX");
  fs::rename(root / "speech.big", root / "SPEECH.BIG");
  WriteBytes(Entry(3), "RIFF, not a stream");

  const struct {
    const char* caller;
    std::function<void()> check;
  } callers[] = {
      // Open Folder, status and the clip verbs load the table through the folder's names.
      {"table loader",
       [&] {
         const UnpackFolder names = UnpackFolder::ToRead(folder);
         EXPECT_TRUE(names.HasTableAndIndexCopy());
         EXPECT_EQ(LoadFolderTable(names).RowCount(), 4);
       }},
      {"status",
       [&] {
         RecordingHost host;
         const UnpackFolder names = UnpackFolder::ToRead(folder);
         FolderStatus status =
             CheckFolderStatus(names, LoadFolderTable(names), StatusDepth::kAllChanges, host);
         EXPECT_EQ(status.comparedWith, root / "SPEECH.BIG") << status.withoutPairReason;
         ASSERT_EQ(status.changes.size(), 1u);
         EXPECT_EQ(status.changes[0].row, 3);
       }},
      {"check before packing",
       [&] {
         RecordingHost host;
         std::vector<EntryChange> problems =
             ReplacedEntryProblems(UnpackFolder::ToRead(folder), host);
         ASSERT_EQ(problems.size(), 1u);
         EXPECT_EQ(problems[0].name, "speech_00003.asf");
       }},
      {"pack",
       [&] {
         RecordingHost host;
         EntryTable table;
         EXPECT_EQ(Pack(folder, table, host).end, PackEnd::Success);
         EXPECT_EQ(ReadBytes(folder + "/Speech_.Id"), ReadBytes(root / "speech_.idx"));
       }},
      {"unpack", [&] { Unpack(root / "speech.idx"); }},
  };
  for (const auto& c : callers) {
    SCOPED_TRACE(c.caller);
    c.check();
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
      if (entry.path().extension() != ".asf") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"SPEECH_.TBL", "Speech_.Id"}));
  }
}

// What status and the check before packing find wrong with a replaced entry, judged against the
// clip it replaces in the source pair.
TEST_F(UnpackedClips, StatusNamesTheProblemsOfEachReplacedEntry) {
  const std::string xaMono44100 = testing::AsString(testing::XaR2MonoTemplate(44100));
  const std::string pcmStereo = testing::AsString(testing::PcmStereoTemplate(22050));
  const struct {
    const char* what;
    int row;
    std::optional<std::string> bytes;  // nullopt: the file is removed
    std::vector<std::string> problems;
    bool longer = false;
  } cases[] = {
      {"not a stream", 1, "RIFF, not a stream", {"not a stream: it doesn't begin with \"SCHl\""}},
      {"too short for a tag", 1, "SCH", {"not a stream: it doesn't begin with \"SCHl\""}},
      {"another codec and channel count",
       1,
       testing::AsString(testing::XaR2MonoTemplate(22050)),
       {"another codec: ", "another channel count: 1, the clip it replaces has 2"}},
      {"another sample rate",
       2,
       xaMono44100,
       {"another sample rate: 44100 Hz, the clip it replaces has 22050 Hz"}},
      {"another codec",
       3,
       pcmStereo,
       {"another codec: ", "another channel count: 2, the clip it replaces has 1"}},
      {"missing", 2, std::nullopt, {"missing: there is no file of that name in the folder"}},
      {"the same kind, longer",
       2,
       testing::AsString(testing::XaR2MonoTemplate(22050)) + std::string(600, '\0'),
       {},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string original = ReadBytes(Entry(c.row));
    if (c.bytes)
      WriteBytes(Entry(c.row), *c.bytes);
    else
      fs::remove(Entry(c.row));
    RecordingHost host;
    const UnpackFolder names = UnpackFolder::ToRead(folder);
    const FolderStatus status =
        CheckFolderStatus(names, LoadFolderTable(names), StatusDepth::kAllChanges, host);
    ASSERT_EQ(status.changes.size(), 1u);
    const EntryChange& change = status.changes[0];
    EXPECT_EQ(change.row, c.row);
    EXPECT_EQ(change.missing, !c.bytes);
    EXPECT_EQ(change.longerThanSlot, c.longer);
    ASSERT_EQ(change.problems.size(), c.problems.size());
    for (size_t i = 0; i < c.problems.size(); ++i)
      EXPECT_TRUE(change.problems[i].starts_with(c.problems[i])) << change.problems[i];
    // The check before packing lists the entries with problems, but not a missing file: that is
    // Pack's own message.
    const std::vector<EntryChange> listed = ReplacedEntryProblems(names, host);
    EXPECT_EQ(listed.size(), c.bytes && !c.problems.empty() ? 1u : 0u);
    EXPECT_EQ(status.HasProblems(), !c.problems.empty());
    WriteBytes(Entry(c.row), original);
  }
}

}  // namespace
}  // namespace tessaly
