// Making audio files with the ffmpeg and espeak-ng programs, and measuring a decoded sine.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "audio/Pcm.h"

namespace tessaly::testing {

// Runs ffmpeg quietly with `arguments`, writing `output`; fails the test when it fails.
inline void Ffmpeg(const std::string& arguments, const std::string& output) {
  const std::string command =
      "ffmpeg -nostdin -hide_banner -loglevel error -y " + arguments + " '" + output + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// A sine of `frequency` Hz and peak `amplitudes` (one per channel, 1.0 full scale), `seconds`
// long, as ffmpeg's expression source describes it.
inline std::string SineSource(double frequency, std::vector<double> amplitudes, int sampleRate,
                              double seconds) {
  std::string expressions;
  for (double amplitude : amplitudes) {
    if (!expressions.empty()) expressions += "|";
    expressions += std::to_string(amplitude) + "*sin(2*PI*" + std::to_string(frequency) + "*t)";
  }
  return "-f lavfi -i \"aevalsrc='" + expressions + "':s=" + std::to_string(sampleRate) +
         ":d=" + std::to_string(seconds) + "\"";
}

struct SineFit {
  double amplitude = 0;  // 1.0 is full scale
  double snrDb = 0;      // the fitted sine against everything else
};

// Least-squares fit of a sine of `frequency` to one channel, leaving out the first and last tenth
// (where resamplers and codecs settle). A wrong rate shows as a small amplitude and a poor SNR.
inline SineFit FitSine(const PcmAudio& audio, int channel, double frequency) {
  const size_t frames = audio.Frames();
  const size_t begin = frames / 10, end = frames - frames / 10;
  const double step = 2 * std::numbers::pi * frequency / audio.sampleRate;
  double ss = 0, cc = 0, sc = 0, xs = 0, xc = 0;
  for (size_t i = begin; i < end; ++i) {
    const double x = audio.samples[i * audio.channels + channel] / 32768.0;
    const double s = std::sin(step * i), c = std::cos(step * i);
    ss += s * s, cc += c * c, sc += s * c, xs += x * s, xc += x * c;
  }
  const double det = ss * cc - sc * sc;
  const double a = (xs * cc - xc * sc) / det, b = (xc * ss - xs * sc) / det;
  double signal = 0, noise = 0;
  for (size_t i = begin; i < end; ++i) {
    const double x = audio.samples[i * audio.channels + channel] / 32768.0;
    const double fit = a * std::sin(step * i) + b * std::cos(step * i);
    signal += fit * fit;
    noise += (x - fit) * (x - fit);
  }
  return {std::hypot(a, b), 10 * std::log10(signal / std::max(noise, 1e-30))};
}

inline double Db(double ratio) {
  return 20 * std::log10(ratio);
}

}  // namespace tessaly::testing
