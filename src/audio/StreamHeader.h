// The SCHl header of a stream: the platform marker, then tagged fields (version, channels, codec,
// sample rate, sample count, ...), with the defaults each platform implies for absent fields, and
// what follows from them for the blocks: codec, sample layout, byte order, XA variant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tessaly {

// Platform numbers of the "PT" marker; a "GSTR" marker is the generic platform.
namespace platform {
inline constexpr int kPc = 0x00, kPs1 = 0x01, kN64 = 0x02, kMac = 0x03, kSaturn = 0x04, kPs2 = 0x05,
                     kGameCubeWii = 0x06, kXbox = 0x07, kGeneric = 0x08, kXbox360 = 0x09,
                     kPsp = 0x0A, kPs3 = 0x0E, k3ds = 0x14;
}

// Codec numbers in the new numbering (field 0xA0); the old field 0x83 is mapped onto these.
namespace codec {
inline constexpr int kPcmS16LeInterleaved = 0x00, kPcmS16BeInterleaved = 0x01,
                     kPcmS8Interleaved = 0x02, kXaInterleaved = 0x03, kMicroTalk = 0x04,
                     kPsAdpcm = 0x05, kN64Adpcm = 0x06, kPcmS16BeSplit = 0x07,
                     kPcmS16LeSplit = 0x08, kPcmS8Split = 0x09, kXaSplit = 0x0A, kDviIma = 0x0D,
                     kLayer2 = 0x0F, kLayer3 = 0x10, kDsp = 0x12, kXboxIma = 0x14,
                     kMicroTalk5 = 0x16, kLayer3Variant = 0x17, kAtrac3 = 0x1A, kAtrac3Plus = 0x1B;
}

// How a stream's blocks hold its samples, for the codecs decoded here.
enum class SampleLayout {
  kUnsupported,
  kPcmInterleaved,  // count, then the channels' samples frame after frame
  kPcmSplit,        // count, an offset per channel, then each channel's samples
  kXaInterleaved,   // count, 8 bytes of history, then 30-byte stereo (15-byte mono) frames
  kXaSplit,         // count, an offset per channel, then each channel's 15-byte frames
  kMicroTalk,       // count, an offset per channel, then each channel's flag byte and frames
};
enum class PcmFormat { kS16Le, kS16Be, kS8 };
// Split XA: r1 starts every channel of every block with its history; r2 (little-endian block
// fields) and r3 (big-endian) carry history across blocks and allow escape frames.
enum class XaVariant { kNone, kR1, kR2, kR3 };

struct StreamHeader {
  int platform = 0;
  int version = 0;
  int codecId = -1;   // new numbering; -1 when the old field holds a number we don't know
  int oldCodec = -1;  // the 0x83 field, -1 when absent
  int channels = 1;
  uint32_t sampleRate = 0;
  uint32_t samples = 0;  // per channel (field 0x85)
  bool hasSampleCount = false;
  bool bigEndianBlocks = false;  // block fields (count, offsets) are big-endian on this platform

  SampleLayout layout = SampleLayout::kUnsupported;
  PcmFormat pcm = PcmFormat::kS16Le;
  XaVariant xa = XaVariant::kNone;
  // MicroTalk in Revision 3 framing (each frame byte-aligned after a marker byte, with optional
  // PCM patches): taken, as the public SCHl MicroTalk decoder takes it, from a version of 3 or
  // more on every platform.
  bool microTalkRev3 = false;

  // Where, in the header chunk's body, the sample count field's tag byte is (0 when absent) and
  // where the field list ends (just past its end marker, or the body's end).
  size_t sampleCountField = 0;
  size_t fieldsEnd = 0;
  bool hasEndMarker = false;  // the list ends in 0xFF or 0xFE, the byte before fieldsEnd
};

// Reads the body of an SCHl chunk (the bytes after its tag and size). Throws AudioError naming the
// fault: no platform marker, a field running past the chunk, a platform with no default for an
// absent field, no channels, an impossible sample rate.
StreamHeader ParseStreamHeader(std::span<const uint8_t> body);

// "XA r2", "PCM S16LE", "MicroTalk", ...
std::string CodecName(const StreamHeader& header);
// "PC", "PS2", "Xbox 360", ... or "platform 0x0B".
std::string PlatformName(int platform);

}  // namespace tessaly
