#include "packing/UnpackFolder.h"

#include "base/Errors.h"
#include "base/FileCommit.h"
#include "base/Files.h"
#include "base/NameCase.h"
#include "base/Paths.h"
#include "packing/TableFile.h"

namespace tessaly {

UnpackFolder UnpackFolder::Chosen(const std::string& folder) {
  UnpackFolder names;
  names.path = folder;
  const std::string name = ExtractFileName(folder);
  const std::string parent = ExtractFilePath(folder);
  names.tableFile = MatchNameCase(JoinPath(folder, ChangeFileExt(name, ".tbl")));
  names.indexCopy = MatchNameCase(JoinPath(folder, ChangeFileExt(name, ".id")));
  if (name.size() > 1 && name.back() == '_') {
    const std::string base = parent + name.substr(0, name.size() - 1);
    names.sourceIndex = MatchNameCase(base + ".idx");
    names.sourceData = MatchNameCase(base + ".big");
  }
  names.packedIndex = MatchNameCase(parent + ChangeFileExt(name, ".idx"));
  names.packedData = MatchNameCase(parent + ChangeFileExt(name, ".big"));
  return names;
}

UnpackFolder UnpackFolder::ToRead(const std::string& folder) {
  UnpackFolder names = Chosen(folder);
  if (ExtractFileName(folder).empty()) return names;
  std::vector<std::string> trusted = CommitTargetsOf(folder);
  trusted.push_back(names.tableFile);
  trusted.push_back(names.indexCopy);
  const InterruptedCommit commit = ReadInterruptedCommit(CommitRecordPath(folder), trusted);
  const std::string newTable = commit.NewFile(names.tableFile);
  const std::string newIndexCopy = commit.NewFile(names.indexCopy);
  if (newTable == names.tableFile && newIndexCopy == names.indexCopy) return names;
  names.tableFile = newTable;
  names.indexCopy = newIndexCopy;
  names.interrupted = "An unpack or a pack of " + folder +
                      " was stopped while it replaced its table file: the new one is read. "
                      "Unpack the pair or pack the folder again to finish it.";
  return names;
}

UnpackFolder UnpackFolder::OfArchive(const std::string& chosenPath) {
  UnpackFolder names = Chosen(RemoveFileExt(chosenPath) + "_");
  const std::string name = ExtractFileName(chosenPath);
  names.tableFile = MatchNameCase(JoinPath(names.path, ChangeFileExt(name, "_.tbl")));
  names.indexCopy = MatchNameCase(JoinPath(names.path, ChangeFileExt(name, "_.id")));
  names.sourceIndex = MatchNameCase(ChangeFileExt(chosenPath, ".idx"));
  names.sourceData = MatchNameCase(ChangeFileExt(chosenPath, ".big"));
  return names;
}

bool UnpackFolder::HasTableAndIndexCopy() const {
  return !path.empty() && FileExists(tableFile) && FileExists(indexCopy);
}

bool UnpackFolder::HasSourcePair() const {
  return !sourceIndex.empty() && FileExists(sourceIndex) && FileExists(sourceData);
}

void LoadFolderTable(const UnpackFolder& folder, EntryTable& table, MessagePump* pump) {
  if (!folder.HasTableAndIndexCopy())
    throw FrameworkError("Resource files not found in " + folder.path);
  LoadTableFile(table, folder.tableFile, pump);
}

EntryTable LoadFolderTable(const UnpackFolder& folder) {
  EntryTable table;
  LoadFolderTable(folder, table);
  return table;
}

}  // namespace tessaly
