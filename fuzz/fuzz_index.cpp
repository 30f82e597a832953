// Decodes arbitrary bytes as an index, in memory, the way the listing walks it: block count,
// descriptors, then every block's header and slots. Invariants: every value comes from the bytes
// where the layout puts it; a structure is refused only when it really runs past the end; what
// the decoding keeps (descriptors, the row hint) stays bounded by the index's size.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "FuzzSupport.h"
#include "archive/IndexReader.h"

namespace {

using namespace tessaly;
using fuzzing::Require;

uint32_t U32At(std::span<const uint8_t> bytes, uint64_t at) {
  return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
         uint32_t{bytes[at + 3]} << 24;
}

// Checks the refusal of a structure of `count` bytes expected at `at`.
void RequireRefused(const IndexRangeError& e, std::span<const uint8_t> bytes, uint64_t at,
                    uint64_t count, const IndexReader& reader) {
  Require(e.Position() == at, "a refusal names the structure's first byte");
  Require(at + count > bytes.size(), "only a structure that runs past the end is refused");
  Require(reader.Position() == std::min<uint64_t>(at, bytes.size()),
          "the position stays at the refused structure, never past the end");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  IndexReader reader(bytes);
  uint32_t blockCount;
  try {
    blockCount = reader.ReadBlockCount();
  } catch (const IndexRangeError& e) {
    RequireRefused(e, bytes, 0, kIndexHeaderSize, reader);
    return 0;
  }
  Require(blockCount == U32At(bytes, kBlockCountPos), "BlockCount is bytes 84 to 87");

  std::vector<BlockDescriptor> descriptors;
  try {
    descriptors = reader.ReadDescriptors(blockCount);
  } catch (const IndexRangeError& e) {
    uint64_t room = (size - kIndexHeaderSize) / kDescriptorSize;
    Require(blockCount > room, "descriptors are refused only when they don't all fit");
    RequireRefused(e, bytes, DescriptorPos(room), kDescriptorSize, reader);
    return 0;
  }
  Require(descriptors.size() == blockCount, "one descriptor per block");
  Require(reader.Position() == DescriptorPos(blockCount), "the descriptors are read in a row");
  for (uint32_t k = 0; k < blockCount; ++k) {
    Require(descriptors[k].offsetPos == 100 + 16 * uint64_t{k}, "OffsetPos = 100 + 16 k");
    Require(descriptors[k].offset == U32At(bytes, descriptors[k].offsetPos),
            "Offset is stored "
            "at OffsetPos");
    Require(descriptors[k].blockPos == U32At(bytes, DescriptorPos(k) + 8),
            "BlockPos is the descriptor's bytes 8 to 11");
  }

  int expectedRows = reader.ExpectedRows(descriptors);
  Require(expectedRows == 0 || uint64_t(expectedRows - 1) <= size / kAddressUnitSize,
          "the row hint is bounded by the index's size");
  uint64_t slots = 0;
  for (const BlockDescriptor& descriptor : descriptors) {
    BlockHeader header;
    try {
      header = reader.ReadBlockHeader(descriptor.blockPos);
    } catch (const IndexRangeError& e) {
      RequireRefused(e, bytes, descriptor.blockPos, kBlockHeaderSize, reader);
      return 0;
    }
    Require(header.digitIndex == bytes[descriptor.blockPos + 4] &&
                header.asfCount == bytes[descriptor.blockPos + 5] &&
                header.id == (bytes[descriptor.blockPos + 2] | bytes[descriptor.blockPos + 3] << 8),
            "the block header's fields lie where the layout puts them");
    for (uint64_t j = 0; j < header.asfCount; ++j) {
      uint64_t at = SlotPos(descriptor.blockPos, header.digitIndex, j);
      EntrySlot slot;
      try {
        slot = reader.ReadSlot(header);
      } catch (const IndexRangeError& e) {
        RequireRefused(e, bytes, at, SlotSize(header.digitIndex), reader);
        return 0;
      }
      Require(slot.posInBlock == at, "slots follow the block header without gaps");
      Require(slot.address == (uint32_t{bytes[at]} << 16 | uint32_t{bytes[at + 1]} << 8),
              "Address is the big-endian AddressUnit times 256");
      auto unit = UnitFromAddress(slot.address);
      Require(unit[0] == bytes[at] && unit[1] == bytes[at + 1],
              "an Address gives back the AddressUnit it came from");
      Require(reader.Position() == at + SlotSize(header.digitIndex) && reader.Position() <= size,
              "a slot's trailing bytes are skipped, inside the index");
      ++slots;
    }
  }
  Require(expectedRows == 0 || uint64_t(expectedRows) == slots + 1,
          "a row hint counts every slot of a complete decoding");
  return 0;
}
