#include "archive/IndexImage.h"

#include <cstring>

#include "base/Files.h"

namespace tessaly {

IndexImage IndexImage::ReadFrom(const std::string& path) {
  return IndexImage(ReadWholeFile(path));
}

void IndexImage::SaveTo(const std::string& path) const {
  WriteWholeFile(path, bytes_.data(), bytes_.size());
}

void IndexImage::Write(size_t position, const uint8_t* bytes, size_t count) {
  if (position > bytes_.size() || count > bytes_.size() - position)
    throw IndexRangeError(position, count, bytes_.size());
  std::memcpy(bytes_.data() + position, bytes, count);
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
