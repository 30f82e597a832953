#include "ui/dialogs/PackQuestion.h"

#include <exception>

#include "clips/FolderStatus.h"
#include "clips/UnpackFolderFiles.h"
#include "ui/dialogs/Question.h"
#include "ui/widgets/Design.h"

namespace tessaly::ui {
namespace {

constexpr size_t kListed = 10;

// The question's text when entries of `folder` have problems; empty when none has.
std::string ProblemsOf(const std::string& folder, OperationHost& host) {
  const UnpackFolderFiles files = FilesOfUnpackFolder(folder);
  // A folder without its table, or with one that can't be read, is Pack's to report.
  if (!files.HasTableAndIndexCopy()) return {};
  FolderStatus status;
  try {
    const EntryTable table = LoadFolderTable(files);
    WindowDisabled disabled(host);
    status = CheckFolderStatus(files, table, StatusDepth::kProblemsOnly, host);
  } catch (const std::exception&) {
    return {};
  }
  // A missing entry file is Pack's own message to give.
  std::vector<const EntryChange*> listed;
  for (const EntryChange& change : status.changes)
    if (!change.missing && !change.problems.empty()) listed.push_back(&change);
  if (listed.empty()) return {};
  std::string text = listed.size() == 1 ? "A replaced entry can't be packed as it is:\n"
                                        : std::to_string(listed.size()) +
                                              " replaced entries can't be packed as they are:\n";
  for (size_t i = 0; i < listed.size() && i < kListed; ++i) {
    text += "\n" + listed[i]->name + ": ";
    for (size_t p = 0; p < listed[i]->problems.size(); ++p)
      text += (p ? "; " : "") + listed[i]->problems[p];
  }
  if (listed.size() > kListed) text += "\nand " + std::to_string(listed.size() - kListed) + " more";
  text += "\n\nPack all the same?";
  return text;
}

}  // namespace

bool MayPack(const std::string& folder, OperationHost& host, QWidget* owner) {
  if (folder.empty()) return true;
  const std::string problems = ProblemsOf(folder, host);
  if (problems.empty()) return true;
  return Ask({kPackQuestionName, QStringLiteral("Pack"), FromBytes(problems)}, owner) ==
         QMessageBox::Yes;
}

}  // namespace tessaly::ui
