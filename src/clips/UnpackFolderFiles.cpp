#include "clips/UnpackFolderFiles.h"

#include "base/Errors.h"
#include "base/FileCommit.h"
#include "base/Files.h"
#include "base/Paths.h"
#include "packing/TableFile.h"

namespace tessaly {

bool UnpackFolderFiles::HasTableAndIndexCopy() const {
  return FileExists(tableFile) && FileExists(indexCopy);
}

bool UnpackFolderFiles::HasSourcePair() const {
  return !sourceIndex.empty() && FileExists(sourceIndex) && FileExists(sourceData);
}

UnpackFolderFiles FilesOfUnpackFolder(const std::string& folder) {
  UnpackFolderFiles files;
  files.folder = folder;
  std::string name = ExtractFileName(folder);
  files.tableFile = JoinPath(folder, ChangeFileExt(name, ".tbl"));
  files.indexCopy = JoinPath(folder, ChangeFileExt(name, ".id"));
  if (!name.empty()) {
    // Read as they are, finished by the next unpack or pack of the folder.
    std::vector<std::string> trusted = CommitTargetsOf(folder);
    trusted.push_back(files.tableFile);
    trusted.push_back(files.indexCopy);
    InterruptedCommit commit = ReadInterruptedCommit(CommitRecordPath(folder), trusted);
    if (commit.NewFile(files.tableFile) != files.tableFile ||
        commit.NewFile(files.indexCopy) != files.indexCopy) {
      files.tableFile = commit.NewFile(files.tableFile);
      files.indexCopy = commit.NewFile(files.indexCopy);
      files.interrupted = "An unpack or a pack of " + folder +
                          " was stopped while it replaced its table file: the new one is read. "
                          "Unpack the pair or pack the folder again to finish it.";
    }
  }
  if (name.size() > 1 && name.back() == '_') {
    std::string base = ExtractFilePath(folder) + name.substr(0, name.size() - 1);
    files.sourceIndex = base + ".idx";
    files.sourceData = base + ".big";
  }
  return files;
}

EntryTable LoadFolderTable(const UnpackFolderFiles& files) {
  if (files.folder.empty() || !files.HasTableAndIndexCopy())
    throw FrameworkError("Resource files not found in " + files.folder);
  EntryTable table;
  LoadTableFile(table, files.tableFile);
  return table;
}

}  // namespace tessaly
