// The MicroTalk encoder: analysis by synthesis against the decoder's own state. Per frame, LPC on a
// windowed stretch with look-ahead; per subframe, the target is the perceptually weighted input
// less what the decoder's filter rings on with, the pitch lag and gain are searched closed-loop on
// the decoder's excitation history, and the innovation's pulses are placed one step at a time where
// they cut the weighted error most for the bits the prefix code spends on them. The frame then runs
// through the decoder's synthesis (MtSynth), so the encoder's state is the decoder's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "audio/MicroTalk.h"

namespace tessaly {

// Bits least-significant first, as MtBitReader reads them.
class MtBitWriter {
 public:
  void Put(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
      if (bits_ % 8 == 0) bytes_.push_back(0);
      if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(1u << (bits_ % 8));
      ++bits_;
    }
  }
  void Append(const MtBitWriter& other) {
    for (size_t i = 0; i < other.bits_; ++i) Put((other.bytes_[i / 8] >> (i % 8)) & 1, 1);
  }
  void PadToByte() { bits_ = bytes_.size() * 8; }
  void PutByte(uint8_t byte) {
    PadToByte();
    bytes_.push_back(byte);
    bits_ += 8;
  }
  size_t Bits() const { return bits_; }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t bits_ = 0;
};

void WriteMtCodecHeader(MtBitWriter& out, const MtCodecHeader& header);

// One coded frame: its bits (no codec header, no marker) and, in Revision 3, a PCM patch.
struct MtCodedFrame {
  MtBitWriter bits;
  int patchOffset = 0;
  std::vector<int16_t> patch;  // empty: no patch
};

struct MtEncodeSettings {
  MtCodecHeader header;
  bool rev3 = false;        // patches allowed
  double bitsPerFrame = 0;  // the average a frame may spend, patches included
};

// Encodes `samples` (one channel, `stride` apart) into ceil(count / 432) frames.
std::vector<MtCodedFrame> EncodeMicroTalk(const int16_t* samples, size_t count, size_t stride,
                                          const MtEncodeSettings& settings);

// The frame's bits for the given parameters (the codec header not included).
void WriteMtFrame(MtBitWriter& out, const MtFrame& frame, const MtCodecHeader& header,
                  bool multipulse);

}  // namespace tessaly
