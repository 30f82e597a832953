// MicroTalk: decoding against streams the public reference encoder made and their samples as the
// public reference decoder gives them (tests/data/microtalk), framing faults, and the encoder's
// layout and quality on a speech excerpt of those fixtures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "audio/AudioError.h"
#include "audio/ByteOrder.h"
#include "audio/StreamChunks.h"
#include "audio/StreamDecoder.h"
#include "audio/StreamEncoder.h"
#include "audio/StreamHeader.h"
#include "base/Files.h"
#include "support/ErrorText.h"

namespace tessaly {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Fixture(const std::string& name) {
  return ReadWholeFile(std::string(TESSALY_TEST_DATA) + "/microtalk/" + name);
}
std::vector<int16_t> FixtureSamples(const std::string& name) {
  Bytes bytes = Fixture(name);
  std::vector<int16_t> out(bytes.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<int16_t>(Read16Le(&bytes[2 * i]));
  return out;
}

double Snr(const std::vector<int16_t>& reference, const std::vector<int16_t>& test) {
  double signal = 0, error = 0;
  for (size_t i = 0; i < reference.size(); ++i) {
    double d = static_cast<double>(reference[i]) - (i < test.size() ? test[i] : 0);
    signal += static_cast<double>(reference[i]) * reference[i];
    error += d * d;
  }
  return error == 0 ? 200 : 10 * std::log10(signal / error);
}

// Over 432-sample frames of RMS 100 or more, each clipped to [-10, 35] dB.
double SegmentalSnr(const std::vector<int16_t>& reference, const std::vector<int16_t>& test) {
  double sum = 0;
  int frames = 0;
  for (size_t f = 0; f + 432 <= reference.size(); f += 432) {
    double signal = 0, error = 0;
    for (size_t i = f; i < f + 432; ++i) {
      double d = static_cast<double>(reference[i]) - test[i];
      signal += static_cast<double>(reference[i]) * reference[i];
      error += d * d;
    }
    if (signal < 100.0 * 100 * 432) continue;
    sum += std::clamp(10 * std::log10(signal / std::max(error, 1e-9)), -10.0, 35.0);
    ++frames;
  }
  return frames ? sum / frames : 0;
}

struct Reference {
  const char* name;
  int rate, channels;
};
const Reference kReferences[] = {
    {"mt10_regular", 22050, 1},     // 10:1, half band, version 2
    {"mt5_rev3_patch", 22050, 1},   // 5:1, full band, Revision 3, a PCM patch in frame 0
    {"mt10_rev3_16k", 16000, 1},    // 10:1, Revision 3 without patches, 16 kHz
    {"mt5_regular_16k", 16000, 1},  // 5:1, version 2, 16 kHz, a partial last frame
    {"mt10_stereo", 22050, 2},      // two channels, each from its own offset
};

TEST(MicroTalk, DecodesAsThePublicReferenceDecoder) {
  for (const Reference& r : kReferences) {
    SCOPED_TRACE(r.name);
    PcmAudio audio = DecodeStream(Fixture(std::string(r.name) + ".schl"));
    std::vector<int16_t> expected = FixtureSamples(std::string(r.name) + ".pcm");
    EXPECT_EQ(audio.sampleRate, r.rate);
    EXPECT_EQ(audio.channels, r.channels);
    ASSERT_EQ(audio.samples.size(), expected.size());
    int largest = 0;
    for (size_t i = 0; i < expected.size(); ++i)
      largest = std::max(largest, std::abs(audio.samples[i] - expected[i]));
    EXPECT_TRUE(Snr(expected, audio.samples) >= 60 || largest <= 2)
        << Snr(expected, audio.samples) << " dB, largest difference " << largest;
  }
}

// The first SCDl chunk's position in a stream.
size_t FirstBlock(const Bytes& stream) {
  for (const StreamChunk& chunk : WalkChunks(stream).chunks)
    if (chunk.tag == kBlockTag) return chunk.position;
  return 0;
}

TEST(MicroTalk, RefusesPatchesOutsideTheFrameAndBlocksTooShortForTheirCount) {
  const Bytes good = Fixture("mt5_rev3_patch.schl");
  // Frame 0's patch: offset 0, count 216, big-endian.
  const uint8_t patch[4] = {0, 0, 0, 216};
  auto at = std::search(good.begin() + static_cast<ptrdiff_t>(FirstBlock(good)), good.end(), patch,
                        patch + 4);
  ASSERT_NE(at, good.end());
  const size_t patchAt = static_cast<size_t>(at - good.begin());
  struct Case {
    const char* name;
    uint8_t offsetHigh, offsetLow, countHigh, countLow;
    const char* fault;
  } cases[] = {
      {"count past the frame", 0, 0, 0x01, 0xB1, "outside its 432-sample frame"},  // 433
      {"offset past the frame", 0x01, 0xB1, 0, 0, "outside its 432-sample frame"},
      {"negative count", 0, 0, 0xFF, 0xFF, "outside its 432-sample frame"},
      {"count past the block", 0, 0, 0x01, 0xB0, "ends inside a PCM patch"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bad = good;
    bad[patchAt] = c.offsetHigh;
    bad[patchAt + 1] = c.offsetLow;
    bad[patchAt + 2] = c.countHigh;
    bad[patchAt + 3] = c.countLow;
    EXPECT_THROW(
        try { DecodeStream(bad); } catch (const AudioError& e) {
          EXPECT_NE(std::string(e.what()).find(c.fault), std::string::npos) << e.what();
          throw;
        },
        AudioError);
  }

  // A block claiming more samples than its bytes could hold is refused before any decoding.
  Bytes hostile = Fixture("mt10_regular.schl");
  size_t block = FirstBlock(hostile);
  hostile[block + 8] = 0xFF;
  hostile[block + 9] = 0xFF;
  hostile[block + 10] = 0xFF;
  EXPECT_THROW(DecodeStream(hostile), AudioError);

  // A block cut short decodes its missing bits as zeros, as the reference decoder does: the
  // samples are all there, only wrong near the end.
  Bytes cut = Fixture("mt10_regular.schl");
  block = FirstBlock(cut);
  for (size_t i = block + 40; i < block + Read32Le(&cut[block + 4]); ++i) cut[i] = 0;
  EXPECT_EQ(DecodeStream(cut).Frames(), FixtureSamples("mt10_regular.pcm").size());
}

struct Encoded {
  Bytes stream;
  PcmAudio decoded;
};
Encoded EncodeLike(const std::string& templateName, const std::vector<int16_t>& source) {
  PcmAudio audio{22050, 1, source};
  Encoded out;
  out.stream = EncodeStream(audio, Fixture(templateName));
  out.decoded = DecodeStream(out.stream);
  return out;
}

// SCDl bytes per second of a stream.
double BlockBytesPerSecond(const Bytes& stream, double seconds) {
  size_t bytes = 0;
  for (const StreamChunk& chunk : WalkChunks(stream).chunks)
    if (chunk.tag == kBlockTag) bytes += chunk.size;
  return static_cast<double>(bytes) / seconds;
}

TEST(MicroTalk, EncodesInTheClipsLayoutAndBitrate) {
  // Three seconds: the source excerpt over and over, so that there are many blocks.
  std::vector<int16_t> source;
  std::vector<int16_t> excerpt = FixtureSamples("mt10_regular.source.pcm");
  while (source.size() < 3 * 22050) source.insert(source.end(), excerpt.begin(), excerpt.end());
  source.resize(3 * 22050 - 100);
  for (const char* name : {"mt10_regular.schl", "mt5_rev3_patch.schl"}) {
    SCOPED_TRACE(name);
    const Bytes clip = Fixture(name);
    Encoded e = EncodeLike(name, source);
    ASSERT_EQ(e.decoded.samples.size(), source.size());

    // Every header field but the sample count as the clip has it.
    StreamChunks ours = WalkChunks(e.stream), theirs = WalkChunks(clip);
    Bytes ourHeader(e.stream.begin() + 8,
                    e.stream.begin() + static_cast<ptrdiff_t>(ours.chunks[0].size));
    Bytes clipHeader(clip.begin() + 8,
                     clip.begin() + static_cast<ptrdiff_t>(theirs.chunks[0].size));
    StreamHeader ourFields = ParseStreamHeader(ourHeader);
    StreamHeader clipFields = ParseStreamHeader(clipHeader);
    ASSERT_EQ(ourHeader.size(), clipHeader.size());
    for (size_t i = 0; i < ourHeader.size(); ++i)
      if (i < ourFields.sampleCountField || i >= ourFields.sampleCountField + 6) {
        EXPECT_EQ(ourHeader[i], clipHeader[i]) << "header byte " << i;
      }
    EXPECT_EQ(ourFields.samples, source.size());

    // Blocks: flag byte 1 then 0, 3 or 4 whole frames but the last, none over 4096 bytes, the
    // codec header's bandwidth bit as the clip's.
    std::vector<size_t> blocks;
    for (const StreamChunk& chunk : ours.chunks)
      if (chunk.tag == kBlockTag) blocks.push_back(chunk.position);
    ASSERT_GT(blocks.size(), 10u);
    const size_t flagAt = 8 + 8;  // chunk header, count, channel 0's offset
    const size_t codecAt = flagAt + 1 + (clipFields.microTalkRev3 ? 1 : 0);
    EXPECT_EQ(e.stream[blocks[0] + codecAt] & 1, clip[FirstBlock(clip) + codecAt] & 1);
    for (size_t b = 0; b < blocks.size(); ++b) {
      const uint8_t* chunk = &e.stream[blocks[b]];
      EXPECT_EQ(chunk[flagAt], b == 0 ? 1 : 0) << "block " << b;
      EXPECT_LE(Read32Le(chunk + 4), 4096u);
      uint32_t samples = Read32Le(chunk + 8);
      if (b + 1 < blocks.size()) {
        EXPECT_TRUE(samples == 3 * 432 || samples == 4 * 432) << "block " << b << ": " << samples;
      }
    }
    // Bytes per second within 10 % of the clip's.
    double ours_ = BlockBytesPerSecond(e.stream, 3.0);
    double clips = BlockBytesPerSecond(clip, static_cast<double>(clipFields.samples) / 22050);
    EXPECT_NEAR(ours_ / clips, 1.0, 0.1) << ours_ << " against " << clips;
  }
}

TEST(MicroTalk, EncodesSpeechAtLeastAsWellAsThePublicEncoder) {
  // The fixtures' own samples are what the public encoder made of the excerpts at these rates.
  for (const char* name : {"mt10_regular", "mt5_rev3_patch"}) {
    SCOPED_TRACE(name);
    std::vector<int16_t> source = FixtureSamples(std::string(name) + ".source.pcm");
    std::vector<int16_t> theirs = FixtureSamples(std::string(name) + ".pcm");
    Encoded ours = EncodeLike(std::string(name) + ".schl", source);
    EXPECT_GE(Snr(source, ours.decoded.samples), Snr(source, theirs));
    EXPECT_GE(SegmentalSnr(source, ours.decoded.samples), SegmentalSnr(source, theirs));
    EXPECT_LE(ours.stream.size(), Fixture(std::string(name) + ".schl").size() * 11 / 10);
  }
}

}  // namespace
}  // namespace tessaly
