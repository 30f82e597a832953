#include "packing/Packing.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "archive/IndexImage.h"
#include "base/Files.h"
#include "base/Numbers.h"
#include "base/Paths.h"
#include "base/WriteBehind.h"
#include "packing/Growth.h"
#include "packing/TableFile.h"

namespace tessaly {

namespace {

// Replacements written beside their targets and renamed over them only on Commit; whatever
// hasn't been committed is removed on every way out.
class AsideFiles {
 public:
  AsideFiles() = default;
  AsideFiles(const AsideFiles&) = delete;
  AsideFiles& operator=(const AsideFiles&) = delete;
  ~AsideFiles() {
    for (const auto& file : files_) RemoveFileQuietly(file.temporary);
  }

  File Create(const std::string& target) {
    File file = File::CreateBeside(target);
    files_.push_back({file.Path(), target});
    return file;
  }
  // Writes `bytes` to a new replacement of `target`, stored on the device.
  void Write(const std::string& target, const std::vector<uint8_t>& bytes) {
    File file = Create(target);
    file.WriteAt(0, bytes.data(), bytes.size());
    file.Sync();
    file.Close();
  }
  void Commit() {
    while (!files_.empty()) {
      ReplaceFile(files_.front().temporary, files_.front().target);
      files_.erase(files_.begin());
    }
  }
  // Removes the replacements now, before a message is shown.
  void Discard() {
    for (const auto& file : files_) RemoveFileQuietly(file.temporary);
    files_.clear();
  }

 private:
  struct Aside {
    std::string temporary, target;
  };
  std::vector<Aside> files_;
};

struct PackPaths {
  std::string tableFile, indexCopy, dataFile, indexFile;
};

// X is the folder's last component; the pack name is X with its extension replaced; the new pair
// goes into the folder that holds F.
PackPaths PathsFor(const std::string& folder) {
  std::string x = ExtractFileName(folder);
  std::string parent = ExtractFilePath(folder);
  return {JoinPath(folder, ChangeFileExt(x, ".tbl")), JoinPath(folder, ChangeFileExt(x, ".id")),
          parent + ChangeFileExt(x, ".big"), parent + ChangeFileExt(x, ".idx")};
}

// What is written for an entry: never less than its recorded size; a longer file is padded to
// whole 256-byte units.
uint64_t StoredLength(uint64_t fileLength, uint32_t size) {
  if (fileLength <= size) return size;
  return (fileLength + 255) / 256 * 256;
}

}  // namespace

PackResult Pack(EntryTable& table, OperationHost& host) {
  PackResult result;
  std::optional<std::string> chosen = host.PickFolder();
  if (!chosen) return result;
  const std::string& folder = result.folder = *chosen;
  PackPaths paths = PathsFor(folder);
  result.indexPath = paths.indexFile;
  result.dataPath = paths.dataFile;
  if (folder.empty() || !FileExists(paths.tableFile) || !FileExists(paths.indexCopy)) {
    host.ShowMessage(MessageKind::Information, "Resource files not found in " + folder);
    result.end = PackEnd::ResourcesMissing;
    return result;
  }

  WindowDisabled disabled(host);
  table.Reset();
  host.Repaint();
  IndexImage image = IndexImage::ReadFrom(paths.indexCopy);
  AsideFiles aside;
  File data = aside.Create(paths.dataFile);
  if (image.Empty()) {
    disabled.Enable();
    data.Release();
    aside.Discard();
    result.end = PackEnd::EmptyIndex;
    return result;
  }

  MessagePump pump(host);
  LoadTableFile(table, paths.tableFile, &pump);
  const int rows = table.RowCount();
  host.SetProgressMin(1);
  host.SetProgressMax(rows - 1);

  // Ends the pack with nothing written: the table reset, the window usable, then the message.
  auto stop = [&](PackEnd end, MessageKind kind, const std::string& text) {
    table.Reset();
    disabled.Enable();
    data.Release();
    aside.Discard();
    host.ShowMessage(kind, text);
    result.end = end;
    return result;
  };

  if (auto refused = CheckTableBeforePacking(table))
    return stop(PackEnd::Refused, MessageKind::Error, *refused);

  EntryMover mover(table, image);
  Folder entries = Folder::Open(folder);
  // The data file goes to the device while later entries are copied, not all at the end.
  WriteBehind writeBehind(data);
  // The new data file starts empty, so bytes past everything written to it read as zeros: padding
  // there needs no writing, only the file's length is set at the end.
  uint64_t writtenEnd = 0, dataEnd = 0;
  try {
    for (int i = 1; i < rows; ++i) {
      host.SetProgressPosition(i);
      RepaintAtFixedPoints(host, static_cast<uint64_t>(i), static_cast<uint64_t>(rows));
      std::optional<File> opened = File::TryOpenRead(entries, table.Cell(kColName, i));
      if (!opened)
        return stop(PackEnd::EntryMissing, MessageKind::Information,
                    "File not found " + JoinPath(folder, table.Cell(kColName, i)));
      mover.CatchUp(i);
      uint32_t realAddress = ParseUInt32Cell(table.Cell(kColRealAddress, i));
      uint32_t size = ParseUInt32Cell(table.Cell(kColSize, i));
      File& entry = *opened;
      const std::string& entryPath = entry.Path();
      uint64_t length = entry.Size();
      uint64_t stored = StoredLength(length, size);
      if (stored >= kDataLimit)
        return stop(PackEnd::Refused, MessageKind::Error,
                    refusal::EntryTooLarge(entryPath, stored));
      if (stored > size) {
        auto growth = static_cast<uint32_t>(stored - size);
        GrowthOutcome moved = mover.Grow(i, realAddress, growth);
        if (moved.end == GrowthEnd::IntError) {
          // The table keeps the moves made so far; the message comes before the window is usable.
          host.ShowMessage(MessageKind::Error, "Alarm! Int error.");
          disabled.Enable();
          data.Release();
          aside.Discard();
          result.end = PackEnd::IntError;
          return result;
        }
        if (moved.end == GrowthEnd::Refused)
          return stop(PackEnd::Refused, MessageKind::Error, moved.refusal);
        table.SetCell(kColSize, i, FormatUnsigned(stored));
      }
      pump.Poll();
      data.CopyFrom(entry, 0, length, realAddress);
      uint64_t paddingStart = realAddress + length, end = realAddress + stored;
      bool overwrites = paddingStart < writtenEnd;
      if (overwrites) data.WriteZerosAt(paddingStart, stored - length);
      writtenEnd = std::max(writtenEnd, overwrites ? end : paddingStart);
      dataEnd = std::max(dataEnd, end);
      writeBehind.WrittenUpTo(end);
    }
  } catch (...) {
    // A framework error ends the pack keeping the table as it stands, every move made so far shown.
    mover.CatchUpAll();
    throw;
  }
  mover.Finish();

  data.ExtendTo(dataEnd);
  data.Sync();
  data.Close();
  aside.Write(paths.indexFile, image.Bytes());
  aside.Write(paths.indexCopy, image.Bytes());
  File tableFile = aside.Create(paths.tableFile);
  SaveTableFile(table, tableFile);
  tableFile.Sync();
  tableFile.Close();
  aside.Commit();

  disabled.Enable();
  host.Repaint();
  host.ShowMessage(MessageKind::Information,
                   "Successfully saved to " + paths.indexFile + "\r\nand " + paths.dataFile);
  host.SetProgressPosition(0);
  result.end = PackEnd::Success;
  return result;
}

}  // namespace tessaly
