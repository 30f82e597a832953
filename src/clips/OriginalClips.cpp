#include "clips/OriginalClips.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <utility>

#include "audio/AudioError.h"
#include "base/FileCommit.h"
#include "base/Paths.h"
#include "base/QuietHost.h"

namespace tessaly {

OriginalClips::OriginalClips(const UnpackFolder& folder, int entries, std::stop_token stop) {
  dataFile_ = folder.sourceData;
  if (!folder.HasSourcePair()) {
    if (folder.sourceIndex.empty())
      unusable_ = "the folder's name doesn't end in \"_\", so no pair is known for it";
    else if (folder.sourceFromNote)
      unusable_ = "there is no " + folder.sourceIndex + " and " + folder.sourceData +
                  ", the pair its note " + ExtractFileName(folder.sourceNote) + " names";
    else
      unusable_ = "there is no " + ExtractFileName(folder.sourceIndex) + " and " +
                  ExtractFileName(folder.sourceData) + " beside the folder";
    return;
  }
  QuietHost quiet(std::move(stop));
  try {
    ListingEnd end = ListArchive(folder.sourceIndex, state_, table_, quiet);
    if (end == ListingEnd::Cancelled) {
      unusable_ = "its listing was stopped";
    } else if (end != ListingEnd::Complete) {
      unusable_ = "its pair can't be listed: " + quiet.LastMessage();
    } else if (table_.RowCount() - 1 != entries) {
      unusable_ = "its pair lists " + std::to_string(table_.RowCount() - 1) +
                  " entries, its table " + std::to_string(entries);
    } else {
      streams_ = EntryStreams::InArchive(state_.dataStream, table_);
      return;
    }
  } catch (const std::exception& error) {
    unusable_ = std::string("its pair can't be read: ") + error.what();
  }
  state_.Release();
}

OriginalClips::~OriginalClips() {
  streams_.reset();
  state_.Release();
}

std::vector<uint8_t> OriginalClips::Clip(int row) const {
  if (!streams_) throw AudioError("the archive's clip can't be read: " + unusable_);
  if (row < 1 || row > streams_->Count()) throw AudioError("the archive has no such entry");
  return streams_->Bytes(row);
}

bool OriginalClips::Holds(const File& file, uint64_t length, int row) const {
  uint64_t start = 0, originalLength = 0;
  if (!streams_ || row < 1 || row > streams_->Count() ||
      !streams_->Locate(row, start, originalLength) || originalLength != length)
    return false;
  constexpr size_t kChunk = 1 << 16;
  auto a = std::make_unique<uint8_t[]>(kChunk);
  auto b = std::make_unique<uint8_t[]>(kChunk);
  try {
    for (uint64_t done = 0; done < length;) {
      size_t count = static_cast<size_t>(std::min<uint64_t>(kChunk, length - done));
      if (file.ReadAt(done, a.get(), count) != count) return false;
      if (state_.dataStream.ReadAt(start + done, b.get(), count) != count) return false;
      if (std::memcmp(a.get(), b.get(), count) != 0) return false;
      done += count;
    }
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

std::vector<int> EntriesToRevert(const UnpackFolder& folder, const EntryTable& table,
                                 const std::vector<int>& rows) {
  const int entries = table.RowCount() - 1;
  const OriginalClips originals(folder, entries);
  if (!originals.Available()) return rows;
  std::vector<int> differing;
  std::optional<Folder> entryFolder;
  try {
    entryFolder = Folder::Open(folder.path);
  } catch (const std::exception&) {
    return rows;
  }
  for (int row : rows) {
    if (row < 1 || row > entries) continue;
    const std::string name(table.Cell(kColName, row));
    try {
      const std::optional<File> present =
          IsPlainFileName(name) ? File::TryOpenRead(*entryFolder, name) : std::nullopt;
      if (present && originals.Holds(*present, present->Size(), row)) continue;
    } catch (const std::exception&) {
      // A file that can't be read is reverted too.
    }
    differing.push_back(row);
  }
  return differing;
}

RevertResult RevertEntries(const UnpackFolder& folder, const EntryTable& table,
                           const std::vector<int>& rows, OperationHost& host) {
  RevertResult result;
  const int entries = table.RowCount() - 1;
  const OriginalClips originals(folder, entries);
  if (!originals.Available()) {
    result.unusable = "the archive's clips can't be read: " + originals.Unusable();
    return result;
  }
  const Folder entryFolder = Folder::Open(folder.path);
  RemoveLeftoverTemporaries(folder.path);
  host.SetProgressMin(0);
  host.SetProgressMax(static_cast<int>(rows.size()));
  MessagePump pump(host);
  int done = 0;
  for (int row : rows) {
    host.SetProgressPosition(++done);
    pump.Poll();
    if (row < 1 || row > entries) continue;
    const std::string name(table.Cell(kColName, row));
    auto fail = [&](std::string reason) {
      result.failed.push_back({row, name, std::move(reason)});
    };
    if (!IsPlainFileName(name)) {
      fail("its name is no plain file name");
      continue;
    }
    uint64_t start = 0, length = 0;
    if (!originals.Streams().Locate(row, start, length)) {
      fail("its clip can't be located in " + ExtractFileName(originals.DataFile()));
      continue;
    }
    try {
      // A file that holds the archive's bytes already is not written again.
      if (std::optional<File> present = File::TryOpenRead(entryFolder, name)) {
        if (originals.Holds(*present, present->Size(), row)) {
          ++result.alreadyOriginal;
          continue;
        }
      }
      ReplaceFileAside(JoinPath(folder.path, name),
                       [&](File& file) { file.CopyFrom(originals.Data(), start, length, 0); });
      result.reverted.push_back({row, name});
    } catch (const std::exception& error) {
      fail(error.what());
    }
  }
  host.SetProgressPosition(0);
  return result;
}

}  // namespace tessaly
