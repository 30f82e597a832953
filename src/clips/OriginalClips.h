// The archive's own clips behind an unpack folder: the pair beside it that it was unpacked from
// (UnpackFolder's source pair), listed, with each entry's stream located. It serves what the
// folder's entries are compared with, played against, converted for, and put back from.
//
// The pair serves only when it is there, lists completely and lists as many entries as the
// folder's table; then row N of the table is row N of the pair (a pack moves entries but never
// reorders or adds them).
#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "archive/EntryTable.h"
#include "archive/Listing.h"
#include "base/OperationHost.h"
#include "clips/EntryStreams.h"
#include "packing/UnpackFolder.h"

namespace tessaly {

class OriginalClips {
 public:
  // Lists the source pair of `folder` for a table of `entries` entries; never throws. `stop` ends
  // the listing early (the pair unusable then).
  OriginalClips(const UnpackFolder& folder, int entries, std::stop_token stop = {});
  ~OriginalClips();
  OriginalClips(const OriginalClips&) = delete;
  OriginalClips& operator=(const OriginalClips&) = delete;

  // The pair serves; otherwise Unusable() says why not.
  bool Available() const { return streams_.has_value(); }
  const std::string& Unusable() const { return unusable_; }
  // The pair's data file.
  const std::string& DataFile() const { return dataFile_; }
  // Available() only.
  const EntryStreams& Streams() const { return *streams_; }
  const File& Data() const { return state_.dataStream; }

  // The row's clip in the archive, whole (for an entry that shares the next one's start, that
  // clip). Throws AudioError when the pair doesn't serve or the stream can't be located,
  // FrameworkError when it can't be read.
  std::vector<uint8_t> Clip(int row) const;
  // Whether `file` (`length` bytes long) holds exactly what Unpack writes for the row; false too
  // when the pair doesn't serve or either file can't be read.
  bool Holds(const File& file, uint64_t length, int row) const;

 private:
  ArchiveState state_;
  EntryTable table_;
  std::optional<EntryStreams> streams_;
  std::string dataFile_;
  std::string unusable_;
};

struct RevertedEntry {
  int row = 0;
  std::string name;
};
struct UnrevertedEntry {
  int row = 0;
  std::string name;
  std::string reason;
};
struct RevertResult {
  std::vector<RevertedEntry> reverted;  // written back, in the order asked
  int alreadyOriginal = 0;              // held the archive's bytes already: left untouched
  std::vector<UnrevertedEntry> failed;
  // Why nothing could be reverted, when the pair doesn't serve.
  std::string unusable;
};

// The rows of `rows` whose entry files differ from the archive's bytes or are missing, in the
// order given: what a revert would write. All of `rows` when the pair doesn't serve (the revert
// then says why).
std::vector<int> EntriesToRevert(const UnpackFolder& folder, const EntryTable& table,
                                 const std::vector<int>& rows);

// Puts the archive's bytes back into the entry files of `rows` of `folder`, exactly as Unpack
// writes them: each is written aside and renamed over the entry file (a link there is replaced,
// never written through), also where the entry file is missing or damaged. A row whose file
// already holds those bytes is left as it is. Throws FrameworkError only for a folder that can't
// be read at all.
RevertResult RevertEntries(const UnpackFolder& folder, const EntryTable& table,
                           const std::vector<int>& rows, OperationHost& host);

}  // namespace tessaly
