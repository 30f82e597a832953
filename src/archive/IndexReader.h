// Decodes an index held in memory, structure by structure, in the order the listing reads it: the
// block count, the descriptors, then each block's header and slots. It needs no file: the bytes
// may be an IndexImage's or any other.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "archive/IndexLayout.h"

namespace tessaly {

struct BlockDescriptor {
  uint32_t blockPos;
  uint32_t offset;
  uint64_t offsetPos;  // where `offset` is stored
};

struct BlockHeader {
  uint16_t unknwn1, id;
  uint8_t digitIndex, asfCount;
  uint16_t unknwn2, unknwn3, unknwn4;
};

struct EntrySlot {
  uint64_t posInBlock;  // where the slot begins
  uint32_t address;     // AddressUnit * 256
};

// Every read checks first that its whole structure lies inside the bytes; one that doesn't
// throws IndexRangeError naming the structure's first byte, and nothing of it is read.
class IndexReader {
 public:
  explicit IndexReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  // Just past the last structure read, or the first byte of the one that didn't fit; never past
  // the end.
  uint64_t Position() const { return position_ < bytes_.size() ? position_ : bytes_.size(); }

  uint32_t ReadBlockCount();
  // The descriptors from the header's end on. They must all lie inside the bytes before any is
  // kept, so what they take is bounded by the index's size whatever `blockCount` claims.
  std::vector<BlockDescriptor> ReadDescriptors(uint32_t blockCount);
  BlockHeader ReadBlockHeader(uint32_t blockPos);
  // The slot at the current position, which the block's header or the slot before left there.
  EntrySlot ReadSlot(const BlockHeader& header);

  // 1 + the AsfCount of every block when the blocks together fit into the index as in a
  // well-formed one: the rows a complete listing makes, header row included. 0 otherwise, so a
  // table reserved by this hint stays bounded by the index's size.
  int ExpectedRows(const std::vector<BlockDescriptor>& descriptors) const;

 private:
  // Moves to `position` and checks that `count` bytes lie there.
  void Require(uint64_t position, uint64_t count);
  uint16_t U16At(uint64_t position) const;
  uint32_t U32At(uint64_t position) const;

  std::span<const uint8_t> bytes_;
  uint64_t position_ = 0;
};

}  // namespace tessaly
