// tessaly-cli pack killed at many moments of a large pack: the next command finds the earlier
// pair and folder files or the new ones, never a mix. And listing a pair while it is packed again
// and again never meets a file in use.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliRunner.h"
#include "support/ArchiveBuilder.h"
#include "support/TempFolder.h"

namespace tessaly::testing {
namespace {

using Clock = std::chrono::steady_clock;

// The pair beside the folder and the folder's index copy and table: what a pack replaces.
const std::vector<std::string> kOutputs = {"speech_.idx", "speech_.big", "speech_/speech_.id",
                                           "speech_/speech_.tbl"};

std::map<std::string, std::string> Outputs(const TempFolder& root) {
  std::map<std::string, std::string> files;
  for (const std::string& name : kOutputs) files[name] = ReadBytes(root / name);
  return files;
}

void RestoreOutputs(const TempFolder& root, const std::map<std::string, std::string>& files) {
  for (const auto& [name, bytes] : files) WriteBytes(root / name, bytes);
}

std::vector<std::string> Leftovers(const TempFolder& root) {
  std::vector<std::string> found;
  for (const auto& item : std::filesystem::recursive_directory_iterator(root.Path())) {
    std::string name = item.path().filename().string();
    if (name[0] == '.') found.push_back(item.path().string());
  }
  return found;
}

// Four blocks of 200 entries of 12 KiB: a 10 MB pair, unpacked and packed once.
class LargePack : public ::testing::Test {
 protected:
  void SetUp() override {
    ArchiveBuilder archive;
    constexpr uint32_t kEntries = 200, kUnits = 48;
    for (uint32_t k = 0; k < 4; ++k) {
      std::vector<uint16_t> units;
      for (uint32_t i = 0; i < kEntries; ++i) units.push_back(static_cast<uint16_t>(i * kUnits));
      archive.Block({.units = units, .offset = k * kEntries * kUnits * 256, .digitIndex = 2});
    }
    WritePair(root, "speech", archive.Index(), archive.Data(4 * kEntries * kUnits * 256));
    ASSERT_EQ(RunCli({"-q", "unpack", "speech.idx"}, root.Path()).status, 0);
    ASSERT_EQ(RunCli({"-q", "pack", "speech_"}, root.Path()).status, 0);
  }

  TempFolder root;
};

TEST_F(LargePack, KilledAnywhereTheNextCommandFindsTheEarlierOrTheNewFiles) {
  const auto earlier = Outputs(root);
  // Every tenth entry grows by 1000 bytes: later entries move, the next pack writes a new pair.
  for (int r = 1; r <= 800; r += 10) {
    char name[64];
    std::snprintf(name, sizeof name, "speech_/speech_%05d.asf", r);
    WriteBytes(root / name, ReadBytes(root / name) + std::string(1000, 'G'));
  }
  TempFolder reference;
  std::filesystem::copy(root.Path(), reference.Path(), std::filesystem::copy_options::recursive);
  auto start = Clock::now();
  ASSERT_EQ(RunCli({"-q", "pack", "speech_"}, reference.Path()).status, 0);
  const auto duration = Clock::now() - start;
  const auto newer = Outputs(reference);
  ASSERT_NE(earlier, newer);

  constexpr int kKills = 12;
  int sawEarlier = 0, sawNewer = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    SCOPED_TRACE("kill " + std::to_string(kill));
    RestoreOutputs(root, earlier);
    pid_t pack = StartCli({"-q", "pack", "speech_"}, root.Path());
    ASSERT_GT(pack, 0);
    // Moments spread over the whole run and a little beyond, as its length varies: the last
    // ones fall near its end, where the commit is.
    std::this_thread::sleep_for(duration * 6 * (kill + 1) / (5 * kKills));
    ::kill(pack, SIGKILL);
    ::waitpid(pack, nullptr, 0);

    CliRun verify = RunCli({"verify", "speech_.idx"}, root.Path());
    EXPECT_EQ(verify.status, 0) << verify.err;
    EXPECT_EQ(verify.out.substr(0, verify.out.find('\n')), "consistent");
    auto now = Outputs(root);
    EXPECT_TRUE(now == earlier || now == newer);
    sawEarlier += now == earlier;
    sawNewer += now == newer;
  }
  std::printf("kills: %d found the earlier files, %d the new ones\n", sawEarlier, sawNewer);
  // The next pack finishes the work and removes whatever the killed ones left.
  ASSERT_EQ(RunCli({"-q", "pack", "speech_"}, root.Path()).status, 0);
  EXPECT_EQ(Outputs(root), newer);
  EXPECT_EQ(Leftovers(root), std::vector<std::string>());
}

TEST_F(LargePack, ListingWhilePacksReplaceThePairNeverFindsItInUse) {
  int lists = 0;
  for (int round = 0; round < 4; ++round) {
    pid_t pack = StartCli({"-q", "pack", "speech_"}, root.Path());
    ASSERT_GT(pack, 0);
    int status = 0;
    do {
      CliRun list = RunCli({"list", "speech_.idx"}, root.Path(), "/dev/null");
      ++lists;
      EXPECT_EQ(list.status, 0) << list.err;
      EXPECT_EQ(list.err.find("in use"), std::string::npos) << list.err;
    } while (::waitpid(pack, &status, WNOHANG) == 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_GT(lists, 4);
}

}  // namespace
}  // namespace tessaly::testing
