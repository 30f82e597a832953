// Decoding a whole stream in memory to 16-bit PCM, natively: the PCM variants (interleaved and
// split; S16LE, S16BE, S8) and the XA-style ADPCM variants (split r1, r2, r3 with any channel
// count, and the interleaved mono or stereo variant).
#pragma once

#include <cstdint>
#include <span>

#include "audio/Pcm.h"

namespace tessaly {

// The most channels a stream may have to be decoded or encoded here.
inline constexpr int kMaxDecodedChannels = 8;

// Decodes the stream's blocks in order, as many samples as each block's count says, and no more
// than the header's sample count when it gives one. Throws AudioError, naming the codec when it
// is one not decoded here, or the block and the fault when the bytes don't hold what the header
// and the blocks claim. Memory stays bounded by the bytes given.
PcmAudio DecodeStream(std::span<const uint8_t> stream);

}  // namespace tessaly
