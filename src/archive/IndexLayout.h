// Where things lie in an index file: the header with its block count, the block descriptors that
// follow it, and the blocks (a header, then one slot per entry) wherever the descriptors point.
// Multi-byte fields are little-endian, except a slot's big-endian AddressUnit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace tessaly {

inline constexpr size_t kIndexHeaderSize = 88;
inline constexpr size_t kBlockCountPos = 84;  // 32 bits

// Descriptor k lies at DescriptorPos(k).
inline constexpr size_t kDescriptorSize = 16;
inline constexpr size_t kDescriptorBlockPos = 8;  // 32 bits: where the block's header lies
inline constexpr size_t kDescriptorOffset = 12;   // 32 bits: where the block's addresses count from

inline constexpr size_t kBlockHeaderSize = 12;
inline constexpr size_t kBlockUnknwn1 = 0;  // 16 bits
inline constexpr size_t kBlockId = 2;       // 16 bits
inline constexpr size_t kBlockDigitIndex = 4;
inline constexpr size_t kBlockAsfCount = 5;
inline constexpr size_t kBlockUnknwn2 = 6;   // 16 bits
inline constexpr size_t kBlockUnknwn3 = 8;   // 16 bits
inline constexpr size_t kBlockUnknwn4 = 10;  // 16 bits

// A slot: the AddressUnit, then DigitIndex mod 128 bytes that are carried along unread.
inline constexpr size_t kAddressUnitSize = 2;

constexpr uint64_t DescriptorPos(uint64_t block) {
  return kIndexHeaderSize + kDescriptorSize * block;
}
// Where block k's Offset is stored: its OffsetPos.
constexpr uint64_t OffsetPosOf(uint64_t block) {
  return DescriptorPos(block) + kDescriptorOffset;
}
constexpr size_t SlotSize(uint8_t digitIndex) {
  return kAddressUnitSize + (digitIndex & 0x7F);
}
// Where slot j of the block whose header lies at `blockPos` begins: its PosInBlock.
constexpr uint64_t SlotPos(uint64_t blockPos, uint8_t digitIndex, uint64_t slot) {
  return blockPos + kBlockHeaderSize + slot * SlotSize(digitIndex);
}

// Address = (b0 * 256 + b1) * 256, from the AddressUnit's two bytes in file order.
constexpr uint32_t AddressFromUnit(uint8_t b0, uint8_t b1) {
  return (uint32_t{b0} * 256 + b1) * 256;
}
// The two bytes stored for an Address, high byte first: bits 16-23 and 8-15.
constexpr std::array<uint8_t, 2> UnitFromAddress(uint32_t address) {
  return {static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 8)};
}

// A read or patch that would reach past the index's end.
class IndexRangeError : public std::runtime_error {
 public:
  IndexRangeError(uint64_t position, uint64_t count, uint64_t size)
      : std::runtime_error("index ends at " + std::to_string(size) + ", " + std::to_string(count) +
                           " bytes wanted at position " + std::to_string(position)),
        position_(position) {}
  uint64_t Position() const { return position_; }

 private:
  uint64_t position_;
};

}  // namespace tessaly
