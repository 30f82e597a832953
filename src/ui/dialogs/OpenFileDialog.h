// OpenDialog1: picks one existing index or data file and remembers the last one picked, so the
// next showing opens in that file's folder with its name filled in.
#pragma once

#include <QString>

#include <optional>

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

  // Its object name: tests queue its answers under it (NextAnswers).
  static inline const QString kName = QStringLiteral("OpenDialog1");

 private:
  QString lastFile_;
};

}  // namespace tessaly::ui
