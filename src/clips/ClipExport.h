// Export of entries to 16-bit WAV files, one per entry, named after it (speech_00042.asf ->
// speech_00042.wav). Each file is written under a hidden name beside its final one and renamed
// when complete, so no half-written file ever carries a final name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/OperationHost.h"
#include "clips/EntryStreams.h"

namespace tessaly {

struct EntryFailure {
  int row = 0;
  std::string name;
  std::string reason;
};

struct ExportResult {
  int written = 0;
  // Entries that could not be decoded (another codec, a damaged stream): the others go on.
  std::vector<EntryFailure> skipped;
  // Why the export stopped before the end (the folder can't be made or written, a full disk);
  // empty when it ran to the end. Files written before stay.
  std::string stopped;
  // The host's stop ended it before the last row: the files written stay, each whole.
  bool cancelled = false;
};

// "speech_00042.asf" -> "speech_00042.wav".
std::string WavNameFor(std::string_view entryName);

// Creates `folder` (and its parents) when missing, then writes the rows' WAV files into it,
// replacing files of the same names, on as many threads as the processor has cores; the host is
// called from the calling thread only. The host's stop is checked before each row.
ExportResult ExportClips(const EntryStreams& streams, const std::vector<int>& rows,
                         const std::string& folder, OperationHost& host);

}  // namespace tessaly
