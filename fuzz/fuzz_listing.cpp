// Lists arbitrary index and data bytes. Input: two bytes giving the index's length
// (little-endian, cut to what follows), one byte whose low bit picks the data file instead of the
// index as the chosen file, the index bytes, then the data file's bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "archive/Listing.h"
#include "base/Errors.h"
#include "base/Numbers.h"
#include "support/RecordingHost.h"
#include "support/TempFolder.h"

namespace {

using namespace tessaly;

using fuzzing::Require;
using fuzzing::ScratchFolder;

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

uint32_t Cell(const EntryTable& table, int column, int row) {
  auto value = TryParseInt32(std::string(table.Cell(column, row)));
  if (value) return static_cast<uint32_t>(*value);
  // Values of 2^31 and more are written unsigned; parse them as such.
  std::string text = std::string(table.Cell(column, row));
  Require(!text.empty() && text.size() <= 10 &&
              text.find_first_not_of("0123456789") == std::string::npos,
          "a number cell holds unsigned decimal digits");
  uint64_t wide = std::stoull(text);
  Require(wide <= UINT32_MAX, "a number cell fits in 32 bits");
  return static_cast<uint32_t>(wide);
}

// Every listed row as the table's invariants give it.
void CheckRows(const EntryTable& table, int listed, const std::string& data) {
  for (int r = 1; r <= listed; ++r) {
    Require(Cell(table, kColNumber, r) == static_cast<uint32_t>(r), "# is the row number");
    uint32_t real = Cell(table, kColRealAddress, r);
    uint32_t address = Cell(table, kColAddress, r);
    uint32_t offset = Cell(table, kColOffset, r);
    Require(real == address + offset, "Real Address = Address + Offset modulo 2^32");
    Require(address % 256 == 0 && address <= 16776960, "Address is a 16-bit count of 256 bytes");
    Require(Cell(table, kColOffsetPos, r) == 100 + 16 * Cell(table, kColBlock, r),
            "Offset Pos = 100 + 16 * Block #");
    Require(uint64_t{real} + 4 <= data.size() && data.compare(real, 4, "SCHl") == 0,
            "every listed entry starts with SCHl");
    Require(std::string(table.Cell(kColSize, r)).empty(), "Size is empty after listing");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 3) return 0;
  size_t indexSize = std::min<size_t>(input[0] | input[1] << 8, size - 3);
  bool pickData = input[2] & 1;
  std::string index(reinterpret_cast<const char*>(input) + 3, indexSize);
  std::string data(reinterpret_cast<const char*>(input) + 3 + indexSize, size - 3 - indexSize);
  tessaly::testing::WriteBytes(ScratchFolder() / "fuzz.idx", index);
  tessaly::testing::WriteBytes(ScratchFolder() / "fuzz.big", data);

  tessaly::testing::RecordingHost host;
  host.recordProgress = false;
  ArchiveState state;
  EntryTable table;
  ListingEnd end;
  try {
    end = ListArchive(ScratchFolder() / (pickData ? "fuzz.big" : "fuzz.idx"), state, table, host);
  } catch (const FrameworkError&) {
    Require(!state.IsOpen(), "a framework error leaves no archive open");
    Require(host.toolbarAndGridEnabled, "a framework error leaves the toolbar enabled");
    return 0;
  }

  Require(end == ListingEnd::Complete || end == ListingEnd::CheckFailed ||
              end == ListingEnd::IndexTruncated,
          "both files exist: the listing opens the pair");
  Require(state.IsOpen() && state.dataFileSize == data.size(), "the data file is open");
  Require(state.index.Size() == index.size() &&
              (index.empty() ||
               std::memcmp(index.data(), state.index.Bytes().data(), index.size()) == 0),
          "the index image is the index file");
  Require(host.toolbarAndGridEnabled && host.progressPosition == 0, "the window is usable again");

  Require(StartsWith(host.status[1], "Asf count: "), "panel 1 counts the entries");
  auto reached = TryParseInt32(host.status[1].substr(11));
  Require(reached && *reached >= 0, "panel 1 holds a count");
  const std::string ofSize = " bytes of " + FormatUnsigned(index.size());
  Require(
      StartsWith(host.status[2], "Read ") && host.status[2].size() > 5 + ofSize.size() &&
          host.status[2].compare(host.status[2].size() - ofSize.size(), ofSize.size(), ofSize) == 0,
      "panel 2 shows the read position and the index's size");
  auto position =
      TryParseInt32(host.status[2].substr(5, host.status[2].size() - 5 - ofSize.size()));
  Require(position && *position >= 0 && static_cast<size_t>(*position) <= index.size(),
          "the read position lies within the index");

  int rows = table.RowCount();
  int listed = rows - 1;
  if (listed == 1 && std::string(table.Cell(kColName, 1)).empty()) listed = 0;
  Require(listed <= *reached, "rows never exceed the entries decoded");
  if (end == ListingEnd::Complete) {
    Require(listed == *reached && host.messages.empty(), "a complete listing lists every entry");
  } else if (end == ListingEnd::CheckFailed) {
    Require(listed == *reached - 1, "a failed check keeps the rows before it");
    Require(host.messages.size() == 1 && host.messages[0].kind == MessageKind::PlainError &&
                StartsWith(host.messages[0].text, "SCHl not found in "),
            "a failed check shows its plain error box");
  } else {
    Require(host.messages.size() == 1 && host.messages[0].kind == MessageKind::Error &&
                StartsWith(host.messages[0].text, "Index file "),
            "a truncated index shows its error box");
  }
  if (table.ColumnCount() == 2) {
    Require(end == ListingEnd::IndexTruncated && rows == 2 && listed == 0,
            "only a header cut short leaves the table unlaid");
  } else {
    Require(table.ColumnCount() == kEntryColumnCount && rows == std::max(2, listed + 1),
            "17 columns and one row per listed entry");
  }
  CheckRows(table, listed, data);
  return 0;
}
