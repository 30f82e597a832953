#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "audio/AudioError.h"
#include "audio/ClipInfo.h"
#include "audio/StreamChunks.h"
#include "audio/StreamDecoder.h"
#include "audio/StreamEncoder.h"
#include "support/AudioSignals.h"
#include "support/ErrorText.h"
#include "support/StreamBytes.h"

namespace tessaly {
namespace {

using testing::Add;
using testing::Add32;
using testing::Bytes;
using testing::Chunk;
using testing::Field;
using testing::HeaderBody;
using testing::Stream;

// A template stream: the header, an SCCl, and one block of `blockSamples` (the block's content
// is never read by the encoder beyond its count).
Bytes Template(const Bytes& header, uint32_t blockSamples, bool bigEndian = false,
               bool bigEndianSizes = false) {
  Bytes out = Chunk("SCHl", header, bigEndianSizes);
  Bytes count;
  Add32(count, 1, bigEndian);
  Add(out, Chunk("SCCl", count, bigEndianSizes));
  Bytes block;
  Add32(block, blockSamples, bigEndian);
  Add(block, Bytes(64, 0));
  Add(out, Chunk("SCDl", block, bigEndianSizes));
  Add(out, Chunk("SCEl", {}, bigEndianSizes));
  return out;
}

struct Variant {
  const char* name;
  Bytes header;
  bool bigEndian;
  double minSnr;  // infinity: lossless
};

std::vector<Variant> Variants() {
  const double lossless = std::numeric_limits<double>::infinity();
  return {
      {"XA r1", HeaderBody(0, {Field(0x80, 1), Field(0x82, 2)}), false, 25},
      {"XA r2", HeaderBody(0, {Field(0x80, 3), Field(0xA0, 0x0A), Field(0x82, 2)}), false, 25},
      {"XA r3", HeaderBody(3, {Field(0x80, 3), Field(0x82, 2)}), true, 25},
      {"XA r2 3ch", HeaderBody(0, {Field(0x80, 3), Field(0x82, 3)}), false, 25},
      {"XA v1", HeaderBody(0, {Field(0x83, 7), Field(0x82, 2)}), false, 25},
      {"XA v1 mono", HeaderBody(0, {Field(0x83, 7)}), false, 25},
      {"PCM S16LE", HeaderBody(0, {Field(0x82, 2)}), false, lossless},
      {"PCM S16BE", HeaderBody(3, {Field(0x82, 2)}), true, lossless},
      {"PCM S8", HeaderBody(0, {Field(0x81, 8), Field(0x82, 2)}), false, 35},
      {"PCM S16BE split", HeaderBody(6, {Field(0x82, 2)}), true, lossless},
      {"PCM S8 split", HeaderBody(0, {Field(0xA0, 9), Field(0x82, 2)}), false, 35},
  };
}

TEST(EncodeStream, EveryVariantRoundTrips) {
  for (const Variant& v : Variants()) {
    ClipInfo info = ReadClipInfo(Chunk("SCHl", v.header));
    ASSERT_TRUE(info.decodable) << v.name;
    PcmAudio audio = testing::TestSignal(info.channels, info.sampleRate, 5000);
    Bytes stream = EncodeStream(audio, Template(v.header, 1000, v.bigEndian));
    PcmAudio decoded = DecodeStream(stream);
    EXPECT_EQ(decoded.channels, audio.channels) << v.name;
    EXPECT_EQ(decoded.sampleRate, audio.sampleRate) << v.name;
    ASSERT_EQ(decoded.samples.size(), audio.samples.size()) << v.name;
    EXPECT_GE(testing::SnrDb(audio.samples, decoded.samples), v.minSnr) << v.name;
    ClipInfo encoded = ReadClipInfo(stream);
    EXPECT_EQ(encoded.codecName, info.codecName) << v.name;
    EXPECT_EQ(encoded.samples, 5000u) << v.name;
  }
}

TEST(EncodeStream, FindsTheExactFramesOfAudioTheDecoderProduced) {
  // Audio that is itself a decoding can be encoded without error: the search predicts as the
  // decoder does, to the last bit of rounding and clipping.
  for (const Variant& v : Variants()) {
    if (v.minSnr == std::numeric_limits<double>::infinity()) continue;
    ClipInfo info = ReadClipInfo(Chunk("SCHl", v.header));
    PcmAudio once =
        DecodeStream(EncodeStream(testing::TestSignal(info.channels, info.sampleRate, 3000),
                                  Template(v.header, 560, v.bigEndian)));
    PcmAudio twice = DecodeStream(EncodeStream(once, Template(v.header, 560, v.bigEndian)));
    EXPECT_EQ(twice.samples, once.samples) << v.name;
  }
}

TEST(EncodeStream, CopiesTheTemplateAndRewritesCountsAndSizes) {
  // Mac r3 with big-endian chunk sizes, an unknown field, a 1-byte sample count (too small for
  // the new count), padding after the end marker.
  Bytes header{'P', 'T', 3, 0, 0xFD};
  Add(header, Field(0x80, 3));
  Add(header, Field(0x82, 1));
  Add(header, {0x99, 6, 1, 2, 3, 4, 5, 6});
  Add(header, {0x85, 1, 0x10});
  Add(header, Field(0x8C, 4));
  Add(header, {0xFF, 0, 0, 0, 0, 0, 0, 0});
  Bytes tmpl = Template(header, 100, true, true);  // 100 samples: blocks of 84 (3 frames)
  PcmAudio audio = testing::TestSignal(1, 22050, 300);
  Bytes stream = EncodeStream(audio, tmpl);

  StreamChunks walk = WalkChunks(stream);
  EXPECT_TRUE(walk.bigEndianSizes);
  std::vector<uint32_t> tags;
  for (const StreamChunk& c : walk.chunks) tags.push_back(c.tag);
  EXPECT_EQ(tags, (std::vector<uint32_t>{kHeaderTag, kCountTag, kBlockTag, kBlockTag, kBlockTag,
                                         kBlockTag, kEndTag}));
  EXPECT_EQ(walk.chunks.back().position + 8, stream.size());
  // The header: everything before the count copied, the count as a 4-byte field, the fields
  // after it copied, then padding to a multiple of 4.
  Bytes expected(header.begin(), header.begin() + 19);
  Add(expected, {0x85, 4, 0, 0, 1, 44});
  Add(expected, Field(0x8C, 4));
  Add(expected, {0xFF});
  while ((expected.size() + 8) % 4) expected.push_back(0);
  const StreamChunk& h = walk.chunks[0];
  EXPECT_EQ(
      Bytes(stream.begin() + h.BodyPosition(), stream.begin() + h.BodyPosition() + h.BodySize()),
      expected);
  // SCCl holds the new block count; blocks hold 84, 84, 84, 48 samples (big-endian) and are padded
  // to 4 bytes.
  EXPECT_EQ(Bytes(stream.begin() + walk.chunks[1].BodyPosition(),
                  stream.begin() + walk.chunks[1].BodyPosition() + 4),
            (Bytes{0, 0, 0, 4}));
  std::vector<uint32_t> counts;
  for (size_t i = 2; i < 6; ++i) {
    const uint8_t* p = stream.data() + walk.chunks[i].BodyPosition();
    counts.push_back(uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]);
    EXPECT_EQ(walk.chunks[i].size % 4, 0u);
  }
  EXPECT_EQ(counts, (std::vector<uint32_t>{84, 84, 84, 48}));

  // A count that fits the field's length is written in place: the header keeps its bytes.
  Bytes small = EncodeStream(testing::TestSignal(1, 22050, 250), tmpl);
  Bytes sameHeader = header;
  sameHeader[21] = 250;
  const StreamChunk hs = WalkChunks(small).chunks[0];
  EXPECT_EQ(
      Bytes(small.begin() + hs.BodyPosition(), small.begin() + hs.BodyPosition() + hs.BodySize()),
      sameHeader);

  // No count in the template: one is added before the end marker.
  Bytes noCount = HeaderBody(0, {Field(0x80, 3)});
  const Bytes added = EncodeStream(testing::TestSignal(1, 22050, 28), Template(noCount, 28));
  EXPECT_EQ(ReadClipInfo(added).samples, 28u);

  // A field list without an end marker gets one after the added count, so the chunk's padding
  // doesn't read as fields; a last field whose value holds 0xFF stays whole.
  for (Bytes body : {Bytes{'P', 'T', 0, 0, 0xFD, 0x80, 1, 3},
                     Bytes{'P', 'T', 0, 0, 0x80, 1, 3, 0x99, 2, 0xFF, 0xFF}}) {
    Bytes grown = EncodeStream(testing::TestSignal(1, 22050, 100), Template(body, 28));
    ClipInfo info = ReadClipInfo(grown);
    EXPECT_EQ(info.codecName, "XA r2") << info.reason;
    EXPECT_EQ(info.samples, 100u);
    EXPECT_EQ(WalkChunks(grown).chunks[0].size % 4, 0u);
  }
}

TEST(EncodeStream, EscapeFramesOnlyWhereR2AndR3AllowThemAndTheyPay) {
  // A quiet tone with one frame of a full-scale square wave at half the sample rate, beyond every
  // filter and shift: an escape frame stores that frame exactly for a fraction of the bytes.
  PcmAudio burst = testing::TestSignal(1, 22050, 100 * 28);
  for (int16_t& sample : burst.samples) sample = static_cast<int16_t>(sample / 8);
  uint32_t state = 7;
  for (size_t i = 50 * 28; i < 51 * 28; ++i) {
    state = state * 1103515245u + 12345u;
    burst.samples[i] = static_cast<int16_t>((i % 2 ? 32600 : -32600) + (state >> 25));
  }
  const Bytes r2 = Template(HeaderBody(0, {Field(0x80, 3)}), 280);
  const Bytes r1 = Template(HeaderBody(0, {Field(0x80, 1)}), 280);
  auto encode = [&](const PcmAudio& audio, const Bytes& tmpl, EncodeQuality quality) {
    return EncodeStream(audio, tmpl, {.quality = quality});
  };
  auto error = [](const PcmAudio& audio, const Bytes& stream) {
    std::vector<int16_t> decoded = DecodeStream(stream).samples;
    double sum = 0;
    for (size_t i = 0; i < decoded.size(); ++i)
      sum += std::pow(static_cast<double>(decoded[i]) - audio.samples[i], 2);
    return sum;
  };
  auto burstFrame = [](const std::vector<int16_t>& samples) {
    return std::vector<int16_t>(samples.begin() + 50 * 28, samples.begin() + 51 * 28);
  };

  const Bytes plain = encode(burst, r2, EncodeQuality::kPlain);
  const Bytes best = encode(burst, r2, EncodeQuality::kBest);
  EXPECT_EQ(burstFrame(DecodeStream(best).samples), burstFrame(burst.samples));
  EXPECT_NE(burstFrame(DecodeStream(plain).samples), burstFrame(burst.samples));
  EXPECT_GT(best.size(), plain.size());
  EXPECT_LE(best.size(), plain.size() * 105 / 100);
  EXPECT_LT(error(burst, best), error(burst, plain));
  // The template holds no sample count, so its bytes per second are unknown: by default nothing
  // is added to plain ADPCM. r1 has no escape frames at all.
  EXPECT_EQ(encode(burst, r2, EncodeQuality::kClipRate), plain);
  EXPECT_EQ(encode(burst, r1, EncodeQuality::kBest), encode(burst, r1, EncodeQuality::kPlain));

  // A noise frame among others like it gains no more from an escape than from the same bytes
  // spread as ADPCM: noise stays plain.
  PcmAudio noise = burst;
  for (int16_t& sample : noise.samples) {
    state = state * 1103515245u + 12345u;
    sample = static_cast<int16_t>(static_cast<int32_t>(state >> 16) % 12000);
  }
  EXPECT_EQ(encode(noise, r2, EncodeQuality::kBest), encode(noise, r2, EncodeQuality::kPlain));

  // By default the replacement keeps to the bytes per second of the clip it replaces, here one of
  // the same length: the escape frame goes in only when the clip leaves room for it.
  auto clipOfSize = [](size_t bytes) {
    Bytes out = Chunk("SCHl", HeaderBody(0, {Field(0x80, 3), Field(0x85, 100 * 28)}));
    Bytes block;
    Add32(block, 280, false);
    block.resize(bytes - out.size() - 2 * 8, 0);
    Add(out, Chunk("SCDl", block));
    Add(out, Chunk("SCEl", {}));
    return out;
  };
  const size_t plainSize = encode(burst, clipOfSize(100), EncodeQuality::kPlain).size();
  for (size_t room : {0, 40, 200}) {
    const Bytes clip = clipOfSize(plainSize + room);
    const Bytes replaced = encode(burst, clip, EncodeQuality::kClipRate);
    EXPECT_LE(replaced.size(), clip.size()) << room;
    EXPECT_EQ(burstFrame(DecodeStream(replaced).samples) == burstFrame(burst.samples), room == 200)
        << room;
  }
}

TEST(EncodeStream, RefusesWhatItCantEncode) {
  PcmAudio mono = testing::TestSignal(1, 22050, 100);
  struct Case {
    Bytes tmpl;
    const char* message;
  } cases[] = {
      {Template(HeaderBody(0, {Field(0xA0, 4)}), 100), "can't encode MicroTalk audio"},
      {Template(HeaderBody(0, {Field(0x80, 3), Field(0x82, 2)}), 100),
       "the audio has 1 channels at 22050 Hz, the clip it replaces 2 at 22050 Hz"},
      {Template(HeaderBody(0, {Field(0x80, 3), Field(0x84, 32000)}), 100), "at 32000 Hz"},
      {Template(HeaderBody(0, {Field(0x80, 3), Field(0x82, 200)}), 100),
       "can't encode a stream of 200 channels"},
      {Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0}, "not a stream"},
  };
  for (const Case& c : cases)
    EXPECT_TRUE(testing::ThrowsWith<AudioError>([&] { EncodeStream(mono, c.tmpl); }, c.message));
}

}  // namespace
}  // namespace tessaly
