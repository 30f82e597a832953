#include "clips/FolderStatus.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>

#include "archive/Listing.h"
#include "audio/ClipInfo.h"
#include "base/Files.h"
#include "base/Numbers.h"
#include "base/Paths.h"
#include "base/QuietHost.h"
#include "clips/EntryStreams.h"
#include "clips/OriginalClips.h"

namespace tessaly {

namespace {

// An entry file as status sees it.
struct EntryFile {
  std::optional<File> file;
  uint64_t length = 0;
};

// What stands in the way of packing the file in place of the clip `original` describes.
std::vector<std::string> ProblemsOf(const File& file, uint64_t length,
                                    const std::optional<ClipInfo>& original) {
  uint8_t tag[4] = {};
  if (length < 4 || file.ReadAt(0, tag, 4) != 4 || std::memcmp(tag, "SCHl", 4) != 0)
    return {"not a stream: it doesn't begin with \"SCHl\""};
  ClipInfo info = ReadClipInfo(file, 0, length);
  // A clip whose own header can't be read is of a kind this program doesn't know: its
  // replacement can't be judged against it, and is let through.
  bool originalKnown = original && original->readable;
  if (!info.readable && (originalKnown || !original)) return {"header unreadable: " + info.reason};
  std::vector<std::string> problems;
  if (!info.readable || !originalKnown) return problems;
  if (info.codecId != original->codecId || info.codecName != original->codecName)
    problems.push_back("another codec: " + info.codecName + ", the clip it replaces is " +
                       original->codecName);
  if (info.sampleRate != original->sampleRate)
    problems.push_back("another sample rate: " + std::to_string(info.sampleRate) +
                       " Hz, the clip it replaces has " + std::to_string(original->sampleRate) +
                       " Hz");
  if (info.channels != original->channels)
    problems.push_back("another channel count: " + std::to_string(info.channels) +
                       ", the clip it replaces has " + std::to_string(original->channels));
  return problems;
}

}  // namespace

bool FolderStatus::HasProblems() const {
  return std::any_of(changes.begin(), changes.end(), [](const EntryChange& change) {
    return change.missing || !change.problems.empty();
  });
}

FolderStatus CheckFolderStatus(const UnpackFolder& files, const EntryTable& table,
                               StatusDepth depth, OperationHost& host) {
  FolderStatus status;
  const int entries = table.RowCount() - 1;
  const std::stop_token stop = host.StopToken();
  const OriginalClips pair(files, entries, stop);
  if (pair.Available())
    status.comparedWith = files.sourceData;
  else
    status.withoutPairReason = pair.Unusable();

  Folder folder = Folder::Open(files.path);
  host.SetProgressMin(0);
  host.SetProgressMax(entries);
  MessagePump pump(host);
  for (int row = 1; row <= entries; ++row) {
    if (stop.stop_requested()) {
      status.cancelled = true;
      break;
    }
    if (row % 256 == 0 || row == entries) {
      host.SetProgressPosition(row);
      pump.Poll();
    }
    EntryChange change;
    change.row = row;
    change.name = std::string(table.Cell(kColName, row));
    std::optional<int32_t> size = TryParseInt32(table.Cell(kColSize, row));
    change.slot = size ? static_cast<uint32_t>(*size) : 0;
    std::optional<File> file;
    if (IsPlainFileName(change.name)) {
      try {
        file = File::TryOpenRead(folder, change.name);
      } catch (const std::exception& error) {
        change.problems.push_back(error.what());
        status.changes.push_back(std::move(change));
        continue;
      }
    }
    if (!file) {
      change.missing = true;
      change.problems.push_back("missing: there is no file of that name in the folder");
      status.changes.push_back(std::move(change));
      continue;
    }
    change.length = file->Size();
    change.longerThanSlot = !size || change.length > change.slot;

    std::optional<ClipInfo> original;
    if (pair.Available()) original = pair.Streams().Info(row);
    // Problems are cheap to find (a header each); telling an unchanged file from a changed one
    // of the same length reads both whole, so a pack's check does that only for files that
    // would be refused.
    std::vector<std::string> problems;
    bool needProblems = depth == StatusDepth::kProblemsOnly;
    if (needProblems) {
      problems = ProblemsOf(*file, change.length, original);
      if (problems.empty()) continue;
    }
    bool changed = true;
    if (pair.Available()) {
      // A read that fails leaves the entry counted as changed, and its problems found.
      changed = !pair.Holds(*file, change.length, row);
    } else {
      changed = !size || change.length != change.slot;
    }
    if (!changed) continue;
    change.problems =
        needProblems ? std::move(problems) : ProblemsOf(*file, change.length, original);
    status.changes.push_back(std::move(change));
  }
  host.SetProgressPosition(0);
  return status;
}

namespace {

// The entry files of `folder` that are present and changed (with a problem when `problemsOnly`),
// in table order; none when the folder has no readable table or can't be read. The window is
// disabled while the entries are read.
std::vector<EntryChange> PresentChanges(const UnpackFolder& folder, StatusDepth depth,
                                        OperationHost& host) {
  if (!folder.HasTableAndIndexCopy()) return {};
  FolderStatus status;
  try {
    const EntryTable table = LoadFolderTable(folder);
    WindowDisabled disabled(host);
    status = CheckFolderStatus(folder, table, depth, host);
  } catch (const std::exception&) {
    return {};
  }
  if (status.cancelled) return {};
  const bool problemsOnly = depth == StatusDepth::kProblemsOnly;
  std::vector<EntryChange> listed;
  for (EntryChange& change : status.changes)
    if (!change.missing && (!problemsOnly || !change.problems.empty()))
      listed.push_back(std::move(change));
  return listed;
}

}  // namespace

std::vector<EntryChange> ReplacedEntryProblems(const UnpackFolder& folder, OperationHost& host) {
  return PresentChanges(folder, StatusDepth::kProblemsOnly, host);
}

std::vector<EntryChange> ChangedEntries(const UnpackFolder& folder, OperationHost& host) {
  return PresentChanges(folder, StatusDepth::kAllChanges, host);
}

std::vector<EntryChange> ChangedEntriesBeforeUnpack(const std::string& chosenPath,
                                                    const std::string& into, OperationHost& host) {
  const UnpackFolder target = UnpackFolder::OfArchive(chosenPath, into);
  UnpackFolder folder = UnpackFolder::ToRead(target.path);
  // A name with a dot (a.b.idx -> a.b_) gives the folder's files other names than a pack of it
  // looks for: those the unpack writes are the ones there.
  if (!folder.HasTableAndIndexCopy()) {
    folder.tableFile = target.tableFile;
    folder.indexCopy = target.indexCopy;
  }
  if (!folder.HasSourcePair()) {
    folder.sourceIndex = target.sourceIndex;
    folder.sourceData = target.sourceData;
  }
  return ChangedEntries(folder, host);
}

}  // namespace tessaly
