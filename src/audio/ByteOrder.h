// Reading and writing fixed-size integers in either byte order, for the stream and WAV layouts.
// Callers check bounds before they read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessaly {

inline uint16_t Read16Le(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint16_t Read16Be(const uint8_t* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t Read32Le(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint32_t Read32Be(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline uint16_t Read16(const uint8_t* p, bool bigEndian) {
  return bigEndian ? Read16Be(p) : Read16Le(p);
}
inline uint32_t Read32(const uint8_t* p, bool bigEndian) {
  return bigEndian ? Read32Be(p) : Read32Le(p);
}

inline void Append16(std::vector<uint8_t>& out, uint16_t value, bool bigEndian) {
  if (bigEndian) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
  } else {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
  }
}
inline void Append32(std::vector<uint8_t>& out, uint32_t value, bool bigEndian) {
  for (int i = 0; i < 4; ++i) {
    int shift = bigEndian ? 24 - 8 * i : 8 * i;
    out.push_back(static_cast<uint8_t>(value >> shift));
  }
}
inline void Write32(uint8_t* p, uint32_t value, bool bigEndian) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<uint8_t>(value >> (bigEndian ? 24 - 8 * i : 8 * i));
}

}  // namespace tessaly
