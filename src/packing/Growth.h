// Moving entries when an earlier one grows. Every entry that begins after a grown one moves up by
// the growth: its "Real Address" rises with either its "Address" (same "Block #" text) or its
// block's "Offset" (another block), and the matching index field is patched.
//
// Tables in ascending address order whose rows are self-consistent take a one-pass road: moves
// are kept as running sums and each row is brought up to date when its turn comes, so the work is
// proportional to rows + grown entries. Anything else, and any growth that would fail, is handled
// by scanning the whole table for that growth; both roads give the same cells, index bytes and
// failures as applying each growth to every row in turn.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/EntryTable.h"
#include "archive/IndexImage.h"

namespace tessaly {

// The error box texts of a table that can't be packed safely.
namespace refusal {
std::string NotPlainName(std::string_view name);
std::string OutOfOrder(std::string_view name, std::string_view realAddress);
std::string AddressOutOfRange(std::string_view name, std::string_view realAddress);
std::string EntryTooLarge(std::string_view path, uint64_t storedLength);
std::string SharedAddress(std::string_view name, uint32_t realAddress, std::string_view other);
std::string UnstorableAddress(std::string_view name, uint32_t address);
std::string PositionOutsideIndex(std::string_view column, std::string_view name, uint32_t position);
std::string BeyondDataLimit(std::string_view name, uint64_t realAddress);
}  // namespace refusal

// Real Addresses at or beyond this can't be stored as table numbers or data file positions.
inline constexpr uint64_t kDataLimit = uint64_t{1} << 31;

// The checks that need no growth: every "Name" a plain file name (or empty, which simply isn't
// found), every "Real Address" that parses at least 0 and not below the one of an earlier row.
// The refusal text, or nullopt.
std::optional<std::string> CheckTableBeforePacking(const EntryTable& table);

enum class GrowthEnd { Applied, IntError, Refused };

struct GrowthOutcome {
  GrowthEnd end = GrowthEnd::Applied;
  std::string refusal;  // the error box text when refused
};

class EntryMover {
 public:
  // `table` as loaded and accepted by CheckTableBeforePacking; both outlive the mover.
  EntryMover(EntryTable& table, IndexImage& image);

  // Brings the row's cells up to date with every growth applied so far; call before reading it.
  void CatchUp(int row);
  // Row `row`, beginning at `realAddress`, grew by `growth` (> 0): moves every later entry.
  // On IntError the table keeps what was updated so far; on Refused nothing may be saved.
  GrowthOutcome Grow(int row, uint32_t realAddress, uint32_t growth);
  // Writes the index patches that are still pending; call once after the last row.
  void Finish();
  // Brings every row's cells up to date, for a pack that ends early keeping its table.
  void CatchUpAll();

  // True while the running-sum road is taken (for tests).
  bool OnePass() const { return onePass_; }

 private:
  struct Row {
    uint32_t realAddress = 0, address = 0, offset = 0, posInBlock = 0, offsetPos = 0;
    int block = 0;                // index of the row's "Block #" text
    int nextInBlock = 0;          // next row with the same block text, or 0
    uint32_t maxAddressFrom = 0;  // largest "Address" of this row and the later rows of its block
    bool parses = false;          // all five numbers parse
  };
  struct Patch {
    int growthRow, row;
    bool offset;
    uint32_t position, value;
  };

  void Analyse();
  bool GrowthMayFail(int row, uint32_t realAddress, uint32_t growth) const;
  void Materialize(int row);
  void FlushPatches();
  GrowthOutcome ScanGrowth(int row, uint32_t realAddress, uint32_t growth);

  EntryTable& table_;
  IndexImage& image_;
  bool onePass_ = true;

  std::vector<Row> rows_;          // index = table row
  std::vector<int> unparsedRows_;  // rows whose numbers don't all parse, ascending
  int lastRow_ = 0;
  uint64_t total_ = 0;                  // sum of all growths so far
  std::vector<uint64_t> blockGrowth_;   // sum of the growths of each block so far
  std::vector<int> lastGrowthInBlock_;  // latest grown row of each block, or 0
  int lastGrowth_ = 0;                  // latest grown row
  int lastGrowthOtherBlock_ = 0;        // latest grown row of a block other than lastGrowth_'s
  int caughtUp_ = 0;                    // rows up to here are up to date
  std::vector<Patch> patches_;
};

}  // namespace tessaly
