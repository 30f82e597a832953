#include "base/FileCommit.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <optional>
#include <set>

#include "base/Errors.h"
#include "base/Paths.h"

namespace tessaly {

namespace {

// The record: a magic line, the number of replacements, each temporary and target as a
// length-prefixed path relative to the record's folder, then a checksum of all that.
constexpr char kMagic[] = "tessaly commit 1\n";
constexpr size_t kMagicSize = sizeof kMagic - 1;
constexpr uint32_t kMaxReplacements = 16;
constexpr uint32_t kMaxPathSize = 4096;
constexpr size_t kMaxRecordSize = kMagicSize + 4 + kMaxReplacements * 2 * (4 + kMaxPathSize) + 8;

struct Replaced {
  std::string temporary, target;  // full paths
};

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

uint64_t Checksum(std::string_view bytes) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

void AppendNumber(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint64_t ReadNumber(std::string_view& in, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= uint64_t{static_cast<unsigned char>(in[i])} << (8 * i);
  in.remove_prefix(bytes);
  return value;
}

std::string RecordFolder(const std::string& recordPath) {
  return ExtractFilePath(recordPath);
}

// What a folder part is called when opened: "" is the current folder.
std::string Openable(const std::string& folder) {
  return folder.empty() ? "." : folder;
}

// The name the old file of a target waits under while the new one is renamed in.
std::string AsideName(const std::string& temporary) {
  return temporary.substr(0, temporary.size() - 4) + ".old";
}

// A path inside `folder`, relative to it: a name, or one folder and a name.
std::optional<std::string> Relative(const std::string& folder, const std::string& path) {
  if (path.compare(0, folder.size(), folder) != 0) return std::nullopt;
  std::string relative = path.substr(folder.size());
  std::string name = ExtractFileName(relative), parent = ExtractFilePath(relative);
  if (!IsPlainFileName(name)) return std::nullopt;
  if (!parent.empty() && !IsPlainFileName(parent.substr(0, parent.size() - 1))) return std::nullopt;
  return relative;
}

// True for a temporary that File::CreateBeside makes for `target`: ".<target name>.<pid>-<n>"
// followed by `suffix`, in the target's folder.
bool IsTemporaryOf(std::string_view name, std::string_view targetName, std::string_view suffix) {
  if (name.size() < targetName.size() + 2 + suffix.size() || name[0] != '.' ||
      name.substr(1, targetName.size()) != targetName || name[targetName.size() + 1] != '.' ||
      !name.ends_with(suffix))
    return false;
  std::string_view middle = name.substr(targetName.size() + 2);
  middle.remove_suffix(suffix.size());
  size_t dash = middle.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == middle.size()) return false;
  return std::all_of(middle.begin(), middle.end(),
                     [](char c) { return c == '-' || (c >= '0' && c <= '9'); }) &&
         middle.find('-', dash + 1) == std::string_view::npos;
}

std::string Encode(const std::string& folder, const std::vector<Replaced>& replaced) {
  std::string bytes(kMagic, kMagicSize);
  AppendNumber(bytes, replaced.size(), 4);
  for (const Replaced& item : replaced)
    for (const std::string* path : {&item.temporary, &item.target}) {
      std::optional<std::string> relative = Relative(folder, *path);
      if (!relative)
        throw FrameworkError("Cannot replace " + Quoted(*path) + " together with " +
                             Quoted(folder) + ": it lies elsewhere");
      AppendNumber(bytes, relative->size(), 4);
      bytes += *relative;
    }
  AppendNumber(bytes, Checksum(bytes), 8);
  return bytes;
}

// The replacements of a whole, intact record that names only temporaries of ours beside their
// targets; nullopt for anything else.
std::optional<std::vector<Replaced>> Decode(const std::string& folder, std::string_view bytes) {
  if (bytes.size() < kMagicSize + 12 || bytes.substr(0, kMagicSize) != kMagic) return std::nullopt;
  std::string_view tail = bytes.substr(bytes.size() - 8);
  if (ReadNumber(tail, 8) != Checksum(bytes.substr(0, bytes.size() - 8))) return std::nullopt;
  std::string_view in = bytes.substr(kMagicSize, bytes.size() - kMagicSize - 8);
  uint64_t count = ReadNumber(in, 4);
  if (count > kMaxReplacements) return std::nullopt;
  std::vector<Replaced> replaced;
  for (uint64_t i = 0; i < count; ++i) {
    std::string paths[2];
    for (std::string& path : paths) {
      if (in.size() < 4) return std::nullopt;
      uint64_t size = ReadNumber(in, 4);
      if (size > in.size()) return std::nullopt;
      path = std::string(in.substr(0, size));
      in.remove_prefix(size);
    }
    const std::string &temporary = paths[0], &target = paths[1];
    if (!Relative("", temporary) || !Relative("", target) ||
        ExtractFilePath(temporary) != ExtractFilePath(target) ||
        !IsTemporaryOf(ExtractFileName(temporary), ExtractFileName(target), ".tmp"))
      return std::nullopt;
    replaced.push_back({folder + temporary, folder + target});
  }
  if (!in.empty()) return std::nullopt;
  return replaced;
}

void SyncFolders(const std::string& recordPath, const std::vector<Replaced>& replaced) {
  std::set<std::string> folders{RecordFolder(recordPath)};
  for (const Replaced& item : replaced) folders.insert(ExtractFilePath(item.target));
  for (const std::string& folder : folders) SyncFolder(folder);
}

void Rename(const std::string& from, const std::string& to) {
  ReplaceFile(from, to);
}

// Every new file in place: each temporary that still exists is renamed over its target.
void RollForward(const std::vector<Replaced>& replaced) {
  for (const Replaced& item : replaced)
    if (PathExists(item.temporary)) Rename(item.temporary, item.target);
}

// Every old file back in place. A target whose temporary is gone holds its new file, which goes
// back under the temporary's name; then each old file moved aside returns to its target. Every
// step keeps a roll forward possible.
void RollBack(const std::vector<Replaced>& replaced) {
  for (const Replaced& item : replaced)
    if (!PathExists(item.temporary) && PathExists(item.target)) Rename(item.target, item.temporary);
  for (const Replaced& item : replaced)
    if (PathExists(AsideName(item.temporary))) Rename(AsideName(item.temporary), item.target);
}

void RemoveAll(const std::vector<Replaced>& replaced, bool temporaries) {
  for (const Replaced& item : replaced)
    RemoveFileQuietly(temporaries ? item.temporary : AsideName(item.temporary));
}

// Drops the record once its files are where they belong. Quiet: a record left behind only
// makes the next command find nothing to do.
void RemoveRecord(const std::string& recordPath) noexcept {
  RemoveFileQuietly(recordPath);
  try {
    SyncFolder(RecordFolder(recordPath));
  } catch (const FrameworkError&) {
  }
}

void WriteRecord(const std::string& recordPath, const std::string& bytes) {
  try {
    File record = File::CreateReplace(recordPath);
    record.WriteAt(0, bytes.data(), bytes.size());
    record.Sync();
    record.Close();
    SyncFolder(RecordFolder(recordPath));
  } catch (...) {
    RemoveFileQuietly(recordPath);
    throw;
  }
}

std::optional<std::string> ReadRecord(const std::string& recordPath) {
  return ReadFileStart(recordPath, kMaxRecordSize + 1);
}

}  // namespace

std::string CommitRecordPath(const std::string& path) {
  return ExtractFilePath(path) + "." + RemoveFileExt(ExtractFileName(path)) + ".commit";
}

FolderLock LockCommits(const std::string& recordPath) {
  std::string folder = RecordFolder(recordPath);
  std::optional<FolderLock> lock = FolderLock::Take(folder, kCommitWait);
  if (!lock)
    throw FrameworkError("Cannot open folder " + Quoted(Openable(folder)) +
                         ". Another pack or unpack is still replacing files in it");
  return std::move(*lock);
}

void FinishInterruptedCommit(const std::string& recordPath) {
  std::optional<std::string> bytes = ReadRecord(recordPath);
  if (!bytes) return;
  std::optional<std::vector<Replaced>> replaced = Decode(RecordFolder(recordPath), *bytes);
  if (!replaced) {
    // Cut short or not ours: no rename began under it. Its temporaries go as orphans.
    RemoveRecord(recordPath);
    return;
  }
  try {
    RollForward(*replaced);
  } catch (const FrameworkError& error) {
    try {
      RollBack(*replaced);
    } catch (const FrameworkError&) {
      throw FrameworkError("Cannot finish the replacement of files recorded in " +
                           Quoted(recordPath) + ": " + error.what());
    }
    RemoveAll(*replaced, true);
  }
  SyncFolders(recordPath, *replaced);
  RemoveAll(*replaced, false);
  RemoveRecord(recordPath);
}

void RemoveOrphanedTemporaries(const std::vector<std::string>& targets) {
  std::set<std::string> folders;
  for (const std::string& target : targets) folders.insert(ExtractFilePath(target));
  for (const std::string& folder : folders) {
    for (const std::string& name : FolderNames(folder)) {
      if (name[0] != '.') continue;
      for (const std::string& target : targets) {
        if (ExtractFilePath(target) != folder) continue;
        std::string targetName = ExtractFileName(target);
        // A temporary still being written is in use by its writer and stays.
        if (IsTemporaryOf(name, targetName, ".tmp") || IsTemporaryOf(name, targetName, ".old"))
          RemoveFileIfUnused(folder + name);
      }
    }
  }
}

FileCommit::FileCommit(std::string recordPath) : recordPath_(std::move(recordPath)) {}

File& FileCommit::Create(const std::string& target) {
  replacements_.push_back({File::CreateBeside(target), target});
  return replacements_.back().file;
}

void FileCommit::Write(const std::string& target, const void* bytes, size_t count) {
  Create(target).WriteAt(0, bytes, count);
}

void FileCommit::Commit() {
  // The long part, storing the data, runs before other commits in the folder are held up.
  for (Replacement& replacement : replacements_)
    if (replacement.file.IsOpen()) replacement.file.Sync();
  FolderLock lock = LockCommits(recordPath_);
  std::vector<Replaced> replaced;
  for (Replacement& replacement : replacements_) {
    replacement.file.Close();
    replaced.push_back({replacement.file.Path(), replacement.target});
  }
  WriteRecord(recordPath_, Encode(RecordFolder(recordPath_), replaced));
  try {
    for (const Replaced& item : replaced) {
      // Moving the old file aside first meets a target that can't be replaced (read-only,
      // immutable) before any new file is in place.
      if (PathExists(item.target)) Rename(item.target, AsideName(item.temporary));
    }
    for (const Replaced& item : replaced) Rename(item.temporary, item.target);
    SyncFolders(recordPath_, replaced);
  } catch (const FrameworkError&) {
    std::exception_ptr failure = std::current_exception();
    try {
      RollBack(replaced);
      SyncFolders(recordPath_, replaced);
    } catch (const FrameworkError&) {
      recordNeedsThem_ = true;  // the next command finishes it
      std::rethrow_exception(failure);
    }
    RemoveRecord(recordPath_);
    throw;
  }
  RemoveAll(replaced, false);
  RemoveRecord(recordPath_);
  replacements_.clear();
}

void FileCommit::Discard() noexcept {
  if (!recordNeedsThem_)
    for (Replacement& replacement : replacements_) {
      replacement.file.Release();
      RemoveFileQuietly(replacement.file.Path());
    }
  replacements_.clear();
}

}  // namespace tessaly
