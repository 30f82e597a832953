#include "ui/dialogs/OpenFileDialog.h"

#include <QFileDialog>

#include "ui/dialogs/NextAnswers.h"

namespace tessaly::ui {

std::optional<QString> OpenFileDialog::Execute(QWidget* parent) {
  std::optional<QString> chosen;
  if (!NextAnswers::Take(kName, chosen)) {
    QFileDialog dialog(parent);
    dialog.setObjectName(kName);
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
