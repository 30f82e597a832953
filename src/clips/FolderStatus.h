// Which entries of an unpack folder differ from the pair it was unpacked from, and what is wrong
// with each for packing: not a stream, a header that can't be read, another codec, sample rate
// or channel count than the clip it replaces. A file longer than its entry's recorded "Size" is
// noted too; that is allowed (packing moves later entries), not a problem.
//
// The pair compared with is the one its source note names, else the one beside the folder whose
// name the folder carries (folder `speech_` <- `speech.idx` and `speech.big`), when it is there
// and lists as many entries as the folder's table. Then an entry counts as changed when its
// file's bytes differ from its stream in that pair. Otherwise an entry counts as changed when its
// file's length differs from its recorded "Size", and codecs can't be compared. Where the replaced
// clip's own header can't be read (a kind of stream this program doesn't know), its replacement
// isn't judged beyond "SCHl".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/EntryTable.h"
#include "base/OperationHost.h"
#include "packing/UnpackFolder.h"

namespace tessaly {

struct EntryChange {
  int row = 0;
  std::string name;
  bool missing = false;  // no entry file of that name
  uint64_t length = 0;   // of the entry file
  uint64_t slot = 0;     // the recorded "Size"
  bool longerThanSlot = false;
  std::vector<std::string> problems;  // empty when the file can be packed as it is
};

struct FolderStatus {
  // The data file of the pair compared with; empty when judged by the recorded sizes.
  std::string comparedWith;
  // Why no pair was compared with, when none was.
  std::string withoutPairReason;
  std::vector<EntryChange> changes;  // in table order
  // The host's stop ended the check: `changes` holds the entries before it only.
  bool cancelled = false;

  bool HasProblems() const;
};

enum class StatusDepth {
  kAllChanges,    // every changed entry, comparing bytes where the lengths agree
  kProblemsOnly,  // only changed entries that have a problem: cheap enough to run before a pack
};

// Reads the table's entry files and the source pair; never writes. Throws FrameworkError only
// for a folder that can't be read at all. The host's stop is checked before each entry and in the
// listing of the source pair.
FolderStatus CheckFolderStatus(const UnpackFolder& folder, const EntryTable& table,
                               StatusDepth depth, OperationHost& host);

// The check before a pack: the replaced entries of `folder` that can't be packed as they are, in
// table order, each with its problems. Missing entry files, a folder without its table or index
// copy, and a table or folder that can't be read are left to Pack's own messages: none is listed
// then, nor when the host's stop ends the check. The window is disabled while the entries are
// read. The front ends only word the result.
std::vector<EntryChange> ReplacedEntryProblems(const UnpackFolder& folder, OperationHost& host);

// The check before an unpack writes into `folder` again: its entry files that are present and
// differ from the pair (replaced clips an unpack would write over), in table order; none as above.
std::vector<EntryChange> ChangedEntries(const UnpackFolder& folder, OperationHost& host);

// The same check before an unpack of the pair of `chosenPath` into the folder UnpackFolder::
// OfArchive(chosenPath, into) names. The folder is judged against the pair it was unpacked from
// when that is known and there, else against the pair about to be unpacked into it.
std::vector<EntryChange> ChangedEntriesBeforeUnpack(const std::string& chosenPath,
                                                    const std::string& into, OperationHost& host);

}  // namespace tessaly
