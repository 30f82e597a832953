// An archive pair or an unpack folder named on the command line, opened for reading its clips.
#pragma once

#include <optional>

#include "archive/Listing.h"
#include "cli/TerminalHost.h"
#include "clips/EntryStreams.h"

namespace tessaly::cli {

struct ClipTarget {
  ArchiveState state;  // open for an archive
  EntryTable table;
  std::optional<EntryStreams> streams;
  bool complete = false;  // every entry was listed
};

// Opens the unpack folder, the single clip file (.asf) or the pair (through the listing, with its
// messages) `path` names. False when nothing could be listed; the reason has been reported.
// Framework errors propagate. `withHeaders` keeps the headers the listing reads, for Info().
bool OpenClipTarget(TerminalHost& host, const std::string& path, ClipTarget& target,
                    bool withHeaders = false);

// Loads the table of the unpack folder `folder`. Without its table or index copy, reports
// "Resource files not found in <folder>" as Pack does and returns false.
bool LoadUnpackFolderTable(TerminalHost& host, const std::string& folder, EntryTable& table);

}  // namespace tessaly::cli
