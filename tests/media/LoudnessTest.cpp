// Integrated loudness of decoded audio, the gain rule, and matching a clip to another's loudness.
#include "media/Loudness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "media/AudioFileReader.h"
#include "media/SignalChecks.h"
#include "support/Speech.h"
#include "support/TempFolder.h"

namespace tessaly::testing {
namespace {

constexpr double kSilence = -std::numeric_limits<double>::infinity();

// A 1 kHz sine at `dbfs` peak in every channel.
PcmAudio Sine(double dbfs, int channels, double seconds, int sampleRate = 48000) {
  PcmAudio audio{sampleRate, channels, {}};
  const double amplitude = 32768 * std::pow(10, dbfs / 20);
  const size_t frames = static_cast<size_t>(seconds * sampleRate);
  for (size_t i = 0; i < frames; ++i) {
    const double value = amplitude * std::sin(2 * std::numbers::pi * 1000 * i / sampleRate);
    audio.samples.insert(audio.samples.end(), channels,
                         static_cast<int16_t>(std::lrint(std::clamp(value, -32768.0, 32767.0))));
  }
  return audio;
}

int16_t Peak(const PcmAudio& audio) {
  int peak = 0;
  for (int16_t sample : audio.samples) peak = std::max(peak, std::abs(int{sample}));
  return static_cast<int16_t>(std::min(peak, 32767));
}

// A 1 kHz sine in one channel reads 3.01 dB below its peak level; in two, at its peak level.
TEST(IntegratedLoudness, MeasuresReferenceSines) {
  EXPECT_NEAR(IntegratedLoudness(Sine(-20, 1, 2)), -23.01, 0.05);
  EXPECT_NEAR(IntegratedLoudness(Sine(-20, 2, 2)), -20.0, 0.05);
  EXPECT_NEAR(IntegratedLoudness(Sine(-12, 1, 1, 22050)), -15.01, 0.05);
  // Shorter than a gating block: measured over the whole clip.
  EXPECT_NEAR(IntegratedLoudness(Sine(-20, 1, 0.2)), -23.01, 0.2);
}

TEST(IntegratedLoudness, CallsSilenceMinusInfinity) {
  EXPECT_EQ(IntegratedLoudness(PcmAudio{22050, 1, {}}), kSilence);
  EXPECT_EQ(IntegratedLoudness(PcmAudio{22050, 1, std::vector<int16_t>(22050, 0)}), kSilence);
  EXPECT_EQ(IntegratedLoudness(Sine(-85, 1, 1)), kSilence);
  EXPECT_EQ(IntegratedLoudness(Sine(-85, 1, 0.1)), kSilence);
}

TEST(PlanLoudnessGain, FollowsTheRule) {
  using Outcome = LoudnessMatch::Outcome;
  const double ceiling = std::pow(10, kPeakCeilingDbfs / 20);
  const struct {
    double source, target, peak;
    Outcome outcome;
    double gain;
  } cases[] = {
      {-30, -20, 0.1, Outcome::matched, 10},                     // boost within the headroom
      {-20, -30, 1.0, Outcome::matched, -10},                    // a cut applies in full
      {-30, -20, 0.5, Outcome::peakLimited, Db(ceiling / 0.5)},  // boost up to the ceiling
      {-30, -20, 1.0, Outcome::peakLimited, 0},  // no room at all: unchanged, never cut
      {kSilence, -20, 0.0, Outcome::silent, 0},
      {-20, kSilence, 0.5, Outcome::silent, 0},
      {-75, -20, 0.001, Outcome::silent, 0},  // below the absolute gate
  };
  for (const auto& c : cases) {
    const LoudnessMatch match = PlanLoudnessGain(c.source, c.target, c.peak);
    EXPECT_EQ(match.outcome, c.outcome) << c.source << " to " << c.target;
    EXPECT_NEAR(match.gainDb, c.gain, 1e-9) << c.source << " to " << c.target;
    EXPECT_GE(match.ShortfallDb(), 0);
  }
  EXPECT_NEAR(PlanLoudnessGain(-30, -20, 1.0).ShortfallDb(), 10, 1e-9);
}

TEST(MatchLoudness, BringsSixteenBitAudioToTheTarget) {
  PcmAudio quiet = Sine(-35, 1, 1, 22050);
  const LoudnessMatch match = MatchLoudness(quiet, -23);
  EXPECT_EQ(match.outcome, LoudnessMatch::Outcome::matched);
  EXPECT_NEAR(IntegratedLoudness(quiet), -23, 0.5);

  PcmAudio loud = Sine(-6, 1, 1, 22050);  // -9 LUFS; the ceiling allows 5 of the 6 dB wanted
  const LoudnessMatch limited = MatchLoudness(loud, -3);
  EXPECT_EQ(limited.outcome, LoudnessMatch::Outcome::peakLimited);
  EXPECT_NEAR(limited.gainDb, 5, 0.01);
  EXPECT_LE(Peak(loud), 32768 * std::pow(10, kPeakCeilingDbfs / 20) + 1);
}

// A recording read for a clip it replaces: brought to the clip's loudness, or as near as the
// peak ceiling allows.
TEST(ReadAudioFile, MatchesTheLoudnessOfTheReplacedClip) {
  TempFolder folder;
  // The same words as the clip, recorded 18 dB quieter in another format.
  ASSERT_TRUE(SpeakInto("He shoots, he scores, an absolute screamer.", folder / "replaced.wav"));
  Ffmpeg("-i '" + folder / "replaced.wav" +
             "' -af 'volume=-18dB,pan=stereo|c0=c0|c1=c0' -ar 44100 -c:a flac",
         folder / "quiet.flac");
  const PcmAudio replaced = ReadAudioFile(folder / "replaced.wav", {}).audio;
  const double target = IntegratedLoudness(replaced);
  ASSERT_GT(target, -40);

  const AudioFileRequest request{.sampleRate = 22050, .channels = 1, .loudnessTarget = target};
  const AudioFileContents matched = ReadAudioFile(folder / "quiet.flac", request);
  ASSERT_TRUE(matched.loudness);
  EXPECT_EQ(matched.loudness->outcome, LoudnessMatch::Outcome::matched);
  EXPECT_NEAR(matched.loudness->gainDb, 18, 0.2);
  EXPECT_NEAR(IntegratedLoudness(matched.audio), target, 0.5);

  AudioFileRequest tooLoud = request;
  tooLoud.loudnessTarget = -3;
  const AudioFileContents limited = ReadAudioFile(folder / "quiet.flac", tooLoud);
  EXPECT_EQ(limited.loudness->outcome, LoudnessMatch::Outcome::peakLimited);
  EXPECT_GT(limited.loudness->ShortfallDb(), 0);
  EXPECT_LE(Peak(limited.audio), 32768 * std::pow(10, kPeakCeilingDbfs / 20) + 1);
  EXPECT_NEAR(IntegratedLoudness(limited.audio), -3 - limited.loudness->ShortfallDb(), 0.5);
}

// The gain is applied before rounding to 16 bits: a floating-point file whose peaks are above
// full scale comes back whole when it is turned down, not clipped.
TEST(ReadAudioFile, TurnsDownAboveFullScaleFloatWithoutClipping) {
  TempFolder folder;
  const std::string path = folder / "hot.wav";
  Ffmpeg(SineSource(1000, {2.0}, 22050, 1) + " -c:a pcm_f32le", path);
  const AudioFileContents contents =
      ReadAudioFile(path, {.sampleRate = 22050, .channels = 1, .loudnessTarget = -23});
  EXPECT_NEAR(contents.loudness->gainDb, -23 - (Db(2.0) - 3.01), 0.1);
  EXPECT_NEAR(IntegratedLoudness(contents.audio), -23, 0.5);
  EXPECT_GE(FitSine(contents.audio, 0, 1000).snrDb, 70);
}

TEST(ReadAudioFile, LeavesSilenceAsItIs) {
  TempFolder folder;
  const std::string path = folder / "silence.wav";
  Ffmpeg("-f lavfi -i anullsrc=r=22050:cl=mono -t 1 -c:a pcm_s16le", path);
  const AudioFileContents contents =
      ReadAudioFile(path, {.sampleRate = 22050, .channels = 1, .loudnessTarget = -23});
  EXPECT_EQ(contents.loudness->outcome, LoudnessMatch::Outcome::silent);
  EXPECT_EQ(contents.loudness->gainDb, 0);
  EXPECT_EQ(Peak(contents.audio), 0);
  EXPECT_EQ(contents.audio.Frames(), 22050u);
}

}  // namespace
}  // namespace tessaly::testing
