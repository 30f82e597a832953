// Reads arbitrary bytes as a WAV file in memory and converts what it holds to a rate and a channel
// count taken from the first bytes: parsing either gives audio or a clean AudioError, and
// conversion of any rate and channel count either gives about the expected number of frames or a
// clean MediaError, never a crash inside the resampler.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzSupport.h"
#include "audio/AudioError.h"
#include "audio/Wav.h"
#include "media/MediaError.h"
#include "media/PcmConversion.h"

namespace {

using namespace tessaly;
using fuzzing::Require;

// Bounds the work of one input: a long clip upsampled many times over is slow, not wrong.
constexpr size_t kMaxFrames = 1 << 16;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const uint32_t rateBits = data[0] | data[1] << 8 | data[2] << 16 | uint32_t{data[3]} << 24;
  const int outputRate = static_cast<int>(rateBits % 768000) + 1;
  const int outputChannels = data[4] % 8 + 1;
  std::span<const uint8_t> bytes(data + 5, size - 5);

  PcmAudio audio;
  try {
    audio = ReadWav(bytes);
  } catch (const AudioError&) {
    return 0;
  }
  Require(audio.channels >= 1 && audio.sampleRate >= 1, "a parsed WAV has channels and a rate");
  Require(audio.samples.size() <= bytes.size(), "no more samples than the bytes hold");
  if (audio.Frames() > kMaxFrames) return 0;

  PcmAudio converted;
  try {
    converted = ConvertPcm(audio, outputRate, outputChannels, "fuzz.wav");
  } catch (const MediaError&) {
    return 0;
  }
  Require(converted.channels == outputChannels && converted.sampleRate == outputRate,
          "converted audio has the asked channels and rate");
  Require(converted.samples.size() % static_cast<size_t>(outputChannels) == 0, "whole frames");
  const double expected =
      static_cast<double>(audio.Frames()) * outputRate / static_cast<double>(audio.sampleRate);
  Require(static_cast<double>(converted.Frames()) <= expected + 64 + expected / 100,
          "no more frames than the rates ask for");
  return 0;
}
