// The whole index file in memory with a read position. Every read is bounds-checked: a structure
// that runs past the end throws IndexRangeError instead of reading outside the image.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessaly {

// A read or patch that would reach past the image's end.
class IndexRangeError : public std::runtime_error {
 public:
  IndexRangeError(uint64_t position, uint64_t count, uint64_t size);
  uint64_t Position() const { return position_; }

 private:
  uint64_t position_;
};

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

  size_t Position() const { return position_; }
  void Seek(size_t position) { position_ = position; }
  // True when `count` bytes can be read at the current position.
  bool Has(size_t count) const {
    return position_ <= bytes_.size() && count <= bytes_.size() - position_;
  }

  uint8_t ReadU8();
  uint16_t ReadU16LE();
  uint32_t ReadU32LE();
  // The two bytes in file order.
  std::array<uint8_t, 2> ReadPair();
  void Skip(size_t count);

  // Overwrites bytes in place; the image never changes size.
  void Write(size_t position, const uint8_t* bytes, size_t count);

 private:
  void Require(size_t count) const;
  std::vector<uint8_t> bytes_;
  size_t position_ = 0;
};

// Address = (b0 * 256 + b1) * 256.
uint32_t AddressFromUnit(uint8_t b0, uint8_t b1);
// The two bytes stored for an Address, high byte first: bits 16-23 and 8-15.
std::array<uint8_t, 2> UnitFromAddress(uint32_t address);
// Writes the AddressUnit for `address` at `posInBlock`.
void PatchAddressUnit(IndexImage& image, uint32_t posInBlock, uint32_t address);
// Writes `offset` little-endian at `offsetPos`.
void PatchOffset(IndexImage& image, uint32_t offsetPos, uint32_t offset);

}  // namespace tessaly
