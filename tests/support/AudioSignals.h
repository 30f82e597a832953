// Test signals and the measure of how close a decoded signal is to the one encoded.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

#include "audio/Pcm.h"

namespace tessaly::testing {

// A few seconds' worth of something speech-like: two gliding tones with a slow envelope and a
// little deterministic noise; channel c is shifted and scaled so channels differ.
inline PcmAudio TestSignal(int channels, int rate, size_t frames) {
  PcmAudio audio;
  audio.channels = channels;
  audio.sampleRate = rate;
  audio.samples.resize(frames * static_cast<size_t>(channels));
  uint32_t noise = 12345;
  for (size_t i = 0; i < frames; ++i) {
    double t = static_cast<double>(i) / rate;
    for (int c = 0; c < channels; ++c) {
      double envelope = 0.5 + 0.45 * std::sin(2 * std::numbers::pi * (1.3 + c) * t);
      double tone = std::sin(2 * std::numbers::pi * (220 + 180 * t + 40 * c) * t) +
                    0.4 * std::sin(2 * std::numbers::pi * (1250 - 90 * c) * t);
      noise = noise * 1664525u + 1013904223u;
      double hiss = (static_cast<int32_t>(noise >> 16) - 32768) / 32768.0 * 0.02;
      audio.samples[i * channels + c] =
          static_cast<int16_t>(std::lround(12000 * envelope * (tone + hiss)));
    }
  }
  return audio;
}

// Signal-to-noise ratio in dB of `decoded` against `original` over their common samples.
inline double SnrDb(const std::vector<int16_t>& original, const std::vector<int16_t>& decoded) {
  double signal = 0, noise = 0;
  size_t n = std::min(original.size(), decoded.size());
  for (size_t i = 0; i < n; ++i) {
    double d = static_cast<double>(original[i]) - decoded[i];
    signal += static_cast<double>(original[i]) * original[i];
    noise += d * d;
  }
  if (noise == 0) return std::numeric_limits<double>::infinity();
  return 10 * std::log10(signal / noise);
}

}  // namespace tessaly::testing
