#include "packing/Growth.h"

#include <unordered_map>

#include "base/Numbers.h"
#include "base/Paths.h"

namespace tessaly {

namespace refusal {

std::string NotPlainName(std::string_view name) {
  return "Entry name is not a plain file name: " + std::string(name);
}
std::string OutOfOrder(std::string_view name, std::string_view realAddress) {
  return "Real Address out of order at " + std::string(name) + ": " + std::string(realAddress);
}
std::string AddressOutOfRange(std::string_view name, std::string_view realAddress) {
  return "Real Address out of range at " + std::string(name) + ": " + std::string(realAddress);
}
std::string EntryTooLarge(std::string_view path, uint64_t storedLength) {
  return "Entry file too large: " + std::string(path) + " needs " + FormatUnsigned(storedLength) +
         " bytes";
}
std::string SharedAddress(std::string_view name, uint32_t realAddress, std::string_view other) {
  return "Cannot grow " + std::string(name) + ": its Real Address " + FormatUnsigned(realAddress) +
         " is shared by " + std::string(other);
}
std::string UnstorableAddress(std::string_view name, uint32_t address) {
  return "Address cannot be stored for " + std::string(name) + ": " + FormatUnsigned(address);
}
std::string PositionOutsideIndex(std::string_view column, std::string_view name,
                                 uint32_t position) {
  return std::string(column) + " outside the index for " + std::string(name) + ": " +
         FormatUnsigned(position);
}
std::string BeyondDataLimit(std::string_view name, uint64_t realAddress) {
  return "Real Address beyond 2 GiB for " + std::string(name) + ": " + FormatUnsigned(realAddress);
}

}  // namespace refusal

std::optional<std::string> CheckTableBeforePacking(const EntryTable& table) {
  uint32_t previous = 0;
  for (int r = 1; r < table.RowCount(); ++r) {
    std::string_view name = table.Cell(kColName, r);
    if (!name.empty() && !IsPlainFileName(name)) return refusal::NotPlainName(name);
    std::string_view text = table.Cell(kColRealAddress, r);
    auto realAddress = TryParseInt32(text);
    if (!realAddress) continue;  // fails when its row is packed or read for a move
    if (*realAddress < 0) return refusal::AddressOutOfRange(name, text);
    if (static_cast<uint32_t>(*realAddress) < previous) return refusal::OutOfOrder(name, text);
    previous = static_cast<uint32_t>(*realAddress);
  }
  return std::nullopt;
}

namespace {

constexpr uint32_t kAddressLimit = 1u << 24;

struct MovedFields {
  int32_t realAddress, address, posInBlock, offset, offsetPos;
};

// The five numbers a move reads, in the order it reads them; nullopt when one doesn't parse.
std::optional<MovedFields> ParseMovedFields(const EntryTable& table, int row) {
  MovedFields f{};
  std::pair<int, int32_t*> fields[] = {{kColRealAddress, &f.realAddress},
                                       {kColAddress, &f.address},
                                       {kColPosInBlock, &f.posInBlock},
                                       {kColOffset, &f.offset},
                                       {kColOffsetPos, &f.offsetPos}};
  for (auto [column, value] : fields) {
    auto parsed = TryParseInt32(table.Cell(column, row));
    if (!parsed) return std::nullopt;
    *value = *parsed;
  }
  return f;
}

bool Inside(const IndexImage& image, uint32_t position, uint32_t count) {
  return uint64_t{position} + count <= image.Size();
}

}  // namespace

EntryMover::EntryMover(EntryTable& table, IndexImage& image) : table_(table), image_(image) {
  Analyse();
}

// Reads every row once: its numbers, its block, and whether it fits the one-pass road (numbers
// consistent as a listing writes them: Address a multiple of 256 below 2^24, Real Address =
// Address + Offset without wrapping, positions inside the index).
void EntryMover::Analyse() {
  const int rows = table_.RowCount();
  lastRow_ = rows - 1;
  rows_.assign(static_cast<size_t>(std::max(rows, 1)), Row{});
  std::unordered_map<std::string, int> blocks;
  for (int r = 1; r < rows; ++r) {
    Row& row = rows_[r];
    row.block =
        blocks.emplace(table_.Cell(kColBlock, r), static_cast<int>(blocks.size())).first->second;
    auto f = ParseMovedFields(table_, r);
    if (!f) {
      unparsedRows_.push_back(r);
      continue;
    }
    row.parses = true;
    row.realAddress = static_cast<uint32_t>(f->realAddress);
    row.address = static_cast<uint32_t>(f->address);
    row.posInBlock = static_cast<uint32_t>(f->posInBlock);
    row.offset = static_cast<uint32_t>(f->offset);
    row.offsetPos = static_cast<uint32_t>(f->offsetPos);
    bool consistent = row.address % 256 == 0 && row.address < kAddressLimit && f->offset >= 0 &&
                      uint64_t{row.address} + row.offset == row.realAddress &&
                      Inside(image_, row.posInBlock, 2) && Inside(image_, row.offsetPos, 4);
    if (!consistent) onePass_ = false;
  }
  std::vector<int> nextOfBlock(blocks.size(), 0);
  std::vector<uint32_t> maxOfBlock(blocks.size(), 0);
  for (int r = rows - 1; r >= 1; --r) {
    Row& row = rows_[r];
    row.nextInBlock = nextOfBlock[row.block];
    nextOfBlock[row.block] = r;
    if (row.parses) maxOfBlock[row.block] = std::max(maxOfBlock[row.block], row.address);
    row.maxAddressFrom = maxOfBlock[row.block];
  }
  blockGrowth_.assign(blocks.size(), 0);
  lastGrowthInBlock_.assign(blocks.size(), 0);
}

void EntryMover::CatchUp(int row) {
  if (!onePass_ || row <= caughtUp_) return;
  caughtUp_ = row;
  if (total_ == 0) return;
  // A row that doesn't parse can't have been moved: the growth would have failed first.
  const Row& r = rows_[row];
  uint64_t sameBlock = blockGrowth_[r.block];
  uint64_t otherBlocks = total_ - sameBlock;
  table_.SetCell(kColRealAddress, row, FormatUnsigned(r.realAddress + total_));
  if (sameBlock > 0) {
    auto address = static_cast<uint32_t>(r.address + sameBlock);
    table_.SetCell(kColAddress, row, FormatUnsigned(address));
    patches_.push_back({lastGrowthInBlock_[r.block], row, false, r.posInBlock, address});
  }
  if (otherBlocks > 0) {
    auto offset = static_cast<uint32_t>(r.offset + otherBlocks);
    table_.SetCell(kColOffset, row, FormatUnsigned(offset));
    int growthRow = rows_[lastGrowth_].block != r.block ? lastGrowth_ : lastGrowthOtherBlock_;
    patches_.push_back({growthRow, row, true, r.offsetPos, offset});
  }
}

// True unless the growth certainly moves every later row without a failure; then the running sums
// give exactly what a scan would.
bool EntryMover::GrowthMayFail(int row, uint32_t realAddress, uint32_t growth) const {
  // A row that doesn't parse fails the scan (only the growing row itself is skipped).
  if (unparsedRows_.size() > 1 || (unparsedRows_.size() == 1 && unparsedRows_[0] != row))
    return true;
  if (row == lastRow_) return false;
  const Row& next = rows_[row + 1];
  if (next.realAddress + total_ == realAddress) return true;  // shared with the next row
  if (rows_[lastRow_].realAddress + total_ + growth >= kDataLimit) return true;
  int block = rows_[row].block;
  if (int later = rows_[row].nextInBlock) {
    uint64_t shift = blockGrowth_[block] + growth;
    if (shift % 256 != 0 || rows_[later].maxAddressFrom + shift >= kAddressLimit) return true;
  }
  return false;
}

GrowthOutcome EntryMover::Grow(int row, uint32_t realAddress, uint32_t growth) {
  if (onePass_ && !GrowthMayFail(row, realAddress, growth)) {
    int block = rows_[row].block;
    if (rows_[lastGrowth_].block != block || lastGrowth_ == 0) lastGrowthOtherBlock_ = lastGrowth_;
    lastGrowth_ = row;
    lastGrowthInBlock_[block] = row;
    blockGrowth_[block] += growth;
    total_ += growth;
    return {};
  }
  if (onePass_) Materialize(row);
  return ScanGrowth(row, realAddress, growth);
}

// Leaves the one-pass road: every later row brought up to date and the pending patches written in
// the order the growths would have written them; from here on growths scan.
void EntryMover::Materialize(int row) {
  for (int r = row + 1; r <= lastRow_; ++r) CatchUp(r);
  FlushPatches();
  onePass_ = false;
}

void EntryMover::CatchUpAll() {
  for (int r = caughtUp_ + 1; r <= lastRow_; ++r) CatchUp(r);
}

void EntryMover::Finish() {
  if (onePass_) FlushPatches();
}

// Applies the pending patches ordered by growth, then by row: where two rows patch the same bytes
// the later write wins, as it would have when each growth was applied in turn.
void EntryMover::FlushPatches() {
  std::vector<size_t> start(rows_.size() + 1, 0);
  for (const Patch& p : patches_) ++start[p.growthRow + 1];
  for (size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
  std::vector<const Patch*> ordered(patches_.size());
  for (const Patch& p : patches_) ordered[start[p.growthRow]++] = &p;
  for (const Patch* p : ordered) {
    if (p->offset)
      PatchOffset(image_, p->position, p->value);
    else
      PatchAddressUnit(image_, p->position, p->value);
  }
  patches_.clear();
}

// One growth applied to every other row in table order.
GrowthOutcome EntryMover::ScanGrowth(int row, uint32_t realAddress, uint32_t growth) {
  std::string_view block = table_.Cell(kColBlock, row);
  for (int j = 1; j <= lastRow_; ++j) {
    if (j == row) continue;
    auto f = ParseMovedFields(table_, j);
    if (!f) return {GrowthEnd::IntError, {}};
    auto rowAddress = static_cast<uint32_t>(f->realAddress);
    std::string_view name = table_.Cell(kColName, j);
    if (j > row && rowAddress == realAddress)
      return {GrowthEnd::Refused,
              refusal::SharedAddress(table_.Cell(kColName, row), realAddress, name)};
    if (rowAddress <= realAddress) continue;
    uint64_t newRealAddress = uint64_t{rowAddress} + growth;
    bool sameBlock = table_.Cell(kColBlock, j) == block;
    auto newAddress = static_cast<uint32_t>(f->address) + growth;
    auto newOffset = static_cast<uint32_t>(f->offset) + growth;
    auto posInBlock = static_cast<uint32_t>(f->posInBlock);
    auto offsetPos = static_cast<uint32_t>(f->offsetPos);
    if (sameBlock) {
      if (newAddress % 256 != 0 || newAddress >= kAddressLimit)
        return {GrowthEnd::Refused, refusal::UnstorableAddress(name, newAddress)};
      if (!Inside(image_, posInBlock, 2))
        return {GrowthEnd::Refused,
                refusal::PositionOutsideIndex("Pos in Block", name, posInBlock)};
    } else if (!Inside(image_, offsetPos, 4)) {
      return {GrowthEnd::Refused, refusal::PositionOutsideIndex("Offset Pos", name, offsetPos)};
    }
    if (newRealAddress >= kDataLimit)
      return {GrowthEnd::Refused, refusal::BeyondDataLimit(name, newRealAddress)};
    table_.SetCell(kColRealAddress, j, FormatUnsigned(newRealAddress));
    if (sameBlock) {
      table_.SetCell(kColAddress, j, FormatUnsigned(newAddress));
      PatchAddressUnit(image_, posInBlock, newAddress);
    } else {
      table_.SetCell(kColOffset, j, FormatUnsigned(newOffset));
      PatchOffset(image_, offsetPos, newOffset);
    }
  }
  return {};
}

}  // namespace tessaly
