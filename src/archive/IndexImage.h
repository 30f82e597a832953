// The whole index file in memory: read whole, decoded by IndexReader, patched in place by Pack
// and written back whole. It never changes size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/IndexLayout.h"

namespace tessaly {

class IndexImage {
 public:
  IndexImage() = default;
  explicit IndexImage(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  // Reads the whole file (others may read it, not write it).
  static IndexImage ReadFrom(const std::string& path);
  // Creates or replaces `path` with the image's bytes.
  void SaveTo(const std::string& path) const;

  size_t Size() const { return bytes_.size(); }
  bool Empty() const { return bytes_.empty(); }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

  // Overwrites bytes in place; throws IndexRangeError for bytes past the end.
  void Write(size_t position, const uint8_t* bytes, size_t count);

 private:
  std::vector<uint8_t> bytes_;
};

// Writes the AddressUnit for `address` at `posInBlock`.
void PatchAddressUnit(IndexImage& image, uint32_t posInBlock, uint32_t address);
// Writes `offset` little-endian at `offsetPos`.
void PatchOffset(IndexImage& image, uint32_t offsetPos, uint32_t offset);

}  // namespace tessaly
