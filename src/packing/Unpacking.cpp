#include "packing/Unpacking.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "base/Errors.h"
#include "base/FileCommit.h"
#include "base/Files.h"
#include "base/Numbers.h"
#include "base/Paths.h"
#include "packing/FolderAccess.h"
#include "packing/TableFile.h"
#include "packing/UnpackFolder.h"

namespace tessaly {

namespace {

// Releases the archive that the listing opened, on every way out of Unpack.
class ArchiveReleased {
 public:
  explicit ArchiveReleased(ArchiveState& state) : state_(state) {}
  ArchiveReleased(const ArchiveReleased&) = delete;
  ArchiveReleased& operator=(const ArchiveReleased&) = delete;
  ~ArchiveReleased() { state_.Release(); }

 private:
  ArchiveState& state_;
};

bool IsControlCharacter(char c) {
  return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

// The table file keeps one row per line, so a name with a line break (or any control character)
// would unpack into a folder that can't be packed. The text says so, the character shown as "?".
std::optional<std::string> RefuseName(const std::string& chosenPath) {
  std::string name = ExtractFileName(chosenPath);
  if (std::none_of(name.begin(), name.end(), IsControlCharacter)) return std::nullopt;
  std::replace_if(name.begin(), name.end(), IsControlCharacter, '?');
  return "Cannot unpack " + name +
         ": its name holds a control character, which the table file can't store. Rename the "
         "pair and unpack it again.";
}

// The sizes don't add up: nothing is written, the table is emptied.
void ReportSizeMismatch(ArchiveState& state, EntryTable& table, OperationHost& host,
                        WindowDisabled& disabled) {
  disabled.Enable();
  table.Reset();
  host.Repaint();
  state.Release();
  host.ShowMessage(MessageKind::Information, "Error with filesize extracting.");
}

// Every row's stream into its own file. Each is copied by the file layer with bounded memory,
// so a stream of any size unpacks. It is written aside and renamed over the entry file: a stop
// or a failure leaves every entry file old or new (a clip imported there stays whole), and a
// link at an entry's name is replaced, never written through. The entry files named in `keep`
// stay as they are. Returns how many rows were done: fewer than the rows when the host's stop was
// set.
int ExtractEntries(const ArchiveState& state, const EntryTable& table, const std::string& folder,
                   const std::vector<std::string>& keep, OperationHost& host) {
  MessagePump pump(host);
  const std::stop_token stop = host.StopToken();
  int rows = table.RowCount();
  for (int r = 1; r < rows; ++r) {
    if (stop.stop_requested()) return r - 1;
    RepaintAtFixedPoints(host, static_cast<uint64_t>(r), static_cast<uint64_t>(rows));
    std::string_view name = table.Cell(kColName, r);
    pump.Poll();
    if (std::find(keep.begin(), keep.end(), name) != keep.end()) {
      host.SetProgressPosition(r);
      continue;
    }
    uint32_t start = ParseUInt32Cell(table.Cell(kColRealAddress, r));
    uint32_t size = ParseUInt32Cell(table.Cell(kColSize, r));
    host.Repaint();
    pump.Poll();
    host.SetProgressPosition(r);
    const std::string path = JoinPath(folder, name);
    File entry = File::CreateBeside(path);
    try {
      entry.CopyFrom(state.dataStream, start, size, 0);
      entry.Close();
      ReplaceFile(entry.Path(), path);
    } catch (...) {
      entry.Release();
      RemoveFileQuietly(entry.Path());
      throw;
    }
  }
  return rows - 1;
}

// Stopped by the user: says what was written, once the window is usable again.
void ReportCancelled(const UnpackResult& result, int entries, ArchiveState& state,
                     OperationHost& host, WindowDisabled* disabled) {
  if (disabled) disabled->Enable();
  state.Release();
  host.ShowMessage(MessageKind::Information,
                   result.written == 0 && result.folder.empty()
                       ? std::string("Unpack stopped: no file was written.")
                       : "Unpack stopped: " + std::to_string(result.written) + " of " +
                             std::to_string(entries) + " entry files were written to " +
                             result.folder + ". The index copy and the table file were not.");
  host.SetProgressPosition(0);
}

}  // namespace

uint32_t ComputeSizes(EntryTable& table, uint64_t dataFileSize, OperationHost& host) {
  int rows = table.RowCount();
  host.SetProgressMin(1);
  host.SetProgressMax(rows - 1);
  uint32_t sum = 0;
  for (int r = 1; r < rows; ++r) {
    RepaintAtFixedPoints(host, static_cast<uint64_t>(r), static_cast<uint64_t>(rows));
    uint32_t start = ParseUInt32Cell(table.Cell(kColRealAddress, r));
    uint32_t next = r == rows - 1 ? static_cast<uint32_t>(dataFileSize)
                                  : ParseUInt32Cell(table.Cell(kColRealAddress, r + 1));
    uint32_t size = next - start;  // modulo 2^32
    sum += size;
    table.SetCell(kColSize, r, DecimalDigits(size).View());
    host.SetProgressPosition(r);
  }
  return sum;
}

UnpackResult Unpack(const std::string& chosenPath, ArchiveState& state, EntryTable& table,
                    OperationHost& host, const UnpackOptions& options) {
  UnpackResult result;
  host.UpdatePainting();
  result.listing = ListArchive(chosenPath, state, table, host);
  host.UpdatePainting();
  if (!state.IsOpen()) return result;

  ArchiveReleased released(state);
  if (result.listing == ListingEnd::Cancelled) {
    ReportCancelled(result, 0, state, host, nullptr);
    result.end = UnpackEnd::Cancelled;
    return result;
  }
  if (state.dataSize == 0 || state.index.Empty()) {
    result.end = UnpackEnd::NothingToDo;
    return result;
  }
  // The index is known to be corrupt: no folder of its streams is made from it.
  if (result.listing == ListingEnd::IndexTruncated) {
    result.end = UnpackEnd::Stopped;
    return result;
  }

  if (std::optional<std::string> refused = RefuseName(state.chosenPath)) {
    state.Release();
    host.ShowMessage(MessageKind::Error, *refused);
    result.end = UnpackEnd::Refused;
    return result;
  }

  if (!options.into.empty())
    if (std::optional<std::string> problem = PrepareFolderForWriting(options.into))
      throw FrameworkError(*problem);
  WindowDisabled disabled(host);
  const UnpackFolder folder = UnpackFolder::OfArchive(state.chosenPath, options.into);
  result.folder = folder.path;
  // An existing folder is used as it is; one that can't be made shows when its first file is.
  CreateFolder(result.folder);
  uint32_t sum = ComputeSizes(table, state.dataFileSize, host);
  if (sum != state.dataFileSize) {
    ReportSizeMismatch(state, table, host, disabled);
    result.end = UnpackEnd::SizeMismatch;
    return result;
  }
  const std::string record = CommitRecordPath(folder.path);
  FolderLock folderLock = TakeFolder(folder.path);
  if (std::optional<std::string> ignored =
          CleanUpInterrupted(folder.path, {folder.indexCopy, folder.tableFile, folder.sourceNote}))
    host.ShowMessage(MessageKind::Information, *ignored);
  RemoveLeftoverTemporaries(folder.path);
  host.SetProgressPosition(0);
  host.UpdatePainting();
  result.written = ExtractEntries(state, table, result.folder, options.keep, host);
  if (result.written < table.RowCount() - 1) {
    folderLock.Release();
    ReportCancelled(result, table.RowCount() - 1, state, host, &disabled);
    result.end = UnpackEnd::Cancelled;
    return result;
  }
  disabled.Enable();

  // The index copy, the table file and the source note are replaced together: a folder never
  // holds them from different runs.
  FileCommit outputs(record);
  const std::vector<uint8_t>& index = state.index.Bytes();
  outputs.Write(folder.indexCopy, index.data(), index.size());
  SaveTableFile(table, outputs.Create(folder.tableFile));
  if (folder.NeedsSourceNote()) {
    const std::string note = folder.sourceIndex + "\n";
    outputs.Write(folder.sourceNote, note.data(), note.size());
  }
  outputs.Commit();
  folderLock.Release();
  host.ShowMessage(MessageKind::Success, "Successfully extracted to " + result.folder);
  state.Release();
  host.SetProgressPosition(0);
  result.end = UnpackEnd::Success;
  return result;
}

}  // namespace tessaly
