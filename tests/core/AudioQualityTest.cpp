// Real speech through the encoder, and FFmpeg as an outside decoder of our streams. Both need
// programs beside the test (espeak-ng, ffmpeg); a test skips with a message when one is missing.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "audio/StreamDecoder.h"
#include "audio/StreamEncoder.h"
#include "audio/Wav.h"
#include "base/Files.h"
#include "support/AudioSignals.h"
#include "support/Speech.h"
#include "support/StreamBytes.h"
#include "support/TempFolder.h"

namespace tessaly {
namespace {

using testing::Add;
using testing::Add32;
using testing::Bytes;
using testing::Chunk;
using testing::Field;
using testing::HasProgram;
using testing::Speak;

// Two sentences side by side, the shorter padded with silence.
PcmAudio Stereo(const PcmAudio& left, const PcmAudio& right) {
  PcmAudio out;
  out.channels = 2;
  out.sampleRate = left.sampleRate;
  size_t frames = std::max(left.Frames(), right.Frames());
  for (size_t i = 0; i < frames; ++i) {
    out.samples.push_back(i < left.Frames() ? left.samples[i] : 0);
    out.samples.push_back(i < right.Frames() ? right.samples[i] : 0);
  }
  return out;
}

// A template as a PC or Mac tool would write it: the fields inside a 0xFD section (the only place
// FFmpeg reads them), blocks of 2016 samples.
Bytes Template(uint16_t platform, std::vector<Bytes> fields, int channels) {
  Bytes header{'P', 'T', static_cast<uint8_t>(platform), 0, 0xFD};
  fields.push_back(Field(0x82, static_cast<uint32_t>(channels)));
  fields.push_back(Field(0x84, 22050));
  for (const Bytes& f : fields) Add(header, f);
  header.push_back(0xFF);
  while (header.size() % 4) header.push_back(0);
  Bytes out = Chunk("SCHl", header);
  Bytes block;
  Add32(block, 2016, platform == 3);
  Add(out, Chunk("SCDl", block));
  Add(out, Chunk("SCEl", {}));
  return out;
}

struct AdpcmVariant {
  const char* name;
  uint16_t platform;
  std::vector<Bytes> fields;
};

const std::vector<AdpcmVariant>& AdpcmVariants() {
  static const std::vector<AdpcmVariant> variants = {
      {"XA r1", 0, {Field(0x80, 1)}},
      {"XA r2", 0, {Field(0x80, 3), Field(0xA0, 0x0A)}},
      {"XA r3", 3, {Field(0x80, 3)}},
      {"XA v1", 0, {Field(0x83, 7)}},
  };
  return variants;
}

class Speech : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HasProgram("espeak-ng")) GTEST_SKIP() << "espeak-ng is not installed: no speech to test";
    mono_ =
        Speak("The keeper comes off his line, and it is a goal! What a finish.", folder_ / "a.wav");
    other_ = Speak("Into the final minute now, and they need a miracle.", folder_ / "b.wav");
    ASSERT_EQ(mono_.sampleRate, 22050);
    ASSERT_GT(mono_.Frames(), 22050u);
    stereo_ = Stereo(mono_, other_);
  }
  testing::TempFolder folder_;
  PcmAudio mono_, other_, stereo_;
};

TEST_F(Speech, AdpcmVariantsReachThirtyDecibels) {
  for (const AdpcmVariant& v : AdpcmVariants()) {
    for (const PcmAudio* audio : {&mono_, &stereo_}) {
      if (v.name == std::string("XA v1") && audio->channels == 1) continue;  // stereo only
      Bytes stream = EncodeStream(*audio, Template(v.platform, v.fields, audio->channels));
      PcmAudio decoded = DecodeStream(stream);
      ASSERT_EQ(decoded.samples.size(), audio->samples.size()) << v.name;
      double snr = testing::SnrDb(audio->samples, decoded.samples);
      EXPECT_GE(snr, 30.0) << v.name << ", " << audio->channels << " channels";
      RecordProperty(std::string(v.name) + (audio->channels == 1 ? " mono" : " stereo"),
                     std::to_string(snr));
    }
  }
}

// Escape frames in r2 and r3 where they pay: at most 5 % above plain ADPCM for a better SNR, and
// by default no more bytes per second than the clip replaced (here the other sentence, encoded
// plain or with escape frames itself).
TEST_F(Speech, EscapeFramesCostAtMostFivePercentForABetterSnr) {
  for (const AdpcmVariant& v : AdpcmVariants()) {
    if (v.name != std::string("XA r2") && v.name != std::string("XA r3")) continue;
    for (const PcmAudio* audio : {&mono_, &stereo_}) {
      const Bytes tmpl = Template(v.platform, v.fields, audio->channels);
      const Bytes plain = EncodeStream(*audio, tmpl, {.quality = EncodeQuality::kPlain});
      const Bytes best = EncodeStream(*audio, tmpl, {.quality = EncodeQuality::kBest});
      const double plainSnr = testing::SnrDb(audio->samples, DecodeStream(plain).samples);
      const double bestSnr = testing::SnrDb(audio->samples, DecodeStream(best).samples);
      const std::string what = std::string(v.name) + (audio->channels == 1 ? " mono" : " stereo");
      EXPECT_LE(best.size(), plain.size() * 1.05) << what;
      EXPECT_GE(bestSnr, plainSnr + 0.5) << what;  // about 1 dB measured
      RecordProperty(what + " size",
                     std::to_string(best.size()) + " (plain " + std::to_string(plain.size()) + ")");
      RecordProperty(what + " SNR",
                     std::to_string(bestSnr) + " (plain " + std::to_string(plainSnr) + ")");
    }
    const Bytes tmpl = Template(v.platform, v.fields, 1);
    for (EncodeQuality clipQuality : {EncodeQuality::kPlain, EncodeQuality::kBest}) {
      const Bytes clip = EncodeStream(other_, tmpl, {.quality = clipQuality});
      const Bytes replaced = EncodeStream(mono_, clip);
      EXPECT_LE(static_cast<double>(replaced.size()) / mono_.Seconds(),
                static_cast<double>(clip.size()) / other_.Seconds())
          << v.name;
    }
  }
}

// FFmpeg's decoding of a stream file, 16-bit interleaved; empty when it fails.
std::vector<int16_t> FfmpegDecode(const std::string& path) {
  std::string command = "ffmpeg -v error -i '" + path + "' -f s16le - 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {};
  std::vector<int16_t> samples;
  int16_t buffer[4096];
  size_t n;
  while ((n = fread(buffer, sizeof(int16_t), 4096, pipe)) > 0)
    samples.insert(samples.end(), buffer, buffer + n);
  pclose(pipe);
  return samples;
}

TEST_F(Speech, FfmpegDecodesOurStreamsSampleForSample) {
  if (!HasProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed: no outside decoder";
  std::vector<AdpcmVariant> variants = AdpcmVariants();
  variants.push_back({"PCM S16LE split", 0, {Field(0xA0, 0x08)}});
  for (const AdpcmVariant& v : variants) {
    for (const PcmAudio* audio : {&mono_, &stereo_}) {
      // FFmpeg reads the interleaved XA variant as stereo only, and its split PCM assumes two
      // channels.
      bool stereoOnly = v.name == std::string("XA v1") || v.name == std::string("PCM S16LE split");
      if (stereoOnly && audio->channels == 1) continue;
      Bytes stream = EncodeStream(*audio, Template(v.platform, v.fields, audio->channels));
      std::string path = folder_ / "clip.asf";
      WriteWholeFile(path, stream.data(), stream.size());
      std::vector<int16_t> theirs = FfmpegDecode(path);
      std::vector<int16_t> ours = DecodeStream(stream).samples;
      // FFmpeg leaves out the last partial frame: it may return up to 27 samples fewer.
      ASSERT_LE(theirs.size(), ours.size()) << v.name;
      ASSERT_GE(theirs.size() + 28 * static_cast<size_t>(audio->channels), ours.size())
          << v.name << ", " << audio->channels << " channels";
      ours.resize(theirs.size());
      EXPECT_EQ(theirs, ours) << v.name << ", " << audio->channels << " channels";
    }
  }
}

}  // namespace
}  // namespace tessaly
