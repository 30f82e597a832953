// Encoding 16-bit PCM into a stream shaped like a template stream (the clip being replaced): the
// same platform, version, codec, channels, sample rate, block length and every other header
// field; only the sample count (field 0x85), the block count and the chunk sizes are new.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "audio/Pcm.h"

namespace tessaly {

// How many bytes XA r2 and r3 may spend on escape frames (28 samples stored raw in 61 bytes
// instead of 15), which go only where they remove more error than the same bytes would as ADPCM
// frames. Never more than kXaEscapePercent above the stream of ADPCM frames alone, and:
enum class EncodeQuality {
  kClipRate,  // the stream no more bytes per second than the clip being replaced (the default)
  kBest,      // even above the clip's bytes per second
  kPlain,     // no escape frames
};

struct EncodeOptions {
  EncodeQuality quality = EncodeQuality::kClipRate;
};

// The most escape frames may add to a stream of ADPCM frames alone, in percent.
inline constexpr int kXaEscapePercent = 5;

// `audio` must already have the template's sample rate and channel count. Encodes the PCM
// variants and the XA ADPCM variants (split r1, r2, r3 and interleaved mono or stereo) with a
// closed-loop search per 28-sample frame, adding escape frames where r2 and r3 allow them, they
// pay and `options` leaves room for them; the total error is then below that of ADPCM frames
// alone. Throws AudioError for a template it can't encode (another codec, an unreadable header)
// or audio of another rate or channel count.
std::vector<uint8_t> EncodeStream(const PcmAudio& audio, std::span<const uint8_t> templateStream,
                                  const EncodeOptions& options = {});

}  // namespace tessaly
