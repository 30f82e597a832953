// The files that belong to an unpack folder such as `/mods/speech_`: its table
// (`speech_.tbl`) and index copy (`speech_.id`) inside it, and the archive pair it was unpacked
// from: the folder's name without its final "_", beside it (`/mods/speech.idx`,
// `/mods/speech.big`).
#pragma once

#include <string>

#include "archive/EntryTable.h"

namespace tessaly {

struct UnpackFolderFiles {
  std::string folder;
  std::string tableFile;
  std::string indexCopy;
  // The source pair; empty when the folder's name doesn't end in "_".
  std::string sourceIndex;
  std::string sourceData;
  // An unpack or a pack of the folder was stopped while it replaced the table and the index copy:
  // `tableFile` and `indexCopy` name its new ones, and this says which command finishes it.
  std::string interrupted;

  bool HasTableAndIndexCopy() const;
  // Both files of the source pair exist.
  bool HasSourcePair() const;
};

UnpackFolderFiles FilesOfUnpackFolder(const std::string& folder);

// Loads the folder's table. Throws FrameworkError "Resource files not found in <folder>" when the
// table or the index copy is missing, and the table file's own errors.
EntryTable LoadFolderTable(const UnpackFolderFiles& files);

}  // namespace tessaly
