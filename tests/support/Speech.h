// Real speech for the audio tests, spoken by the espeak-ng program, and a look for the programs a
// test needs beside it. Windows has no espeak-ng: there a voiced stand-in of the same format is
// written instead (tests that measure coding quality skip there, as they need other programs).
#pragma once

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>

#include "audio/Pcm.h"
#include "audio/Wav.h"
#include "base/Files.h"

namespace tessaly::testing {

// Whether `name` is a program on the search path.
inline bool HasProgram(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

#ifdef _WIN32
// A voice-like signal for `text`: per letter 70 ms of a 120 Hz buzz through two formants that move
// with the letter, a gap for each blank, at 22050 Hz mono like espeak-ng.
inline PcmAudio VoicedStandIn(const std::string& text) {
  constexpr int kRate = 22050, kLetter = kRate * 70 / 1000;
  PcmAudio audio{kRate, 1, {}};
  for (unsigned char letter : text) {
    for (int i = 0; i < kLetter; ++i) {
      double t = static_cast<double>(i) / kRate,
             envelope = std::sin(std::numbers::pi * i / kLetter);
      double f1 = 300 + 9 * (letter % 64), f2 = 1200 + 23 * (letter % 48), value = 0;
      if (letter != ' ')
        for (int harmonic = 1; harmonic * 120 < 4000; ++harmonic) {
          double f = harmonic * 120.0;
          double gain =
              1 / (1 + std::pow((f - f1) / 150, 2)) + 0.5 / (1 + std::pow((f - f2) / 250, 2));
          value += gain * std::sin(2 * std::numbers::pi * f * t) / harmonic;
        }
      audio.samples.push_back(static_cast<int16_t>(std::lround(9000 * envelope * value)));
    }
  }
  return audio;
}
#endif

// Writes `text` spoken by espeak-ng into the WAV file `wavPath` (22050 Hz, mono, 16 bits);
// false when espeak-ng fails or is missing.
inline bool SpeakInto(const std::string& text, const std::string& wavPath) {
#ifdef _WIN32
  std::vector<uint8_t> bytes = WavBytes(VoicedStandIn(text));
  WriteWholeFile(wavPath, bytes.data(), bytes.size());
  return true;
#else
  return std::system(("espeak-ng -w '" + wavPath + "' '" + text + "'").c_str()) == 0;
#endif
}

// The same, read back; empty when espeak-ng fails.
inline PcmAudio Speak(const std::string& text, const std::string& wavPath) {
  if (!SpeakInto(text, wavPath)) return {};
  return ReadWavFile(wavPath);
}

}  // namespace tessaly::testing
