// The import's audio source through FFmpeg: any format FFmpeg reads, resampled and remixed to the
// clip's rate and channel count, and brought to the replaced clip's loudness when asked.
#pragma once

#include "clips/AudioSource.h"

namespace tessaly {

class MediaAudioSource : public AudioSource {
 public:
  ConvertedAudio Read(const std::string& path, int sampleRate, int channels,
                      const PcmAudio* loudnessReference) override;
};

}  // namespace tessaly
