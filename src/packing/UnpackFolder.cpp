#include "packing/UnpackFolder.h"

#include <optional>

#include "base/Errors.h"
#include "base/FileCommit.h"
#include "base/Files.h"
#include "base/NameCase.h"
#include "base/Paths.h"
#include "packing/TableFile.h"

namespace tessaly {

namespace {

// A note holds one path; anything longer is not one of ours.
constexpr size_t kMaxNoteSize = 64 * 1024;

// `name` inside `folder`, which may end in a delimiter (a root folder) or be "" (the current
// folder).
std::string InFolder(const std::string& folder, const std::string& name) {
  if (folder.empty() || IsFolderDelimiter(folder.back())) return folder + name;
  return JoinPath(folder, name);
}

// The index file of the pair beside `folder` that its name carries ("" when it doesn't end in
// "_").
std::string BesideSourceIndex(const std::string& folder) {
  const std::string name = ExtractFileName(folder);
  if (name.size() < 2 || name.back() != '_') return "";
  return MatchNameCase(ExtractFilePath(folder) + name.substr(0, name.size() - 1) + ".idx");
}

void SetSource(UnpackFolder& names, const std::string& index) {
  names.sourceIndex = MatchNameCase(index);
  names.sourceData = MatchNameCase(ChangeFileExt(index, ".big"));
}

// The source pair the note at `notePath` names (its first line), when there is such a note.
void ReadSourceNote(UnpackFolder& names, const std::string& notePath) {
  std::optional<std::string> text;
  try {
    text = ReadFileStart(notePath, kMaxNoteSize);
  } catch (const FrameworkError&) {
    return;  // a note that can't be read names nothing; the folder's name serves
  }
  if (!text) return;
  const std::string index = text->substr(0, text->find_first_of("\r\n"));
  if (index.empty()) return;
  SetSource(names, index);
  names.sourceFromNote = true;
}

}  // namespace

UnpackFolder UnpackFolder::Chosen(const std::string& folder) {
  UnpackFolder names;
  names.path = folder;
  const std::string name = ExtractFileName(folder);
  names.tableFile = MatchNameCase(JoinPath(folder, ChangeFileExt(name, ".tbl")));
  names.indexCopy = MatchNameCase(JoinPath(folder, ChangeFileExt(name, ".id")));
  names.sourceNote = MatchNameCase(JoinPath(folder, ChangeFileExt(name, ".source")));
  if (const std::string beside = BesideSourceIndex(folder); !beside.empty())
    SetSource(names, beside);
  ReadSourceNote(names, names.sourceNote);
  names.PackInto(ExtractFilePath(folder));
  return names;
}

void UnpackFolder::PackInto(const std::string& into) {
  const std::string name = ExtractFileName(path);
  packedIndex = MatchNameCase(InFolder(into, ChangeFileExt(name, ".idx")));
  packedData = MatchNameCase(InFolder(into, ChangeFileExt(name, ".big")));
}

bool UnpackFolder::PacksElsewhere() const {
  return ExtractFilePath(packedIndex) != ExtractFilePath(path);
}

bool UnpackFolder::NeedsSourceNote() const {
  return !sourceIndex.empty() && (FileExists(sourceNote) || BesideSourceIndex(path) != sourceIndex);
}

UnpackFolder UnpackFolder::ToRead(const std::string& folder) {
  UnpackFolder names = Chosen(folder);
  if (ExtractFileName(folder).empty()) return names;
  std::vector<std::string> trusted = CommitTargetsOf(folder);
  trusted.push_back(names.tableFile);
  trusted.push_back(names.indexCopy);
  trusted.push_back(names.sourceNote);
  const InterruptedCommit commit = ReadInterruptedCommit(CommitRecordPath(folder), trusted);
  const std::string newTable = commit.NewFile(names.tableFile);
  const std::string newIndexCopy = commit.NewFile(names.indexCopy);
  if (const std::string newNote = commit.NewFile(names.sourceNote); newNote != names.sourceNote)
    ReadSourceNote(names, newNote);
  if (newTable == names.tableFile && newIndexCopy == names.indexCopy) return names;
  names.tableFile = newTable;
  names.indexCopy = newIndexCopy;
  names.interrupted = "An unpack or a pack of " + folder +
                      " was stopped while it replaced its table file: the new one is read. "
                      "Unpack the pair or pack the folder again to finish it.";
  return names;
}

UnpackFolder UnpackFolder::OfArchive(const std::string& chosenPath, const std::string& into) {
  const std::string beside = RemoveFileExt(chosenPath) + "_";
  UnpackFolder names = Chosen(into.empty() ? beside : InFolder(into, ExtractFileName(beside)));
  const std::string name = ExtractFileName(chosenPath);
  names.tableFile = MatchNameCase(JoinPath(names.path, ChangeFileExt(name, "_.tbl")));
  names.indexCopy = MatchNameCase(JoinPath(names.path, ChangeFileExt(name, "_.id")));
  names.sourceNote = MatchNameCase(JoinPath(names.path, ChangeFileExt(name, "_.source")));
  SetSource(names, ChangeFileExt(chosenPath, ".idx"));
  names.sourceFromNote = false;
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
