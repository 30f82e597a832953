// Several files replaced as one. Each replacement is written aside under a temporary name; the
// commit then lists every temporary and its target in a small record, stored on the device before
// the first rename, moves the old files aside, renames the new ones in, stores both folders and
// removes the record. A process stopped at any moment leaves the record behind, and the next
// command that touches those files finishes it: every target then holds its new file, or where
// that can't be done, every target holds its old one again. Never a mix.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/Files.h"
#include "base/FolderLock.h"

namespace tessaly {

// The record shared by a pack of `path` (a folder), an unpack into it and a listing of the pair it
// packs to (`path` an ".idx" or ".big"): ".<name without extension>.commit" beside it.
std::string CommitRecordPath(const std::string& path);

// How long a command waits for another process's commit in the same folder before giving up.
inline constexpr std::chrono::milliseconds kCommitWait{30000};

// The lock under which commits and their recovery run: the folder that holds the record. Throws
// FrameworkError when another process still holds it after kCommitWait.
FolderLock LockCommits(const std::string& recordPath);

// The files a pack or an unpack of `folder` replaces together: the pair beside it, and the index
// copy, table file and source note inside it. A record beside the folder is trusted for these
// only.
std::vector<std::string> CommitTargetsOf(const std::string& folder);

// What an interrupted commit left at a record, read without changing anything.
struct InterruptedCommit {
  // A record naming other files than the trusted ones (or one of them through a linked folder):
  // the text that says it was ignored. Nothing is moved for it.
  std::optional<std::string> ignored;
  // A trusted record: its commit has not finished. Each target whose new file still waits under
  // its temporary name, with that name.
  bool pending = false;
  std::vector<std::pair<std::string, std::string>> waiting;

  // The file that holds `target`'s new contents: the temporary while it waits, else the target.
  std::string NewFile(const std::string& target) const;
};

// Reads the record at `recordPath`; `trusted` are the only targets it may name.
InterruptedCommit ReadInterruptedCommit(const std::string& recordPath,
                                        const std::vector<std::string>& trusted);

// Finishes what an interrupted commit left at `recordPath` (nothing when there is no record; a
// record cut short is dropped, its commit never began). A record naming anything but `trusted`
// is left as it is and nothing moved: the text saying so is returned. Call holding LockCommits.
// Throws FrameworkError when the files can be neither put in place nor put back.
std::optional<std::string> FinishInterruptedCommit(const std::string& recordPath,
                                                   const std::vector<std::string>& trusted);

// Removes the temporaries of `targets` that no process writes any more, left by one that was
// stopped. Call holding LockCommits, after FinishInterruptedCommit.
void RemoveOrphanedTemporaries(const std::vector<std::string>& targets);

// Removes, from `folder`, the temporaries of this program's files (entries, WAVs, pair files,
// index copies, table files and source notes) that no process writes any more: what a stopped
// unpack, import or export leaves.
void RemoveLeftoverTemporaries(const std::string& folder);

// Replaces the one file `target` whole: `write` fills a new temporary beside it, which is stored
// on the device and renamed over `target`. A link at `target` is replaced, never written
// through; on any failure the temporary goes and `target` stays as it was.
void ReplaceFileAside(const std::string& target, const std::function<void(File&)>& write);

class FileCommit {
 public:
  // Commits under the record at `recordPath`; targets lie in its folder or one folder below.
  explicit FileCommit(std::string recordPath);
  FileCommit(const FileCommit&) = delete;
  FileCommit& operator=(const FileCommit&) = delete;
  ~FileCommit() { Discard(); }

  // A new temporary file beside `target`, open for writing and locked while open; it stays
  // owned here until Commit or Discard.
  File& Create(const std::string& target);
  // `bytes` as the replacement of `target`.
  void Write(const std::string& target, const void* bytes, size_t count);
  // Stores and closes every replacement, then puts them all in place as one. Throws
  // FrameworkError when that fails: the old files are then in place again, or the record is left
  // for the next command to finish.
  void Commit();
  // Removes every replacement; no target changes.
  void Discard() noexcept;

 private:
  struct Replacement {
    File file;
    std::string target;
  };
  std::string recordPath_;
  std::deque<Replacement> replacements_;
  bool recordNeedsThem_ = false;  // a failed commit left its record: the temporaries must stay
};

}  // namespace tessaly
