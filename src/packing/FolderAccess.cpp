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

std::optional<std::string> CleanUpInterrupted(const std::string& folder,
                                              const std::vector<std::string>& outputs) {
  const std::string recordPath = CommitRecordPath(folder);
  std::vector<std::string> trusted = CommitTargetsOf(folder);
  trusted.insert(trusted.end(), outputs.begin(), outputs.end());
  FolderLock commits = LockCommits(recordPath);
  std::optional<std::string> ignored = FinishInterruptedCommit(recordPath, trusted);
  RemoveOrphanedTemporaries(outputs);
  return ignored;
}

}  // namespace tessaly
