// Reading audio files through FFmpeg: conversion to a requested rate and channel count, the
// stream chosen, the errors, and loudness matching while reading.
#include "media/AudioFileReader.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "audio/StreamDecoder.h"
#include "audio/StreamEncoder.h"
#include "audio/Wav.h"
#include "base/Errors.h"
#include "media/PcmConversion.h"
#include "media/SignalChecks.h"
#include "support/ErrorText.h"
#include "support/Speech.h"
#include "support/StreamBytes.h"
#include "support/TempFolder.h"

namespace tessaly::testing {
namespace {

struct ConversionCase {
  const char* name;
  const char* file;   // file name: its extension picks the container
  const char* codec;  // ffmpeg's output options
  int inRate;
  std::vector<double> amplitudes;  // one per input channel
  int outRate;
  int outChannels;
  double minSnrDb;
  double levelToleranceDb;  // lossy encoders shift the level a little themselves
  double lengthTolerance;   // of the expected length, as a fraction
};

void PrintTo(const ConversionCase& c, std::ostream* out) {
  *out << c.name;
}

class Conversion : public ::testing::TestWithParam<ConversionCase> {};

// A 1 kHz sine through each container and codec, resampled and mixed: the output has the rate,
// channels and length asked for, and each channel the sine at the level mixing gives it
// (stereo to mono averages, mono to stereo copies).
TEST_P(Conversion, KeepsFrequencyLevelAndLength) {
  const ConversionCase& c = GetParam();
  TempFolder folder;
  const std::string path = folder / c.file;
  const double seconds = 1.0;
  Ffmpeg(SineSource(1000, c.amplitudes, c.inRate, seconds) + " " + c.codec, path);

  const AudioFileContents contents =
      ReadAudioFile(path, {.sampleRate = c.outRate, .channels = c.outChannels});
  const PcmAudio& audio = contents.audio;
  EXPECT_FALSE(contents.loudness);
  ASSERT_EQ(audio.sampleRate, c.outRate);
  ASSERT_EQ(audio.channels, c.outChannels);
  EXPECT_NEAR(audio.Seconds(), seconds, seconds * c.lengthTolerance);

  double mixed = 0;
  for (double amplitude : c.amplitudes) mixed += amplitude / c.amplitudes.size();
  for (int channel = 0; channel < c.outChannels; ++channel) {
    const double expected =
        c.amplitudes.size() == static_cast<size_t>(c.outChannels) ? c.amplitudes[channel] : mixed;
    const SineFit fit = FitSine(audio, channel, 1000);
    EXPECT_GE(fit.snrDb, c.minSnrDb) << "channel " << channel;
    EXPECT_NEAR(Db(fit.amplitude), Db(expected), c.levelToleranceDb) << "channel " << channel;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Conversion,
    // clang-format off
    ::testing::Values(
        //             name                              file      codec                          in rate  amplitudes   out rate, ch  SNR  level  length
        ConversionCase{"Wav16Stereo44100ToMono22050",    "a.wav",  "-c:a pcm_s16le",              44100, {0.5, 0.25}, 22050, 1,     80,  0.05,  0},
        ConversionCase{"Wav8Mono8000ToMono22050",        "a.wav",  "-c:a pcm_u8",                 8000,  {0.5},       22050, 1,     35,  0.05,  0},
        ConversionCase{"Wav24Stereo96000ToStereo48000",  "a.wav",  "-c:a pcm_s24le",              96000, {0.5, 0.25}, 48000, 2,     80,  0.05,  0},
        ConversionCase{"WavFloatMono48000ToStereo32000", "a.wav",  "-c:a pcm_f32le",              48000, {0.5},       32000, 2,     80,  0.05,  0},
        ConversionCase{"FlacMono16000ToMono44100",       "a.flac", "-c:a flac",                   16000, {0.5},       44100, 1,     80,  0.05,  0},
        ConversionCase{"Mp3Stereo44100ToMono22050",      "a.mp3",  "-c:a libmp3lame -b:a 128k",   44100, {0.5, 0.25}, 22050, 1,     30,  0.6,   0.01},
        ConversionCase{"VorbisStereo48000ToMono22050",   "a.ogg",  "-c:a libvorbis -q:a 5",       48000, {0.5, 0.25}, 22050, 1,     30,  0.6,   0.01},
        ConversionCase{"OpusMono48000ToMono24000",       "a.opus", "-c:a libopus -b:a 64k",       48000, {0.5},       24000, 1,     25,  0.6,   0.01},
        ConversionCase{"AacStereo44100ToStereo22050",    "a.m4a",  "-c:a aac -b:a 128k",          44100, {0.5, 0.25}, 22050, 2,     25,  0.6,   0.03}),
    // clang-format on
    [](const auto& testCase) { return std::string(testCase.param.name); });

// 16-bit audio already at the asked rate and channel count comes through sample for sample, and
// so it does when the file's own rate and channels are kept.
TEST(ReadAudioFile, PassesMatchingPcmThroughUnchanged) {
  TempFolder folder;
  ASSERT_TRUE(SpeakInto("Goal! What a finish from the edge of the box.", folder / "speech.wav"));
  Ffmpeg("-i '" + folder / "speech.wav" + "' -f s16le -c:a pcm_s16le", folder / "speech.raw");
  const std::string raw = ReadBytes(folder / "speech.raw");
  ASSERT_GT(raw.size(), 20000u);

  for (AudioFileRequest request :
       {AudioFileRequest{.sampleRate = 22050, .channels = 1}, AudioFileRequest{}}) {
    const PcmAudio audio = ReadAudioFile(folder / "speech.wav", request).audio;
    EXPECT_EQ(audio.sampleRate, 22050);
    EXPECT_EQ(audio.channels, 1);
    ASSERT_EQ(audio.samples.size() * 2, raw.size());
    EXPECT_EQ(std::memcmp(audio.samples.data(), raw.data(), raw.size()), 0);
  }
}

// A film with its picture first: the audio stream is the one read.
TEST(ReadAudioFile, ReadsTheAudioStreamOfAFileWithPicture) {
  TempFolder folder;
  const std::string path = folder / "clip.mkv";
  Ffmpeg("-f lavfi -i testsrc=size=64x48:rate=5:duration=1 " + SineSource(1000, {0.5}, 48000, 1) +
             " -map 0:v -map 1:a -c:v ffv1 -c:a flac",
         path);
  const PcmAudio audio = ReadAudioFile(path, {.sampleRate = 22050, .channels = 1}).audio;
  EXPECT_NEAR(audio.Seconds(), 1.0, 0.01);
  EXPECT_GE(FitSine(audio, 0, 1000).snrDb, 80);
}

// An entry file of an archive is decoded natively, also in a variant FFmpeg reads wrongly (split
// XA on PC at version 2, which FFmpeg takes for r1).
TEST(ReadAudioFile, DecodesGameStreamsNatively) {
  TempFolder folder;
  const std::string path = folder / "speech_00042.asf";
  Ffmpeg(SineSource(1000, {0.5}, 22050, 1) + " -c:a pcm_s16le", folder / "sine.wav");
  const PcmAudio sine = ReadAudioFile(folder / "sine.wav", {}).audio;
  Bytes templateStream = Chunk("SCHl", HeaderBody(0, {Field(0x80, 2), Field(0xA0, 0x0A)}));
  Bytes block;
  Add32(block, 2800);
  Add32(block, 0);
  Add(templateStream, Chunk("SCDl", block));
  Add(templateStream, Chunk("SCEl", {}));
  const std::vector<uint8_t> stream = EncodeStream(sine, templateStream);
  WriteBytes(path, std::string(stream.begin(), stream.end()));

  EXPECT_EQ(ReadAudioFile(path, {}).audio.samples, DecodeStream(stream).samples);
  const PcmAudio resampled = ReadAudioFile(path, {.sampleRate = 44100, .channels = 2}).audio;
  EXPECT_EQ(resampled.Frames(), 44100u);
  EXPECT_GE(FitSine(resampled, 1, 1000).snrDb, 25);

  WriteBytes(path, std::string("SCHl\xFF\xFF\xFF\x7F", 8));
  EXPECT_THROW(ReadAudioFile(path, {}), MediaError);
}

// Whatever is wrong with the file, one error that names the file and says why.
TEST(ReadAudioFile, RefusesWhatIsNotReadableAudio) {
  TempFolder folder;
  WriteBytes(folder / "notes.txt", "These are not the clips you are looking for.\n");
  WriteBytes(folder / "empty.wav", "");
  std::filesystem::create_directory(folder / "takes");
  Ffmpeg("-f lavfi -i testsrc=size=64x48:rate=5:duration=1 -c:v ffv1", folder / "silent.mkv");
  Ffmpeg(SineSource(1000, {0.5}, 8000, 0) + " -c:a pcm_s16le", folder / "nothing.wav");

  const struct {
    std::string file;
    std::string reason;
  } cases[] = {
      {"missing.wav", "No such file or directory"},
      {"takes", "Is a directory"},
      {"notes.txt", "Invalid data found when processing input"},
      {"empty.wav", "Invalid data found when processing input"},
      {"silent.mkv", "It holds no audio"},
      {"nothing.wav", "It holds no audio samples"},
  };
  for (const auto& c : cases) {
    const std::string path = folder / c.file;
    EXPECT_EQ(
        ErrorText<MediaError>([&] { ReadAudioFile(path, {.sampleRate = 22050, .channels = 1}); }),
        "Cannot read audio file \"" + path + "\". " + c.reason);
  }
}

TEST(ReadAudioFile, RefusesAudioLongerThanTheLimit) {
  TempFolder folder;
  const std::string path = folder / "long.flac";
  Ffmpeg(SineSource(1000, {0.5}, 8000, 3) + " -c:a flac", path);
  EXPECT_TRUE(ThrowsWith<MediaError>(
      [&] { ReadAudioFile(path, {.sampleRate = 48000, .channels = 2, .maxSeconds = 2}); },
      "It is longer than 2 seconds"));
  EXPECT_NEAR(ReadAudioFile(path, {.maxSeconds = 3.5}).audio.Seconds(), 3, 0.001);
}

// WAV files at any rate from 1 Hz to 768 kHz with 1 to 12 channels, converted to the rates and
// channels of clips: each converts to about its length, or is refused with a message; none
// reaches the resampler with settings it crashes on.
TEST(ReadAudioFile, ConvertsOrRefusesAnyRateAndChannelCount) {
  TempFolder folder;
  for (int rate : {1, 999, 1000, 4000, 8000, 11025, 96000, 768000})
    for (int channels : {1, 2, 8, 9, 12}) {
      PcmAudio audio;
      audio.sampleRate = rate;
      audio.channels = channels;
      const int frames = std::max(1, rate / 10);
      for (int i = 0; i < frames * channels; ++i)
        audio.samples.push_back(static_cast<int16_t>(8000 * std::sin(i * 0.01)));
      const std::string path =
          folder / ("r" + std::to_string(rate) + "c" + std::to_string(channels) + ".wav");
      const std::vector<uint8_t> wav = WavBytes(audio);
      WriteBytes(path, std::string(wav.begin(), wav.end()));
      for (int outRate : {22050, 44100})
        for (int outChannels : {1, 2}) {
          SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(channels) + " channels to " +
                       std::to_string(outRate) + " Hz, " + std::to_string(outChannels));
          const double seconds = static_cast<double>(frames) / rate;
          std::string refusal;
          if (channels > 8)
            refusal = "It has " + std::to_string(channels) + " channels; at most 8 can be read";
          else if (rate < 1000)
            refusal =
                "Its sample rate of " + std::to_string(rate) + " Hz is outside what can be read";
          const std::string name = "Cannot read audio file \"" + path + "\". ";
          for (bool inMemory : {false, true}) {
            try {
              PcmAudio converted =
                  inMemory
                      ? ConvertPcm(audio, outRate, outChannels, path)
                      : ReadAudioFile(path, {.sampleRate = outRate, .channels = outChannels}).audio;
              EXPECT_EQ(refusal, "");
              EXPECT_EQ(converted.channels, outChannels);
              EXPECT_NEAR(converted.Seconds(), seconds, 0.01);
            } catch (const MediaError& error) {
              EXPECT_EQ(error.what(), name + refusal);
            }
          }
        }
    }
}

#ifndef _WIN32
// A pipe is refused by name before FFmpeg opens it and waits on it.
TEST(ReadAudioFile, RefusesAPipe) {
  TempFolder folder;
  const std::string pipe = folder / "take.wav";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(ErrorText<FrameworkError>([&] { ReadAudioFile(pipe, {}); }),
            "Cannot open file \"" + pipe + "\". It is a pipe, not a regular file");
}
#endif

// A header's claim of hours is refused before anything is decoded; a header claiming more than
// the file holds is read for what the file holds.
TEST(ReadAudioFile, JudgesLengthFromTheHeaderAndTheFilesSize) {
  TempFolder folder;
  PcmAudio second{8000, 2, {}};
  for (int i = 0; i < 2 * 8000; ++i)
    second.samples.push_back(static_cast<int16_t>(8000 * std::sin(i * 0.3)));
  std::vector<uint8_t> wav = WavBytes(second);
  const std::string claiming = folder / "claims_more.wav";
  for (size_t i = 0; i + 8 <= wav.size(); ++i)
    if (std::memcmp(wav.data() + i, "data", 4) == 0) {
      wav[i + 4] = wav[i + 5] = wav[i + 6] = 0xF0, wav[i + 7] = 0x7F;
      break;
    }
  WriteBytes(claiming, std::string(wav.begin(), wav.end()));
  EXPECT_EQ(ReadAudioFile(claiming, {.sampleRate = 8000, .channels = 2}).audio.samples,
            second.samples);

  // Two hours of silence, a sparse file: refused with nothing decoded.
  const std::string hours = folder / "hours.wav";
  std::filesystem::copy_file(claiming, hours);
  std::filesystem::resize_file(hours, wav.size() + uint64_t{8000} * 4 * 7200);
  int reports = 0;
  EXPECT_TRUE(ThrowsWith<MediaError>(
      [&] {
        ReadAudioFile(hours,
                      {.sampleRate = 8000, .channels = 2, .progress = [&](double) { ++reports; }});
      },
      "It is longer than 3600 seconds"));
  EXPECT_EQ(reports, 0);
}

// Progress rises once per percent to 1, over both decodings when matching loudness; an exception
// from the callback stops the reading.
TEST(ReadAudioFile, ReportsProgressAndStopsWhenTold) {
  TempFolder folder;
  const std::string path = folder / "long.flac";
  Ffmpeg(SineSource(1000, {0.1, 0.1}, 48000, 20) + " -c:a flac", path);
  for (std::optional<double> target : {std::optional<double>(), std::optional<double>(-14)}) {
    std::vector<double> reports;
    ReadAudioFile(path, {.sampleRate = 22050,
                         .channels = 1,
                         .loudnessTarget = target,
                         .progress = [&](double done) { reports.push_back(done); }});
    ASSERT_GE(reports.size(), 10u);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_EQ(std::adjacent_find(reports.begin(), reports.end()), reports.end());
    EXPECT_EQ(reports.back(), 1.0);
    if (target) {
      EXPECT_GT(
          std::count_if(reports.begin(), reports.end(), [](double done) { return done > 0.5; }),
          10);
    }
  }

  struct Stopped {};
  EXPECT_THROW(ReadAudioFile(path, {.progress =
                                        [](double done) {
                                          if (done >= 0.3) throw Stopped();
                                        }}),
               Stopped);
}

TEST(ReadAudioFile, RefusesRequestsOutOfRange) {
  for (AudioFileRequest request :
       {AudioFileRequest{.sampleRate = 999}, AudioFileRequest{.sampleRate = 800000},
        AudioFileRequest{.channels = 9}, AudioFileRequest{.channels = -1},
        AudioFileRequest{.maxSeconds = 0}})
    EXPECT_THROW(ReadAudioFile("unused.wav", request), std::invalid_argument);
}

}  // namespace
}  // namespace tessaly::testing
