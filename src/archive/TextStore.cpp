#include "archive/TextStore.h"

#include <algorithm>

namespace tessaly {

TextStore& TextStore::operator=(TextStore&& other) noexcept {
  if (this == &other) return *this;
  chunks_ = std::exchange(other.chunks_, {});
  largeTexts_ = std::exchange(other.largeTexts_, {});
  chunkFree_ = std::exchange(other.chunkFree_, nullptr);
  chunkLeft_ = std::exchange(other.chunkLeft_, 0);
  freePlace_ = std::exchange(other.freePlace_, 0);
  nextChunkSize_ = std::exchange(other.nextChunkSize_, kFirstChunkSize);
  return *this;
}

TextStore::Text TextStore::StoreInNewBlock(std::string_view text) {
  if (text.size() >= kLargeText) {
    // A large text gets a block of its own; the current chunk stays for small texts.
    LargeText& large = largeTexts_.emplace_back(
        LargeText{std::make_unique_for_overwrite<char[]>(text.size()), text.size()});
    std::memcpy(large.bytes.get(), text.data(), text.size());
    return MakeText(largeTexts_.size() - 1, kLargeSize);
  }
  // Chunks are not zero-filled: only stored bytes are ever read.
  size_t size = std::max(nextChunkSize_, text.size());
  nextChunkSize_ = std::min(size * 2, kChunkSize);
  chunkFree_ = chunks_.emplace_back(std::make_unique_for_overwrite<char[]>(size)).get();
  chunkLeft_ = size;
  freePlace_ = uint64_t{chunks_.size() - 1} << kChunkBits;
  return Store(text);
}

void TextStore::Clear() {
  chunks_.clear();
  largeTexts_.clear();
  chunkFree_ = nullptr;
  chunkLeft_ = 0;
  freePlace_ = 0;
  nextChunkSize_ = kFirstChunkSize;
}

}  // namespace tessaly
