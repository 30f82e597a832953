#include "ui/dialogs/PackQuestion.h"

#include <QMessageBox>

#include "clips/FolderStatus.h"
#include "ui/MainWindow.h"
#include "ui/dialogs/NextAnswers.h"
#include "ui/widgets/Design.h"

namespace tessaly::ui {
namespace {

constexpr size_t kListed = 10;

NextAnswers& Queued() {
  static NextAnswers answers;
  return answers;
}

QString& Asked() {
  static QString asked;
  return asked;
}

}  // namespace

void PackQuestion::SetNextAnswer(std::optional<QString> answer) {
  Queued().Push(std::move(answer));
}
void PackQuestion::ClearNextAnswers() {
  Queued().Clear();
  Asked().clear();
}
QString PackQuestion::LastQuestion() {
  return Asked();
}

bool PackQuestion::Allows(MainWindow& window, const std::string& folder) {
  if (folder.empty()) return true;
  const std::string problems = ProblemsOf(window, folder);
  return problems.empty() || Ask(window, FromBytes(problems));
}

std::string PackQuestion::ProblemsOf(MainWindow& window, const std::string& folder) {
  const std::vector<EntryChange> listed =
      ReplacedEntryProblems(UnpackFolder::ToRead(folder), window);
  if (listed.empty()) return {};
  std::string text = listed.size() == 1 ? "A replaced entry can't be packed as it is:\n"
                                        : std::to_string(listed.size()) +
                                              " replaced entries can't be packed as they are:\n";
  for (size_t i = 0; i < listed.size() && i < kListed; ++i) {
    text += "\n" + listed[i].name + ": ";
    for (size_t p = 0; p < listed[i].problems.size(); ++p)
      text += (p ? "; " : "") + listed[i].problems[p];
  }
  if (listed.size() > kListed) text += "\nand " + std::to_string(listed.size() - kListed) + " more";
  text += "\n\nPack all the same?";
  return text;
}

bool PackQuestion::Ask(MainWindow& window, const QString& text) {
  Asked() = text;
  std::optional<QString> answer;
  if (Queued().Take(answer)) return answer && *answer == QLatin1String("Yes");
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Pack"), text,
                  QMessageBox::Yes | QMessageBox::No, &window);
  box.setObjectName(QStringLiteral("PackQuestionBox"));
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace tessaly::ui
