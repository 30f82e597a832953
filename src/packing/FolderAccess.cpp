#include "packing/FolderAccess.h"

#include <chrono>
#include <optional>

#include "base/Errors.h"
#include "base/FileCommit.h"

namespace tessaly {

namespace {

// Long enough for a run that is about to end, short enough that a busy folder is soon reported.
constexpr std::chrono::milliseconds kFolderWait{1500};

}  // namespace

FolderLock TakeFolder(const std::string& folder) {
  std::optional<FolderLock> lock = FolderLock::Take(folder, kFolderWait);
  if (!lock)
    throw FrameworkError("Cannot open folder \"" + folder +
                         "\". Another pack or unpack is using it");
  return std::move(*lock);
}

void CleanUpInterrupted(const std::string& recordPath, const std::vector<std::string>& outputs) {
  FolderLock commits = LockCommits(recordPath);
  FinishInterruptedCommit(recordPath);
  RemoveOrphanedTemporaries(outputs);
}

}  // namespace tessaly
