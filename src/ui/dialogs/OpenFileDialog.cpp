#include "ui/dialogs/OpenFileDialog.h"

#include <QFileDialog>

namespace tessaly::ui {

NextAnswers& OpenFileDialog::Queued() {
  static NextAnswers answers;
  return answers;
}

void OpenFileDialog::SetNextAnswer(std::optional<QString> answer) {
  Queued().Push(std::move(answer));
}

void OpenFileDialog::ClearNextAnswers() {
  Queued().Clear();
}

std::optional<QString> OpenFileDialog::Execute(QWidget* parent) {
  std::optional<QString> chosen;
  if (!Queued().Take(chosen)) {
    QFileDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(kFilter);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (!lastFile_.isEmpty()) dialog.selectFile(lastFile_);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
      chosen = dialog.selectedFiles().constFirst();
  }
  if (chosen) lastFile_ = *chosen;
  return chosen;
}

}  // namespace tessaly::ui
