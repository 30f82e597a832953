// How an import reads the user's audio file: converted to the sample rate and channel count of
// the clip it replaces, and brought to that clip's loudness when asked. The FFmpeg adapter reads
// any format; WavAudioSource, in the core, reads WAV files alone.
#pragma once

#include <string>

#include "audio/Pcm.h"

namespace tessaly {

struct ConvertedAudio {
  PcmAudio audio;
  std::string loudnessNote;  // what loudness matching did, when it was asked for
};

class AudioSource {
 public:
  virtual ~AudioSource() = default;
  // Throws an exception whose text says why the file can't be read or converted. When
  // `loudnessReference` is given, the audio is brought to its integrated loudness.
  virtual ConvertedAudio Read(const std::string& path, int sampleRate, int channels,
                              const PcmAudio* loudnessReference) = 0;
};

}  // namespace tessaly
