#include <gtest/gtest.h>
#include <algorithm>

#include <string>
#include <vector>

#include "audio/AudioError.h"
#include "audio/StreamDecoder.h"
#include "support/ErrorText.h"
#include "support/StreamBytes.h"

namespace tessaly {
namespace {

using testing::Add;
using testing::Add16;
using testing::Add32;
using testing::Bytes;
using testing::Field;
using testing::HeaderBody;
using testing::Stream;
using Samples = std::vector<int16_t>;

// A 15-byte frame: filter/shift byte, then 28 nibbles high first.
Bytes Frame(uint8_t filterShift, const std::vector<uint8_t>& nibbles) {
  Bytes out{filterShift};
  for (size_t i = 0; i < 28; i += 2) {
    uint8_t hi = i < nibbles.size() ? nibbles[i] : 0,
            lo = i + 1 < nibbles.size() ? nibbles[i + 1] : 0;
    out.push_back(static_cast<uint8_t>(hi << 4 | lo));
  }
  return out;
}

// A split block: count, one offset per channel (data placed in the order given), channel data.
Bytes SplitBlock(uint32_t count, const std::vector<Bytes>& channels, bool bigEndian = false) {
  Bytes out;
  Add32(out, count, bigEndian);
  uint32_t offset = 0;
  for (const Bytes& c : channels) {
    Add32(out, offset, bigEndian);
    offset += static_cast<uint32_t>(c.size());
  }
  for (const Bytes& c : channels) Add(out, c);
  return out;
}

Bytes WithHistory(int16_t current, int16_t previous, const Bytes& frames, bool bigEndian = false) {
  Bytes out;
  Add16(out, static_cast<uint16_t>(current), bigEndian);
  Add16(out, static_cast<uint16_t>(previous), bigEndian);
  Add(out, frames);
  return out;
}

const std::vector<uint8_t> kRamp = {0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5,
                                    6, 7, 0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3};
const Samples kRampSamples(kRamp.begin(), kRamp.end());

TEST(DecodeStream, SplitXaKeepsOrReloadsHistoryPerVariant) {
  // Block 1 decodes the nibbles as they are (filter 0, shift 12) and ends on 3, 2; block 2 runs
  // filter 3 on zeros: from 3, 2 where history carries (r2, r3), from the stored 1000, -1000 in
  // r1.
  const Bytes first = Frame(0x0C, kRamp), second = Frame(0x3C, {});
  struct Case {
    const char* name;
    uint16_t platform;
    int version;
    bool history, bigEndian;
    Samples tail;
  } cases[] = {
      {"r1", 0x00, 1, true, false, {2390, 2800, 2233, 1013, -368, -1435}},
      {"r2", 0x00, 3, false, false, {2, 0, -2, -4, -5, -5}},
      {"r3", 0x03, 3, false, true, {2, 0, -2, -4, -5, -5}},
  };
  for (const Case& c : cases) {
    Bytes block1 = c.history ? WithHistory(0, 0, first, c.bigEndian) : first;
    Bytes block2 = c.history ? WithHistory(1000, -1000, second, c.bigEndian) : second;
    Bytes stream =
        Stream(HeaderBody(c.platform, {Field(0x80, c.version), Field(0xA0, 0x0A)}),
               {SplitBlock(28, {block1}, c.bigEndian), SplitBlock(6, {block2}, c.bigEndian)});
    PcmAudio pcm = DecodeStream(stream);
    Samples expected = kRampSamples;
    expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(pcm.samples, expected) << c.name;
    EXPECT_EQ(pcm.channels, 1);
    EXPECT_EQ(pcm.sampleRate, 22050);
  }
}

TEST(DecodeStream, SplitXaClipsSamplesToSixteenBitsAndPredictsFromTheClippedOnes) {
  // Filter 1 (240/256 of the last sample) at shift 0: the largest nibble overshoots from the
  // second sample on; then the smallest comes down from 32767 to -2049 and overshoots below.
  const Bytes frames = [] {
    Bytes out = Frame(0x10, std::vector<uint8_t>(28, 7));
    Add(out, Frame(0x10, std::vector<uint8_t>(28, 8)));
    return out;
  }();
  Bytes stream = Stream(HeaderBody(0, {Field(0x80, 3)}), {SplitBlock(56, {frames})});
  Samples expected(56, 32767);
  expected[0] = 28672;
  std::fill(expected.begin() + 28, expected.end(), -32768);
  expected[28] = -2049;
  EXPECT_EQ(DecodeStream(stream).samples, expected);
}

TEST(DecodeStream, EscapeFrameGivesItsSamplesAndHistory) {
  Bytes escape{0xEE};
  Add16(escape, 300, true);
  Add16(escape, 200, true);
  for (int i = 0; i < 28; ++i) Add16(escape, static_cast<uint16_t>(-1000 * i), true);
  Bytes frames = escape;
  Add(frames, Frame(0x2C, {}));
  Bytes stream = Stream(HeaderBody(0, {Field(0x80, 3)}), {SplitBlock(32, {frames})});
  Samples expected;
  for (int i = 0; i < 28; ++i) expected.push_back(static_cast<int16_t>(-1000 * i));
  for (int16_t s : {376, 431, 468, 490}) expected.push_back(s);
  EXPECT_EQ(DecodeStream(stream).samples, expected);
}

TEST(DecodeStream, SplitXaInterleavesChannelsFromTheirOffsets) {
  // Three channels whose data lie in another order than the channels; a partial last frame.
  Bytes c0 = Frame(0x0C, {1, 2, 3}), c1 = Frame(0x0C, {4, 5, 6}), c2 = Frame(0x0C, {7, 15, 8});
  Bytes block;
  Add32(block, 3);
  Add32(block, 30);  // channel 0 is stored last
  Add32(block, 0);
  Add32(block, 15);
  Add(block, c1);
  Add(block, c2);
  Add(block, c0);
  Bytes stream =
      Stream(HeaderBody(0, {Field(0x80, 3), Field(0x82, 3), Field(0x84, 16000)}), {block});
  PcmAudio pcm = DecodeStream(stream);
  EXPECT_EQ(pcm.channels, 3);
  EXPECT_EQ(pcm.sampleRate, 16000);
  EXPECT_EQ(pcm.samples, (Samples{1, 4, 7, 2, 5, -1, 3, 6, -8}));
}

TEST(DecodeStream, InterleavedXaRoundsAndReloadsHistoryEveryBlock) {
  // Stereo: left filter 1 shift 12 from a 7, right filter 0 shift 11 on -1 (rounded: -2); the
  // second block starts left from its stored history 50, 40.
  Bytes stereo1;
  Add32(stereo1, 3);
  Add(stereo1, Bytes(8, 0));
  Add(stereo1, {0x10, 0xCB});
  Add(stereo1, {0x7F, 0x0F, 0x0F});
  Add(stereo1, Bytes(25, 0x0F));
  Bytes stereo2;
  Add32(stereo2, 2);
  for (int16_t h : {50, 40, 0, 0}) Add16(stereo2, static_cast<uint16_t>(h));
  Add(stereo2, {0x10, 0xCC});
  Add(stereo2, Bytes(28, 0));
  PcmAudio pcm =
      DecodeStream(Stream(HeaderBody(0, {Field(0x83, 7), Field(0x82, 2)}), {stereo1, stereo2}));
  EXPECT_EQ(pcm.samples, (Samples{7, -2, 7, -2, 7, -2, 47, 0, 44, 0}));

  // Mono: 15-byte frames after the same 12-byte block header.
  Bytes mono;
  Add32(mono, 3);
  Add(mono, Bytes(8, 0));
  Add(mono, Frame(0x1C, {7}));
  EXPECT_EQ(DecodeStream(Stream(HeaderBody(0, {Field(0x83, 7)}), {mono})).samples,
            (Samples{7, 7, 7}));
}

TEST(DecodeStream, PcmVariants) {
  Bytes le;  // interleaved S16LE, stereo
  Add32(le, 2);
  for (int16_t s : {1, -2, 300, -32768}) Add16(le, static_cast<uint16_t>(s));
  Bytes be;  // interleaved S16BE (Mac: the old PCM codec there), count big-endian too
  Add32(be, 2, true);
  for (int16_t s : {1, -2, 300, -32768}) Add16(be, static_cast<uint16_t>(s), true);
  Bytes s8;
  Add32(s8, 2);
  Add(s8, {0x01, 0xFE, 0x7F, 0x80});
  Bytes split16;  // split S16LE: right channel stored first
  Add32(split16, 2);
  Add32(split16, 4);
  Add32(split16, 0);
  for (int16_t s : {-2, -32768, 1, 300}) Add16(split16, static_cast<uint16_t>(s));
  Bytes split8;
  Add32(split8, 2);
  Add32(split8, 0);
  Add32(split8, 2);
  Add(split8, {0x01, 0x7F, 0xFE, 0x80});
  struct Case {
    const char* name;
    Bytes stream;
    Samples expected;
  } cases[] = {
      {"S16LE", Stream(HeaderBody(0, {Field(0x82, 2)}), {le}), {1, -2, 300, -32768}},
      {"S16BE", Stream(HeaderBody(3, {Field(0x82, 2)}), {be}), {1, -2, 300, -32768}},
      {"S8",
       Stream(HeaderBody(0, {Field(0x82, 2), Field(0x81, 8)}), {s8}),
       {256, -512, 32512, -32768}},
      {"S16LE split",
       Stream(HeaderBody(0, {Field(0x82, 2), Field(0xA0, 8)}), {split16}),
       {1, -2, 300, -32768}},
      {"S8 split",
       Stream(HeaderBody(0, {Field(0x82, 2), Field(0xA0, 9)}), {split8}),
       {256, -512, 32512, -32768}},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeStream(c.stream).samples, c.expected) << c.name;
}

TEST(DecodeStream, StopsAtTheHeadersCountAndAtTheEndOrPadding) {
  Bytes block = SplitBlock(28, {Frame(0x0C, kRamp)});
  Bytes stream = Stream(HeaderBody(0, {Field(0x80, 3), Field(0x85, 40)}), {block, block});
  stream.resize(stream.size() + 64, 0);        // zero padding after SCEl
  Add(stream, testing::Chunk("SCDl", block));  // after the end: not read
  PcmAudio pcm = DecodeStream(stream);
  ASSERT_EQ(pcm.samples.size(), 40u);
  EXPECT_EQ(pcm.samples[39], 3);

  // Without SCEl: blocks up to the first chunk whose size doesn't fit.
  Bytes cut = Stream(HeaderBody(0, {Field(0x80, 3)}), {block, block});
  cut.resize(cut.size() - 8 - 10);
  EXPECT_EQ(DecodeStream(cut).samples.size(), 28u);
}

TEST(DecodeStream, RefusesOtherCodecsAndHostileBlocksWithAClearError) {
  const Bytes xa = HeaderBody(0, {Field(0x80, 3)});
  Bytes outside = SplitBlock(28, {Frame(0x0C, kRamp)});
  outside[4] = 200;  // channel offset past the block
  Bytes shortFrames = SplitBlock(56, {Frame(0x0C, kRamp)});
  shortFrames.resize(shortFrames.size() + 10);
  Bytes hugeCount = SplitBlock(0xFFFFFFFF, {Frame(0x0C, kRamp)});
  Bytes cutEscape = SplitBlock(28, {Bytes(24, 0xEE)});
  Bytes shortPcm;
  Add32(shortPcm, 3);
  Add(shortPcm, {1, 0, 2, 0});
  struct Case {
    Bytes stream;
    const char* message;
  } cases[] = {
      {Stream(HeaderBody(0, {Field(0xA0, 5)}), {}), "can't decode PS ADPCM audio"},
      {Stream(HeaderBody(0, {Field(0xA0, 0x10)}), {}), "can't decode MPEG layer 3 audio"},
      {Stream(HeaderBody(0, {Field(0xA0, 3), Field(0x82, 4)}), {}),
       "can't decode XA v1 audio of 4 channels"},
      {Stream(HeaderBody(0, {Field(0x80, 3), Field(0x82, 255)}), {}),
       "can't decode a stream of 255 channels"},
      {Stream(xa, {outside}), "offset of 200, outside the block"},
      {Stream(xa, {shortFrames}), "ends before its frames do"},
      {Stream(xa, {hugeCount}), "claims 4294967295 samples"},
      {Stream(xa, {cutEscape}), "ends inside an escape frame"},
      {Stream(HeaderBody(0, {}), {shortPcm}), "ends before its samples do"},
      {Stream(xa, {Bytes{1, 0}}), "has no sample count"},
      {testing::Chunk("SCDl", {}), "not a stream"},
  };
  for (const Case& c : cases)
    EXPECT_TRUE(testing::ThrowsWith<AudioError>([&] { DecodeStream(c.stream); }, c.message));
}

}  // namespace
}  // namespace tessaly
