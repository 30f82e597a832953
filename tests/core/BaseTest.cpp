#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include "base/Errors.h"
#include "base/Files.h"
#include "base/NameCase.h"
#include "base/Numbers.h"
#include "base/Paths.h"
#include "base/WriteBehind.h"
#include "support/ErrorText.h"
#include "support/TempFolder.h"

namespace tessaly {
namespace {

TEST(Numbers, ParsesSigned32BitDecimalOnly) {
  struct Case {
    const char* text;
    std::optional<int32_t> value;
  } cases[] = {
      {"0", 0},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"  12", 12},
      {"+7", 7},
      {"2147483648", std::nullopt},
      {"", std::nullopt},
      {"12 ", std::nullopt},
      {"1.5", std::nullopt},
      {"-", std::nullopt},
      {"4294967196", std::nullopt},
      {"99999999999999999999", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(TryParseInt32(c.text), c.value) << c.text;
}

TEST(Numbers, FailureCarriesTheFrameworkText) {
  EXPECT_EQ(testing::ErrorText<FrameworkError>([] { ParseInt32("4294967196"); }),
            "'4294967196' is not a valid integer value");
  EXPECT_EQ(ParseUInt32Cell("-1"), 4294967295u);
  EXPECT_EQ(FormatUnsigned(4294967295u), "4294967295");
}

TEST(Errors, DisplayTextAppendsAFullStopAfterLettersAndDigits) {
  EXPECT_EQ(DisplayText("Cannot Create /x/a_.tbl"), "Cannot Create /x/a_.tbl.");
  EXPECT_EQ(DisplayText("'' is not a valid integer value"), "'' is not a valid integer value.");
  EXPECT_EQ(DisplayText("ends with \""), "ends with \"");
  EXPECT_EQ(DisplayText("done."), "done.");
  EXPECT_EQ(ProgramTitle("/usr/bin/tessaly"), "Tessaly");
  EXPECT_EQ(ProgramTitle("/opt/TESSALY.bin.x"), "Tessaly");
}

TEST(Paths, ExtensionRules) {
  EXPECT_EQ(ChangeFileExt("/a/speech.big", ".idx"), "/a/speech.idx");
  EXPECT_EQ(ChangeFileExt("/a/a.b.idx", "_.tbl"), "/a/a.b_.tbl");
  EXPECT_EQ(ChangeFileExt("/a/noext", ".idx"), "/a/noext.idx");
  EXPECT_EQ(ChangeFileExt("/a.d/noext", ".big"), "/a.d/noext.big");
  EXPECT_EQ(RemoveFileExt("/a.d/noext"), "/a.d/noext");
  EXPECT_EQ(RemoveFileExt("/a/speech.idx"), "/a/speech");
  EXPECT_EQ(ExtractFileName("/a/b/speech_"), "speech_");
  EXPECT_EQ(ExtractFilePath("/a/b/speech_"), "/a/b/");
  EXPECT_EQ(JoinPath("/a", "x.asf"), std::string("/a") + kPathSeparator + "x.asf");
  EXPECT_TRUE(IsPlainFileName("speech_00001.asf"));
  for (const char* bad : {"", ".", "..", "../x", "/etc/passwd", "a/b", "a\\b"})
    EXPECT_FALSE(IsPlainFileName(bad)) << bad;
}

// A name that exists is kept; otherwise the one file that matches ignoring case stands in, and
// with none or several the name stays as derived.
TEST(NameCase, TheOneFileMatchingIgnoringCaseStandsInForAMissingName) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows file names ignore case: the system itself finds the file";
#endif
  testing::TempFolder temp;
  for (const char* name : {"SPEECH.IDX", "Both.idx", "BOTH.IDX", "exact.idx", "EXACT.IDX"})
    testing::WriteBytes(temp / name, "x");
  std::filesystem::create_directory(temp / "FOLDER.IDX");
  const struct {
    std::string path, expected;
  } cases[] = {
      {temp / "speech.idx", temp / "SPEECH.IDX"},
      {temp / "Speech.Idx", temp / "SPEECH.IDX"},
      {temp / "both.idx", temp / "both.idx"},    // two candidates: none is taken
      {temp / "exact.idx", temp / "exact.idx"},  // the exact name wins
      {temp / "folder.idx", temp / "folder.idx"},
      {temp / "none.idx", temp / "none.idx"},
      {temp / "missing/speech.idx", temp / "missing/speech.idx"},
      {temp / "speech.idx/", temp / "speech.idx/"},
  };
  for (const auto& c : cases) EXPECT_EQ(MatchNameCase(c.path), c.expected) << c.path;
}

TEST(Files, OpeningInAFolderTellsAMissingFileFromOthers) {
  testing::TempFolder temp;
  testing::WriteBytes(temp / "a.asf", "abc");
  std::filesystem::create_directory(temp / "sub.asf");
  Folder folder = Folder::Open(temp.Path());
  std::optional<File> file = File::TryOpenRead(folder, "a.asf");
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Path(), temp / "a.asf");
  EXPECT_EQ(file->Size(), 3u);
  for (const char* absent : {"b.asf", "sub.asf", "", "a.asf/x"})
    EXPECT_FALSE(File::TryOpenRead(folder, absent)) << absent;
  EXPECT_THROW(Folder::Open(temp / "a.asf"), FrameworkError);
}

// The write-behind thread keeps a descriptor of its own: the file may be closed while it runs.
TEST(Files, WriteBehindLeavesTheWrittenBytesWhole) {
  testing::TempFolder temp;
  std::vector<uint8_t> block(1 << 20);
  File file = File::CreateReplace(temp / "big");
  {
    WriteBehind behind(file);
    for (uint32_t i = 0; i < 24; ++i) {
      std::fill(block.begin(), block.end(), static_cast<uint8_t>(i));
      file.WriteAt(uint64_t{i} << 20, block.data(), block.size());
      behind.WrittenUpTo(uint64_t{i + 1} << 20);
    }
    file.Sync();
    file.Close();
  }
  std::string bytes = testing::ReadBytes(temp / "big");
  ASSERT_EQ(bytes.size(), 24u << 20);
  for (uint32_t i = 0; i < 24; ++i) EXPECT_EQ(static_cast<uint8_t>(bytes[(i << 20) + 5]), i);
}

}  // namespace
}  // namespace tessaly
