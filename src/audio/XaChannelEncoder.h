// Split XA encoded a channel at a time: every frame's closed-loop choice first, then, where r2 and
// r3 allow them, escape frames (28 raw samples in 61 bytes instead of 15) at the frames where
// they remove the most error per byte, within a byte allowance.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/XaFrames.h"

namespace tessaly {

struct XaChannelFrames {
  std::vector<int16_t> samples;       // the channel's samples, zero-padded to whole frames
  std::vector<XaFrameChoice> frames;  // one per 28 samples
  std::vector<XaHistory> before;      // the decoder's history as each frame starts
  std::vector<uint8_t> escaped;       // 1 where an escape frame holds the samples
  int64_t error = 0;                  // squared error of the whole channel

  size_t Count() const { return frames.size(); }
  const int16_t* FrameSamples(size_t frame) const {
    return samples.data() + frame * kXaFrameSamples;
  }
};

// Encodes channel `channel` of `interleaved` (`channels` samples per frame) with ADPCM frames only.
XaChannelFrames EncodeXaChannel(const std::vector<int16_t>& interleaved, size_t channels,
                                size_t channel);

// Turns frames of `channels` into escape frames where they pay and re-encodes the frames after
// them from the exact history they leave. A frame pays when escaping it removes more squared
// error (its own and the next frame's) than ADPCM would with its 46 extra bytes spread over every
// frame: at the codec's own slope, an extra bit per sample lowers the error by 2 ln 2 of itself,
// so a byte is worth 16 ln 2 times the mean error per sample. The best-paying frames are taken
// first while their bytes (46 each, and 2 for the padding of a block of `framesPerBlock` frames
// that gains one) fit in `allowance`. Nothing changes when no frame pays or the total error would
// not fall. Returns whether any frame did.
bool AddXaEscapeFrames(std::vector<XaChannelFrames>& channels, size_t framesPerBlock,
                       uint64_t allowance);

// The extra bytes an escape frame takes over an ADPCM frame.
inline constexpr size_t kXaEscapeExtraBytes = kXaEscapeFrameBytes - kXaFrameBytes;

}  // namespace tessaly
