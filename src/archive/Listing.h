// Listing: opens the archive pair of a chosen file, reads the index whole, checks "SCHl"
// at every entry's start in the data file and fills the EntryTable with one row per entry. The
// archive is left open in the ArchiveState for the caller (Unpack) to take over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "archive/EntryTable.h"
#include "archive/IndexImage.h"
#include "base/Files.h"
#include "base/OperationHost.h"

namespace tessaly {

// The state the main window holds for its whole life: what the listing opened.
struct ArchiveState {
  std::string chosenPath;
  std::string indexPath;
  std::string dataPath;
  IndexImage index;
  File dataStream;
  uint32_t dataSize = 0;      // low 32 bits of the data file's size
  uint64_t dataFileSize = 0;  // its full size

  bool IsOpen() const { return dataStream.IsOpen(); }
  // Releases the IndexImage and the data file.
  void Release() noexcept;
};

enum class ListingEnd {
  FileMissing,     // "File: ... not found." shown; nothing changed, no archive open
  Complete,        // every entry listed; archive open
  CheckFailed,     // "SCHl not found in ..." shown; rows before it kept; archive open
  IndexTruncated,  // an index structure runs past the file's end; error shown; rows kept; open
  Cancelled,       // the host's stop was set: the rows listed before kept; archive open
};

// Sees the first bytes of every entry's stream as the listing reads them for the "SCHl" check, so
// a caller that needs them (the clip information) doesn't read them a second time.
class EntryStartReader {
 public:
  virtual ~EntryStartReader() = default;
  // How many bytes to read at each entry's start (fewer arrive at the data file's end).
  virtual size_t BytesWanted() const = 0;
  // How many entries the index announces, before the first Take (a hint: a damaged index may
  // hold fewer or more).
  virtual void Expect(int /*rows*/) {}
  // The bytes of entry `row` (1-based), which begin with "SCHl".
  virtual void Take(int row, std::span<const uint8_t> firstBytes) = 0;
};

// The listing of the pair that `chosenPath` (its index or its data file) belongs to, step by
// step. The host's stop is checked before each entry. Framework errors (a file that can't be read
// or opened) propagate as FrameworkError after the toolbar and grid were enabled again and no
// archive is left open.
ListingEnd ListArchive(const std::string& chosenPath, ArchiveState& state, EntryTable& table,
                       OperationHost& host, EntryStartReader* starts = nullptr);

// True when the data file holds "SCHl" at `realAddress`; otherwise shows the plain error box.
// The bytes read there (at least 4, up to the buffer's size) are left in `firstBytes`.
bool CheckSchl(ArchiveState& state, uint32_t realAddress, OperationHost& host);
bool CheckSchl(ArchiveState& state, uint32_t realAddress, OperationHost& host,
               std::span<uint8_t>& firstBytes);

}  // namespace tessaly
