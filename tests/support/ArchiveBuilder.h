// Builds archive pairs from literal values: an index (header, descriptors, blocks of slots placed
// where a test wants them) and a data file with "SCHl" at chosen positions. Bytes the tool does
// not interpret are filled with non-zero patterns, so copies and patches can be checked byte for
// byte.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/IndexLayout.h"
#include "support/TempFolder.h"

namespace tessaly::testing {

struct BlockSpec {
  std::vector<uint16_t> units;  // the AddressUnit of every slot, in slot order
  uint32_t offset = 0;          // the descriptor's Offset
  uint16_t id = 0;
  uint8_t digitIndex = 0;  // the whole byte; every slot has digitIndex % 128 trailing bytes
  uint16_t unknwn1 = 0, unknwn2 = 0, unknwn3 = 0, unknwn4 = 0;
  std::optional<uint32_t> blockPos = std::nullopt;  // default: right after the previous block
  std::optional<uint8_t> asfCount = std::nullopt;   // the header's AsfCount; default: units.size()
};

// Where the builder put things.
struct IndexLayout {
  std::vector<uint32_t> blockPos;
  std::vector<std::vector<uint32_t>> slotPos;  // PosInBlock of every slot
};

inline void PutU16LE(std::string& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<char>(value);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

inline void PutU32LE(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// A byte pattern that differs from position to position (and holds no "SCHl").
inline char PatternByte(uint64_t position) {
  return static_cast<char>((position * 7 + (position >> 8) * 13 + 1) & 0xFF);
}

class ArchiveBuilder {
 public:
  std::vector<BlockSpec> blocks;
  std::optional<uint32_t> blockCount;  // the header's BlockCount; default: blocks.size()
  std::optional<size_t> indexSize;     // cut the index to this size, or pad it with filler

  ArchiveBuilder& Block(BlockSpec block) {
    blocks.push_back(std::move(block));
    return *this;
  }

  IndexLayout Layout() const {
    IndexLayout layout;
    size_t next = DescriptorPos(blocks.size());
    for (const BlockSpec& block : blocks) {
      uint32_t pos = block.blockPos.value_or(static_cast<uint32_t>(next));
      layout.blockPos.push_back(pos);
      std::vector<uint32_t> slots;
      for (size_t j = 0; j < block.units.size(); ++j)
        slots.push_back(static_cast<uint32_t>(SlotPos(pos, block.digitIndex, j)));
      layout.slotPos.push_back(std::move(slots));
      next = SlotPos(pos, block.digitIndex, block.units.size());
    }
    return layout;
  }

  std::string Index() const {
    IndexLayout layout = Layout();
    size_t size = DescriptorPos(blocks.size());
    for (size_t k = 0; k < blocks.size(); ++k)
      size = std::max<size_t>(
          size, SlotPos(layout.blockPos[k], blocks[k].digitIndex, blocks[k].units.size()));
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(0xA0 ^ (i & 0x1F));
    PutU32LE(bytes, kBlockCountPos, blockCount.value_or(static_cast<uint32_t>(blocks.size())));
    for (size_t k = 0; k < blocks.size(); ++k) {
      const BlockSpec& block = blocks[k];
      size_t descriptor = DescriptorPos(k);
      PutU32LE(bytes, descriptor + kDescriptorBlockPos, layout.blockPos[k]);
      PutU32LE(bytes, descriptor + kDescriptorOffset, block.offset);
      size_t at = layout.blockPos[k];
      PutU16LE(bytes, at + kBlockUnknwn1, block.unknwn1);
      PutU16LE(bytes, at + kBlockId, block.id);
      bytes[at + kBlockDigitIndex] = static_cast<char>(block.digitIndex);
      bytes[at + kBlockAsfCount] = static_cast<char>(block.asfCount.value_or(block.units.size()));
      PutU16LE(bytes, at + kBlockUnknwn2, block.unknwn2);
      PutU16LE(bytes, at + kBlockUnknwn3, block.unknwn3);
      PutU16LE(bytes, at + kBlockUnknwn4, block.unknwn4);
      for (size_t j = 0; j < block.units.size(); ++j) {
        auto unit = UnitFromAddress(uint32_t{block.units[j]} * 256);
        bytes[layout.slotPos[k][j]] = static_cast<char>(unit[0]);
        bytes[layout.slotPos[k][j] + 1] = static_cast<char>(unit[1]);
      }
    }
    if (indexSize) bytes.resize(*indexSize, '\x5A');
    return bytes;
  }

  // The RealAddress of every entry, in listing order.
  std::vector<uint32_t> RealAddresses() const {
    std::vector<uint32_t> addresses;
    for (const BlockSpec& block : blocks)
      for (uint16_t unit : block.units)
        addresses.push_back(static_cast<uint32_t>(uint32_t{unit} * 256 + block.offset));
    return addresses;
  }

  // A data file of `size` bytes with "SCHl" at every entry's RealAddress that leaves room for it.
  std::string Data(size_t size) const {
    std::vector<uint32_t> addresses = RealAddresses();
    return DataWithSchl(size, std::vector<uint64_t>(addresses.begin(), addresses.end()));
  }

  static std::string DataWithSchl(size_t size, const std::vector<uint64_t>& positions) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = PatternByte(i);
    for (uint64_t p : positions)
      if (p + 4 <= size) bytes.replace(p, 4, "SCHl");
    return bytes;
  }
};

// An archive pair written into a folder: <base>.idx and <base>.big.
struct ArchivePair {
  std::string indexPath;
  std::string dataPath;
};

inline ArchivePair WritePair(const TempFolder& folder, const std::string& base,
                             const std::string& index, const std::string& data) {
  ArchivePair pair{folder / (base + ".idx"), folder / (base + ".big")};
  WriteBytes(pair.indexPath, index);
  WriteBytes(pair.dataPath, data);
  return pair;
}

}  // namespace tessaly::testing
