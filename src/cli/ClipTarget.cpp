#include "cli/ClipTarget.h"

#include "base/Files.h"
#include "base/Paths.h"
#include "cli/Mistakes.h"
#include "packing/UnpackFolder.h"

namespace tessaly::cli {

bool LoadUnpackFolderTable(TerminalHost& host, const std::string& folder, EntryTable& table) {
  const UnpackFolder files = UnpackFolder::ToRead(folder);
  if (!files.HasTableAndIndexCopy()) {
    host.ShowMessage(MessageKind::Information, "Resource files not found in " + folder);
    return false;
  }
  LoadFolderTable(files, table);
  if (!files.interrupted.empty()) host.ShowMessage(MessageKind::Information, files.interrupted);
  return true;
}

bool OpenClipTarget(TerminalHost& host, const std::string& path, ClipTarget& target,
                    bool withHeaders) {
  // A single clip file: a table of one entry, read from its folder.
  if (IsClipFileName(path) && FileExists(path)) {
    target.table.SetColumnCount(kEntryColumnCount);
    target.table.SetRowCount(2);
    target.table.SetCell(kColNumber, 1, "1");
    target.table.SetCell(kColName, 1, ExtractFileName(path));
    std::string folder = ExtractFilePath(path);
    if (folder.size() > 1 && IsFolderDelimiter(folder.back())) folder.pop_back();
    target.streams = EntryStreams::InFolder(folder, target.table);
    target.complete = true;
    return true;
  }
  if (FolderExists(path)) {
    if (!LoadUnpackFolderTable(host, path, target.table)) return false;
    target.streams = EntryStreams::InFolder(path, target.table);
    target.complete = true;
    return true;
  }
  ListedHeaders headers;
  ListingEnd end =
      ListArchive(path, target.state, target.table, host, withHeaders ? &headers : nullptr);
  if (!target.state.IsOpen()) return false;
  target.streams = EntryStreams::InArchive(target.state.dataStream, target.table, &headers);
  target.complete = end == ListingEnd::Complete;
  return true;
}

}  // namespace tessaly::cli
