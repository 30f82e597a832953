// The bytes of a table's cell texts, in chunks that never move, each text named by an 8-byte
// handle. At 17 cells a row the handles are most of a large table's memory, so they carry the
// text's place and size in one word instead of a pointer and a length.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaly {

class TextStore {
 public:
  // A stored text: its place in the store and its size. 0 is the empty text.
  using Text = uint64_t;

  // Texts from this size on take a block of their own and can't be split by Part.
  static constexpr size_t kLargeText = size_t{1} << 18;

  TextStore() = default;
  // A moved-from store is empty.
  TextStore(TextStore&& other) noexcept { *this = std::move(other); }
  TextStore& operator=(TextStore&& other) noexcept;

  // Copies `text` into the store. Views of stored texts stay valid until Clear.
  Text Store(std::string_view text) {
    if (text.empty()) return 0;
    if (text.size() > chunkLeft_) return StoreInNewBlock(text);
    std::memcpy(chunkFree_, text.data(), text.size());
    Text stored = MakeText(freePlace_, text.size());
    chunkFree_ += text.size();
    chunkLeft_ -= text.size();
    freePlace_ += text.size();
    return stored;
  }

  std::string_view View(Text text) const {
    uint64_t size = text & kLargeSize, place = text >> kSizeBits;
    if (size == 0) return {};
    if (size == kLargeSize) {
      const LargeText& large = largeTexts_[place];
      return {large.bytes.get(), large.size};
    }
    return {chunks_[place >> kChunkBits].get() + (place & (kChunkSize - 1)), size};
  }

  // The `size` bytes from `start` on of `whole`, a text shorter than kLargeText, without a copy.
  static Text Part(Text whole, size_t start, size_t size) {
    return size == 0 ? 0 : MakeText((whole >> kSizeBits) + start, size);
  }

  // Gives back every block; the first chunk after this is small again.
  void Clear();

 private:
  // A small text's place is its byte position across the chunks, each chunk taking 2^kChunkBits
  // places however many bytes it holds; a large text's place is its index among the large texts,
  // its size kLargeSize.
  static constexpr int kSizeBits = 24;
  static constexpr uint64_t kLargeSize = (uint64_t{1} << kSizeBits) - 1;
  static constexpr int kChunkBits = 20;
  static constexpr size_t kChunkSize = size_t{1} << kChunkBits;  // the largest chunk, 1 MiB
  // The first chunk: a small table (a fuzz input, a test fixture) allocates little; each further
  // chunk doubles up to kChunkSize, so a large table still takes few allocations.
  static constexpr size_t kFirstChunkSize = size_t{1} << 12;
  static_assert(kLargeText <= kChunkSize / 4);

  static Text MakeText(uint64_t place, uint64_t size) { return place << kSizeBits | size; }
  Text StoreInNewBlock(std::string_view text);

  struct LargeText {
    std::unique_ptr<char[]> bytes;
    size_t size;
  };
  std::vector<std::unique_ptr<char[]>> chunks_;  // the last one is filling
  std::vector<LargeText> largeTexts_;
  char* chunkFree_ = nullptr;  // the free end of the last chunk
  size_t chunkLeft_ = 0;
  uint64_t freePlace_ = 0;  // the place of chunkFree_
  size_t nextChunkSize_ = kFirstChunkSize;
};

}  // namespace tessaly
