#include "ui/dialogs/PackQuestion.h"

#include <exception>

#include "clips/FolderStatus.h"
#include "packing/UnpackFolder.h"
#include "ui/dialogs/Question.h"
#include "ui/widgets/Design.h"

namespace tessaly::ui {
namespace {

// The question's text when entries of `folder` have problems; empty when none has.
std::string ProblemsOf(const std::string& folder, OperationHost& host) {
  const std::vector<EntryChange> listed = ReplacedEntryProblems(UnpackFolder::ToRead(folder), host);
  if (listed.empty()) return {};
  std::string text = listed.size() == 1 ? "A replaced entry can't be packed as it is:\n"
                                        : std::to_string(listed.size()) +
                                              " replaced entries can't be packed as they are:\n";
  std::vector<std::string> lines;
  for (const EntryChange& entry : listed) {
    std::string line = entry.name + ": ";
    for (size_t p = 0; p < entry.problems.size(); ++p) line += (p ? "; " : "") + entry.problems[p];
    lines.push_back(line);
  }
  text += NameList(lines) + "\n\nPack all the same?";
  return text;
}

}  // namespace

bool MayUnpackOver(const std::string& chosenPath, OperationHost& host, QWidget* owner) {
  const std::string folder = UnpackFolder::OfArchive(chosenPath).path;
  std::vector<std::string> changed;
  for (const EntryChange& change : ChangedEntriesBeforeUnpack(chosenPath, {}, host))
    changed.push_back(change.name);
  // Stopped while the folder was compared: as if the answer were "No".
  if (host.StopToken().stop_requested()) return false;
  if (changed.empty()) return true;
  std::string text = changed.size() == 1
                         ? "An entry file of " + folder + " was changed since it was unpacked:\n"
                         : std::to_string(changed.size()) + " entry files of " + folder +
                               " were changed since they were unpacked:\n";
  text += NameList(changed);
  text += changed.size() == 1 ? "\n\nUnpack again and write over it?"
                              : "\n\nUnpack again and write over them?";
  return Ask({kUnpackQuestionName, QStringLiteral("Unpack"), FromBytes(text)}, owner) ==
         QMessageBox::Yes;
}

bool MayPack(const std::string& folder, OperationHost& host, QWidget* owner) {
  if (folder.empty()) return true;
  const std::string problems = ProblemsOf(folder, host);
  if (host.StopToken().stop_requested()) return false;
  if (problems.empty()) return true;
  return Ask({kPackQuestionName, QStringLiteral("Pack"), FromBytes(problems)}, owner) ==
         QMessageBox::Yes;
}

}  // namespace tessaly::ui
