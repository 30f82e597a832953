#include "audio/ClipInfo.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "audio/AudioError.h"
#include "audio/ByteOrder.h"
#include "audio/StreamChunks.h"
#include "audio/StreamDecoder.h"
#include "audio/StreamHeader.h"
#include "base/Files.h"

namespace tessaly {
namespace {

// The sample count of a stream whose header leaves it out: the sum of its blocks' counts.
uint32_t CountBlockSamples(std::span<const uint8_t> bytes, const StreamHeader& header) {
  uint64_t total = 0;
  for (const StreamChunk& chunk : WalkChunks(bytes).chunks) {
    if (chunk.tag != kBlockTag || chunk.BodySize() < 4) continue;
    total += Read32(bytes.data() + chunk.BodyPosition(), header.bigEndianBlocks);
  }
  return static_cast<uint32_t>(std::min<uint64_t>(total, UINT32_MAX));
}

}  // namespace

ClipInfo ReadClipInfo(std::span<const uint8_t> bytes) {
  try {
    if (bytes.size() < kChunkHeaderSize) return ClipInfo::Unreadable("not a stream: too short");
    StreamChunk chunk = HeaderChunk(bytes, ChunkSizesAreBigEndian(bytes.data() + 4));
    StreamHeader header = ParseStreamHeader(bytes.subspan(chunk.BodyPosition(), chunk.BodySize()));
    ClipInfo info;
    info.readable = true;
    info.platform = header.platform;
    info.version = header.version;
    info.codecId = header.codecId;
    info.codecName = CodecName(header);
    info.decodable =
        header.layout != SampleLayout::kUnsupported && header.channels <= kMaxDecodedChannels;
    info.channels = header.channels;
    info.sampleRate = static_cast<int>(header.sampleRate);
    info.samples = header.hasSampleCount ? header.samples
                                         : (info.decodable ? CountBlockSamples(bytes, header) : 0);
    return info;
  } catch (const AudioError& error) {
    return ClipInfo::Unreadable(error.what());
  }
}

std::optional<HeaderClipInfo> ReadClipInfoFromHeader(std::span<const uint8_t> firstBytes) {
  if (firstBytes.size() < kChunkHeaderSize || Read32Be(firstBytes.data()) != kHeaderTag)
    return std::nullopt;
  uint32_t size = Read32(firstBytes.data() + 4, ChunkSizesAreBigEndian(firstBytes.data() + 4));
  if (size > firstBytes.size()) return std::nullopt;
  // Only the header: the blocks' counts are not read here.
  return HeaderClipInfo{ReadClipInfo(firstBytes.first(size)), size};
}

ClipInfo ReadClipInfo(const File& file, uint64_t position, uint64_t available) {
  try {
    std::vector<uint8_t> prefix(
        static_cast<size_t>(std::min<uint64_t>(available, kClipInfoFirstRead)));
    prefix.resize(file.ReadAt(position, prefix.data(), prefix.size()));
    if (auto fromHeader = ReadClipInfoFromHeader(prefix)) return std::move(fromHeader->info);
    if (prefix.size() >= kChunkHeaderSize && Read32Be(prefix.data()) == kHeaderTag) {
      uint32_t size = Read32(prefix.data() + 4, ChunkSizesAreBigEndian(prefix.data() + 4));
      if (size <= available) {
        if (size > kMaxHeaderChunkSize)
          return ClipInfo::Unreadable("SCHl chunk size " + std::to_string(size) +
                                      " is implausibly large");
        size_t had = prefix.size();
        prefix.resize(size);
        prefix.resize(had + file.ReadAt(position + had, prefix.data() + had, size - had));
      }
    }
    return ReadClipInfo(prefix);
  } catch (const std::exception& error) {
    return ClipInfo::Unreadable(error.what());
  }
}

}  // namespace tessaly
