#include "cli/ClipTarget.h"

#include "base/Files.h"
#include "clips/UnpackFolderFiles.h"

namespace tessaly::cli {

bool OpenClipTarget(TerminalHost& host, ClipTarget& target) {
  std::string path = host.PickFolder().value_or("");
  if (FolderExists(path)) {
    target.table = LoadFolderTable(FilesOfUnpackFolder(path));
    target.streams = EntryStreams::InFolder(path, target.table);
    target.complete = true;
    return true;
  }
  ListingEnd end = ListArchive(target.state, target.table, host);
  if (!target.state.IsOpen()) return false;
  target.streams = EntryStreams::InArchive(target.state.dataStream, target.table);
  target.complete = end == ListingEnd::Complete;
  return true;
}

}  // namespace tessaly::cli
