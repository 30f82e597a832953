// The chunks of a stream: a 4-byte tag, a 32-bit size that counts the 8 header bytes, the body.
// SCHl (header), SCCl (block count), SCDl (a block of audio), SCLl (loop), SCEl (end).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tessaly {

// A tag as its four bytes read big-endian: ChunkTag("SCDl") == 0x5343446C.
constexpr uint32_t ChunkTag(const char (&name)[5]) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(name[0])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(name[1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(name[2])) << 8) |
         static_cast<uint32_t>(static_cast<uint8_t>(name[3]));
}
inline constexpr uint32_t kHeaderTag = ChunkTag("SCHl");
inline constexpr uint32_t kCountTag = ChunkTag("SCCl");
inline constexpr uint32_t kBlockTag = ChunkTag("SCDl");
inline constexpr uint32_t kLoopTag = ChunkTag("SCLl");
inline constexpr uint32_t kEndTag = ChunkTag("SCEl");
inline constexpr size_t kChunkHeaderSize = 8;

struct StreamChunk {
  uint32_t tag = 0;
  size_t position = 0;  // of the tag, from the start of the stream
  size_t size = 0;      // including the 8 header bytes

  size_t BodyPosition() const { return position + kChunkHeaderSize; }
  size_t BodySize() const { return size - kChunkHeaderSize; }
};

// Chunk sizes are little-endian except in some early big-endian streams; like the public decoders,
// a stream's sizes are taken as big-endian when the little-endian reading of its first size is
// the larger of the two readings.
bool ChunkSizesAreBigEndian(const uint8_t* firstSize);

// The SCHl chunk at the start of `bytes`. Throws AudioError when the bytes don't begin with an
// SCHl chunk that fits in them.
StreamChunk HeaderChunk(std::span<const uint8_t> bytes, bool bigEndianSizes);

struct StreamChunks {
  bool bigEndianSizes = false;
  std::vector<StreamChunk> chunks;  // the SCHl chunk first, the SCEl chunk last when present
};

// Walks the chunks from the SCHl chunk at the start of `bytes` up to and including SCEl, or up
// to the first chunk whose size doesn't fit (zero padding after a stream ends the walk there).
// Throws AudioError when the stream doesn't begin with an SCHl chunk that fits.
StreamChunks WalkChunks(std::span<const uint8_t> bytes);

}  // namespace tessaly
