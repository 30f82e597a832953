// The archive's own clips behind an unpack folder: reverting entries to them, and replacing an
// entry whose file is missing or damaged with them as the template; the length rule of a
// replacement; files matched to entries by name.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/Listing.h"
#include "audio/ClipInfo.h"
#include "audio/Wav.h"
#include "cli/ClipFixtures.h"
#include "clips/ClipImport.h"
#include "clips/FolderStatus.h"
#include "clips/OriginalClips.h"
#include "clips/WavAudioSource.h"
#include "packing/Unpacking.h"
#include "support/RecordingHost.h"
#include "support/TempFolder.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;
using namespace testing;

// Three clips at 22050 Hz: mono, stereo, mono; unpacked into speech_.
struct UnpackedClips {
  UnpackedClips() {
    WriteClipPair(folder, "speech",
                  {Encode(Tone(22050, 1, 2000, 300), XaR2MonoTemplate()),
                   Encode(Tone(22050, 2, 2000, 500), PcmStereoTemplate(22050)),
                   Encode(Tone(22050, 1, 1000, 700), XaR2MonoTemplate())});
    ArchiveState state;
    EXPECT_EQ(Unpack(folder / "speech.idx", state, table, host).end, UnpackEnd::Success);
    for (int row = 1; row <= 3; ++row) unpacked.push_back(ReadBytes(Entry(row)));
  }
  std::string Entry(int row) const {
    return folder / ("speech_/speech_0000" + std::to_string(row) + ".asf");
  }
  UnpackFolder Files() const { return UnpackFolder::Chosen(folder / "speech_"); }

  TempFolder folder;
  RecordingHost host;
  EntryTable table;
  std::vector<std::string> unpacked;  // by row - 1
};

TEST(OriginalClips, RevertWritesBackWhatUnpackWroteWhateverTheEntryFileIs) {
  UnpackedClips clips;
  WriteBytes(clips.Entry(1), "a replacement");
  fs::remove(clips.Entry(2));
  // Entry 3 still holds the archive's bytes.
  RevertResult result = RevertEntries(clips.Files(), clips.table, {1, 2, 3}, clips.host);
  ASSERT_EQ(result.reverted.size(), 2u);
  EXPECT_EQ(result.reverted[0].name, "speech_00001.asf");
  EXPECT_EQ(result.reverted[1].name, "speech_00002.asf");
  EXPECT_EQ(result.alreadyOriginal, 1);
  EXPECT_TRUE(result.failed.empty());
  for (int row = 1; row <= 3; ++row)
    EXPECT_EQ(ReadBytes(clips.Entry(row)), clips.unpacked[static_cast<size_t>(row - 1)]) << row;
  for (const auto& item : fs::directory_iterator(clips.folder / "speech_"))
    EXPECT_NE(item.path().filename().string()[0], '.') << "left aside: " << item.path();

#ifndef _WIN32
  // A link in the entry's place is replaced; the file it points to stays as it was.
  WriteBytes(clips.folder / "elsewhere.txt", "the user's own file");
  fs::remove(clips.Entry(1));
  fs::create_symlink(clips.folder / "elsewhere.txt", clips.Entry(1));
  result = RevertEntries(clips.Files(), clips.table, {1}, clips.host);
  EXPECT_EQ(result.reverted.size(), 1u);
  EXPECT_FALSE(fs::is_symlink(clips.Entry(1)));
  EXPECT_EQ(ReadBytes(clips.Entry(1)), clips.unpacked[0]);
  EXPECT_EQ(ReadBytes(clips.folder / "elsewhere.txt"), "the user's own file");
#endif
}

TEST(OriginalClips, WithoutItsPairNothingIsRevertedAndTheReasonIsGiven) {
  UnpackedClips clips;
  WriteBytes(clips.Entry(1), "a replacement");
  fs::remove(clips.folder / "speech.big");
  RevertResult result = RevertEntries(clips.Files(), clips.table, {1}, clips.host);
  EXPECT_TRUE(result.reverted.empty());
  EXPECT_EQ(result.unusable,
            "the archive's clips can't be read: there is no speech.idx and speech.big beside the "
            "folder");
  EXPECT_EQ(ReadBytes(clips.Entry(1)), "a replacement");

  // A pair that lists another number of entries is no source either.
  WriteClipPair(clips.folder, "speech", {Encode(Tone(22050, 1, 100, 300), XaR2MonoTemplate())});
  result = RevertEntries(clips.Files(), clips.table, {1}, clips.host);
  EXPECT_EQ(result.unusable,
            "the archive's clips can't be read: its pair lists 1 entries, its table 3");
  EXPECT_EQ(ReadBytes(clips.Entry(1)), "a replacement");
}

// A stop reaches the listing of the pair behind the folder, and the status check that uses it.
TEST(OriginalClips, AStopEndsTheListingOfThePairAndTheStatusCheck) {
  UnpackedClips clips;
  WriteBytes(clips.Entry(2), "a replacement");
  clips.host.stop.request_stop();
  const OriginalClips pair(clips.Files(), 3, clips.host.StopToken());
  EXPECT_FALSE(pair.Available());
  EXPECT_EQ(pair.Unusable(), "its listing was stopped");
  const FolderStatus status =
      CheckFolderStatus(clips.Files(), clips.table, StatusDepth::kAllChanges, clips.host);
  EXPECT_TRUE(status.cancelled);
  EXPECT_TRUE(status.changes.empty());
}

TEST(OriginalClips, AMissingOrDamagedEntryIsReplacedWithTheArchivesClipAsTemplate) {
  UnpackedClips clips;
  const std::string wav = clips.folder / "line.wav";
  const std::vector<uint8_t> bytes = WavBytes(Tone(22050, 1, 1500, 440));
  WriteBytes(wav, std::string(bytes.begin(), bytes.end()));
  WavAudioSource source;
  const struct {
    int row;
    const char* damage;  // nullptr: the file is removed
  } cases[] = {{1, nullptr}, {2, "not a stream"}, {3, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    if (c.damage)
      WriteBytes(clips.Entry(c.row), c.damage);
    else
      fs::remove(clips.Entry(c.row));
    ImportOutcome outcome =
        ImportIntoEntry(clips.Files(), clips.table, c.row, wav, source, ImportOptions{});
    EXPECT_TRUE(outcome.written);
    EXPECT_TRUE(outcome.fromArchive);
    const std::string written = ReadBytes(clips.Entry(c.row));
    const ClipInfo info =
        ReadClipInfo(std::span(reinterpret_cast<const uint8_t*>(written.data()), written.size()));
    const std::string original = clips.unpacked[static_cast<size_t>(c.row - 1)];
    const ClipInfo was =
        ReadClipInfo(std::span(reinterpret_cast<const uint8_t*>(original.data()), original.size()));
    ASSERT_TRUE(info.readable) << info.reason;
    EXPECT_EQ(info.codecName, was.codecName);
    EXPECT_EQ(info.channels, was.channels);
    EXPECT_EQ(info.samples, 1500u);
  }

  // Without the pair the reason names both faults, and nothing is written.
  fs::remove(clips.folder / "speech.idx");
  fs::remove(clips.Entry(1));
  try {
    ImportIntoEntry(clips.Files(), clips.table, 1, wav, source, ImportOptions{});
    FAIL() << "imported without a template";
  } catch (const std::exception& error) {
    EXPECT_EQ(std::string(error.what()),
              "there is no entry file speech_00001.asf, and the archive's clip can't be read: "
              "there is no speech.idx and speech.big beside the folder");
  }
  EXPECT_FALSE(fs::exists(clips.Entry(1)));
}

TEST(OriginalClips, AMuchLongerOrShorterClipIsNamedAndWrittenOnlyWhenConfirmed) {
  const struct {
    double now, was;
    const char* warning;
  } rules[] = {
      {2.0, 1.0, ""},
      {0.5, 1.0, ""},
      {2.01, 1.0, "2.01 s, more than twice the 1.00 s of the clip it replaces"},
      {0.49, 1.0, "0.49 s, less than half the 1.00 s of the clip it replaces"},
      {1.0, 0.0, ""},
  };
  for (const auto& rule : rules)
    EXPECT_EQ(LengthWarning(rule.now, rule.was), rule.warning) << rule.now << " " << rule.was;

  UnpackedClips clips;  // row 3 is 1,000 frames long
  const std::string wav = clips.folder / "long.wav";
  const std::vector<uint8_t> bytes = WavBytes(Tone(22050, 1, 2500, 440));
  WriteBytes(wav, std::string(bytes.begin(), bytes.end()));
  WavAudioSource source;
  std::vector<std::string> asked;
  ImportOptions options;
  options.confirmLength = [&](const std::string& warning) {
    asked.push_back(warning);
    return false;
  };
  ImportOutcome outcome = ImportIntoEntry(clips.Files(), clips.table, 3, wav, source, options);
  EXPECT_FALSE(outcome.written);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], "0.11 s, more than twice the 0.05 s of the clip it replaces");
  EXPECT_EQ(ReadBytes(clips.Entry(3)), clips.unpacked[2]);
  options.confirmLength = [](const std::string&) { return true; };
  EXPECT_TRUE(ImportIntoEntry(clips.Files(), clips.table, 3, wav, source, options).written);
  EXPECT_NE(ReadBytes(clips.Entry(3)), clips.unpacked[2]);
}

TEST(OriginalClips, FilesFromAnywhereMatchEntriesByNameIgnoringCase) {
  UnpackedClips clips;
  fs::create_directories(clips.folder / "a");
  fs::create_directories(clips.folder / "b");
  const std::vector<uint8_t> bytes = WavBytes(Tone(22050, 1, 1500, 440));
  const std::string wav(bytes.begin(), bytes.end());
  WriteBytes(clips.folder / "a/SPEECH_00001.WAV", wav);
  WriteBytes(clips.folder / "b/speech_00003.wav", wav);
  WriteBytes(clips.folder / "b/crowd.wav", wav);
  WavAudioSource source;
  ImportByNameResult result =
      ImportFilesByName(EntryStreams::InFolder(clips.folder / "speech_", clips.table),
                        {clips.folder / "b/speech_00003.wav", clips.folder / "a/SPEECH_00001.WAV",
                         clips.folder / "b/crowd.wav"},
                        source, ImportOptions{}, clips.host);
  ASSERT_EQ(result.imported.size(), 2u);
  EXPECT_EQ(result.imported[0].row, 1);
  EXPECT_EQ(result.imported[0].file, "SPEECH_00001.WAV");
  EXPECT_EQ(result.imported[1].row, 3);
  ASSERT_EQ(result.skipped.size(), 1u);
  EXPECT_EQ(result.skipped[0].file, "crowd.wav");
  EXPECT_NE(ReadBytes(clips.Entry(1)), clips.unpacked[0]);
  EXPECT_EQ(ReadBytes(clips.Entry(2)), clips.unpacked[1]);
}

}  // namespace
}  // namespace tessaly
