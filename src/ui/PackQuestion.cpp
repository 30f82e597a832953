#include "ui/PackQuestion.h"

#include <QMessageBox>

#include "clips/FolderStatus.h"
#include "ui/Design.h"
#include "ui/MainWindow.h"
#include "ui/NextAnswers.h"

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

void PackQuestion::SetProgressMin(int value) {
  window_.SetProgressMin(value);
}
void PackQuestion::SetProgressMax(int value) {
  window_.SetProgressMax(value);
}
void PackQuestion::SetProgressPosition(int value) {
  window_.SetProgressPosition(value);
}
void PackQuestion::SetStatusText(int panel, const std::string& text) {
  window_.SetStatusText(panel, text);
}
void PackQuestion::SetToolbarAndGridEnabled(bool enabled) {
  window_.SetToolbarAndGridEnabled(enabled);
}
void PackQuestion::SetWindowEnabled(bool enabled) {
  window_.SetWindowEnabled(enabled);
}
void PackQuestion::Repaint() {
  window_.Repaint();
}
void PackQuestion::UpdatePainting() {
  window_.UpdatePainting();
}
void PackQuestion::ProcessMessages() {
  window_.ProcessMessages();
}
std::optional<std::string> PackQuestion::PickArchiveFile() {
  return window_.PickArchiveFile();
}
void PackQuestion::ShowMessage(MessageKind kind, const std::string& text) {
  window_.ShowMessage(kind, text);
}

std::optional<std::string> PackQuestion::PickFolder() {
  std::optional<std::string> chosen = window_.PickFolder();
  if (!chosen || chosen->empty()) return chosen;
  const std::string problems = ProblemsOf(*chosen);
  if (problems.empty()) return chosen;
  if (Ask(FromBytes(problems))) return chosen;
  return std::nullopt;
}

std::string PackQuestion::ProblemsOf(const std::string& folder) {
  const std::vector<EntryChange> listed =
      ReplacedEntryProblems(UnpackFolder::Chosen(folder), window_);
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

bool PackQuestion::Ask(const QString& text) {
  Asked() = text;
  std::optional<QString> answer;
  if (Queued().Take(answer)) return answer && *answer == QLatin1String("Yes");
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Pack"), text,
                  QMessageBox::Yes | QMessageBox::No, &window_);
  box.setObjectName(QStringLiteral("PackQuestionBox"));
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace tessaly::ui
