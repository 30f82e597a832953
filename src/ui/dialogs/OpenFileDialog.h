// OpenDialog1: picks one existing index or data file and remembers the last one picked, so the
// next showing opens in that file's folder with its name filled in.
#pragma once

#include <QString>

#include <optional>

#include "ui/dialogs/NextAnswers.h"

class QWidget;

namespace tessaly::ui {

class OpenFileDialog {
 public:
  static inline const QString kFilter = QStringLiteral("*.big;*.idx (*.big *.idx)");

  // The chosen file's full path, or nullopt when the user cancelled.
  std::optional<QString> Execute(QWidget* parent);
  QString LastFile() const { return lastFile_; }
  // The file the next showing starts with (remembered from an earlier run).
  void SetLastFile(const QString& file) { lastFile_ = file; }

  // Tests queue the answers of the next showings (nullopt cancels); a queued answer is taken
  // instead of showing the dialog.
  static void SetNextAnswer(std::optional<QString> answer);
  static void ClearNextAnswers();

 private:
  static NextAnswers& Queued();
  QString lastFile_;
};

}  // namespace tessaly::ui
