#include "base/FileCommit.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <exception>
#include <optional>
#include <set>

#include "base/Errors.h"
#include "base/NameCase.h"
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

// A record read: absent, cut short or not ours (no rename began under it), or whole, naming
// only the trusted targets or not.
struct Record {
  enum class Kind { Absent, Broken, Untrusted, Trusted } kind = Kind::Absent;
  std::vector<Replaced> replaced;
};

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
    replaced.push_back({paths[0], paths[1]});
  }
  if (!in.empty()) return std::nullopt;
  for (Replaced& item : replaced) {
    item.temporary = folder + item.temporary;
    item.target = folder + item.target;
  }
  return replaced;
}

// Each target is one of `trusted`, in the record's folder or in a folder there that is not a
// link, and each temporary is one of ours beside it.
bool IsTrusted(const std::string& folder, const std::vector<Replaced>& replaced,
               const std::vector<std::string>& trusted) {
  for (const Replaced& item : replaced) {
    std::optional<std::string> temporary = Relative(folder, item.temporary);
    std::optional<std::string> target = Relative(folder, item.target);
    if (!temporary || !target || ExtractFilePath(*temporary) != ExtractFilePath(*target) ||
        !IsTemporaryName(ExtractFileName(*temporary), ExtractFileName(*target), ".tmp"))
      return false;
    if (std::none_of(trusted.begin(), trusted.end(),
                     [&](const std::string& path) { return EqualIgnoringCase(path, item.target); }))
      return false;
    if (!ExtractFilePath(*target).empty() && !IsFolderNotLink(ExtractFilePath(item.target)))
      return false;
  }
  return true;
}

Record ReadRecord(const std::string& recordPath, const std::vector<std::string>& trusted) {
  Record record;
  std::optional<std::string> bytes = ReadFileStart(recordPath, kMaxRecordSize + 1);
  if (!bytes) return record;
  std::string folder = RecordFolder(recordPath);
  std::optional<std::vector<Replaced>> replaced = Decode(folder, *bytes);
  if (!replaced) {
    record.kind = Record::Kind::Broken;
    return record;
  }
  record.kind =
      IsTrusted(folder, *replaced, trusted) ? Record::Kind::Trusted : Record::Kind::Untrusted;
  record.replaced = std::move(*replaced);
  return record;
}

std::string IgnoredText(const std::string& recordPath) {
  return "Ignored " + Quoted(recordPath) +
         ": it names files that are not this pair's own. Nothing was moved; remove it if you "
         "did not put it there.";
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

std::vector<std::string> CommitTargetsOf(const std::string& folder) {
  std::string name = ExtractFileName(folder), parent = ExtractFilePath(folder);
  return {parent + ChangeFileExt(name, ".big"), parent + ChangeFileExt(name, ".idx"),
          JoinPath(folder, ChangeFileExt(name, ".id")),
          JoinPath(folder, ChangeFileExt(name, ".tbl")),
          JoinPath(folder, ChangeFileExt(name, ".source"))};
}

std::string InterruptedCommit::NewFile(const std::string& target) const {
  for (const auto& [waitingTarget, temporary] : waiting)
    if (EqualIgnoringCase(waitingTarget, target)) return temporary;
  return target;
}

InterruptedCommit ReadInterruptedCommit(const std::string& recordPath,
                                        const std::vector<std::string>& trusted) {
  InterruptedCommit commit;
  Record record = ReadRecord(recordPath, trusted);
  if (record.kind == Record::Kind::Untrusted) commit.ignored = IgnoredText(recordPath);
  if (record.kind != Record::Kind::Trusted) return commit;
  commit.pending = true;
  for (const Replaced& item : record.replaced)
    if (FileExists(item.temporary)) commit.waiting.emplace_back(item.target, item.temporary);
  return commit;
}

std::optional<std::string> FinishInterruptedCommit(const std::string& recordPath,
                                                   const std::vector<std::string>& trusted) {
  Record record = ReadRecord(recordPath, trusted);
  if (record.kind == Record::Kind::Absent) return std::nullopt;
  if (record.kind == Record::Kind::Untrusted) return IgnoredText(recordPath);
  if (record.kind == Record::Kind::Broken) {
    // Cut short or not ours: no rename began under it. Its temporaries go as orphans.
    RemoveRecord(recordPath);
    return std::nullopt;
  }
  const std::vector<Replaced>& replaced = record.replaced;
  try {
    RollForward(replaced);
  } catch (const FrameworkError& error) {
    try {
      RollBack(replaced);
    } catch (const FrameworkError&) {
      throw FrameworkError("Cannot finish the replacement of files recorded in " +
                           Quoted(recordPath) + ": " + error.what());
    }
    RemoveAll(replaced, true);
  }
  SyncFolders(recordPath, replaced);
  RemoveAll(replaced, false);
  RemoveRecord(recordPath);
  return std::nullopt;
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
        if (IsTemporaryName(name, targetName, ".tmp") || IsTemporaryName(name, targetName, ".old"))
          RemoveFileIfUnused(folder + name);
      }
    }
  }
}

void RemoveLeftoverTemporaries(const std::string& folder) {
  static const std::vector<std::string_view> kOwnExtensions = {".asf",    ".wav", ".id", ".tbl",
                                                               ".source", ".idx", ".big"};
  std::string prefix = folder.empty() || folder.back() == '/' || folder.back() == '\\'
                           ? folder
                           : JoinPath(folder, "");
  for (const std::string& name : FolderNames(folder))
    if (name[0] == '.' && IsTemporaryNameOfKind(name, kOwnExtensions, {".tmp", ".old"}))
      RemoveFileIfUnused(prefix + name);
}

void ReplaceFileAside(const std::string& target, const std::function<void(File&)>& write) {
  File file = File::CreateBeside(target);
  const std::string aside = file.Path();
  try {
    write(file);
    file.Sync();
    file.Close();
    ReplaceFile(aside, target);
  } catch (...) {
    file.Release();
    RemoveFileQuietly(aside);
    throw;
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
  // A folder where a file goes is the user's: refused, never moved aside.
  for (Replacement& replacement : replacements_)
    if (IsFolderNotLink(replacement.target))
      throw FrameworkError(CannotCreateText(replacement.target, EISDIR));
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
