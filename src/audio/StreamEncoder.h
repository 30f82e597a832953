// Encoding 16-bit PCM into a stream shaped like a template stream (the clip being replaced): the
// same platform, version, codec, channels, sample rate, block length and every other header
// field; only the sample count (field 0x85), the block count and the chunk sizes are new.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "audio/Pcm.h"

namespace tessaly {

// `audio` must already have the template's sample rate and channel count. Encodes the PCM
// variants and the XA ADPCM variants (split r1, r2, r3 and interleaved mono or stereo) with a
// closed-loop search per 28-sample frame, using escape frames where r2 and r3 allow them and a
// frame would otherwise be far off. Throws AudioError for a template it can't encode (another
// codec, an unreadable header) or audio of another rate or channel count.
std::vector<uint8_t> EncodeStream(const PcmAudio& audio, std::span<const uint8_t> templateStream);

}  // namespace tessaly
