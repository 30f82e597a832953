// The clip verbs end to end: info, export, import, status and pack's check, on a pair of real
// clips (speech, a PCM tone) and one stream whose header can't be read.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "audio/ClipInfo.h"
#include "cli/CliRunner.h"
#include "cli/ClipFixtures.h"

namespace tessaly::testing {
namespace {

namespace fs = std::filesystem;

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

ClipInfo InfoOfFile(const std::string& path) {
  std::string bytes = ReadBytes(path);
  return ReadClipInfo(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

class ClipVerbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    speech = Speak("Goal! What a strike from the edge of the box.", folder / "line.wav");
    ASSERT_GT(speech.Frames(), 22050u) << "espeak-ng must be installed";
    tone = Tone(32000, 2, 8000, 440);
    WriteClipPair(
        folder, "speech",
        {Encode(speech, XaR2MonoTemplate()), Encode(tone, PcmStereoTemplate(32000)), kHostile});
  }
  CliRun Run(const std::vector<std::string>& args) { return RunCli(args, folder.Path()); }
  void Unpack() { ASSERT_EQ(Run({"unpack", "speech.idx"}).status, 0); }
  std::string Entry(int row) {
    return folder / ("speech_/speech_0000" + std::to_string(row) + ".asf");
  }

  // An SCHl chunk that claims to run far past its stream.
  const std::string kHostile =
      std::string("SCHl\xF0\xFF\xFF\x7F", 8) + "PT" + std::string(246, '\0');
  TempFolder folder;
  PcmAudio speech, tone;
};

TEST_F(ClipVerbTest, InfoListsEveryClipOfAnArchiveOrFolderAndNamesTheUnreadableOne) {
  const std::string speechLine =
      "XA r2\t1\t22050\t" + std::to_string(speech.Frames()) + "\t" + Seconds(speech.Seconds());
  const std::string expected =
      "#\tName\tCodec\tChannels\tRate\tSamples\tSeconds\n"
      "1\tspeech_00001.asf\t" +
      speechLine +
      "\n"
      "2\tspeech_00002.asf\tPCM S16LE\t2\t32000\t8000\t0.250\n"
      "3\tspeech_00003.asf\t\t\t\t\t\n"
      "\nClips\tCodec\tChannels\tRate\tSeconds\n"
      "1\tPCM S16LE\t2\t32000\t0.250\n"
      "1\t" +
      speechLine.substr(0, speechLine.find('\t', 12)) + "\t" + Seconds(speech.Seconds()) +
      "\n1\tunreadable\t\t\t\n";
  for (const char* target : {"speech.big", "speech_"}) {
    SCOPED_TRACE(target);
    if (std::string(target) == "speech_") Unpack();
    CliRun run = Run({"info", target});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, expected);
    EXPECT_TRUE(run.err.starts_with("tessaly-cli: entry 3 (speech_00003.asf): ")) << run.err;
  }
}

TEST_F(ClipVerbTest, FolderVerbsOnAFolderWithoutItsTableSayWhatPackSays) {
  fs::create_directory(folder / "x_");
  for (std::vector<std::string> args : {std::vector<std::string>{"info", "x_"},
                                        {"export", "x_", "--to", "wavs"},
                                        {"import", "x_", "1", "line.wav"},
                                        {"status", "x_"}}) {
    SCOPED_TRACE(args[0]);
    CliRun run = Run(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Resource files not found in " + folder / "x_" + "\n");
  }
}

TEST_F(ClipVerbTest, InfoOfReadableClipsSucceeds) {
  WriteClipPair(folder, "clean", {Encode(tone, PcmStereoTemplate(32000))});
  CliRun run = Run({"info", "clean.idx"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("\n1\tPCM S16LE\t2\t32000\t0.250\n"), std::string::npos) << run.out;
}

// The listing reads 512 bytes at each entry's start, running on into the next entry: a header
// chunk that claims more bytes than its entry has is judged on the entry's own bytes, as in its
// unpacked file. Here a 300-byte chunk (its last fields long ones to skip) in a 256-byte entry.
TEST_F(ClipVerbTest, InfoOfAnArchiveJudgesAHeaderLongerThanItsEntryAsTheFolderDoes) {
  std::string header = std::string("SCHl\x2C\x01\0\0PT\0\0\x82\x01\x02\x84\x02\x7D\0", 19) +
                       "\x10\xFA" + std::string(250, 'x') + "\x11\x1B" + std::string(27, 'x');
  ASSERT_EQ(header.size(), 300u);
  WriteClipPair(folder, "cut", {header.substr(0, 256), Encode(tone, PcmStereoTemplate(32000))});
  CliRun archive = Run({"info", "cut.idx"});
  ASSERT_EQ(Run({"unpack", "cut.idx"}).status, 0);
  CliRun unpacked = Run({"info", "cut_"});
  EXPECT_EQ(archive.status, 1);
  EXPECT_NE(archive.out.find("\n1\tcut_00001.asf\t\t\t\t\t\n"), std::string::npos) << archive.out;
  EXPECT_EQ(archive.out, unpacked.out);
  EXPECT_EQ(archive.err, unpacked.err);
}

// The first entry shares the second one's start: Unpack writes it empty, and an untouched folder
// has no changes for status or pack to refuse.
TEST_F(ClipVerbTest, AnEntrySharingTheNextOnesStartIsThatClipAndNoChange) {
  WriteClipPair(folder, "alias", {"", Encode(tone, PcmStereoTemplate(32000))});
  CliRun info = Run({"info", "alias.idx"});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("\n2\tPCM S16LE\t2\t32000\t0.500\n"), std::string::npos) << info.out;
  ASSERT_EQ(Run({"unpack", "alias.idx"}).status, 0);
  // The untouched folder answers as the archive does: `unpack && export` works in scripts.
  for (const char* target : {"alias.idx", "alias_"}) {
    SCOPED_TRACE(target);
    CliRun folderInfo = Run({"info", target});
    EXPECT_EQ(folderInfo.status, 0) << folderInfo.err;
    EXPECT_NE(folderInfo.out.find("\n1\talias_00001.asf\tPCM S16LE\t2\t32000\t8000\t0.250\n"),
              std::string::npos)
        << folderInfo.out;
    CliRun exported = Run({"export", target, "--to", std::string("wavs-") + target});
    EXPECT_EQ(exported.status, 0) << exported.err;
  }
  EXPECT_EQ(ReadWavFile(folder / "wavs-alias_/alias_00001.wav").samples, tone.samples);
  CliRun status = Run({"status", "alias_"});
  EXPECT_EQ(status.status, 0);
  EXPECT_EQ(status.out, "Compared with " + folder / "alias.big" +
                            "\n0 of 2 entries changed, 0 with a problem\n");
  EXPECT_EQ(Run({"pack", "alias_"}).status, 0);
}

TEST_F(ClipVerbTest, ExportWritesTheChosenEntriesAsWav) {
  CliRun run = Run({"export", "speech.idx", "--entries", "2,speech_00001.asf", "--to", "wavs"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Exported 2 of 2 clips to " + folder / "wavs" + "\n");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder / "wavs"))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"speech_00001.wav", "speech_00002.wav"}));
  PcmAudio exportedTone = ReadWavFile(folder / "wavs/speech_00002.wav");
  EXPECT_EQ(exportedTone.samples, tone.samples);  // PCM streams are lossless
  EXPECT_EQ(exportedTone.sampleRate, 32000);
  PcmAudio exportedSpeech = ReadWavFile(folder / "wavs/speech_00001.wav");
  EXPECT_EQ(exportedSpeech.Frames(), speech.Frames());

  // A second export replaces what is there, leaving no file written aside.
  WriteBytes(folder / "wavs/speech_00002.wav", "an older file");
  EXPECT_EQ(Run({"export", "speech.idx", "--entries", "2", "--to", "wavs"}).status, 0);
  EXPECT_EQ(ReadWavFile(folder / "wavs/speech_00002.wav").samples, tone.samples);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder / "wavs"), fs::directory_iterator()), 2);
}

TEST_F(ClipVerbTest, AMicroTalkClipExportsAndImportsBackInItsOwnFormat) {
  WriteClipPair(folder, "talk", {Encode(speech, MicroTalkTemplate())});
  CliRun run = Run({"export", "talk.idx", "--to", "wavs"});
  ASSERT_EQ(run.status, 0) << run.err;
  PcmAudio exported = ReadWavFile(folder / "wavs/talk_00001.wav");
  EXPECT_EQ(exported.Frames(), speech.Frames());
  EXPECT_EQ(exported.sampleRate, 22050);

  ASSERT_EQ(Run({"unpack", "talk.idx"}).status, 0);
  run = Run({"import", "talk_", "talk_00001.asf", "wavs/talk_00001.wav"});
  EXPECT_EQ(run.status, 0) << run.err;
  ClipInfo info = InfoOfFile(folder / "talk_/talk_00001.asf");
  EXPECT_EQ(info.codecName, "MicroTalk 5:1");
  EXPECT_EQ(info.samples, speech.Frames());
  CliRun status = Run({"status", "talk_"});
  EXPECT_EQ(status.status, 0) << status.err;
  EXPECT_NE(status.out.find("talk_00001.asf\tok"), std::string::npos) << status.out;
  ASSERT_EQ(Run({"pack", "talk_"}).status, 0);
  EXPECT_EQ(Run({"export", "talk.idx", "--to", "again"}).status, 0);
  EXPECT_EQ(ReadWavFile(folder / "again/talk_00001.wav").Frames(), speech.Frames());
}

TEST_F(ClipVerbTest, ExportOfAFolderSkipsTheUndecodableEntryAndSaysWhy) {
  Unpack();
  CliRun run = Run({"export", "speech_", "--to", "wavs"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "Exported 2 of 3 clips to " + folder / "wavs" + "\n");
  EXPECT_TRUE(run.err.starts_with("tessaly-cli: entry 3 (speech_00003.asf) not exported: "))
      << run.err;
  EXPECT_TRUE(fs::exists(folder / "wavs/speech_00002.wav"));
  EXPECT_FALSE(fs::exists(folder / "wavs/speech_00003.wav"));
}

TEST_F(ClipVerbTest, ExportRefusesBadEntryListsAndAnUnusableFolderWritingNothing) {
  WriteBytes(folder / "afile", "x");
  struct Case {
    std::vector<std::string> args;
    std::string errStart;
  } cases[] = {
      {{"--entries", "4", "--to", "wavs"}, "tessaly-cli: --entries: \"4\" is not an entry number"},
      {{"--entries", "3-1", "--to", "wavs"}, "tessaly-cli: --entries: \"3-1\" is a range that"},
      {{"--entries", "1-9", "--to", "wavs"}, "tessaly-cli: --entries: \"1-9\" is not a range"},
      {{"--entries", "nosuch.asf", "--to", "wavs"}, "tessaly-cli: --entries: \"nosuch.asf\" names"},
      {{"--entries", "1,,2", "--to", "wavs"}, "tessaly-cli: --entries: an empty item"},
      {{"--entries", "1", "--to", "afile"}, "tessaly-cli: export stopped: Cannot create folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[1] + " " + c.args[3]);
    std::vector<std::string> args{"export", "speech.idx"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    CliRun run = Run(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with(c.errStart)) << run.err;
    EXPECT_FALSE(fs::exists(folder / "wavs"));
  }
}

TEST_F(ClipVerbTest, ImportReplacesAnEntryWithTheRecordingInTheClipsFormat) {
  Unpack();
  PcmAudio save = Speak("Saved!", folder / "save.wav");
  CliRun run = Run({"import", "speech_", "speech_00001.asf", "save.wav"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Imported " + folder / "save.wav" + " into " + Entry(1) + "\n");
  ClipInfo info = InfoOfFile(Entry(1));
  EXPECT_EQ(info.codecName, "XA r2");
  EXPECT_EQ(info.sampleRate, 22050);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.samples, save.Frames());

  CliRun status = Run({"status", "speech_"});
  EXPECT_EQ(status.status, 0);
  EXPECT_EQ(status.out,
            "Compared with " + folder / "speech.big" +
                "\n1\tspeech_00001.asf\tok\n1 of 3 entries changed, 0 with a problem\n");
}

// The same recording again: by default no more bytes per second than the clip (plain ADPCM, so
// the same size), with --quality best escape frames up to 5 % above it.
TEST_F(ClipVerbTest, ImportQualityGivesEscapeFramesRoomAboveTheClipsBytesPerSecond) {
  Unpack();
  const size_t own = ReadBytes(Entry(1)).size();  // the stream and its padding in the data file
  std::vector<size_t> sizes;
  for (std::vector<std::string> quality :
       {std::vector<std::string>{}, {"--quality", "plain"}, {"--quality", "best"}}) {
    std::vector<std::string> args = {"import", "speech_", "1", "line.wav"};
    args.insert(args.end(), quality.begin(), quality.end());
    CliRun run = Run(args);
    EXPECT_EQ(run.status, 0) << run.err;
    sizes.push_back(ReadBytes(Entry(1)).size());
  }
  EXPECT_LE(sizes[0], own);
  EXPECT_EQ(sizes[1], sizes[0]);
#ifndef _WIN32  // the voiced stand-in of Windows may have no frame an escape pays for
  EXPECT_GT(sizes[2], sizes[0]);
#endif
  EXPECT_LE(sizes[2], sizes[0] * 105 / 100);
  EXPECT_EQ(Run({"import", "speech_", "1", "line.wav", "--quality", "loud"}).status, 2);
}

// A recording at another rate and channel count, louder than the clip it replaces.
TEST_F(ClipVerbTest, ImportConvertsAnotherRateAndChannelCountAndMatchesLoudness) {
  Unpack();
  std::vector<uint8_t> wav = WavBytes(Tone(44100, 2, 44100, 220));
  WriteBytes(folder / "take.wav", std::string(wav.begin(), wav.end()));
  CliRun run = Run({"import", "speech_", "1", "take.wav", "--loudness", "match"});
  if (CliHasMedia()) {
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\nLoudness matched: "), std::string::npos) << run.out;
    ClipInfo info = InfoOfFile(Entry(1));
    EXPECT_EQ(info.sampleRate, 22050);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.samples, 22050u);
  } else {
    // Without FFmpeg both are refused, the folder left as it was.
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "loudness matching needs FFmpeg, which this build of the program lacks.\n");
    const auto before = FilesUnder(folder / "speech_", Folders::Listed);
    run = Run({"import", "speech_", "1", "take.wav"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Cannot import \"" + folder / "take.wav" +
                           "\": its sample rate is 44100 Hz and the clip's 22050 Hz. This build "
                           "has no FFmpeg to convert it: convert the file to 22050 Hz first.\n");
    EXPECT_EQ(FilesUnder(folder / "speech_", Folders::Listed), before);
  }
}

TEST_F(ClipVerbTest, AFailedImportLeavesTheFolderAsItWas) {
  Unpack();
  WriteBytes(folder / "notes.txt", "not audio");
  auto before = FilesUnder(folder / "speech_", Folders::Listed);
  struct Case {
    std::vector<std::string> args;
    std::string errStart;
  } cases[] = {
      {{"2", "notes.txt"}, "Cannot read"},
      {{"3", "line.wav"}, "the entry file holds no clip to replace: "},
      {{"9", "line.wav"}, "tessaly-cli: no entry \"9\" in " + folder / "speech_"},
      {{"1", "missing.wav"}, "Cannot "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    CliRun run = Run({"import", "speech_", c.args[0], c.args[1]});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with(c.errStart)) << run.err;
    EXPECT_EQ(FilesUnder(folder / "speech_", Folders::Listed), before);
  }
}

TEST_F(ClipVerbTest, ImportFromAFolderMatchesFilesByNameAndReportsWhatItSkipped) {
  Unpack();
  fs::create_directory(folder / "takes");
  Speak("Saved!", folder / "takes/speech_00001.wav");
  std::vector<uint8_t> wav = WavBytes(Tone(32000, 2, 4000, 330));
  WriteBytes(folder / "takes/speech_00002.wav", std::string(wav.begin(), wav.end()));
  fs::copy_file(folder / "line.wav", folder / "takes/speech_00003.wav");
  WriteBytes(folder / "takes/notes.txt", "");

  CliRun run = Run({"import", "speech_", "--from", "takes"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "Imported speech_00001.wav into speech_00001.asf\n"
            "Imported speech_00002.wav into speech_00002.asf\n"
            "Skipped notes.txt: its name matches no entry\n"
            "Imported 2 files, skipped 2\n");
  EXPECT_TRUE(
      run.err.starts_with("tessaly-cli: skipped speech_00003.wav: the entry file holds "
                          "no clip to replace"))
      << run.err;
  EXPECT_EQ(InfoOfFile(Entry(2)).samples, 4000u);
  EXPECT_EQ(ReadBytes(Entry(3)), kHostile);
}

TEST_F(ClipVerbTest, StatusAndPackRefuseReplacementsOfAnotherKindUnlessForced) {
  Unpack();
  WriteBytes(Entry(1), "RIFF, not a stream");
  WriteBytes(Entry(2), Encode(Tone(44100, 2, 30000, 440), PcmStereoTemplate(44100)));
  const std::string problems =
      "1\tspeech_00001.asf\tnot a stream: it doesn't begin with \"SCHl\"\n"
      "2\tspeech_00002.asf\tanother sample rate: 44100 Hz, the clip it replaces has 32000 Hz\t"
      "longer than its slot (" +
      std::to_string(fs::file_size(Entry(2))) +
      " bytes, slot 32256): packing moves later entries\n";

  CliRun status = Run({"status", "speech_"});
  EXPECT_EQ(status.status, 1);
  EXPECT_EQ(status.out, "Compared with " + folder / "speech.big" + "\n" + problems +
                            "2 of 3 entries changed, 2 with a problem\n");

  auto before = FilesUnder(folder.Path(), Folders::Listed);
  CliRun refused = Run({"pack", "speech_"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err,
            Entry(1) + ": not a stream: it doesn't begin with \"SCHl\"\n" + Entry(2) +
                ": another sample rate: 44100 Hz, the clip it replaces has 32000 Hz\n"
                "tessaly-cli: nothing packed: replaced entries have problems (2); pack --force "
                "packs them as they are\n");
  EXPECT_EQ(FilesUnder(folder.Path(), Folders::Listed), before);

  CliRun forced = Run({"pack", "speech_", "--force"});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_TRUE(fs::exists(folder / "speech_.big"));
}

TEST_F(ClipVerbTest, StatusWithoutThePairJudgesBySize) {
  Unpack();
  fs::rename(folder / "speech.big", folder / "elsewhere.big");
  WriteBytes(Entry(2), "RIFF");
  CliRun status = Run({"status", "speech_"});
  EXPECT_EQ(status.status, 1);
  EXPECT_EQ(status.out,
            "Judged by the recorded sizes: there is no speech.idx and speech.big beside the "
            "folder\n2\tspeech_00002.asf\tnot a stream: it doesn't begin with \"SCHl\"\n"
            "1 of 3 entries changed, 1 with a problem\n");
}

}  // namespace
}  // namespace tessaly::testing
