// unpack again over a folder whose entry files were changed: a script is refused with the files
// named, --overwrite writes over them, --keep-changed keeps them, and a terminal is asked.
#ifndef _WIN32
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/CliRunner.h"
#include "cli/ClipFixtures.h"
#include "support/TempFolder.h"

namespace tessaly::testing {
namespace {

namespace fs = std::filesystem;

// Unpacked once; then entry 2 is replaced by a longer clip and packed (the folder's table and
// index copy now describe the packed pair, entry 3 moved), entry 3 by a shorter one, and entry 1
// is deleted (a missing file is not a changed one: unpack writes it again).
class UnpackOver : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteClipPair(root, "speech", kStreams);
    ASSERT_EQ(Run({"-q", "unpack", "speech.idx"}).status, 0);
    WriteBytes(root / "speech_/speech_00002.asf", kLonger);
    ASSERT_EQ(Run({"-q", "pack", "speech_"}).status, 0);
    WriteBytes(root / "speech_/speech_00003.asf", kShorter);
    fs::remove(FsPath(root / "speech_/speech_00001.asf"));
    before = FilesUnder(root.Path());
  }
  CliRun Run(const std::vector<std::string>& args) { return RunCli(args, root.Path()); }

  const std::string kLonger = "SCHl" + std::string(2296, 'L');
  const std::string kShorter = "SCHl" + std::string(96, 'S');
  TempFolder root;
  std::map<std::string, std::string> before;
};

TEST_F(UnpackOver, AScriptIsRefusedWithTheFilesAndTheOptionsNamed) {
  CliRun run = Run({"unpack", "speech.idx"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "tessaly-cli: nothing unpacked: 2 entry files of " + root / "speech_" +
                         " were changed since they were unpacked:\n"
                         "  speech_00002.asf\n"
                         "  speech_00003.asf\n"
                         "Give --overwrite to write over them, or --keep-changed to keep them and "
                         "unpack the rest.\n");
  EXPECT_EQ(FilesUnder(root.Path()), before);
}

TEST_F(UnpackOver, OverwriteWritesEveryEntryAgain) {
  CliRun run = Run({"unpack", "speech.idx", "--overwrite"});
  EXPECT_EQ(run.status, 0) << run.err;
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(ReadBytes(root / ("speech_/speech_0000" + std::to_string(i + 1) + ".asf")),
              kStreams[i]);
}

// The kept clips stay byte for byte, the rest and the table come from the pair: packed, the
// folder gives the pair a fresh unpack with the same clips put in would give.
TEST_F(UnpackOver, KeepChangedKeepsThemAndPacksToThePairIntended) {
  CliRun run = Run({"unpack", "speech.idx", "--keep-changed"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Successfully extracted to " + root / "speech_" +
                         "\nKept as they were: speech_00002.asf speech_00003.asf\n");
  EXPECT_EQ(ReadBytes(root / "speech_/speech_00001.asf"), kStreams[0]);
  EXPECT_EQ(ReadBytes(root / "speech_/speech_00002.asf"), kLonger);
  EXPECT_EQ(ReadBytes(root / "speech_/speech_00003.asf"), kShorter);
  ASSERT_EQ(Run({"-q", "pack", "speech_"}).status, 0);

  TempFolder fresh;
  WriteClipPair(fresh, "speech", kStreams);
  ASSERT_EQ(RunCli({"-q", "unpack", "speech.idx"}, fresh.Path()).status, 0);
  WriteBytes(fresh / "speech_/speech_00002.asf", kLonger);
  WriteBytes(fresh / "speech_/speech_00003.asf", kShorter);
  ASSERT_EQ(RunCli({"-q", "pack", "speech_"}, fresh.Path()).status, 0);
  EXPECT_EQ(FilesUnder(root.Path()), FilesUnder(fresh.Path()));
}

// An untouched folder, and one whose zero-size entry (two entries at one start) is untouched,
// are unpacked again without a word.
TEST(UnpackOverUntouched, NothingIsAskedOrRefused) {
  TempFolder root;
  ArchiveBuilder archive;
  archive.Block({.units = {0, 0, 4}});
  WritePair(root, "speech", archive.Index(), archive.Data(1500));
  for (int run = 0; run < 2; ++run) {
    CliRun unpack = RunCli({"unpack", "speech.idx"}, root.Path());
    EXPECT_EQ(unpack.status, 0) << unpack.err;
    EXPECT_EQ(unpack.err, "");
  }
  EXPECT_EQ(ReadBytes(root / "speech_/speech_00001.asf"), "");
}

// A pair whose name holds a dot: its folder's table is a.b_.tbl, which a pack doesn't look for,
// but the check before unpacking does.
TEST(UnpackOverDotted, ChangedEntriesAreFoundToo) {
  TempFolder root;
  WriteClipPair(root, "a.b", kStreams);
  ASSERT_EQ(RunCli({"-q", "unpack", "a.b.idx"}, root.Path()).status, 0);
  WriteBytes(root / "a.b_/a.b_00002.asf", "SCHl changed");
  CliRun again = RunCli({"-q", "unpack", "a.b.idx"}, root.Path());
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("\n  a.b_00002.asf\n"), std::string::npos) << again.err;
  EXPECT_EQ(ReadBytes(root / "a.b_/a.b_00002.asf"), "SCHl changed");
}

#ifndef _WIN32
// tessaly-cli on a terminal of its own (standard input, output and error), `typed` waiting as
// its input; what the terminal showed, the input's echo included.
CliRun RunOnTerminal(const std::vector<std::string>& args, const std::string& folder,
                     const std::string& typed) {
  std::vector<std::string> argv{CliPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> pointers;
  for (std::string& arg : argv) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  int terminal = -1;
  pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) {
    if (::chdir(folder.c_str()) == 0) ::execv(pointers[0], pointers.data());
    ::_exit(127);
  }
  CliRun run;
  if (child < 0) return run;
  if (::write(terminal, typed.data(), typed.size()) != static_cast<ssize_t>(typed.size()))
    ADD_FAILURE() << "the answer could not be typed";
  char buffer[4096];
  for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;  // EIO: the terminal's other end is closed
    run.out.append(buffer, static_cast<size_t>(n));
  }
  ::close(terminal);
  int status = 0;
  if (::waitpid(child, &status, 0) == child && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  return run;
}

TEST_F(UnpackOver, ATerminalIsAskedAndNoIsTheDefault) {
  struct Case {
    std::string typed;
    int status;
    std::string entry2;
  } cases[] = {
      {"\n", 1, kLonger}, {"n\n", 1, kLonger}, {"k\n", 0, kLonger}, {"y\n", 0, kStreams[1]}};
  for (const Case& c : cases) {
    SCOPED_TRACE("typed: " + c.typed);
    for (const auto& [name, bytes] : before) WriteBytes(root / name, bytes);
    CliRun run = RunOnTerminal({"-q", "unpack", "speech.idx"}, root.Path(), c.typed);
    EXPECT_EQ(run.status, c.status) << run.out;
    EXPECT_NE(run.out.find("2 entry files of " + root / "speech_" +
                           " were changed since they were unpacked:\r\n"
                           "  speech_00002.asf\r\n"
                           "  speech_00003.asf\r\n"
                           "Write over them (y), keep them and unpack the rest (k), or stop (N)? "
                           "[y/k/N] "),
              std::string::npos)
        << run.out;
    EXPECT_EQ(ReadBytes(root / "speech_/speech_00002.asf"), c.entry2);
    EXPECT_EQ(fs::exists(FsPath(root / "speech_/speech_00001.asf")), c.status == 0);
  }
}
#endif

}  // namespace
}  // namespace tessaly::testing
