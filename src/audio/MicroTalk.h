// MicroTalk, the multipulse speech codec of SCHl streams (10:1 and 5:1 are the same codec at two
// rates): its bit reader, a frame's parameters, and the decoder's state with its exact arithmetic.
// The encoder runs this same synthesis on the parameters it picks, so its state never drifts from
// what a decoder computes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tessaly {

inline constexpr int kMtFrameSamples = 432;
inline constexpr int kMtSubframeSamples = 108;
inline constexpr int kMtHistory = 324;  // excitation kept from frame to frame
inline constexpr int kMtOrder = 12;
// Revision 3 framing: a frame whose marker byte is this carries a PCM patch after its bits.
inline constexpr uint8_t kMtPatchMarker = 0xEE;

// The 15-bit codec header at the start of a stream's first frame.
struct MtCodecHeader {
  bool halfBand = true;    // innovation at every other position, the rest interpolated or zero
  int thresholdBits = 8;   // multipulse when the first coefficient index < 32 - thresholdBits
  int gainBaseBits = 7;    // first fixed gain 8 * (bits + 1)
  int gainRatioBits = 28;  // ratio between fixed gains 1.04 + bits / 1000

  int Threshold() const { return 32 - thresholdBits; }
};

// The table value of a coefficient index (0..63).
float MtReflection(int index);

// Bits least-significant first, with at least 8 bits buffered for the excitation code's look-up;
// zeros past the end of the bytes. Reads nothing outside `bytes`.
class MtBitReader {
 public:
  explicit MtBitReader(std::span<const uint8_t> bytes, size_t position = 0)
      : bytes_(bytes), position_(position) {}

  uint8_t Byte() { return position_ < bytes_.size() ? bytes_[position_++] : (++position_, 0); }
  void Fill() {
    if (count_ == 0) {
      value_ = Byte();
      count_ = 8;
    }
  }
  int Peek8() const { return static_cast<int>(value_ & 0xFF); }
  int Bits(int n) {
    int out = static_cast<int>(value_ & ((1u << n) - 1));
    value_ >>= n;
    count_ -= n;
    if (count_ < 8) {
      value_ |= static_cast<uint32_t>(Byte()) << count_;
      count_ += 8;
    }
    return out;
  }
  // Drops the bits of a partly read byte and gives back the byte read ahead: the next read
  // starts at the byte after the last one a frame used.
  void AlignToByte() {
    if (count_ > 0) --position_;
    count_ = 0;
  }
  size_t Position() const { return position_; }
  // Past the end: the reads beyond it gave zeros.
  bool Overran() const { return position_ > bytes_.size(); }

 private:
  std::span<const uint8_t> bytes_;
  size_t position_;
  uint32_t value_ = 0;
  int count_ = 0;
};

// One subframe's parameters: pitch lag code (the lag is code + 108), pitch gain code (/15), fixed
// gain index, phase and zero flag (half band only), and the innovation's integer values at the
// coded positions (phase, phase + 2, ... in half band; every position in full band).
struct MtSubframe {
  int lag = 0;
  int pitchGain = 0;
  int gain = 0;
  int phase = 0;
  bool zero = true;
  std::array<int16_t, kMtSubframeSamples> pulses{};
};

struct MtFrame {
  std::array<int, kMtOrder> rc{};  // table indices (5-bit coefficients 5..12 as 16 + code)
  std::array<MtSubframe, 4> sub;
};

// The decoder's state and arithmetic. Synthesize runs one frame's parameters through it.
class MtSynth {
 public:
  void SetHeader(const MtCodecHeader& header);
  const MtCodecHeader& Header() const { return header_; }
  float FixedGain(int index) const { return gains_[static_cast<size_t>(index)]; }
  bool Multipulse(const MtFrame& frame) const { return frame.rc[0] < header_.Threshold(); }

  // Reads a frame's parameters (in full band the pulses fill all 108 positions). Returns false
  // when an escape pulse's unary count runs on past any 16-bit sample.
  bool Parse(MtBitReader& bits, MtFrame& frame) const;

  // The subframe's excitation from its parameters and the excitation so far, written in place:
  // `excitation` points at the subframe's first sample with `readable` samples before it; a lag
  // reaching further back reads zeros.
  void Excite(const MtSubframe& sub, float* excitation, ptrdiff_t readable) const;
  // The innovation alone (gain applied, interpolated in half band) into out[0..107].
  void Innovation(const MtSubframe& sub, float* out) const;

  // Decodes the frame into Output(): excitation, new history, then the synthesis filter with
  // coefficients interpolated over the first 36 samples.
  void Synthesize(const MtFrame& frame);
  const float* Output() const { return frame_.data(); }
  float* MutableOutput() { return frame_.data(); }

  // The filter state after the frame, for the encoder's look at what the next frame inherits.
  const std::array<float, kMtOrder>& Reflection() const { return rc_; }
  const float* History() const { return excitation_.data(); }  // kMtHistory samples
  const std::array<float, kMtOrder>& SynthesisMemory() const { return memory_; }

 private:
  MtCodecHeader header_;
  std::array<float, 64> gains_{};
  std::array<float, kMtOrder> rc_{};
  std::array<float, kMtOrder> memory_{};  // last outputs, newest first
  // The history (kMtHistory samples) followed by the current frame's excitation.
  std::array<float, kMtHistory + kMtFrameSamples> excitation_{};
  std::array<float, kMtFrameSamples> frame_{};
};

// Reflection coefficients to the direct-form predictor, in the decoder's order of operations.
void MtReflectionToPredictor(const float* rc, float* lpc);

// Reads the 15-bit codec header.
MtCodecHeader ReadMtCodecHeader(MtBitReader& bits);

// A decoded sample: rounded half away from zero, clipped to 16 bits.
int16_t MtSample(float value);

}  // namespace tessaly
