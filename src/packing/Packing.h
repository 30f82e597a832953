// Pack: rebuilds an archive pair from an UnpackFolder chosen through the host, padding entries,
// moving later entries when one grows and patching the index. Outputs are written aside and
// renamed into place only when the whole pack succeeded.
#pragma once

#include <string>

#include "archive/EntryTable.h"
#include "base/OperationHost.h"

namespace tessaly {

enum class PackEnd {
  Cancelled,         // folder dialog cancelled: nothing changed
  ResourcesMissing,  // "Resource files not found in ..." shown
  EmptyIndex,        // the index copy is empty: stopped without a message
  EntryMissing,      // "File not found ..." shown
  IntError,          // "Alarm! Int error." shown
  Refused,           // the table can't be packed safely; an error box says why
  Success,           // "Successfully saved to ..." shown
};

struct PackResult {
  PackEnd end = PackEnd::Cancelled;
  std::string folder;     // F, the chosen folder
  std::string indexPath;  // the new IndexFile
  std::string dataPath;   // the new DataFile
};

// The Pack command's work. Framework errors propagate as FrameworkError, with the window
// enabled again, temporaries removed and earlier outputs untouched.
PackResult Pack(EntryTable& table, OperationHost& host);

}  // namespace tessaly
