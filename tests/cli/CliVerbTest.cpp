// tessaly-cli as a script sees it: output, exit status and the files each verb leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/CliRunner.h"
#include "support/ArchiveBuilder.h"
#include "support/TempFolder.h"

namespace tessaly::testing {
namespace {

// Two blocks: entries at 0 and 4096 in block 0, one at 10240 in block 1 (its Offset). With a
// data file of 12000 bytes the streams are 4096, 6144 and 1760 bytes long.
ArchiveBuilder ThreeEntries() {
  ArchiveBuilder archive;
  archive.Block({.units = {0, 16},
                 .offset = 0,
                 .id = 0x1234,
                 .digitIndex = 3,
                 .unknwn1 = 1,
                 .unknwn2 = 2,
                 .unknwn3 = 3,
                 .unknwn4 = 4});
  archive.Block({.units = {0}, .offset = 10240, .id = 7});
  return archive;
}
constexpr size_t kDataSize = 12000;

// The titles as list prints them: UTF-8 (the index's own Latin-1 "\xE5" converted).
const std::string kHeader =
    "#\tName\tID\tBlock #\tASF count\tDigit Ind\xC3\xA5x\tReal Address\tAddress\tOffset\tPos in "
    "Block\tOffset Pos\tBlock Pos\tUnknwn1\tUnknwn2\tUnknwn3\tUnknwn4\tSize\n";
const std::string kRow1 =
    "1\tspeech_00001.asf\t4660\t0\t2\t3\t0\t0\t0\t132\t100\t120\t1\t2\t3\t4\t\n";
const std::string kRow2 =
    "2\tspeech_00002.asf\t4660\t0\t2\t3\t4096\t4096\t0\t137\t100\t120\t1\t2\t3\t4\t\n";
const std::string kRow3 =
    "3\tspeech_00003.asf\t7\t1\t1\t0\t10240\t0\t10240\t154\t116\t142\t0\t0\t0\t0\t\n";

void WriteThreeEntries(const TempFolder& folder) {
  ArchiveBuilder archive = ThreeEntries();
  WritePair(folder, "speech", archive.Index(), archive.Data(kDataSize));
}

// The first stream starts at 256: the sizes add up to 11744, not 12000.
void WriteLateFirstEntry(const TempFolder& folder) {
  ArchiveBuilder archive = ThreeEntries();
  archive.blocks[0].units = {1, 16};
  WritePair(folder, "speech", archive.Index(), archive.Data(kDataSize));
}

// The second entry's start holds no "SCHl".
void WriteMissingSchl(const TempFolder& folder) {
  WritePair(folder, "speech", ThreeEntries().Index(),
            ArchiveBuilder::DataWithSchl(kDataSize, {0, 10240}));
}

void WriteEmptyData(const TempFolder& folder) {
  WritePair(folder, "speech", ThreeEntries().Index(), "");
}

// The third entry starts at 256, before the second: the sizes still add up to 12000, but the
// second one's (4294963456) is too large to be read back.
void WriteBackwardsEntry(const TempFolder& folder) {
  ArchiveBuilder archive = ThreeEntries();
  archive.blocks[1] = {.units = {1}, .offset = 0};
  WritePair(folder, "speech", archive.Index(), archive.Data(kDataSize));
}

void WriteUnpackedWithoutSecondEntry(const TempFolder& folder) {
  WriteThreeEntries(folder);
  ASSERT_EQ(RunCli({"unpack", "speech.idx"}, folder.Path()).status, 0);
  std::filesystem::remove(folder / "speech_/speech_00002.asf");
}

void MakeEmptyFolder(const TempFolder& folder) {
  std::filesystem::create_directory(folder / "x_");
}

// "@/name" in expected texts stands for a path in the test's folder, up to the next blank.
std::string Expand(std::string text, const TempFolder& folder) {
  for (size_t at = text.find("@/"); at != std::string::npos; at = text.find("@/", at + 1)) {
    size_t end = std::min(text.find_first_of(" \n", at), text.size());
    std::string path = folder / text.substr(at + 2, end - at - 2);
    text.replace(at, end - at, path);
    at += path.size() - 1;
  }
  return text;
}

struct FailureCase {
  const char* name;
  void (*setup)(const TempFolder&);
  std::vector<std::string> args;
  std::string out;
  std::string err;
  std::vector<std::string> present;  // paths that must exist afterwards
  std::vector<std::string> absent;   // paths that must not
};

TEST(CliFailures, ExitOneWithTheWindowsMessagesOnStandardError) {
  const std::vector<FailureCase> cases = {
      {"unpack: missing archive",
       nullptr,
       {"unpack", "missing.big"},
       "",
       "File: @/missing.idx not found.\n",
       {},
       {"missing_"}},
      {"unpack: sizes don't add up",
       WriteLateFirstEntry,
       {"unpack", "speech.idx"},
       "",
       "Error with filesize extracting.\n",
       {"speech_"},
       {"speech_/speech_00001.asf"}},
      {"unpack: failed SCHl check still writes the listed rows",
       WriteMissingSchl,
       {"unpack", "speech.idx"},
       "Successfully extracted to @/speech_\n",
       "SCHl not found in 4096\n",
       {"speech_/speech_00001.asf", "speech_/speech_.id", "speech_/speech_.tbl"},
       {"speech_/speech_00002.asf"}},
      {"unpack: silent stop on an empty data file",
       WriteEmptyData,
       {"unpack", "speech.idx"},
       "",
       "SCHl not found in 0\n"
       "tessaly-cli: nothing unpacked: the data file or the index file is empty\n",
       {},
       {"speech_"}},
      {"unpack: framework error",
       WriteBackwardsEntry,
       {"unpack", "speech.idx"},
       "",
       "'4294963456' is not a valid integer value.\n",
       {"speech_/speech_00001.asf"},
       {"speech_/speech_00002.asf", "speech_/speech_.tbl"}},
      {"verify: sizes don't add up",
       WriteLateFirstEntry,
       {"verify", "speech.idx"},
       "not consistent\nentries: 3\ndata size: 12000\n",
       "tessaly-cli: the entry sizes add up to 11744 bytes, the data file holds 12000\n",
       {},
       {"speech_"}},
      {"verify: failed SCHl check",
       WriteMissingSchl,
       {"verify", "speech.big"},
       "not consistent\nentries: 1\ndata size: 12000\n",
       "SCHl not found in 4096\n",
       {},
       {"speech_"}},
      {"verify: a size unpack can't read back",
       WriteBackwardsEntry,
       {"verify", "speech.idx"},
       "not consistent\nentries: 3\ndata size: 12000\n",
       "tessaly-cli: entry 2 has the size 4294963456, more than a stream can hold (its start "
       "lies before the entry above it)\n",
       {},
       {"speech_"}},
      {"list: failed SCHl check",
       WriteMissingSchl,
       {"list", "speech.idx"},
       kHeader + kRow1 + "\nspeech.idx - speech.big\nAsf count: 2\nRead 142 bytes of 156\n",
       "SCHl not found in 4096\n",
       {},
       {"speech_"}},
      {"list: missing archive",
       nullptr,
       {"list", "missing.idx"},
       "",
       "File: @/missing.idx not found.\n",
       {},
       {}},
      {"pack: resources missing",
       MakeEmptyFolder,
       {"pack", "x_"},
       "",
       "Resource files not found in @/x_\n",
       {},
       {"x_.idx", "x_.big"}},
      {"pack: entry file missing",
       WriteUnpackedWithoutSecondEntry,
       {"pack", "speech_"},
       "",
       "File not found @/speech_/speech_00002.asf\n",
       {},
       {"speech_.idx"}},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    if (c.setup) c.setup(folder);
    CliRun run = RunCli(c.args, folder.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Expand(c.out, folder));
    EXPECT_EQ(run.err, Expand(c.err, folder));
    for (const std::string& path : c.present)
      EXPECT_TRUE(std::filesystem::exists(folder / path)) << path;
    for (const std::string& path : c.absent)
      EXPECT_FALSE(std::filesystem::exists(folder / path)) << path;
  }
}

class CliVerbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteThreeEntries(folder);
    index = ReadBytes(folder / "speech.idx");
    data = ReadBytes(folder / "speech.big");
  }
  CliRun Run(const std::vector<std::string>& args) { return RunCli(args, folder.Path()); }

  TempFolder folder;
  std::string index, data;
};

TEST_F(CliVerbTest, UnpackWritesEveryStreamAndReportsTheFolderOnStandardOutput) {
  CliRun run = Run({"unpack", "speech.big"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "Successfully extracted to " + folder / "speech_" + "\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadBytes(folder / "speech_/speech_00001.asf"), data.substr(0, 4096));
  EXPECT_EQ(ReadBytes(folder / "speech_/speech_00002.asf"), data.substr(4096, 6144));
  EXPECT_EQ(ReadBytes(folder / "speech_/speech_00003.asf"), data.substr(10240));
  EXPECT_EQ(ReadBytes(folder / "speech_/speech_.id"), index);
  std::string table = ReadBytes(folder / "speech_/speech_.tbl");
  for (const char* size : {"16,1,4096\r\n", "16,2,6144\r\n", "16,3,1760\r\n"})
    EXPECT_NE(table.find(size), std::string::npos) << size;
}

TEST_F(CliVerbTest, PathsAreResolvedAsTheDialogsWouldGiveThem) {
  std::filesystem::create_directory(folder / "sub");
  for (const std::string& argument :
       {std::string("speech.idx"), std::string("./speech.big"), std::string("sub/../speech.idx"),
        folder / "speech.idx", folder.Path() + "//sub/./../speech.big"}) {
    SCOPED_TRACE(argument);
    CliRun run = Run({"unpack", argument});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Successfully extracted to " + folder / "speech_" + "\n");
  }
}

TEST_F(CliVerbTest, UnpackOfAnUpperCasePairFindsTheIndex) {
  std::filesystem::rename(folder / "speech.idx", folder / "SPEECH.IDX");
  std::filesystem::rename(folder / "speech.big", folder / "SPEECH.BIG");
  CliRun run = Run({"unpack", "SPEECH.BIG"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "Successfully extracted to " + folder / "SPEECH_" + "\n");
  EXPECT_EQ(ReadBytes(folder / "SPEECH_/SPEECH_00003.asf"), data.substr(10240));
  EXPECT_EQ(ReadBytes(folder / "SPEECH_/SPEECH_.id"), index);
}

// Names are UTF-8 inside the program whatever the system: on Windows they reach the system as
// UTF-16, so a pair whose folder and name aren't ASCII unpacks and packs like any other.
TEST_F(CliVerbTest, NamesOutsideAsciiUnpackAndPack) {
  const std::string place = "Kommentar \xC3\xA9t\xC3\xA9", name = "\xE5\xAE\x9F\xE6\xB3\x81";
  std::filesystem::create_directory(FsPath(folder / place));
  for (const char* ext : {".idx", ".big"})
    std::filesystem::rename(FsPath(folder / ("speech" + std::string(ext))),
                            FsPath(folder / (place + "/" + name + ext)));

  CliRun unpack = Run({"unpack", place + "/" + name + ".big"});
  EXPECT_EQ(unpack.status, 0) << unpack.err;
  EXPECT_EQ(unpack.out, "Successfully extracted to " + folder / (place + "/" + name + "_") + "\n");
  EXPECT_EQ(std::filesystem::file_size(
                FsPath(folder / (place + "/" + name + "_/" + name + "_00003.asf"))),
            data.size() - 10240);
  CliRun pack = Run({"pack", place + "/" + name + "_"});
  EXPECT_EQ(pack.status, 0) << pack.err;
  EXPECT_EQ(std::filesystem::file_size(FsPath(folder / (place + "/" + name + "_.big"))),
            data.size());
}

TEST_F(CliVerbTest, ListPrintsTheTableThenTheStatusTextsAndWritesNothing) {
  auto before = FilesUnder(folder.Path(), Folders::Listed);
  CliRun run = Run({"list", "speech.idx"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kHeader + kRow1 + kRow2 + kRow3 +
                         "\nspeech.idx - speech.big\nAsf count: 3\nRead 156 bytes of 156\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(FilesUnder(folder.Path(), Folders::Listed), before);
}

TEST_F(CliVerbTest, VerifyReportsAConsistentPairAndWritesNothing) {
  auto before = FilesUnder(folder.Path(), Folders::Listed);
  CliRun run = Run({"verify", "speech.big"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "consistent\nentries: 3\ndata size: 12000\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(FilesUnder(folder.Path(), Folders::Listed), before);
}

// --json: one document per run, with the documented field names and types.
TEST_F(CliVerbTest, JsonDocumentsOfListVerifyInfoAndStatus) {
  using nlohmann::json;
  CliRun list = Run({"list", "--json", "speech.idx"});
  EXPECT_EQ(list.status, 0) << list.err;
  const json listed = json::parse(list.out);
  EXPECT_EQ(listed["complete"], true);
  ASSERT_EQ(listed["entries"].size(), 3u);
  EXPECT_EQ(listed["entries"][1]["name"], "speech_00002.asf");
  EXPECT_EQ(listed["entries"][1]["id"], 4660);
  EXPECT_EQ(listed["entries"][2]["real_address"], 10240);
  EXPECT_TRUE(listed["entries"][0]["size"].is_null());
  EXPECT_EQ(listed["status"],
            json({"speech.idx - speech.big", "Asf count: 3", "Read 156 bytes of 156"}));

  CliRun verify = Run({"verify", "speech.big", "--json"});
  EXPECT_EQ(verify.status, 0);
  EXPECT_EQ(
      json::parse(verify.out),
      json({{"consistent", true}, {"entries", 3}, {"data_size", 12000}, {"problem", nullptr}}));
  WriteLateFirstEntry(folder);
  verify = Run({"verify", "--json", "speech.big"});
  EXPECT_EQ(verify.status, 1);
  EXPECT_EQ(json::parse(verify.out)["consistent"], false);
  EXPECT_NE(json::parse(verify.out)["problem"].get<std::string>().find("11744"), std::string::npos);

  WriteThreeEntries(folder);
  ASSERT_EQ(Run({"unpack", "speech.idx"}).status, 0);
  WriteBytes(folder / "speech_/speech_00002.asf", "SCHl and more");
  CliRun status = Run({"status", "--json", "speech_"});
  const json changes = json::parse(status.out);
  EXPECT_EQ(changes["compared_with"], folder / "speech.big");
  EXPECT_EQ(changes["entries"], 3);
  EXPECT_EQ(changes["changed"], 1);
  ASSERT_EQ(changes["changes"].size(), 1u);
  EXPECT_EQ(changes["changes"][0]["number"], 2);
  EXPECT_EQ(changes["changes"][0]["length"], 13);
  EXPECT_TRUE(changes["changes"][0]["problems"].is_array());

  CliRun info = Run({"info", "--json", "speech.idx"});
  const json clips = json::parse(info.out);
  ASSERT_EQ(clips["clips"].size(), 3u);
  EXPECT_EQ(clips["clips"][0]["number"], 1);
  EXPECT_EQ(clips["clips"][0]["readable"], false);  // these streams hold no audio header
  EXPECT_TRUE(clips["clips"][0]["reason"].is_string());
}

TEST_F(CliVerbTest, OutputThatCanNotBeWrittenIsAFailure) {
  CliRun run = RunCli({"list", "speech.idx"}, folder.Path(), "/dev/full");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "tessaly-cli: can't write the standard output\n");
}

// The second entry (6144 bytes, the last of its block) is replaced by 6300 bytes: it is stored
// as 6400, and the third entry, in the next block, moves up by 256.
TEST_F(CliVerbTest, PackBuildsAPairThatListsAndVerifiesWithTheMovedEntry) {
  ASSERT_EQ(Run({"unpack", "speech.idx"}).status, 0);
  std::string replacement = "SCHl" + std::string(6296, '\x42');
  WriteBytes(folder / "speech_/speech_00002.asf", replacement);

  CliRun run = Run({"pack", "speech_/"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "Successfully saved to " + folder / "speech_.idx" + "\nand " +
                         folder / "speech_.big" + "\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadBytes(folder / "speech_.big"),
            data.substr(0, 4096) + replacement + std::string(100, '\0') + data.substr(10240));

  CliRun verify = Run({"verify", "speech_.idx"});
  EXPECT_EQ(verify.status, 0);
  EXPECT_EQ(verify.out, "consistent\nentries: 3\ndata size: 12256\n");
  CliRun list = Run({"list", "speech_.big"});
  EXPECT_EQ(list.status, 0);
  EXPECT_NE(list.out.find("\nspeech_.idx - speech_.big\n"), std::string::npos);
  EXPECT_NE(list.out.find("3\tspeech__00003.asf\t7\t1\t1\t0\t10496\t0\t10496\t"), std::string::npos)
      << list.out;
}

// A root folder has no name to pack to: said at once, not after waiting for a lock.
TEST(CliFailures, PackOfARootFolderFindsNoResourceFiles) {
  TempFolder folder;
  CliRun run = RunCli({"pack", "/"}, folder.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.err.starts_with("Resource files not found in ")) << run.err;
  EXPECT_EQ(run.err.find("Another pack"), std::string::npos);
}

TEST(CliUsage, UsageErrorsExitTwoWithoutRunningAnything) {
  TempFolder folder;
  WriteThreeEntries(folder);
  const std::vector<std::vector<std::string>> cases = {{},
                                                       {"frobnicate"},
                                                       {"unpack"},
                                                       {"list", "speech.idx", "extra"},
                                                       {"verify", "--bogus", "speech.idx"},
                                                       // An empty argument names nothing.
                                                       {"list", ""},
                                                       {"verify", ""},
                                                       {"unpack", ""},
                                                       {"pack", ""},
                                                       {"info", ""},
                                                       {"status", ""},
                                                       {"export", "speech.idx", "--to", ""},
                                                       {"import", "speech_", "1", ""},
                                                       {"import", "speech_", "--from", ""}};
  for (const auto& args : cases) {
    SCOPED_TRACE(args.empty() ? "(none)" : args[0] + " ...");
    CliRun run = RunCli(args, folder.Path());
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(run.err.empty());
  }
  EXPECT_FALSE(std::filesystem::exists(folder / "speech_"));
}

// Mistyped verbs and options, and what users of other tools type first, get an answer that says
// what to type instead.
TEST(CliUsage, MistakesGetADidYouMeanOrTheHelp) {
  TempFolder folder;
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out, err;
  } cases[] = {
      {{"unpak", "speech.idx"},
       2,
       "",
       "tessaly-cli: 'unpak' is not a command. Did you mean 'unpack'?\n"
       "Run 'tessaly-cli --help' for what each does.\n"},
      {{"staus"}, 2, "", "tessaly-cli: 'staus' is not a command. Did you mean 'status'?\n"},
      {{"zip"}, 2, "", "The commands are: unpack pack list verify info export import status."},
      {{"help"}, 0, "Usage: tessaly-cli [OPTIONS] SUBCOMMAND", ""},
      {{"-V"}, 0, "tessaly-cli ", ""},
      {{"-v"}, 2, "", "tessaly-cli: '-v' is not an option. Did you mean '-V'?\n"},
      {{"--bogus"}, 2, "", "tessaly-cli: '--bogus' is not an option. The options are: "},
      {{"export", "speech.idx", "--entires", "2", "--to", "x"},
       2,
       "",
       "tessaly-cli: '--entires' is not an option of export. Did you mean '--entries'?\n"
       "Run 'tessaly-cli export --help' for the options.\n"},
      {{"unpack", "speech.idx", "--overwirte"},
       2,
       "",
       "tessaly-cli: '--overwirte' is not an option of unpack. Did you mean '--overwrite'?\n"},
      // A word cut short is taken for the one option it begins.
      {{"unpack", "speech.idx", "--keep"}, 2, "", "Did you mean '--keep-changed'?\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    CliRun run = RunCli(c.args, folder.Path());
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
    if (c.err.empty()) {
      EXPECT_EQ(run.err, "");
    }
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
  }
}

// A file of the wrong kind gets a message that names it and says what to type instead, and
// nothing runs.
TEST(CliUsage, WrongKindsOfFileAreNamedWithWhatToTypeInstead) {
  TempFolder folder;
  WriteThreeEntries(folder);
  WriteBytes(folder / "take.idx", "RIFF\x24\0\0\0WAVEfmt ");
  ASSERT_EQ(RunCli({"unpack", "speech.idx"}, folder.Path()).status, 0);
  struct Case {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"unpack", "take.idx"},
       "take.idx' is a WAV file, not an archive's index (.idx) or data file (.big). To put a "
       "recording in the place of a clip, unpack the archive and use 'tessaly-cli import FOLDER "
       "ENTRY take.idx'.\n"},
      {{"pack", "speech.idx"},
       "speech.idx' is a file: pack takes the folder that unpack wrote: 'tessaly-cli pack "
       "speech_'.\n"},
      {{"pack", "take.big"}, ""},  // no such file: pack's own message
      {{"status", "speech_/speech_00001.asf"}, "is a file: status takes the folder that unpack"},
      {{"unpack", "speech_"}, "speech_' is a folder: unpack takes an archive's index (.idx)"},
      {{"verify", "speech_/speech_00003.asf"},
       "speech_00003.asf' is a single clip, not an archive: verify takes the pair's index"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    CliRun run = RunCli(c.args, folder.Path());
    if (c.err.empty()) {
      EXPECT_EQ(run.status, 1) << run.err;
      continue;
    }
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.starts_with("tessaly-cli: '" + folder.Path())) << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(folder / "speech_.idx"));
  EXPECT_FALSE(std::filesystem::exists(folder / "take_"));
}

TEST(CliUsage, HelpForEveryVerbAndVersion) {
  TempFolder folder;
  for (const char* verb : {"unpack", "pack", "list", "verify"}) {
    CliRun run = RunCli({verb, "--help"}, folder.Path());
    EXPECT_EQ(run.status, 0) << verb;
    EXPECT_NE(run.out.find(std::string("Usage: tessaly-cli ") + verb), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("--quiet"), std::string::npos) << verb;
  }
  CliRun help = RunCli({"--help"}, folder.Path());
  EXPECT_EQ(help.status, 0);
  for (const char* verb : {"unpack", "pack", "list", "verify"})
    EXPECT_NE(help.out.find(verb), std::string::npos) << verb;
  CliRun version = RunCli({"--version"}, folder.Path());
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("tessaly-cli ", 0), 0u) << version.out;
}

}  // namespace
}  // namespace tessaly::testing
