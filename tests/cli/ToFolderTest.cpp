// unpack and pack --to DIR: the game folder is only read, the unpack folder elsewhere remembers
// its pair, and the new pair goes where asked.
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/CliRunner.h"
#include "cli/ClipFixtures.h"
#include "support/TempFolder.h"

namespace tessaly::testing {
namespace {

namespace fs = std::filesystem;

// Permissions bind everyone but root (CI runs as root): tests that need them skip there.
bool PermissionsBind() {
#ifdef _WIN32
  return false;  // a read-only attribute on a folder doesn't stop files being made in it
#else
  return ::geteuid() != 0;
#endif
}

void SetWritable(const std::string& folder, bool writable) {
  fs::permissions(FsPath(folder),
                  writable ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_exec);
}

// The pair in `game/`, made read-only where that binds; `mods/` and `out/` don't exist yet.
class ToFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(FsPath(root / "game"));
    WriteClipPair(root, "game/speech", kStreams);
    data = ReadBytes(root / "game/speech.big");
    game = FilesUnder(root / "game", Folders::Listed);
    if (PermissionsBind()) SetWritable(root / "game", false);
  }
  void TearDown() override {
    if (PermissionsBind()) SetWritable(root / "game", true);
  }
  CliRun Run(const std::vector<std::string>& args) { return RunCli(args, root.Path()); }

  TempFolder root;
  std::string data;
  std::map<std::string, std::string> game;
};

// The second entry (2048 bytes, followed by the third) is replaced by 2300: stored as 2304, and
// the third moves up by 256.
TEST_F(ToFolder, UnpackElsewhereThenPackElsewhereLeavesTheGameFolderAsItWas) {
  CliRun unpack = Run({"-q", "unpack", "game/speech.idx", "--to", "mods"});
  ASSERT_EQ(unpack.status, 0) << unpack.err;
  EXPECT_EQ(unpack.out, "Successfully extracted to " + root / "mods/speech_" + "\n");
  EXPECT_EQ(ReadBytes(root / "mods/speech_/speech_00002.asf"), kStreams[1]);
  EXPECT_EQ(ReadBytes(root / "mods/speech_/speech_00003.asf"), kStreams[2]);
  // The folder names its pair, which doesn't lie beside it.
  EXPECT_EQ(ReadBytes(root / "mods/speech_/speech_.source"), root / "game/speech.idx" + "\n");

  const std::string replacement = "SCHl" + std::string(2296, 'R');
  WriteBytes(root / "mods/speech_/speech_00002.asf", replacement);
  // status, the check before pack and a second unpack compare with that pair.
  CliRun status = Run({"status", "--json", "mods/speech_"});
  EXPECT_EQ(nlohmann::json::parse(status.out)["compared_with"], root / "game/speech.big");
  CliRun again = Run({"-q", "unpack", "game/speech.idx", "--to", "mods"});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("\n  speech_00002.asf\n"), std::string::npos) << again.err;

  CliRun pack = Run({"-q", "pack", "mods/speech_", "--to", "out"});
  ASSERT_EQ(pack.status, 0) << pack.err;
  EXPECT_EQ(pack.out, "Successfully saved to " + root / "out/speech_.idx" + "\nand " +
                          root / "out/speech_.big" + "\n");
  const std::string packed =
      data.substr(0, 1024) + replacement + std::string(4, '\0') + data.substr(3072);
  EXPECT_EQ(ReadBytes(root / "out/speech_.big"), packed);
  EXPECT_FALSE(fs::exists(FsPath(root / "mods/speech_.big")));
  CliRun verify = Run({"verify", "out/speech_.idx"});
  EXPECT_EQ(verify.out, "consistent\nentries: 3\ndata size: 4096\n");
  // The folder describes the new pair: packed again beside itself, it gives the same one.
  ASSERT_EQ(Run({"-q", "pack", "mods/speech_"}).status, 0);
  EXPECT_EQ(ReadBytes(root / "mods/speech_.big"), packed);
  EXPECT_EQ(ReadBytes(root / "mods/speech_.idx"), ReadBytes(root / "out/speech_.idx"));

  EXPECT_EQ(FilesUnder(root / "game", Folders::Listed), game);
  EXPECT_FALSE(fs::exists(FsPath(root / "out/.speech_.commit")));
}

// Without --to nothing changes: no note, the pair beside the folder.
TEST_F(ToFolder, UnpackBesideWritesNoNote) {
  if (PermissionsBind()) SetWritable(root / "game", true);
  ASSERT_EQ(Run({"-q", "unpack", "game/speech.idx"}).status, 0);
  ASSERT_EQ(Run({"-q", "unpack", "game/speech.idx", "--to", "game"}).status, 0);
  EXPECT_FALSE(fs::exists(FsPath(root / "game/speech_/speech_.source")));
  ASSERT_EQ(Run({"-q", "pack", "game/speech_", "--to", "game"}).status, 0);
  EXPECT_EQ(ReadBytes(root / "game/speech_.big"), data);
}

TEST_F(ToFolder, MistakesAndFoldersThatCantBeWrittenAreSaidInWords) {
  WriteBytes(root / "afile", "not a folder");
  ASSERT_EQ(Run({"-q", "unpack", "game/speech.idx", "--to", "mods"}).status, 0);
  fs::create_directory(FsPath(root / "locked"));
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;  // a part of it
    bool needsPermissions = false;
  } cases[] = {
      {{"unpack", "game/speech.idx", "--to", "afile"},
       2,
       "afile' is a file: unpack --to takes a folder to write the unpack folder in (made when "
       "missing).\n"},
      {{"pack", "mods/speech_", "--to", "afile"},
       2,
       "afile' is a file: pack --to takes a folder to write the new pair in"},
      {{"unpack", "game/speech.idx", "--to", "-"},
       2,
       "tessaly-cli: unpack --to takes a folder to write the unpack folder in; '-' (the standard "
       "output) serves only export's single WAV file.\n"},
      {{"unpack", "game/speech.idx", "--to", "afile/sub"},
       1,
       "Cannot create folder \"" + root / "afile/sub" + "\". "},
      {{"pack", "mods/speech_", "--to", "afile/sub"},
       1,
       "Cannot create folder \"" + root / "afile/sub" + "\". "},
      // Without --to, into the game folder: the way out is named.
      {{"unpack", "game/speech.idx"},
       1,
       root / "game/speech_" +
           " can't be made beside the archive; 'tessaly-cli unpack speech.idx --to DIR' writes it "
           "into another folder.\n",
       true},
      {{"unpack", "game/speech.idx", "--to", "locked"},
       1,
       "Cannot write into folder \"" + root / "locked" + "\". Permission denied.\n",
       true},
      {{"pack", "mods/speech_", "--to", "locked"},
       1,
       "Cannot write into folder \"" + root / "locked" + "\". Permission denied.\n",
       true},
      // Nothing to unpack or pack: the folder isn't made.
      {{"unpack", "game/missing.idx", "--to", "new"}, 1, "File: "},
      {{"pack", "game", "--to", "new"}, 1, "Resource files not found in "},
      {{"unpack", "game/speech.idx", "--to", "mods", "--overwrite", "--keep-changed"},
       2,
       "--overwrite excludes --keep-changed"},
  };
  const auto before = FilesUnder(root.Path(), Folders::Listed);
  for (const Case& c : cases) {
    std::string typed;
    for (const std::string& arg : c.args) typed += arg + " ";
    SCOPED_TRACE(typed);
    if (c.needsPermissions && !PermissionsBind()) continue;
    if (c.needsPermissions) SetWritable(root / "locked", false);
    CliRun run = Run(c.args);
    if (c.needsPermissions) SetWritable(root / "locked", true);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    EXPECT_EQ(FilesUnder(root.Path(), Folders::Listed), before);
  }
}

}  // namespace
}  // namespace tessaly::testing
