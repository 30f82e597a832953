// Decoded audio as the core and the front ends pass it around: 16-bit samples, interleaved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessaly {

struct PcmAudio {
  int sampleRate = 0;
  int channels = 0;
  std::vector<int16_t> samples;  // frame after frame, each holding `channels` samples

  size_t Frames() const {
    return channels > 0 ? samples.size() / static_cast<size_t>(channels) : 0;
  }
  double Seconds() const {
    return sampleRate > 0 ? static_cast<double>(Frames()) / sampleRate : 0.0;
  }
};

}  // namespace tessaly
