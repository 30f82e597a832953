// A pack or an unpack that fails or stops at any system call of its commit: the next command
// finds the earlier files or the new ones, byte for byte, never a mix, and no temporary is left.
// Also the folder lock, entries that are not regular files, names the table file can't hold and
// what is still open when the success message is shown.
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "archive/Listing.h"
#include "base/Errors.h"
#include "base/FileCommit.h"
#include "base/SystemCalls.h"
#include "packing/FolderAccess.h"
#include "packing/Packing.h"
#include "packing/UnpackFolder.h"
#include "packing/Unpacking.h"
#include "support/ErrorText.h"
#include "support/PackFolder.h"
#include "support/RecordingHost.h"

namespace tessaly {
namespace {

using testing::ArchiveBuilder;
using testing::FilesUnder;
using testing::PackFolder;
using testing::ReadBytes;
using testing::RecordingHost;
using testing::TempFolder;
using testing::WriteBytes;

using Files = std::map<std::string, std::string>;

// A temporary or an old file moved aside: hidden, ending ".tmp" or ".old".
bool IsLeftover(const std::string& path) {
  std::string name = std::filesystem::path(path).filename().string();
  return name[0] == '.' && (name.ends_with(".tmp") || name.ends_with(".old"));
}

Files Only(const Files& files, const std::vector<std::string>& names) {
  Files kept;
  for (const std::string& name : names)
    if (files.count(name)) kept[name] = files.at(name);
  return kept;
}

void CopyTree(const std::string& from, const std::string& to) {
  // Item by item: MinGW's std::filesystem refuses to copy a folder into one that exists.
  for (const auto& item : std::filesystem::directory_iterator(from))
    std::filesystem::copy(item.path(), std::filesystem::path(to) / item.path().filename(),
                          std::filesystem::copy_options::recursive);
}

constexpr SystemCall kCalls[] = {SystemCall::Write, SystemCall::Sync, SystemCall::Close,
                                 SystemCall::Rename, SystemCall::Remove};

const char* CallName(SystemCall call) {
  static const char* names[] = {"write", "sync", "close", "rename", "remove"};
  return names[static_cast<int>(call)];
}

// Clears the fault on every way out of a test.
struct FaultCleared {
  ~FaultCleared() { SetSystemCallFault(nullptr); }
};

// How often `run` makes each kind of call.
std::map<SystemCall, int> CountCalls(const std::function<void()>& run) {
  std::map<SystemCall, int> counts;
  FaultCleared cleared;
  SetSystemCallFault([&](SystemCall call) {
    ++counts[call];
    return 0;
  });
  run();
  return counts;
}

// Runs `run` with the `nth` call of kind `call` failing with EIO; framework errors are expected.
void RunFailingAt(SystemCall call, int nth, const std::function<void()>& run) {
  FaultCleared cleared;
  int seen = 0;
  SetSystemCallFault([&](SystemCall made) { return made == call && ++seen == nth ? EIO : 0; });
  try {
    run();
  } catch (const FrameworkError&) {
  }
}

#ifdef _WIN32
// A stop mid-call is made in a forked child, which Windows lacks: there only failures are tried.
constexpr bool kStopOrFail[] = {false};
void RunStoppingAt(SystemCall, int, const std::function<void()>&) {}
#else
constexpr bool kStopOrFail[] = {false, true};

// Runs `run` in a child process that ends abruptly at the `nth` call of kind `call`, as a kill
// or a power loss would end it there.
void RunStoppingAt(SystemCall call, int nth, const std::function<void()>& run) {
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int seen = 0;
    SetSystemCallFault([&](SystemCall made) {
      if (made == call && ++seen == nth) ::_exit(0);
      return 0;
    });
    try {
      run();
    } catch (...) {
    }
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
}
#endif

// Two blocks, four entries; a first pack has written the pair beside the folder, or with the
// parameter in the folder `out` (pack --to). Then entry 2 grows, so that the next pack writes a
// different pair and moves entries 3 and 4.
class PackInterruption : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ArchiveBuilder archive;
    archive.Block({.units = {0, 10}, .offset = 0, .id = 7, .digitIndex = 3});
    archive.Block({.units = {0, 4}, .offset = 4096, .id = 8, .digitIndex = 0x81});
    FillFromArchive(pristine, archive, 4096 + 1024 + 600);
    pristine.Write();
    ASSERT_EQ(RunPack(pristine.root.Path()), PackEnd::Success);
    WriteBytes(pristine.EntryPath(2), "SCHl" + std::string(2996, 'N'));
    before = FilesUnder(pristine.root.Path());
    TempFolder reference;
    CopyTree(pristine.root.Path(), reference.Path());
    ASSERT_EQ(RunPack(reference.Path()), PackEnd::Success);
    after = FilesUnder(reference.Path());
    ASSERT_NE(before, after);
    beforeListed = ListPair(pristine.root.Path());
    afterListed = ListPair(reference.Path());
    ASSERT_NE(beforeListed, afterListed);
  }

  std::string Pair() const { return GetParam() ? "out/speech_" : "speech_"; }
  PackEnd RunPack(const std::string& root) const {
    RecordingHost host;
    EntryTable table;
    return Pack(root + "/speech_", table, host, GetParam() ? root + "/out" : "").end;
  }
  // The next command on the pair: a listing, as list and verify run it. Its rows' addresses.
  std::string ListPair(const std::string& root) const {
    RecordingHost host;
    ArchiveState state;
    EntryTable table;
    EXPECT_EQ(ListArchive(root + "/" + Pair() + ".idx", state, table, host), ListingEnd::Complete)
        << (host.messages.empty() ? "" : host.messages[0].text);
    std::string listed;
    for (int row = 1; row < table.RowCount(); ++row)
      listed += std::string(table.Cell(kColRealAddress, row)) + " ";
    return listed;
  }
  // Each group of files replaced as one holds one run's files, and nothing else changed. A pair
  // packed elsewhere is replaced apart from the folder's index copy and table.
  bool OneRunEach(const Files& now) const {
    std::vector<std::vector<std::string>> groups = {{Pair() + ".idx", Pair() + ".big"},
                                                    {"speech_/speech_.id", "speech_/speech_.tbl"}};
    if (!GetParam()) groups = {{groups[0][0], groups[0][1], groups[1][0], groups[1][1]}};
    Files rest = now, restBefore = before;
    for (const auto& group : groups) {
      Files part = Only(now, group);
      if (part != Only(before, group) && part != Only(after, group)) return false;
      for (const std::string& name : group) rest.erase(name), restBefore.erase(name);
    }
    return rest == restBefore;
  }

  PackFolder pristine;
  Files before, after;
  std::string beforeListed, afterListed;
};

INSTANTIATE_TEST_SUITE_P(BesideOrElsewhere, PackInterruption, ::testing::Bool());

TEST_P(PackInterruption, FailureOrStopAtAnyCallIsFinishedByTheNextCommands) {
  std::map<SystemCall, int> counts = CountCalls([&] {
    TempFolder root;
    CopyTree(pristine.root.Path(), root.Path());
    RunPack(root.Path());
  });
  for (bool stop : kStopOrFail)
    for (SystemCall call : kCalls) {
      ASSERT_GT(counts[call], 0) << CallName(call);
      for (int nth = 1; nth <= counts[call]; ++nth) {
        SCOPED_TRACE(std::string(stop ? "stop at " : "fail at ") + CallName(call) + " " +
                     std::to_string(nth));
        TempFolder root;
        CopyTree(pristine.root.Path(), root.Path());
        auto run = [&] { RunPack(root.Path()); };
        if (stop)
          RunStoppingAt(call, nth, run);
        else
          RunFailingAt(call, nth, run);
        Files now = FilesUnder(root.Path());
        // A failure undoes everything it can at once; a stop leaves its commit to the next pack.
        if (!stop && call != SystemCall::Remove) {
          EXPECT_TRUE(OneRunEach(now));
        }
        // A listing reads one whole pair, the old or the new, and changes nothing.
        std::string listed = ListPair(root.Path());
        EXPECT_TRUE(listed == beforeListed || listed == afterListed);
        EXPECT_EQ(FilesUnder(root.Path()), now);
        EXPECT_EQ(RunPack(root.Path()), PackEnd::Success);
        EXPECT_EQ(FilesUnder(root.Path()), after);
      }
    }
}

// A pair unpacked once; then the pair is replaced by another with other entries, whose unpack
// rewrites the index copy and the table file.
class UnpackInterruption : public ::testing::Test {
 protected:
  void SetUp() override {
    WritePair({0, 4, 9}, 9 * 256 + 700);
    ASSERT_EQ(RunUnpack(pristine.Path()), UnpackEnd::Success);
    // A clip the user imported, which a stopped unpack must not leave empty or cut short.
    WriteBytes(pristine / "speech_/speech_00001.asf", "SCHl" + std::string(5000, 'I'));
    WritePair({0, 6}, 6 * 256 + 333);
    before = Written(pristine.Path());
    beforeEntries = Entries(pristine.Path());
    TempFolder reference;
    CopyTree(pristine.Path(), reference.Path());
    ASSERT_EQ(RunUnpack(reference.Path()), UnpackEnd::Success);
    after = Written(reference.Path());
    afterEntries = Entries(reference.Path());
    ASSERT_NE(before, after);
  }

  void WritePair(std::vector<uint16_t> units, size_t dataSize) {
    ArchiveBuilder archive;
    archive.Block({.units = std::move(units)});
    testing::WritePair(pristine, "speech", archive.Index(), archive.Data(dataSize));
  }
  static UnpackEnd RunUnpack(const std::string& root) {
    RecordingHost host;
    ArchiveState state;
    EntryTable table;
    return Unpack(root + "/speech.idx", state, table, host).end;
  }
  // The two files replaced together, and any leftover.
  static Files Written(const std::string& root) {
    Files files = FilesUnder(root);
    Files kept = Only(files, {"speech_/speech_.id", "speech_/speech_.tbl"});
    for (const auto& [name, bytes] : files)
      if (IsLeftover(name)) kept[name] = bytes;
    return kept;
  }

  static Files Entries(const std::string& root) {
    Files entries = FilesUnder(root);
    std::erase_if(entries, [](const auto& file) { return !file.first.ends_with(".asf"); });
    return entries;
  }

  TempFolder pristine;
  Files before, after, beforeEntries, afterEntries;
};

TEST_F(UnpackInterruption, FailureOrStopAtAnyCallLeavesIndexCopyAndTableOfOneRunAndEntriesWhole) {
  std::map<SystemCall, int> counts = CountCalls([&] {
    TempFolder root;
    CopyTree(pristine.Path(), root.Path());
    RunUnpack(root.Path());
  });
  for (bool stop : kStopOrFail)
    for (SystemCall call : kCalls)
      for (int nth = 1; nth <= counts[call]; ++nth) {
        SCOPED_TRACE(std::string(stop ? "stop at " : "fail at ") + CallName(call) + " " +
                     std::to_string(nth));
        TempFolder root;
        CopyTree(pristine.Path(), root.Path());
        auto run = [&] { RunUnpack(root.Path()); };
        if (stop)
          RunStoppingAt(call, nth, run);
        else
          RunFailingAt(call, nth, run);
        // A reader of the folder (info, status, export) finds one run's table and changes
        // nothing.
        Files stopped = FilesUnder(root.Path());
        const UnpackFolder files = UnpackFolder::ToRead(root / "speech_");
        if (files.HasTableAndIndexCopy()) {
          const int rows = LoadFolderTable(files).RowCount();
          EXPECT_TRUE(rows == 3 || rows == 4) << rows;
        }
        EXPECT_EQ(FilesUnder(root.Path()), stopped);
        // What every pack or unpack of the folder does first.
        CleanUpInterrupted(root / "speech_",
                           {root / "speech_/speech_.id", root / "speech_/speech_.tbl"});
        RemoveLeftoverTemporaries(root / "speech_");
        Files now = Written(root.Path());
        EXPECT_TRUE(now == before || now == after);
        // Each entry file holds its old bytes or its new ones, and no temporary is left.
        for (const auto& [name, bytes] : Entries(root.Path())) {
          SCOPED_TRACE(name);
          EXPECT_TRUE(bytes == beforeEntries[name] || bytes == afterEntries[name]);
        }
        EXPECT_EQ(Entries(root.Path()).size(), afterEntries.size());
      }
}

class PackGuards : public ::testing::Test {
 protected:
  void SetUp() override {
    ArchiveBuilder archive;
    archive.Block({.units = {0, 10}, .offset = 0});
    archive.Block({.units = {0, 4}, .offset = 4096});
    FillFromArchive(pack, archive, 4096 + 1024 + 600);
    pack.Write();
  }
  PackResult RunPack() { return Pack(pack.folder, grid, host); }
  std::optional<std::string> PackError() {
    return testing::ErrorText<FrameworkError>([&] { RunPack(); });
  }

  PackFolder pack;
  EntryTable grid;
  RecordingHost host;
};

TEST_F(PackGuards, AFolderInUseIsReportedBusyAndNothingIsWritten) {
  auto before = pack.Snapshot();
  FolderLock other = TakeFolder(pack.folder);
  EXPECT_EQ(PackError(),
            "Cannot open folder \"" + pack.folder + "\". Another pack or unpack is using it");
  EXPECT_EQ(pack.Snapshot(), before);
  EXPECT_TRUE(host.windowEnabled);

  // An unpack into the same folder waits for it in the same way.
  ArchiveBuilder archive;
  archive.Block({.units = {0}});
  testing::WritePair(pack.root, "speech", archive.Index(), archive.Data(300));
  before = pack.Snapshot();
  ArchiveState state;
  EXPECT_THROW(Unpack(pack.root / "speech.idx", state, grid, host), FrameworkError);
  EXPECT_EQ(pack.Snapshot(), before);

  other.Release();
  EXPECT_EQ(RunPack().end, PackEnd::Success);
}

TEST_F(PackGuards, OnlyRegularFilesAreEntriesALinkToOneIsFollowed) {
  const std::string entry = pack.EntryPath(2);
  const std::string kept = pack.root / "kept.asf";
  std::filesystem::rename(entry, kept);
  const struct {
    const char* what;
    std::function<void()> make;
    std::optional<std::string> error;  // none: no framework error
  } cases[] = {
#ifndef _WIN32  // pipes and device files in a folder are POSIX's
      {"pipe", [&] { ASSERT_EQ(::mkfifo(entry.c_str(), 0600), 0); },
       "Cannot open file \"" + entry + "\". It is a pipe, not a regular file"},
      {"device link", [&] { std::filesystem::create_symlink("/dev/zero", entry); },
       "Cannot open file \"" + entry + "\". It is a device, not a regular file"},
#endif
      {"folder", [&] { std::filesystem::create_directory(entry); }, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(entry);
    c.make();
    auto before = pack.Snapshot();
    host.messages.clear();
    EXPECT_EQ(PackError(), c.error);
    EXPECT_EQ(pack.Snapshot(), before);
    EXPECT_FALSE(std::filesystem::exists(pack.dataPath));
  }
  // A folder is a missing entry file, as it always was.
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "File not found " + entry);

#ifndef _WIN32  // links need a privilege on Windows
  std::filesystem::remove_all(entry);
  std::filesystem::create_symlink(kept, entry);
  EXPECT_EQ(RunPack().end, PackEnd::Success);
  EXPECT_EQ(ReadBytes(pack.dataPath).substr(2560, 1536), pack.entries[2]);
#endif
}

// Descriptors of this process open on anything under `root`.
std::vector<std::string> OpenUnder(const std::string& root) {
  std::vector<std::string> open;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    std::string target = std::filesystem::read_symlink(fd.path(), error).string();
    if (!error && target.starts_with(root)) open.push_back(target);
  }
  return open;
}

TEST_F(PackGuards, SuccessIsShownWithNothingOfThePairOpen) {
#ifdef _WIN32
  GTEST_SKIP() << "open files are listed through /proc/self/fd, which Windows lacks";
#endif
  struct Host : RecordingHost {
    std::string root;
    std::vector<std::string> openAtSuccess{"not shown"};
    void ShowMessage(MessageKind kind, const std::string& text) override {
      if (kind == MessageKind::Success) openAtSuccess = OpenUnder(root);
      RecordingHost::ShowMessage(kind, text);
    }
  } watching;
  watching.root = pack.root.Path();
  ASSERT_EQ(Pack(pack.folder, grid, watching).end, PackEnd::Success);
  EXPECT_EQ(watching.openAtSuccess, std::vector<std::string>());
}

TEST(UnpackNames, AControlCharacterInTheArchiveNameIsRefusedWithNothingWritten) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows file names can't hold control characters";
#endif
  TempFolder folder;
  ArchiveBuilder archive;
  archive.Block({.units = {0}});
  for (const char* base : {"a\nb", "a\rb", "a\tb"}) {
    testing::ArchivePair pair =
        testing::WritePair(folder, base, archive.Index(), archive.Data(300));
    auto before = FilesUnder(folder.Path());
    RecordingHost host;
    ArchiveState state;
    EntryTable table;
    EXPECT_EQ(Unpack(pair.indexPath, state, table, host).end, UnpackEnd::Refused);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(host.messages[0].text,
              "Cannot unpack a?b.idx: its name holds a control character, which the table file "
              "can't store. Rename the pair and unpack it again.");
    EXPECT_EQ(FilesUnder(folder.Path()), before);
    EXPECT_FALSE(std::filesystem::exists(folder / (std::string(base) + "_")));
    EXPECT_FALSE(state.IsOpen());
  }
}

}  // namespace
}  // namespace tessaly
