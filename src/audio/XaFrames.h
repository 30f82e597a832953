// The XA-style ADPCM frames: 28 samples of one channel in 15 bytes (a byte holding the filter
// index k and the shift s, then 14 bytes of 4-bit values, high nibble first), the stereo frame
// of the interleaved variant (30 bytes), and the escape frame of r2/r3 (0xEE, the history, 28 raw
// big-endian samples). Decoding and encoding share the decoder's integer arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaly {

inline constexpr int kXaFrameSamples = 28;
inline constexpr size_t kXaFrameBytes = 15;
inline constexpr size_t kXaStereoFrameBytes = 30;
inline constexpr size_t kXaEscapeFrameBytes = 61;
inline constexpr uint8_t kXaEscapeMarker = 0xEE;
// The interleaved variant rounds each sample (adds 128 before the shift); split XA doesn't.
inline constexpr int kXaInterleavedRounding = 128;

// The last two decoded samples of a channel, which the filter predicts from.
struct XaHistory {
  int32_t current = 0;
  int32_t previous = 0;
};

// Decodes the first `count` (at most 28) samples of a 15-byte frame into out[0], out[stride], ...
void DecodeXaFrame(const uint8_t* frame, int count, int rounding, XaHistory& history, int16_t* out,
                   size_t stride);
// The same for a 61-byte escape frame: the samples as stored, the history from its header.
void DecodeXaEscapeFrame(const uint8_t* frame, int count, XaHistory& history, int16_t* out,
                         size_t stride);
// Decodes `count` sample pairs of a 30-byte stereo frame into out, left and right interleaved.
void DecodeXaStereoFrame(const uint8_t* frame, int count, XaHistory& left, XaHistory& right,
                         int16_t* out);

// One channel's frame as the encoder chose it: filter index and shift, the 28 nibbles, the
// squared error of its decoding and the history after it.
struct XaFrameChoice {
  int filter = 0;
  int shift = 0;
  int8_t nibbles[kXaFrameSamples] = {};
  int64_t error = 0;
  XaHistory after;
};

// Searches every filter index (0-3) and shift (0-12) for the frame that decodes closest to the
// 28 samples, predicting exactly as the decoder does from `history`.
XaFrameChoice EncodeXaFrame(const int16_t* samples, const XaHistory& history, int rounding);

// Writes a chosen frame as 15 bytes.
void WriteXaFrame(const XaFrameChoice& choice, uint8_t* frame);
// Writes 28 samples as an escape frame; the history after it is that of its last two samples.
void WriteXaEscapeFrame(const int16_t* samples, uint8_t* frame, XaHistory& history);
// Writes two chosen frames, left and right, as one 30-byte stereo frame.
void WriteXaStereoFrame(const XaFrameChoice& left, const XaFrameChoice& right, uint8_t* frame);

}  // namespace tessaly
