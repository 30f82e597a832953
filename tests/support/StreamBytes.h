// Builds streams from literal bytes: header fields, chunks with either byte order of sizes, and
// block bodies, so tests state every byte a decoder reads.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace tessaly::testing {

using Bytes = std::vector<uint8_t>;

inline void Add(Bytes& out, std::initializer_list<uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}
inline void Add(Bytes& out, const Bytes& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}
inline void Add32(Bytes& out, uint32_t value, bool bigEndian = false) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<uint8_t>(value >> (bigEndian ? 24 - 8 * i : 8 * i)));
}
inline void Add16(Bytes& out, uint16_t value, bool bigEndian = false) {
  out.push_back(static_cast<uint8_t>(bigEndian ? value >> 8 : value));
  out.push_back(static_cast<uint8_t>(bigEndian ? value : value >> 8));
}

// A header field with the shortest big-endian value that holds `value`.
inline Bytes Field(uint8_t tag, uint32_t value) {
  Bytes out{tag};
  int length = value > 0xFFFFFF ? 4 : value > 0xFFFF ? 3 : value > 0xFF ? 2 : 1;
  out.push_back(static_cast<uint8_t>(length));
  for (int i = length - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  return out;
}

// "PT" with a platform, the fields, the end marker, zero padding to a multiple of 4.
inline Bytes HeaderBody(uint16_t platform, const std::vector<Bytes>& fields) {
  Bytes out{'P', 'T'};
  Add16(out, platform);
  for (const Bytes& f : fields) Add(out, f);
  out.push_back(0xFF);
  while ((out.size() + 8) % 4) out.push_back(0);
  return out;
}

inline Bytes Chunk(const char (&tag)[5], const Bytes& body, bool bigEndianSize = false) {
  Bytes out(tag, tag + 4);
  Add32(out, static_cast<uint32_t>(body.size() + 8), bigEndianSize);
  Add(out, body);
  return out;
}

// A whole stream: SCHl with `header`, an SCDl per block body, SCEl.
inline Bytes Stream(const Bytes& header, const std::vector<Bytes>& blocks,
                    bool bigEndianSizes = false) {
  Bytes out = Chunk("SCHl", header, bigEndianSizes);
  for (const Bytes& b : blocks) Add(out, Chunk("SCDl", b, bigEndianSizes));
  Add(out, Chunk("SCEl", {}, bigEndianSizes));
  return out;
}

}  // namespace tessaly::testing
