#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

#include "audio/AudioError.h"
#include "audio/Wav.h"
#include "support/ErrorText.h"
#include "support/StreamBytes.h"

namespace tessaly {
namespace {

using testing::Add;
using testing::Add16;
using testing::Add32;
using testing::Bytes;

Bytes WavOf(uint16_t format, uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& data,
            bool extensible = false, bool extraChunk = false) {
  Bytes fmt;
  Add16(fmt, extensible ? 0xFFFE : format);
  Add16(fmt, channels);
  Add32(fmt, rate);
  Add32(fmt, rate * channels * bits / 8);
  Add16(fmt, static_cast<uint16_t>(channels * bits / 8));
  Add16(fmt, bits);
  if (extensible) {
    Add16(fmt, 22);
    Add16(fmt, bits);
    Add32(fmt, 0);
    Add16(fmt, format);
    Add(fmt, Bytes(14, 0));
  }
  Bytes out{'R', 'I', 'F', 'F'};
  Add32(out, 0);
  Add(out, {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Add32(out, static_cast<uint32_t>(fmt.size()));
  Add(out, fmt);
  if (extraChunk) {
    Add(out, {'L', 'I', 'S', 'T', 3, 0, 0, 0, 1, 2, 3, 0});  // odd size, padded
  }
  Add(out, {'d', 'a', 't', 'a'});
  Add32(out, static_cast<uint32_t>(data.size()));
  Add(out, data);
  return out;
}

TEST(Wav, ReadsPcmAndFloatSampleFormatsAs16Bit) {
  const std::vector<int16_t> expected = {0, 16384, -32768, 32767};
  Bytes s8{128, 192, 0, 255}, s16, s24, s32, f32, f64;
  for (int16_t v : {0, 16384, -32768, 32767}) Add16(s16, static_cast<uint16_t>(v));
  Add(s24, {0x11, 0, 0, 0x22, 0, 0x40, 0x33, 0, 0x80, 0x44, 0xFF, 0x7F});
  for (int16_t v : {0, 16384, -32768, 32767}) Add32(s32, static_cast<uint32_t>(v) << 16 | 0x1234);
  for (float v : {0.0f, 0.5f, -1.0f, 1.5f}) Add32(f32, std::bit_cast<uint32_t>(v));
  for (double v : {0.0, 0.5, -1.0, 1.0}) {
    uint64_t raw = std::bit_cast<uint64_t>(v);
    Add32(f64, static_cast<uint32_t>(raw));
    Add32(f64, static_cast<uint32_t>(raw >> 32));
  }
  struct Case {
    const char* name;
    Bytes wav;
    std::vector<int16_t> samples;
  } cases[] = {
      {"8-bit", WavOf(1, 2, 8000, 8, s8), {0, 16384, -32768, 32512}},
      {"16-bit", WavOf(1, 2, 8000, 16, s16, false, true), expected},
      {"24-bit", WavOf(1, 2, 8000, 24, s24), expected},
      {"32-bit extensible", WavOf(1, 2, 8000, 32, s32, true), expected},
      {"float", WavOf(3, 2, 8000, 32, f32), expected},
      {"double", WavOf(3, 2, 8000, 64, f64), expected},
  };
  for (const Case& c : cases) {
    PcmAudio audio = ReadWav(c.wav);
    EXPECT_EQ(audio.samples, c.samples) << c.name;
    EXPECT_EQ(audio.channels, 2) << c.name;
    EXPECT_EQ(audio.sampleRate, 8000) << c.name;
  }
}

TEST(Wav, WritesSixteenBitPcmThatReadsBack) {
  PcmAudio audio;
  audio.channels = 2;
  audio.sampleRate = 22050;
  audio.samples = {1, -1, 32767, -32768, 5, 6};
  Bytes bytes = WavBytes(audio);
  ASSERT_EQ(bytes.size(), 44u + 12u);
  EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
  PcmAudio back = ReadWav(bytes);
  EXPECT_EQ(back.samples, audio.samples);
  EXPECT_EQ(back.sampleRate, 22050);
  EXPECT_EQ(back.channels, 2);
}

TEST(Wav, RefusesWhatItDoesNotReadByName) {
  Bytes truncated = WavOf(1, 1, 8000, 16, {1, 0, 2, 0, 3});  // a cut last sample is dropped
  EXPECT_EQ(ReadWav(truncated).samples, (std::vector<int16_t>{1, 2}));
  struct Case {
    Bytes wav;
    const char* message;
  } cases[] = {
      {Bytes{'R', 'I', 'F', 'F'}, "not a WAV file"},
      {WavOf(2, 1, 8000, 4, {}), "can't read format 2 with 4 bits"},
      {WavOf(1, 1, 8000, 12, {}), "can't read format 1 with 12 bits"},
      {WavOf(1, 0, 8000, 16, {}), "impossible channel count"},
      {Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, "no fmt chunk"},
  };
  for (const Case& c : cases)
    EXPECT_TRUE(testing::ThrowsWith<AudioError>([&] { ReadWav(c.wav); }, c.message));
}

}  // namespace
}  // namespace tessaly
