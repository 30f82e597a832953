#include "audio/StreamChunks.h"

#include <string>

#include "audio/AudioError.h"
#include "audio/ByteOrder.h"

namespace tessaly {

bool ChunkSizesAreBigEndian(const uint8_t* firstSize) {
  return Read32Le(firstSize) > Read32Be(firstSize);
}

StreamChunk HeaderChunk(std::span<const uint8_t> bytes, bool bigEndianSizes) {
  if (bytes.size() < kChunkHeaderSize || Read32Be(bytes.data()) != kHeaderTag)
    throw AudioError("not a stream: it doesn't begin with an SCHl chunk");
  uint32_t size = Read32(bytes.data() + 4, bigEndianSizes);
  if (size < kChunkHeaderSize || size > bytes.size())
    throw AudioError("SCHl chunk size " + std::to_string(size) + " doesn't fit in the " +
                     std::to_string(bytes.size()) + " bytes of the stream");
  return {kHeaderTag, 0, size};
}

StreamChunks WalkChunks(std::span<const uint8_t> bytes) {
  StreamChunks result;
  if (bytes.size() >= kChunkHeaderSize)
    result.bigEndianSizes = ChunkSizesAreBigEndian(bytes.data() + 4);
  result.chunks.push_back(HeaderChunk(bytes, result.bigEndianSizes));
  size_t position = result.chunks.front().size;
  while (bytes.size() - position >= kChunkHeaderSize) {
    uint32_t tag = Read32Be(bytes.data() + position);
    uint32_t size = Read32(bytes.data() + position + 4, result.bigEndianSizes);
    if (tag == kHeaderTag || size < kChunkHeaderSize || size > bytes.size() - position) break;
    result.chunks.push_back({tag, position, size});
    if (tag == kEndTag) break;
    position += size;
  }
  return result;
}

}  // namespace tessaly
