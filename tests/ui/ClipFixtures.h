// Archive data with real clips, for the window tests that play, read or replace them.
#pragma once

#include "support/AudioSignals.h"
#include "support/StreamBytes.h"
#include "support/TempFolder.h"

#include <string>
#include <vector>

#include "audio/Wav.h"

namespace tessaly::testing {

// A PCM S16LE stream of `frames` frames at 22050 Hz with `channels` channels.
inline Bytes PcmStream(int channels, int frames) {
  Bytes block;
  Add32(block, static_cast<uint32_t>(frames));
  for (int i = 0; i < frames * channels; ++i)
    Add16(block, static_cast<uint16_t>(static_cast<int16_t>((i % 64 - 32) * 500)));
  return Stream(HeaderBody(0, {Field(0x82, static_cast<uint32_t>(channels)), Field(0x84, 22050),
                               Field(0x85, static_cast<uint32_t>(frames))}),
                {block});
}

// ThreeEntries' data file with real clips: mono 1,000 frames, stereo 1,000, mono 800.
inline std::string ThreeClips() {
  std::string data(12000, '\0');
  const Bytes clips[] = {PcmStream(1, 1000), PcmStream(2, 1000), PcmStream(1, 800)};
  const size_t starts[] = {0, 4096, 10240};
  for (int i = 0; i < 3; ++i)
    data.replace(starts[i], clips[i].size(), std::string(clips[i].begin(), clips[i].end()));
  return data;
}

// A mono WAV file of `seconds` of speech-like sound, at the clips' rate unless told.
inline void WriteWav(const std::string& path, double seconds, int sampleRate = 22050) {
  const std::vector<uint8_t> wav =
      WavBytes(TestSignal(1, sampleRate, static_cast<size_t>(seconds * sampleRate)));
  WriteBytes(path, std::string(wav.begin(), wav.end()));
}

}  // namespace tessaly::testing
