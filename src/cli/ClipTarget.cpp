#include "cli/ClipTarget.h"

#include "base/Files.h"
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
