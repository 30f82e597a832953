#include "archive/Listing.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "archive/IndexReader.h"
#include "base/Errors.h"
#include "base/FileCommit.h"
#include "base/NameCase.h"
#include "base/Numbers.h"
#include "base/Paths.h"

namespace tessaly {

namespace {

// What one listing carries from step to step besides the table.
struct Listing {
  ArchiveState& state;
  EntryTable& table;
  OperationHost& host;
  std::string namePrefix;  // "<index base name>_"
  uint64_t entries = 0;    // r: entries reached, the one that failed its check included
  RowTexts texts{};        // the row being written, its buffer reused
  IndexReader reader{std::span<const uint8_t>()};  // over state.index, once it is read
  EntryStartReader* starts = nullptr;
  std::vector<uint8_t> startBytes{};  // read at an entry's start for `starts`
  std::stop_token stop{};
};

int ProgressValue(uint64_t value) {
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

// Derives both paths from the chosen file, taking a partner whose name differs only in case when
// the exact one is missing, and checks that both files exist, the index first.
bool FindPair(ArchiveState& state, const std::string& chosen, const InterruptedCommit& commit,
              OperationHost& host) {
  state.chosenPath = chosen;
  state.indexPath = MatchNameCase(ChangeFileExt(chosen, ".idx"));
  state.dataPath = MatchNameCase(ChangeFileExt(chosen, ".big"));
  for (const std::string* path : {&state.indexPath, &state.dataPath}) {
    if (!FileExists(commit.NewFile(*path))) {
      host.ShowMessage(MessageKind::Error, "File: " + *path + " not found.");
      return false;
    }
  }
  return true;
}

// Reads the index whole into memory and opens the data file for reading: the new files of a pack
// that was stopped while it replaced them.
void OpenPair(ArchiveState& state, const InterruptedCommit& commit, OperationHost& host) {
  state.index = IndexImage::ReadFrom(commit.NewFile(state.indexPath));
  host.Repaint();
  state.dataStream = File::OpenRead(commit.NewFile(state.dataPath));
  state.dataFileSize = state.dataStream.Size();
  state.dataSize = static_cast<uint32_t>(state.dataFileSize);
}

void WriteRow(Listing& run, int row, uint32_t blockNumber, const BlockDescriptor& descriptor,
              const BlockHeader& header, const EntrySlot& slot, uint32_t realAddress) {
  RowTexts& texts = run.texts;
  texts.Clear();
  texts.AddNumber(run.entries);
  texts.Append(run.namePrefix);  // "<prefix><number, at least 5 digits>.asf"
  texts.AppendNumber(run.entries, 5);
  texts.Add(".asf");
  texts.AddNumber(header.id);
  texts.AddNumber(blockNumber);
  texts.AddNumber(header.asfCount);
  texts.AddNumber(header.digitIndex);
  texts.AddNumber(realAddress);
  texts.AddNumber(slot.address);
  texts.AddNumber(descriptor.offset);
  texts.AddNumber(slot.posInBlock);
  texts.AddNumber(descriptor.offsetPos);
  texts.AddNumber(descriptor.blockPos);
  texts.AddNumber(header.unknwn1);
  texts.AddNumber(header.unknwn2);
  texts.AddNumber(header.unknwn3);
  texts.AddNumber(header.unknwn4);
  run.table.SetRowCount(row + 1);
  run.table.SetRow(row, texts);
}

// One block: its header, then every slot checked and written as a row. Complete, or why it
// ended before its last entry.
ListingEnd ListBlock(Listing& run, uint32_t blockNumber, uint32_t blockCount,
                     const BlockDescriptor& descriptor) {
  BlockHeader header = run.reader.ReadBlockHeader(descriptor.blockPos);
  RepaintAtFixedPoints(run.host, blockNumber, blockCount);
  for (int i = 0; i < header.asfCount; ++i) {
    if (run.stop.stop_requested()) return ListingEnd::Cancelled;
    ++run.entries;
    EntrySlot slot = run.reader.ReadSlot(header);
    run.host.SetProgressPosition(ProgressValue(run.reader.Position()));
    uint32_t realAddress = slot.address + descriptor.offset;  // wraps modulo 2^32
    if (!run.starts) {
      if (!CheckSchl(run.state, realAddress, run.host)) return ListingEnd::CheckFailed;
    } else {
      std::span<uint8_t> firstBytes(run.startBytes);
      if (!CheckSchl(run.state, realAddress, run.host, firstBytes)) return ListingEnd::CheckFailed;
      run.starts->Take(static_cast<int>(run.entries), firstBytes);
    }
    WriteRow(run, static_cast<int>(run.entries), blockNumber, descriptor, header, slot,
             realAddress);
  }
  return ListingEnd::Complete;
}

// Decodes the index and fills the table.
ListingEnd ListEntries(Listing& run) {
  run.reader = IndexReader(run.state.index.Bytes());
  run.host.SetProgressMax(ProgressValue(run.state.index.Size()));
  uint32_t blockCount = run.reader.ReadBlockCount();
  run.table.LayOutColumns();
  run.host.Repaint();
  std::vector<BlockDescriptor> descriptors = run.reader.ReadDescriptors(blockCount);
  run.host.Repaint();
  const int expectedRows = run.reader.ExpectedRows(descriptors);
  run.table.ReserveRows(expectedRows);
  if (run.starts) run.starts->Expect(expectedRows);
  for (uint32_t k = 0; k < blockCount; ++k)
    if (ListingEnd end = ListBlock(run, k, blockCount, descriptors[k]); end != ListingEnd::Complete)
      return end;
  return ListingEnd::Complete;
}

// The end of every listing that opened the pair: after the last block, a failed check or a
// truncated index alike.
void Finish(Listing& run, ToolbarAndGridDisabled& disabled) {
  const ArchiveState& state = run.state;
  uint64_t position = run.reader.Position();
  run.host.SetStatusText(
      0, ExtractFileName(state.indexPath) + " - " + ExtractFileName(state.dataPath));
  run.host.SetStatusText(1, "Asf count: " + FormatUnsigned(run.entries));
  run.host.SetStatusText(
      2, "Read " + FormatUnsigned(position) + " bytes of " + FormatUnsigned(state.index.Size()));
  disabled.Enable();
  run.host.SetProgressPosition(0);
}

}  // namespace

void ArchiveState::Release() noexcept {
  index = IndexImage();
  dataStream.Release();
  dataSize = 0;
  dataFileSize = 0;
}

bool CheckSchl(ArchiveState& state, uint32_t realAddress, OperationHost& host,
               std::span<uint8_t>& firstBytes) {
  firstBytes =
      firstBytes.first(state.dataStream.ReadAt(realAddress, firstBytes.data(), firstBytes.size()));
  if (firstBytes.size() >= 4 && std::memcmp(firstBytes.data(), "SCHl", 4) == 0) return true;
  host.ShowMessage(MessageKind::PlainError, "SCHl not found in " + FormatUnsigned(realAddress));
  return false;
}

bool CheckSchl(ArchiveState& state, uint32_t realAddress, OperationHost& host) {
  uint8_t bytes[4];
  std::span<uint8_t> firstBytes(bytes);
  return CheckSchl(state, realAddress, host, firstBytes);
}

ListingEnd ListArchive(const std::string& chosenPath, ArchiveState& state, EntryTable& table,
                       OperationHost& host, EntryStartReader* starts) {
  // Whatever an earlier operation left open is not this listing's archive.
  state.Release();
  // A pack of this pair stopped while it replaced the files is left for the next pack to finish:
  // the listing reads its new files and says so.
  const std::string commitRecord = CommitRecordPath(chosenPath);
  const std::string packedFolder = RemoveFileExt(chosenPath);
  std::vector<std::string> trusted = CommitTargetsOf(packedFolder);
  trusted.push_back(ChangeFileExt(chosenPath, ".idx"));
  trusted.push_back(ChangeFileExt(chosenPath, ".big"));
  InterruptedCommit commit;
  {
    FolderLock commits = LockCommits(commitRecord);
    commit = ReadInterruptedCommit(commitRecord, trusted);
  }
  if (!FindPair(state, chosenPath, commit, host)) return ListingEnd::FileMissing;
  if (commit.ignored) host.ShowMessage(MessageKind::Information, *commit.ignored);

  table.Reset();
  for (int panel = 0; panel < 4; ++panel) host.SetStatusText(panel, "");
  Listing run{state, table, host, RemoveFileExt(ExtractFileName(state.indexPath)) + "_"};
  run.stop = host.StopToken();
  if (starts) {
    run.starts = starts;
    run.startBytes.resize(std::max<size_t>(4, starts->BytesWanted()));
  }
  try {
    ToolbarAndGridDisabled disabled(host);
    host.Repaint();
    {
      // Both files opened while no pack replaces them: they belong to one pair.
      FolderLock commits = LockCommits(commitRecord);
      commit = ReadInterruptedCommit(commitRecord, trusted);
      OpenPair(state, commit, host);
    }
    if (commit.NewFile(state.indexPath) != state.indexPath ||
        commit.NewFile(state.dataPath) != state.dataPath)
      host.ShowMessage(MessageKind::Information,
                       "A pack of " + packedFolder +
                           " was stopped while it replaced this pair: its new files are read. "
                           "Pack that folder again to finish it.");
    ListingEnd end;
    try {
      end = ListEntries(run);
    } catch (const IndexRangeError& e) {
      host.ShowMessage(MessageKind::Error,
                       "Index file " + state.indexPath + " is cut short: the structure at " +
                           FormatUnsigned(e.Position()) + " runs past its end.");
      end = ListingEnd::IndexTruncated;
    }
    Finish(run, disabled);
    return end;
  } catch (...) {
    state.Release();
    throw;
  }
}

}  // namespace tessaly
