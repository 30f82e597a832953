#include <gtest/gtest.h>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "base/Paths.h"

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
  try {
    ParseInt32("4294967196");
    FAIL();
  } catch (const FrameworkError& e) {
    EXPECT_STREQ(e.what(), "'4294967196' is not a valid integer value");
  }
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
  EXPECT_EQ(JoinPath("/a", "x.asf"), "/a/x.asf");
  EXPECT_TRUE(IsPlainFileName("speech_00001.asf"));
  for (const char* bad : {"", ".", "..", "../x", "/etc/passwd", "a/b", "a\\b"})
    EXPECT_FALSE(IsPlainFileName(bad)) << bad;
}

}  // namespace
}  // namespace tessaly
