// Where clips go and come from: export to and import from folders whose paths hold non-ASCII
// characters or run past Windows' old 260-character limit (paths are UTF-8 throughout, on Windows
// too), export to the standard output, and info and export of a single clip file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CliRunner.h"
#include "cli/ClipFixtures.h"

namespace tessaly::testing {
namespace {

TEST(FolderNameTest, ExportToAndImportFromNonAsciiAndLongFolders) {
  TempFolder folder;
  const PcmAudio tone = Tone(32000, 2, 4000, 440);
  WriteClipPair(folder, "speech",
                {Encode(tone, PcmStereoTemplate(32000)), Encode(tone, PcmStereoTemplate(32000))});
  ASSERT_EQ(RunCli({"unpack", "speech.idx"}, folder.Path()).status, 0);

  const std::string part(60, 'd');
  const std::string places[] = {
      "Kommentar – Jürgen, Ça, 日本語",
      part + "/" + part + "/" + part + "/" + part + "/" + part + " ü",  // past 260 in all
  };
  for (const std::string& place : places) {
    SCOPED_TRACE(place);
    ASSERT_GT((folder / place).size(), place.size());
    CliRun run = RunCli({"export", "speech.idx", "--entries", "2", "--to", place}, folder.Path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.starts_with("Exported 1 of 1 clips to ")) << run.out;  // any separators
    EXPECT_EQ(ReadWavFile(folder / (place + "/speech_00002.wav")).samples, tone.samples);

    run = RunCli({"import", "speech_", "--from", place}, folder.Path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "Imported speech_00002.wav into speech_00002.asf\nImported 1 files, skipped 0\n");
  }
  EXPECT_GT((folder / places[1]).size(), 260u);
}

TEST(FolderNameTest, ExportToStandardOutputAndOfASingleClipFile) {
  TempFolder folder;
  const PcmAudio tone = Tone(32000, 2, 4000, 440);
  WriteClipPair(folder, "speech",
                {Encode(tone, PcmStereoTemplate(32000)), Encode(tone, PcmStereoTemplate(32000))});
  ASSERT_EQ(RunCli({"unpack", "speech.idx"}, folder.Path()).status, 0);
  const std::vector<uint8_t> wav = WavBytes(tone);
  const std::string expected(wav.begin(), wav.end());
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out, err;
  } cases[] = {
      {{"export", "speech.idx", "--entries", "2", "--to", "-"}, 0, expected, ""},
      {{"export", "speech_/speech_00001.asf", "--to", "-"}, 0, expected, ""},
      {{"export", "speech.idx", "--to", "-"},
       1,
       "",
       "tessaly-cli: --to - writes one WAV file to the standard output, and 2 entries are "
       "chosen: choose one with --entries N, or give a folder\n"},
      {{"info", "speech_/speech_00002.asf"},
       0,
       "#\tName\tCodec\tChannels\tRate\tSamples\tSeconds\n"
       "1\tspeech_00002.asf\tPCM S16LE\t2\t32000\t4000\t0.125\n\n"
       "Clips\tCodec\tChannels\tRate\tSeconds\n1\tPCM S16LE\t2\t32000\t0.125\n",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[1] + " " + c.args.back());
    CliRun run = RunCli(c.args, folder.Path());
    EXPECT_EQ(run.status, c.status);
    EXPECT_TRUE(run.out == c.out) << run.out.size() << " bytes";
    EXPECT_EQ(run.err, c.err);
  }
  EXPECT_FALSE(PathExists(folder / "-"));
}

}  // namespace
}  // namespace tessaly::testing
