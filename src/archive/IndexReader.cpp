#include "archive/IndexReader.h"

#include <climits>

namespace tessaly {

void IndexReader::Require(uint64_t position, uint64_t count) {
  position_ = position;
  if (position > bytes_.size() || count > bytes_.size() - position)
    throw IndexRangeError(position, count, bytes_.size());
}

uint16_t IndexReader::U16At(uint64_t position) const {
  return static_cast<uint16_t>(bytes_[position] | bytes_[position + 1] << 8);
}

uint32_t IndexReader::U32At(uint64_t position) const {
  const uint8_t* p = bytes_.data() + position;
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

uint32_t IndexReader::ReadBlockCount() {
  Require(0, kIndexHeaderSize);
  position_ = kIndexHeaderSize;
  return U32At(kBlockCountPos);
}

std::vector<BlockDescriptor> IndexReader::ReadDescriptors(uint32_t blockCount) {
  uint64_t room =
      bytes_.size() > kIndexHeaderSize ? (bytes_.size() - kIndexHeaderSize) / kDescriptorSize : 0;
  if (blockCount > room) Require(DescriptorPos(room), kDescriptorSize);
  std::vector<BlockDescriptor> descriptors;
  descriptors.reserve(blockCount);
  for (uint32_t k = 0; k < blockCount; ++k) {
    uint64_t at = DescriptorPos(k);
    descriptors.push_back(
        {U32At(at + kDescriptorBlockPos), U32At(at + kDescriptorOffset), OffsetPosOf(k)});
  }
  position_ = DescriptorPos(blockCount);
  return descriptors;
}

BlockHeader IndexReader::ReadBlockHeader(uint32_t blockPos) {
  Require(blockPos, kBlockHeaderSize);
  BlockHeader header{};
  header.unknwn1 = U16At(blockPos + kBlockUnknwn1);
  header.id = U16At(blockPos + kBlockId);
  header.digitIndex = bytes_[blockPos + kBlockDigitIndex];
  header.asfCount = bytes_[blockPos + kBlockAsfCount];
  header.unknwn2 = U16At(blockPos + kBlockUnknwn2);
  header.unknwn3 = U16At(blockPos + kBlockUnknwn3);
  header.unknwn4 = U16At(blockPos + kBlockUnknwn4);
  position_ = uint64_t{blockPos} + kBlockHeaderSize;
  return header;
}

EntrySlot IndexReader::ReadSlot(const BlockHeader& header) {
  uint64_t at = position_;
  size_t size = SlotSize(header.digitIndex);
  Require(at, size);
  position_ = at + size;
  return {at, AddressFromUnit(bytes_[at], bytes_[at + 1])};
}

int IndexReader::ExpectedRows(const std::vector<BlockDescriptor>& descriptors) const {
  uint64_t rows = 1, footprint = 0;
  for (const BlockDescriptor& descriptor : descriptors) {
    if (uint64_t{descriptor.blockPos} + kBlockHeaderSize > bytes_.size()) return 0;
    uint64_t count = bytes_[descriptor.blockPos + kBlockAsfCount];
    footprint +=
        kBlockHeaderSize + count * SlotSize(bytes_[descriptor.blockPos + kBlockDigitIndex]);
    rows += count;
  }
  if (footprint > bytes_.size() || rows > INT_MAX) return 0;
  return static_cast<int>(rows);
}

}  // namespace tessaly
