#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/ClipInfo.h"
#include "base/Files.h"
#include "support/StreamBytes.h"
#include "support/TempFolder.h"

namespace tessaly {
namespace {

using testing::Add;
using testing::Bytes;
using testing::Chunk;
using testing::Field;
using testing::HeaderBody;
using testing::Stream;

ClipInfo InfoOf(const Bytes& header) {
  return ReadClipInfo(Chunk("SCHl", header));
}

TEST(ClipInfo, AbsentFieldsTakeThePlatformsDefaults) {
  struct Case {
    uint16_t platform;
    int version, rate;
    const char* codec;
  } cases[] = {
      {0x00, 0, 22050, "PCM S16LE"},       {0x01, 0, 22050, "PS ADPCM"},
      {0x03, 0, 22050, "PCM S16BE"},       {0x05, 1, 22050, "PS ADPCM"},
      {0x06, 2, 24000, "PCM S16BE split"}, {0x07, 2, 24000, "PCM S16LE split"},
      {0x09, 3, 44100, "XA r3"},           {0x0A, 3, 22050, "XA r2"},
      {0x0E, 3, 44100, "XA r3"},           {0x14, 3, 32000, "DSP ADPCM"},
  };
  for (const Case& c : cases) {
    ClipInfo info = InfoOf(HeaderBody(c.platform, {Field(0x85, 44100)}));
    ASSERT_TRUE(info.readable) << c.platform << ": " << info.reason;
    EXPECT_EQ(info.platform, c.platform);
    EXPECT_EQ(info.version, c.version) << c.platform;
    EXPECT_EQ(info.sampleRate, c.rate) << c.platform;
    EXPECT_EQ(info.codecName, c.codec) << c.platform;
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.samples, 44100u);
    EXPECT_DOUBLE_EQ(info.Seconds(), 44100.0 / c.rate);
  }
  // "GSTR" and four bytes: the generic platform, big-endian, version 2 without history.
  Bytes generic{'G', 'S', 'T', 'R', 1, 0, 0, 0};
  Add(generic, Field(0x82, 2));
  Add(generic, {0xFF, 0, 0, 0});
  ClipInfo info = InfoOf(generic);
  ASSERT_TRUE(info.readable) << info.reason;
  EXPECT_EQ(info.platform, 8);
  EXPECT_EQ(info.version, 2);
  EXPECT_EQ(info.sampleRate, 48000);
  EXPECT_EQ(info.codecName, "XA r3");
  EXPECT_EQ(info.channels, 2);
}

TEST(ClipInfo, CodecComesFromTheNewFieldThenTheOldOneThenTheVersion) {
  struct Case {
    uint16_t platform;
    std::vector<Bytes> fields;
    const char* codec;
    bool decodable;
  } cases[] = {
      {0x00, {Field(0x83, 7), Field(0xA0, 0x08)}, "PCM S16LE split", true},
      {0x00, {Field(0x83, 7), Field(0x82, 2)}, "XA v1", true},
      {0x00, {Field(0x83, 0), Field(0x81, 8)}, "PCM S8", true},
      {0x03, {Field(0x83, 0)}, "PCM S16BE", true},
      {0x00, {Field(0x83, 9)}, "MicroTalk", true},
      {0x00, {Field(0x83, 0x42)}, "old codec 0x42", false},
      {0x00, {Field(0x80, 1)}, "XA r1", true},
      {0x00, {Field(0x80, 3)}, "XA r2", true},
      {0x00, {Field(0x80, 2), Field(0xA0, 0x0A)}, "XA r2", true},
      {0x05, {Field(0x80, 2), Field(0xA0, 0x0A)}, "XA r1", true},
      {0x03, {Field(0x80, 3), Field(0xA0, 0x0A)}, "XA r3", true},
      {0x00, {Field(0xA0, 0x04)}, "MicroTalk", true},
      {0x05, {Field(0x80, 3), Field(0xA0, 0x16)}, "MicroTalk 5:1", true},
      {0x00, {Field(0xA0, 0x17)}, "Layer 3 variant", false},
      {0x00, {Field(0xA0, 0x30)}, "codec 0x30", false},
      {0x00, {Field(0xA0, 0x03), Field(0x82, 3)}, "XA v1", false},
      {0x04, {Field(0x83, 7), Field(0x82, 2)}, "XA v1", false},
      {0x00, {Field(0x80, 3), Field(0x82, 9)}, "XA r2", false},
  };
  for (const Case& c : cases) {
    ClipInfo info = InfoOf(HeaderBody(c.platform, c.fields));
    ASSERT_TRUE(info.readable) << c.codec << ": " << info.reason;
    EXPECT_EQ(info.codecName, c.codec);
    EXPECT_EQ(info.decodable, c.decodable) << c.codec;
  }
}

TEST(ClipInfo, SkipsPaddingUnknownLongAndLargeFieldsAndStopsAtASectionEnd) {
  Bytes body{'P', 'T', 0, 0, 0xFD, 0xFC};
  Add(body, {0x99, 6, 1, 2, 3, 4, 5, 6});                 // longer than 4 bytes: skipped
  Add(body, {0x14, 0xFF, 0, 0, 0, 3, 0xFF, 0xFF, 0xFF});  // 32-bit length, value bytes of 0xFF
  Add(body, {0x42, 0});                                   // unknown, empty
  Add(body, Field(0x82, 2));
  Add(body, {0x84, 4, 0, 0, 0xAC, 0x44});  // 44100 in four bytes
  Add(body, Field(0x85, 1000));
  Add(body, {0xFE});  // another section follows: not ours
  Add(body, Field(0x82, 6));
  Add(body, {0xFF, 0, 0});
  ClipInfo info = InfoOf(body);
  ASSERT_TRUE(info.readable) << info.reason;
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.sampleRate, 44100);
  EXPECT_EQ(info.samples, 1000u);
}

TEST(ClipInfo, ReadsBigEndianSizesAndCountsBlocksWhenTheHeaderHasNoCount) {
  // Mac, version 3, r3: block fields big-endian; the stream's chunk sizes big-endian too.
  Bytes block;
  testing::Add32(block, 28, true);
  testing::Add32(block, 0, true);
  Add(block, Bytes(15, 0));
  Bytes stream = Stream(HeaderBody(0x03, {Field(0x80, 3)}), {block, block}, true);
  ClipInfo info = ReadClipInfo(stream);
  ASSERT_TRUE(info.readable) << info.reason;
  EXPECT_EQ(info.codecName, "XA r3");
  EXPECT_EQ(info.samples, 56u);
}

TEST(ClipInfo, UnreadableHeadersGiveAReasonNotAnError) {
  Bytes longField = HeaderBody(0, {});
  longField.insert(longField.begin() + 4, {0x14, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF});
  struct Case {
    Bytes bytes;
    const char* reason;
  } cases[] = {
      {{'S', 'C', 'H'}, "too short"},
      {Chunk("SCDl", HeaderBody(0, {})), "doesn't begin with an SCHl"},
      {Bytes{'S', 'C', 'H', 'l', 0x40, 0, 0, 0, 'P', 'T', 0, 0}, "doesn't fit"},
      {Chunk("SCHl", {'X', 'Y', 0, 0, 0xFF, 0, 0, 0}), "no PT or GSTR"},
      {Chunk("SCHl", {'G', 'S', 'T', 'R', 1, 0, 0}), "ends inside its GSTR"},
      {Chunk("SCHl", {'P', 'T', 0, 0, 0x82}), "has no length"},
      {Chunk("SCHl", {'P', 'T', 0, 0, 0x84, 3, 1}), "runs past the header"},
      {Chunk("SCHl", longField), "runs past the header"},
      {Chunk("SCHl", HeaderBody(0, {Field(0x84, 0)})), "sample rate of 0"},
      {Chunk("SCHl", HeaderBody(0, {Field(0x82, 0)})), "channel count of 0"},
      {Chunk("SCHl", HeaderBody(0x0B, {})), "platform 0x0B has no default"},
  };
  for (const Case& c : cases) {
    ClipInfo info = ReadClipInfo(c.bytes);
    EXPECT_FALSE(info.readable) << c.reason;
    EXPECT_NE(info.reason.find(c.reason), std::string::npos) << info.reason;
    EXPECT_TRUE(info.codecName.empty());
  }
}

TEST(ClipInfo, ReadsOnlyTheHeaderOfAStreamInAFile) {
  testing::TempFolder folder;
  // A header longer than the first read (a 700-byte user data field), at an offset in the file,
  // followed by a block whose count must not be read.
  Bytes user{0x14, 0xFF, 0, 0, 0x02, 0xBC};
  user.resize(user.size() + 700, 0x55);
  Bytes header = HeaderBody(0, {user, Field(0x80, 3), Field(0x84, 32000), Field(0x85, 640)});
  Bytes block;
  testing::Add32(block, 999);
  Bytes file(100, 0xAA);
  Add(file, Stream(header, {block}));
  std::string path = folder / "data.big";
  WriteWholeFile(path, file.data(), file.size());
  File data = File::OpenRead(path);

  ClipInfo info = ReadClipInfo(data, 100, file.size() - 100);
  ASSERT_TRUE(info.readable) << info.reason;
  EXPECT_EQ(info.codecName, "XA r2");
  EXPECT_EQ(info.sampleRate, 32000);
  EXPECT_EQ(info.samples, 640u);

  // A stream cut before its header ends, and a position that holds no stream.
  EXPECT_NE(ReadClipInfo(data, 100, 600).reason.find("doesn't fit"), std::string::npos);
  EXPECT_FALSE(ReadClipInfo(data, 0, 100).readable);
  EXPECT_FALSE(ReadClipInfo(data, file.size() + 10, 100).readable);
}

}  // namespace
}  // namespace tessaly
