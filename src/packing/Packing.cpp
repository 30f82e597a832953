#include "packing/Packing.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "archive/IndexImage.h"
#include "base/Errors.h"
#include "base/FileCommit.h"
#include "base/Files.h"
#include "base/Numbers.h"
#include "base/Paths.h"
#include "base/WriteBehind.h"
#include "packing/FolderAccess.h"
#include "packing/Growth.h"
#include "packing/IndexCopyCheck.h"
#include "packing/TableFile.h"
#include "packing/UnpackFolder.h"

namespace tessaly {

namespace {

// The four outputs of a pack of `folder`, replaced together.
std::vector<std::string> Outputs(const UnpackFolder& folder) {
  return {folder.packedData, folder.packedIndex, folder.indexCopy, folder.tableFile};
}

// What one pack carries from step to step besides the table.
struct PackRun {
  EntryTable& table;
  OperationHost& host;
  const UnpackFolder& folder;
  FolderLock& folderLock;
  IndexImage image;
  // The new pair, and the folder's index copy and table file when the pair lies beside the folder.
  FileCommit outputs;
  // The folder's index copy and table file when the pair goes elsewhere: a record names files of
  // one folder and the one below it, so those are put in place after the pair, under the folder's
  // own record.
  std::optional<FileCommit> folderOutputs;
  int rows = 0;

  FileCommit& FolderFiles() { return folderOutputs ? *folderOutputs : outputs; }
};

// A pack that ends before its commit, and what it shows.
struct PackStop {
  PackEnd end;
  MessageKind kind;
  std::string text;
};

// The new data file as the entries are copied into it. It starts empty, so bytes past
// everything written to it read as zeros: padding there needs no writing, only the file's length
// is set at the end.
struct DataFileWriter {
  File& file;
  uint64_t writtenEnd = 0, dataEnd = 0;
};

// What is written for an entry: never less than its recorded size; a longer file is padded to
// whole 256-byte units.
uint64_t StoredLength(uint64_t fileLength, uint32_t size) {
  if (fileLength <= size) return size;
  return (fileLength + 255) / 256 * 256;
}

// The refusals that need no entry file: a table that can't be packed safely, or one that doesn't
// describe the index copy beside it.
std::optional<PackStop> CheckFolder(const PackRun& run) {
  std::optional<std::string> refused = CheckTableBeforePacking(run.table);
  if (!refused) refused = CheckTableAgainstIndexCopy(run.table, run.image);
  if (!refused) return std::nullopt;
  return PackStop{PackEnd::Refused, MessageKind::Error, *refused};
}

// Row `row`: its entry file, padded, at its Real Address; later entries move when it grew.
std::optional<PackStop> CopyEntry(PackRun& run, int row, const Folder& entries, EntryMover& mover,
                                  DataFileWriter& data) {
  EntryTable& table = run.table;
  std::optional<File> opened = File::TryOpenRead(entries, table.Cell(kColName, row));
  if (!opened)
    return PackStop{PackEnd::EntryMissing, MessageKind::Information,
                    "File not found " + JoinPath(run.folder.path, table.Cell(kColName, row))};
  mover.CatchUp(row);
  uint32_t realAddress = ParseUInt32Cell(table.Cell(kColRealAddress, row));
  uint32_t size = ParseUInt32Cell(table.Cell(kColSize, row));
  const File& entry = *opened;
  uint64_t length = entry.Size();
  uint64_t stored = StoredLength(length, size);
  if (stored >= kDataLimit)
    return PackStop{PackEnd::Refused, MessageKind::Error,
                    refusal::EntryTooLarge(entry.Path(), stored)};
  if (stored > size) {
    GrowthOutcome moved = mover.Grow(row, realAddress, static_cast<uint32_t>(stored - size));
    if (moved.end == GrowthEnd::IntError)
      return PackStop{PackEnd::IntError, MessageKind::Error, "Alarm! Int error."};
    if (moved.end == GrowthEnd::Refused)
      return PackStop{PackEnd::Refused, MessageKind::Error, moved.refusal};
    table.SetCell(kColSize, row, FormatUnsigned(stored));
  }
  data.file.CopyFrom(entry, 0, length, realAddress);
  uint64_t paddingStart = realAddress + length, end = realAddress + stored;
  bool overwrites = paddingStart < data.writtenEnd;
  if (overwrites) data.file.WriteZerosAt(paddingStart, stored - length);
  data.writtenEnd = std::max(data.writtenEnd, overwrites ? end : paddingStart);
  data.dataEnd = std::max(data.dataEnd, end);
  return std::nullopt;
}

// The user's stop: the outputs written aside are removed, nothing else was touched.
PackStop Cancelled() {
  return PackStop{PackEnd::Cancelled, MessageKind::Information,
                  "Pack stopped: nothing was written. The folder and the pair beside it are as "
                  "they were."};
}

// The copy loop: every row in table order into a new data file written aside. The entry folder,
// the data file and its write-behind descriptor are all closed when it returns.
std::optional<PackStop> CopyEntries(PackRun& run, MessagePump& pump) {
  const std::stop_token stop = run.host.StopToken();
  DataFileWriter data{run.outputs.Create(run.folder.packedData)};
  EntryMover mover(run.table, run.image);
  Folder entries = Folder::Open(run.folder.path);
  {
    // The data file goes to the device while later entries are copied, not all at the end.
    WriteBehind writeBehind(data.file);
    try {
      for (int i = 1; i < run.rows; ++i) {
        if (stop.stop_requested()) return Cancelled();
        run.host.SetProgressPosition(i);
        RepaintAtFixedPoints(run.host, static_cast<uint64_t>(i), static_cast<uint64_t>(run.rows));
        if (auto ended = CopyEntry(run, i, entries, mover, data)) return ended;
        pump.Poll();
        writeBehind.WrittenUpTo(data.dataEnd);
      }
    } catch (...) {
      // A framework error ends the pack keeping the table as it stands, every move made so far
      // shown.
      mover.CatchUpAll();
      throw;
    }
  }
  mover.Finish();
  data.file.ExtendTo(data.dataEnd);
  data.file.Sync();
  data.file.Close();
  // Asked to stop while the last entries went to the device: still nothing is in place.
  if (stop.stop_requested()) return Cancelled();
  return std::nullopt;
}

// The new index file, the folder's index copy and table file, and the data file, put in place as
// one. A pair written elsewhere goes first; should the folder's files then fail, a pack stopped
// there leaves the folder describing the pair before: packing it again writes the same pair and
// brings them up to date.
void Commit(PackRun& run) {
  const std::vector<uint8_t>& index = run.image.Bytes();
  run.outputs.Write(run.folder.packedIndex, index.data(), index.size());
  FileCommit& folderFiles = run.FolderFiles();
  folderFiles.Write(run.folder.indexCopy, index.data(), index.size());
  SaveTableFile(run.table, folderFiles.Create(run.folder.tableFile));
  run.outputs.Commit();
  if (!run.folderOutputs) return;
  try {
    run.folderOutputs->Commit();
  } catch (const FrameworkError& error) {
    throw FrameworkError(std::string(error.what()) + ". The new pair " + run.folder.packedIndex +
                         " is in place; pack the folder again to update its table");
  }
}

// A pack that stops before its commit writes nothing. The Int error is shown while the window is
// still disabled and keeps the table's moves; every other stop empties the table and shows its
// message once the window is usable again.
PackEnd Stop(PackRun& run, WindowDisabled& disabled, const PackStop& stop) {
  run.outputs.Discard();
  if (run.folderOutputs) run.folderOutputs->Discard();
  run.folderLock.Release();
  if (stop.end == PackEnd::IntError) {
    run.host.ShowMessage(stop.kind, stop.text);
    disabled.Enable();
    return stop.end;
  }
  run.table.Reset();
  disabled.Enable();
  run.host.ShowMessage(stop.kind, stop.text);
  // A stop is no failure to look into: the bar doesn't keep its position.
  if (stop.end == PackEnd::Cancelled) run.host.SetProgressPosition(0);
  return stop.end;
}

}  // namespace

PackResult Pack(const std::string& chosenFolder, EntryTable& table, OperationHost& host,
                const std::string& into) {
  PackResult result;
  result.folder = chosenFolder;
  UnpackFolder folder = UnpackFolder::Chosen(chosenFolder);
  if (!into.empty()) folder.PackInto(into);
  const bool elsewhere = folder.PacksElsewhere();
  result.indexPath = folder.packedIndex;
  result.dataPath = folder.packedData;
  FolderLock folderLock;
  // A root folder ("/", "C:\\") has no name to pack to, and no resource files named after it.
  const bool named = !ExtractFileName(result.folder).empty();
  if (named) {
    folderLock = TakeFolder(result.folder);
    if (std::optional<std::string> ignored = CleanUpInterrupted(result.folder, Outputs(folder)))
      host.ShowMessage(MessageKind::Information, *ignored);
    RemoveLeftoverTemporaries(result.folder);
  }
  if (!named || !folder.HasTableAndIndexCopy()) {
    folderLock.Release();
    host.ShowMessage(MessageKind::Information, "Resource files not found in " + result.folder);
    result.end = PackEnd::ResourcesMissing;
    return result;
  }
  if (!into.empty())
    if (std::optional<std::string> problem = PrepareFolderForWriting(into))
      throw FrameworkError(*problem);
  // A pair packed elsewhere is committed under a record beside it, as a pack beside its folder
  // would be.
  if (elsewhere)
    if (std::optional<std::string> ignored = CleanUpInterrupted(
            RemoveFileExt(folder.packedIndex), {folder.packedData, folder.packedIndex}))
      host.ShowMessage(MessageKind::Information, *ignored);

  WindowDisabled disabled(host);
  table.Reset();
  host.Repaint();
  PackRun run{table,
              host,
              folder,
              folderLock,
              IndexImage::ReadFrom(folder.indexCopy),
              FileCommit(CommitRecordPath(elsewhere ? folder.packedIndex : result.folder)),
              {}};
  if (elsewhere) run.folderOutputs.emplace(CommitRecordPath(result.folder));
  if (run.image.Empty()) {
    disabled.Enable();
    result.end = PackEnd::EmptyIndex;
    return result;
  }

  MessagePump pump(host);
  LoadFolderTable(folder, table, &pump);
  run.rows = table.RowCount();
  host.SetProgressMin(1);
  host.SetProgressMax(run.rows - 1);
  std::optional<PackStop> stop = CheckFolder(run);
  if (!stop) stop = CopyEntries(run, pump);
  if (stop) {
    result.end = Stop(run, disabled, *stop);
    return result;
  }
  Commit(run);
  folderLock.Release();

  disabled.Enable();
  host.Repaint();
  host.ShowMessage(MessageKind::Success,
                   "Successfully saved to " + folder.packedIndex + "\r\nand " + folder.packedData);
  host.SetProgressPosition(0);
  result.end = PackEnd::Success;
  return result;
}

}  // namespace tessaly
