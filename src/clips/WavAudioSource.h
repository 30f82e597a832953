// Reading WAV files without any library, for builds without FFmpeg: the file's sample rate must
// already be the clip's (no resampling here), any channel count is mixed down to mono and mono
// copied up; other files, rates and channel changes and loudness matching are refused, the message
// naming the file and what to convert it to.
#pragma once

#include "clips/AudioSource.h"

namespace tessaly {

class WavAudioSource : public AudioSource {
 public:
  ConvertedAudio Read(const std::string& path, int sampleRate, int channels,
                      const PcmAudio* loudnessReference) override;
};

// Mixes down by averaging the channels or copies a mono channel into every channel. Throws
// AudioError for other changes of channel count.
PcmAudio ConvertChannels(PcmAudio audio, int channels);

}  // namespace tessaly
