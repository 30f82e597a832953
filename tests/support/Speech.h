// Real speech for the audio tests, spoken by the espeak-ng program, and a look for the programs a
// test needs beside it.
#pragma once

#include <cstdlib>
#include <string>

#include "audio/Pcm.h"
#include "audio/Wav.h"

namespace tessaly::testing {

// Whether `name` is a program on the search path.
inline bool HasProgram(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Writes `text` spoken by espeak-ng into the WAV file `wavPath` (22050 Hz, mono, 16 bits);
// false when espeak-ng fails or is missing.
inline bool SpeakInto(const std::string& text, const std::string& wavPath) {
  return std::system(("espeak-ng -w '" + wavPath + "' '" + text + "'").c_str()) == 0;
}

// The same, read back; empty when espeak-ng fails.
inline PcmAudio Speak(const std::string& text, const std::string& wavPath) {
  if (!SpeakInto(text, wavPath)) return {};
  return ReadWavFile(wavPath);
}

}  // namespace tessaly::testing
