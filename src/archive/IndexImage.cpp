#include "archive/IndexImage.h"

#include <cstring>

#include "base/Files.h"

namespace tessaly {

IndexRangeError::IndexRangeError(uint64_t position, uint64_t count, uint64_t size)
    : std::runtime_error("index ends at " + std::to_string(size) + ", " + std::to_string(count) +
                         " bytes wanted at position " + std::to_string(position)),
      position_(position) {}

IndexImage IndexImage::ReadFrom(const std::string& path) { return IndexImage(ReadWholeFile(path)); }

void IndexImage::SaveTo(const std::string& path) const {
  WriteWholeFile(path, bytes_.data(), bytes_.size());
}

void IndexImage::Require(size_t count) const {
  if (!Has(count)) throw IndexRangeError(position_, count, bytes_.size());
}

uint8_t IndexImage::ReadU8() {
  Require(1);
  return bytes_[position_++];
}

uint16_t IndexImage::ReadU16LE() {
  Require(2);
  uint16_t value = static_cast<uint16_t>(bytes_[position_] | bytes_[position_ + 1] << 8);
  position_ += 2;
  return value;
}

uint32_t IndexImage::ReadU32LE() {
  Require(4);
  const uint8_t* p = bytes_.data() + position_;
  uint32_t value = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
  position_ += 4;
  return value;
}

std::array<uint8_t, 2> IndexImage::ReadPair() {
  Require(2);
  std::array<uint8_t, 2> pair{bytes_[position_], bytes_[position_ + 1]};
  position_ += 2;
  return pair;
}

void IndexImage::Skip(size_t count) {
  Require(count);
  position_ += count;
}

void IndexImage::Write(size_t position, const uint8_t* bytes, size_t count) {
  if (position > bytes_.size() || count > bytes_.size() - position)
    throw IndexRangeError(position, count, bytes_.size());
  std::memcpy(bytes_.data() + position, bytes, count);
}

uint32_t AddressFromUnit(uint8_t b0, uint8_t b1) { return (uint32_t{b0} * 256 + b1) * 256; }

std::array<uint8_t, 2> UnitFromAddress(uint32_t address) {
  return {static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 8)};
}

void PatchAddressUnit(IndexImage& image, uint32_t posInBlock, uint32_t address) {
  auto unit = UnitFromAddress(address);
  image.Write(posInBlock, unit.data(), unit.size());
}

void PatchOffset(IndexImage& image, uint32_t offsetPos, uint32_t offset) {
  uint8_t bytes[4] = {static_cast<uint8_t>(offset), static_cast<uint8_t>(offset >> 8),
                      static_cast<uint8_t>(offset >> 16), static_cast<uint8_t>(offset >> 24)};
  image.Write(offsetPos, bytes, sizeof bytes);
}

}  // namespace tessaly
