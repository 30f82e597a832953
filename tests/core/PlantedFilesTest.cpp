// Files someone else put where the program reads or writes: a hidden commit record naming other
// files, links at an entry's name or to another folder, folders where an output goes, and pipes
// where a file is read. None of them makes a command touch anything but the pair's own files.
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/Listing.h"
#include "base/Errors.h"
#include "base/FileCommit.h"
#include "base/Files.h"
#include "clips/EntryStreams.h"
#include "clips/WavAudioSource.h"
#include "packing/Packing.h"
#include "packing/Unpacking.h"
#include "support/ErrorText.h"
#include "support/PackFolder.h"
#include "support/RecordingHost.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;
using testing::ArchiveBuilder;
using testing::FilesUnder;
using testing::PackFolder;
using testing::ReadBytes;
using testing::RecordingHost;
using testing::TempFolder;
using testing::WriteBytes;

void Append(std::string& bytes, uint64_t value, int count) {
  for (int i = 0; i < count; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A whole, intact commit record as the program writes one: each temporary and target relative
// to the record's folder.
std::string CommitRecord(const std::vector<std::pair<std::string, std::string>>& replaced) {
  std::string bytes = "tessaly commit 1\n";
  Append(bytes, replaced.size(), 4);
  for (const auto& [temporary, target] : replaced)
    for (const std::string* path : {&temporary, &target}) {
      Append(bytes, path->size(), 4);
      bytes += *path;
    }
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
  Append(bytes, hash, 8);
  return bytes;
}

bool AnyMessageHas(const RecordingHost& host, const std::string& part) {
  for (const auto& message : host.messages)
    if (message.text.find(part) != std::string::npos) return true;
  return false;
}

// A packed folder beside its pair, a user's notes and a folder of theirs beside it, and another
// folder elsewhere.
class PlantedRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    ArchiveBuilder archive;
    archive.Block({.units = {0, 10}, .offset = 0});
    archive.Block({.units = {0, 4}, .offset = 4096});
    FillFromArchive(pack, archive, 4096 + 1024 + 600);
    pack.Write();
    RecordingHost packHost;
    EntryTable table;
    ASSERT_EQ(Pack(pack.folder, table, packHost).end, PackEnd::Success);
    WriteBytes(pack.root / "mynotes.txt", "the user's notes");
    fs::create_directories(fs::path(pack.root / "d") / "inside");
    WriteBytes(pack.root / "d/inside/kept", "kept");
    WriteBytes(pack.root / ".d.1-2.tmp", "planted");
    WriteBytes(elsewhere / "speech_.tbl", "another folder's file");
  }

  PackFolder pack;
  TempFolder elsewhere;
};

TEST_F(PlantedRecord, NamingOtherFilesItIsIgnoredAndReportedAndNothingMoves) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> replaced;
  };
  std::vector<Case> cases = {
      // The roll forward fails at the folder, and the roll back once took the notes with it.
      {"a user's file beside the pair",
       {{".mynotes.txt.1-1.tmp", "mynotes.txt"}, {".d.1-2.tmp", "d"}}},
      {"the pair's own file name in another folder",
       {{"sub/.speech_.tbl.1-1.tmp", "sub/speech_.tbl"}, {".d.1-2.tmp", "d"}}},
  };
#ifndef _WIN32
  // The pair's own folder replaced by a link to another one: its file there is not the pair's.
  cases.push_back({"the pair's table through a linked folder",
                   {{"speech_/.speech_.tbl.1-1.tmp", "speech_/speech_.tbl"}, {".d.1-2.tmp", "d"}}});
#endif
  // PackInto: pack --to out, whose pair is committed under a record in out.
  enum class Verb { List, Unpack, Pack, PackInto };
  for (const Case& planted : cases)
    for (Verb verb : {Verb::List, Verb::Unpack, Verb::Pack, Verb::PackInto}) {
      SCOPED_TRACE(std::string(planted.name) + ", verb " + std::to_string(static_cast<int>(verb)));
      const bool linked = std::string(planted.name).find("linked") != std::string::npos;
      // Through the link the folder has no table: pack stops before it looks at out.
      if (linked && verb == Verb::PackInto) continue;
      TempFolder root;
      for (const auto& item : fs::directory_iterator(pack.root.Path()))
        fs::copy(item.path(), fs::path(root.Path()) / item.path().filename(),
                 fs::copy_options::recursive);
#ifndef _WIN32
      fs::create_symlink(elsewhere.Path(), fs::path(root.Path()) / "sub");
      if (linked) {
        fs::rename(fs::path(root.Path()) / "speech_", fs::path(root.Path()) / "speech_real");
        fs::create_symlink(fs::path(elsewhere.Path()), fs::path(root.Path()) / "speech_");
      }
#endif
      fs::create_directory(fs::path(root.Path()) / "out");
      for (const char* name : {".speech_.commit", ".speech__.commit", "out/.speech_.commit"})
        WriteBytes(root / name, CommitRecord(planted.replaced));
      auto userFiles = [&] {
        return std::vector<std::string>{ReadBytes(root / "mynotes.txt"),
                                        ReadBytes(root / "d/inside/kept"),
                                        ReadBytes(elsewhere / "speech_.tbl")};
      };
      const auto before = userFiles();

      RecordingHost host;
      ArchiveState state;
      EntryTable table;
      try {
        if (verb == Verb::Pack || verb == Verb::PackInto) {
          Pack(root / "speech_", table, host, verb == Verb::PackInto ? root / "out" : "");
        } else {
          if (verb == Verb::List)
            ListArchive(root / "speech_.idx", state, table, host);
          else
            Unpack(root / "speech_.idx", state, table, host);
        }
      } catch (const FrameworkError&) {
      }
      state.Release();
      EXPECT_EQ(userFiles(), before);
      EXPECT_TRUE(fs::is_directory(fs::path(root.Path()) / "d"));
      EXPECT_EQ(ReadBytes(root / ".d.1-2.tmp"), "planted");
      const std::string record = verb == Verb::PackInto ? "out/.speech_.commit" : ".speech_.commit";
      EXPECT_TRUE(AnyMessageHas(host, "Ignored \"" + root / record + "\""))
          << (host.messages.empty() ? "no message" : host.messages.back().text);
    }
}

TEST_F(PlantedRecord, AFolderWhereThePairGoesIsRefusedByName) {
  fs::remove(pack.indexPath);
  fs::create_directories(fs::path(pack.indexPath) / "mine");
  RecordingHost host;
  EntryTable table;
  EXPECT_EQ(testing::ErrorText<FrameworkError>([&] { Pack(pack.folder, table, host); }),
            "Cannot create file \"" + pack.indexPath + "\". " + std::strerror(EISDIR));
  EXPECT_TRUE(fs::is_directory(fs::path(pack.indexPath) / "mine"));
}

class UnpackOver : public ::testing::Test {
 protected:
  void SetUp() override {
    archive.Block({.units = {0, 4, 9}});
    data = archive.Data(9 * 256 + 700);
    testing::WritePair(folder, "speech", archive.Index(), data);
  }
  UnpackEnd Run() {
    RecordingHost host;
    ArchiveState state;
    EntryTable table;
    return Unpack(folder / "speech.idx", state, table, host).end;
  }

  TempFolder folder;
  ArchiveBuilder archive;
  std::string data;
};

TEST_F(UnpackOver, AFolderWhereTheTableFileGoesIsRefusedByName) {
  const std::string tableFile = folder / "speech_/speech_.tbl";
  fs::create_directories(fs::path(tableFile) / "mine");
  EXPECT_EQ(testing::ErrorText<FrameworkError>([&] { Run(); }),
            "Cannot create file \"" + tableFile + "\". " + std::strerror(EISDIR));
  EXPECT_TRUE(fs::is_directory(fs::path(tableFile) / "mine"));
}

#ifndef _WIN32
// Readers (info, status, export) hold entries and the table file open for reading: an unpack
// replaces them all the same.
TEST_F(UnpackOver, FilesOpenForReadingDoNotStopAnUnpack) {
  ASSERT_EQ(Run(), UnpackEnd::Success);
  File entry = File::OpenRead(folder / "speech_/speech_00001.asf");
  File tableFile = File::OpenRead(folder / "speech_/speech_.tbl");
  EXPECT_EQ(Run(), UnpackEnd::Success);
}

TEST_F(UnpackOver, ALinkAtAnEntrysNameIsReplacedNotWrittenThrough) {
  ASSERT_EQ(Run(), UnpackEnd::Success);
  TempFolder other;
  WriteBytes(other / "victim", "a file elsewhere");
  const std::string entry = folder / "speech_/speech_00001.asf";
  fs::remove(entry);
  fs::create_symlink(other / "victim", entry);
  ASSERT_EQ(Run(), UnpackEnd::Success);
  EXPECT_EQ(ReadBytes(other / "victim"), "a file elsewhere");
  EXPECT_FALSE(fs::is_symlink(entry));
  EXPECT_EQ(ReadBytes(entry), data.substr(0, 4 * 256));
}

TEST_F(UnpackOver, APairWithALongNameUnpacks) {
  // 240 bytes: the entry names are 250 bytes long, their temporaries would be longer still.
  const std::string base(240, 'n');
  testing::WritePair(folder, base, archive.Index(), data);
  RecordingHost host;
  ArchiveState state;
  EntryTable table;
  EXPECT_EQ(Unpack(folder / (base + ".idx"), state, table, host).end, UnpackEnd::Success)
      << (host.messages.empty() ? "" : host.messages.back().text);
  EXPECT_EQ(ReadBytes(folder / (base + "_/" + base + "_00003.asf")), data.substr(9 * 256));
}

TEST(NonRegularFiles, APipeIsRefusedByNameInsteadOfWaitedOn) {
  TempFolder folder;
  const std::string pipe = folder / "speech_00001.asf";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const std::string refused = "Cannot open file \"" + pipe + "\". It is a pipe, not a regular file";
  EXPECT_EQ(testing::ErrorText<FrameworkError>([&] { File::OpenRead(pipe); }), refused);
  EXPECT_EQ(testing::ErrorText<FrameworkError>([&] { ReadWholeFile(pipe); }), refused);
  // An entry read for export, info or import; an audio file read for import.
  EntryTable table;
  table.SetRowCount(2);
  table.SetCell(kColName, 1, "speech_00001.asf");
  EntryStreams streams = EntryStreams::InFolder(folder.Path(), table);
  EXPECT_EQ(testing::ErrorText<FrameworkError>([&] { streams.Bytes(1); }), refused);
  EXPECT_FALSE(streams.Info(1).readable);
  WavAudioSource source;
  EXPECT_EQ(testing::ErrorText<FrameworkError>([&] { source.Read(pipe, 22050, 1, nullptr); }),
            refused);
}
#endif

TEST(TemporaryNames, StayWithinAFileNamesLengthAndAreKnownAgain) {
  std::vector<std::string> targets;
  for (size_t length : {1, 200, 230, 240, 250, 255}) {
    targets.push_back(std::string(length, 'a'));
    std::string accented(length % 2, 'a');  // "é" is two bytes: one may be cut in two
    while (accented.size() < length) accented += "\xC3\xA9";
    targets.push_back(accented);
  }
  for (const std::string& target : targets) {
    SCOPED_TRACE(target.size());
    std::string temporary = TemporaryName(target, "123456-7890", ".tmp");
    EXPECT_LE(temporary.size(), 255u);
    EXPECT_TRUE(IsTemporaryName(temporary, target, ".tmp"));
    EXPECT_FALSE(IsTemporaryName(temporary, "other" + target, ".tmp"));
    size_t lead = temporary.find_last_of('\xC3');
    if (lead != std::string::npos) {
      EXPECT_EQ(temporary[lead + 1], '\xA9');
    }
  }
  EXPECT_FALSE(IsTemporaryName(".notes.txt.tmp", "notes.txt", ".tmp"));
  EXPECT_FALSE(IsTemporaryName(".notes.txt.12-3-4.tmp", "notes.txt", ".tmp"));
}

}  // namespace
}  // namespace tessaly
