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

namespace tessaly {

namespace {

// The source pair, listed, with its streams located; or why it can't serve.
struct SourcePair {
  ArchiveState state;
  EntryTable table;
  std::optional<EntryStreams> streams;
  std::string unusable;
};

void OpenSourcePair(const UnpackFolder& files, int entries, const std::stop_token& stop,
                    SourcePair& pair) {
  if (!files.HasSourcePair()) {
    if (files.sourceIndex.empty())
      pair.unusable = "the folder's name doesn't end in \"_\", so no pair is known for it";
    else if (files.sourceFromNote)
      pair.unusable = "there is no " + files.sourceIndex + " and " + files.sourceData +
                      ", the pair its note " + ExtractFileName(files.sourceNote) + " names";
    else
      pair.unusable = "there is no " + ExtractFileName(files.sourceIndex) + " and " +
                      ExtractFileName(files.sourceData) + " beside the folder";
    return;
  }
  QuietHost quiet(stop);
  try {
    ListingEnd end = ListArchive(files.sourceIndex, pair.state, pair.table, quiet);
    if (end != ListingEnd::Complete) {
      pair.unusable = "its pair can't be listed: " + quiet.LastMessage();
    } else if (pair.table.RowCount() - 1 != entries) {
      pair.unusable = "its pair lists " + std::to_string(pair.table.RowCount() - 1) +
                      " entries, its table " + std::to_string(entries);
    } else {
      pair.streams = EntryStreams::InArchive(pair.state.dataStream, pair.table);
      return;
    }
  } catch (const std::exception& error) {
    pair.unusable = std::string("its pair can't be read: ") + error.what();
  }
  pair.state.Release();
}

// An entry file as status sees it.
struct EntryFile {
  std::optional<File> file;
  uint64_t length = 0;
};

// True when the file's bytes equal `length` bytes of `source` at `start`.
bool SameBytes(const File& file, const File& source, uint64_t start, uint64_t length) {
  constexpr size_t kChunk = 1 << 16;
  auto a = std::make_unique<uint8_t[]>(kChunk);
  auto b = std::make_unique<uint8_t[]>(kChunk);
  for (uint64_t done = 0; done < length;) {
    size_t count = static_cast<size_t>(std::min<uint64_t>(kChunk, length - done));
    if (file.ReadAt(done, a.get(), count) != count) return false;
    if (source.ReadAt(start + done, b.get(), count) != count) return false;
    if (std::memcmp(a.get(), b.get(), count) != 0) return false;
    done += count;
  }
  return true;
}

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
  SourcePair pair;
  OpenSourcePair(files, entries, stop, pair);
  if (pair.streams)
    status.comparedWith = files.sourceData;
  else
    status.withoutPairReason = pair.unusable;

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
    if (pair.streams) original = pair.streams->Info(row);
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
    if (pair.streams) {
      uint64_t start = 0, length = 0;
      if (pair.streams->Locate(row, start, length) && length == change.length) {
        try {
          changed = !SameBytes(*file, pair.state.dataStream, start, length);
        } catch (const std::exception&) {
          // A read that fails leaves the entry counted as changed, and its problems found.
        }
      }
    } else {
      changed = !size || change.length != change.slot;
    }
    if (!changed) continue;
    change.problems =
        needProblems ? std::move(problems) : ProblemsOf(*file, change.length, original);
    status.changes.push_back(std::move(change));
  }
  host.SetProgressPosition(0);
  pair.state.Release();
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
