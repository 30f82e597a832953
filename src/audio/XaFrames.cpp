#include "audio/XaFrames.h"

#include <algorithm>
#include <limits>

#include "audio/ByteOrder.h"

namespace tessaly {
namespace {

// Filter coefficients in 1/256: index k uses kCoefficients[k] for the last sample and
// kCoefficients[k + 4] for the one before. Indexes above 3 are never written by an encoder but
// decode with the rest of the table, as the public decoders do.
constexpr int32_t kCoefficients[20] = {0, 240, 460, 392, 0,  0,  -208, -220, 0,  1,
                                       3, 4,   7,   8,   10, 11, 0,    -1,   -3, -4};
constexpr int kMaxEncodedShift = 12;

inline int32_t Clip16(int32_t value) {
  return std::clamp<int32_t>(value, -32768, 32767);
}

inline int32_t SignedNibble(int nibble) {
  return nibble >= 8 ? nibble - 16 : nibble;
}

// One decoded sample: the nibble scaled by the shift plus the filter's prediction, in 1/256.
inline int32_t DecodeSample(int32_t nibble, int shift, int32_t c1, int32_t c2, int rounding,
                            const XaHistory& h) {
  return Clip16((nibble * (1 << (20 - shift)) + c1 * h.current + c2 * h.previous + rounding) >> 8);
}

inline void Push(XaHistory& h, int32_t sample) {
  h.previous = h.current;
  h.current = sample;
}

}  // namespace

void DecodeXaFrame(const uint8_t* frame, int count, int rounding, XaHistory& history, int16_t* out,
                   size_t stride) {
  const int k = frame[0] >> 4, shift = frame[0] & 0x0F;
  const int32_t c1 = kCoefficients[k], c2 = kCoefficients[k + 4];
  // First without clipping: the chain from one sample to the next is then a multiply, an add
  // and a shift. Samples rarely leave the 16-bit range; at the first that does, the frame is
  // decoded again from the same history, clipping each sample as it comes. (Every sample computed
  // here is predicted from 16-bit ones, so none overflows.)
  int32_t current = history.current, previous = history.previous;
  int i = 0;
  for (; i < count; ++i) {
    uint8_t byte = frame[1 + i / 2];
    int32_t nibble = SignedNibble(i % 2 == 0 ? byte >> 4 : byte & 0x0F);
    int32_t sample = (nibble * (1 << (20 - shift)) + c1 * current + c2 * previous + rounding) >> 8;
    if (static_cast<uint32_t>(sample + 32768) > 0xFFFF) break;
    previous = current;
    current = sample;
    out[static_cast<size_t>(i) * stride] = static_cast<int16_t>(sample);
  }
  if (i == count) {
    history = {current, previous};
    return;
  }
  for (i = 0; i < count; ++i) {
    uint8_t byte = frame[1 + i / 2];
    int32_t nibble = SignedNibble(i % 2 == 0 ? byte >> 4 : byte & 0x0F);
    int32_t sample = DecodeSample(nibble, shift, c1, c2, rounding, history);
    Push(history, sample);
    out[static_cast<size_t>(i) * stride] = static_cast<int16_t>(sample);
  }
}

void DecodeXaEscapeFrame(const uint8_t* frame, int count, XaHistory& history, int16_t* out,
                         size_t stride) {
  history.current = static_cast<int16_t>(Read16Be(frame + 1));
  history.previous = static_cast<int16_t>(Read16Be(frame + 3));
  for (int i = 0; i < count; ++i)
    out[static_cast<size_t>(i) * stride] = static_cast<int16_t>(Read16Be(frame + 5 + 2 * i));
}

void DecodeXaStereoFrame(const uint8_t* frame, int count, XaHistory& left, XaHistory& right,
                         int16_t* out) {
  int kLeft = frame[0] >> 4, kRight = frame[0] & 0x0F;
  int shiftLeft = frame[1] >> 4, shiftRight = frame[1] & 0x0F;
  for (int i = 0; i < count; ++i) {
    uint8_t byte = frame[2 + i];
    int32_t l = DecodeSample(SignedNibble(byte >> 4), shiftLeft, kCoefficients[kLeft],
                             kCoefficients[kLeft + 4], kXaInterleavedRounding, left);
    int32_t r = DecodeSample(SignedNibble(byte & 0x0F), shiftRight, kCoefficients[kRight],
                             kCoefficients[kRight + 4], kXaInterleavedRounding, right);
    Push(left, l);
    Push(right, r);
    out[2 * i] = static_cast<int16_t>(l);
    out[2 * i + 1] = static_cast<int16_t>(r);
  }
}

namespace {

// Decodes one candidate (filter k, shift) against the samples and keeps it when it beats `best`;
// gives up as soon as its error reaches the best one's.
void TryXaFrame(const int16_t* samples, const XaHistory& history, int rounding, int k, int shift,
                XaFrameChoice& best) {
  const int32_t c1 = kCoefficients[k], c2 = kCoefficients[k + 4];
  const int scale = 20 - shift;
  XaFrameChoice trial;
  XaHistory h = history;
  int64_t error = 0;
  for (int i = 0; i < kXaFrameSamples; ++i) {
    const int32_t target = samples[i];
    const int32_t prediction = c1 * h.current + c2 * h.previous + rounding;
    // The nibble whose decoding lands nearest the middle of the target's 1/256 range, and its
    // neighbour above: the decoder floors, so one of the two is the closest.
    int32_t low = std::clamp<int32_t>((target * 256 + 128 - prediction) >> scale, -8, 7);
    int32_t high = std::min<int32_t>(low + 1, 7);
    int32_t decodedLow = Clip16((low * (1 << scale) + prediction) >> 8);
    int32_t decodedHigh = Clip16((high * (1 << scale) + prediction) >> 8);
    int64_t errorLow = decodedLow - target, errorHigh = decodedHigh - target;
    int32_t nibble = low, decoded = decodedLow;
    int64_t e = errorLow;
    if (errorHigh * errorHigh < errorLow * errorLow) {
      nibble = high;
      decoded = decodedHigh;
      e = errorHigh;
    }
    error += e * e;
    if (error >= best.error) return;
    trial.nibbles[i] = static_cast<int8_t>(nibble);
    Push(h, decoded);
  }
  trial.filter = k;
  trial.shift = shift;
  trial.error = error;
  trial.after = h;
  best = trial;
}

// The shift that lets the nibbles span filter k's residual on the samples themselves: a likely
// winner, tried first so that the other candidates give up early.
int LikelyShift(const int16_t* samples, const XaHistory& history, int k) {
  int32_t h1 = history.current, h2 = history.previous, largest = 0;
  for (int i = 0; i < kXaFrameSamples; ++i) {
    int32_t residual = samples[i] * 256 - kCoefficients[k] * h1 - kCoefficients[k + 4] * h2;
    largest = std::max(largest, residual < 0 ? -residual : residual);
    h2 = h1;
    h1 = samples[i];
  }
  int shift = kMaxEncodedShift;
  while (shift > 0 && 7 * (1 << (20 - shift)) < largest) --shift;
  return shift;
}

}  // namespace

XaFrameChoice EncodeXaFrame(const int16_t* samples, const XaHistory& history, int rounding) {
  XaFrameChoice best;
  best.error = std::numeric_limits<int64_t>::max();
  int likely[4];
  for (int k = 0; k < 4; ++k) {
    likely[k] = LikelyShift(samples, history, k);
    TryXaFrame(samples, history, rounding, k, likely[k], best);
  }
  for (int k = 0; k < 4; ++k)
    for (int shift = 0; shift <= kMaxEncodedShift; ++shift)
      if (shift != likely[k]) TryXaFrame(samples, history, rounding, k, shift, best);
  return best;
}

void WriteXaFrame(const XaFrameChoice& choice, uint8_t* frame) {
  frame[0] = static_cast<uint8_t>((choice.filter << 4) | choice.shift);
  for (int i = 0; i < kXaFrameSamples; i += 2)
    frame[1 + i / 2] =
        static_cast<uint8_t>(((choice.nibbles[i] & 0x0F) << 4) | (choice.nibbles[i + 1] & 0x0F));
}

void WriteXaEscapeFrame(const int16_t* samples, uint8_t* frame, XaHistory& history) {
  frame[0] = kXaEscapeMarker;
  history.current = samples[kXaFrameSamples - 1];
  history.previous = samples[kXaFrameSamples - 2];
  auto put = [](uint8_t* p, int32_t value) {
    p[0] = static_cast<uint8_t>(static_cast<uint16_t>(value) >> 8);
    p[1] = static_cast<uint8_t>(value);
  };
  put(frame + 1, history.current);
  put(frame + 3, history.previous);
  for (int i = 0; i < kXaFrameSamples; ++i) put(frame + 5 + 2 * i, samples[i]);
}

void WriteXaStereoFrame(const XaFrameChoice& left, const XaFrameChoice& right, uint8_t* frame) {
  frame[0] = static_cast<uint8_t>((left.filter << 4) | right.filter);
  frame[1] = static_cast<uint8_t>((left.shift << 4) | right.shift);
  for (int i = 0; i < kXaFrameSamples; ++i)
    frame[2 + i] =
        static_cast<uint8_t>(((left.nibbles[i] & 0x0F) << 4) | (right.nibbles[i] & 0x0F));
}

}  // namespace tessaly
