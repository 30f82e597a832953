// Decoded 16-bit audio brought to another sample rate and channel count, in memory.
#pragma once

#include <string>

#include "audio/Pcm.h"

namespace tessaly {

// `audio` at `outputRate` Hz with `outputChannels` channels. Throws MediaError, naming `name`,
// for audio that can't be converted (a rate or a channel count out of range).
PcmAudio ConvertPcm(const PcmAudio& audio, int outputRate, int outputChannels,
                    const std::string& name);

}  // namespace tessaly
