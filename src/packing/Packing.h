// Pack: rebuilds an archive pair from an unpack folder, padding entries,
// moving later entries when one grows and patching the index. The four outputs (the new pair,
// the folder's index copy and table file) are written aside and put in place together only when
// the whole pack succeeded; a pack interrupted on the way leaves the earlier files or the new
// ones, never a mix.
#pragma once

#include <string>

#include "archive/EntryTable.h"
#include "base/OperationHost.h"

namespace tessaly {

enum class PackEnd {
  ResourcesMissing,  // "Resource files not found in ..." shown
  EmptyIndex,        // the index copy is empty: stopped without a message
  EntryMissing,      // "File not found ..." shown
  IntError,          // "Alarm! Int error." shown
  Refused,           // the table can't be packed safely; an error box says why
  Cancelled,         // the host's stop was set: nothing written, a message says so
  Success,           // "Successfully saved to ..." shown
};

struct PackResult {
  PackEnd end = PackEnd::ResourcesMissing;
  std::string folder;     // the packed folder
  std::string indexPath;  // the new IndexFile
  std::string dataPath;   // the new DataFile
};

// The Pack command's work on `folder`, writing the pair beside it (UnpackFolder::Chosen) or, given
// `into`, in that folder. Framework errors propagate as FrameworkError, with the window enabled
// again, temporaries removed and earlier outputs untouched. A folder that another pack or unpack
// is using is waited for briefly, then reported busy as a FrameworkError. The host's stop is
// checked before each entry is copied and once more before the outputs are put in place; a
// stopped pack changes no file.
PackResult Pack(const std::string& folder, EntryTable& table, OperationHost& host,
                const std::string& into = "");

}  // namespace tessaly
