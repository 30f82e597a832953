// Replacing clips from the window: "Replace with audio file…" on the selected row (toolbar and the
// grid's context menu), an audio file dropped onto a row, or a folder of audio files dropped onto
// the grid, replaced by name. Each file is converted to the clip's format the way the command
// line's import does, its loudness matched to the clip's while "Match loudness" is on
// (remembered between runs). A failure leaves the entry file as it was and says why.
#pragma once

#include <QObject>
#include <QString>

#include <optional>
#include <string>
#include <vector>

class QAction;
class QAbstractItemView;

#include "clips/ClipImport.h"
#include "ui/clipwork/WorkbenchHost.h"

namespace tessaly::ui {

class Workbench;

class ReplaceFlow : public QObject {
  Q_OBJECT

 public:
  ReplaceFlow(WorkbenchHost& window, Workbench& bench);

  QAction* ReplaceAction() const { return replace_; }
  QAction* LoudnessAction() const { return loudness_; }

  // Replaces the clip of table row `row` with the audio file at `audioPath`, asking first when
  // the new clip is much longer or shorter (LengthWarning).
  void ReplaceRow(int row, const std::string& audioPath);
  // Replaces the clips of several rows with one audio file, after one question naming them.
  void ReplaceRows(const std::vector<int>& rows, const std::string& audioPath);
  // Replaces the clips whose names the files of `fromFolder` carry.
  void ReplaceByName(const std::string& fromFolder);
  // Replaces the clips whose names the audio files at `files` carry (ignoring case), or with
  // `files` empty, those of `fromFolder`.
  void ReplaceFromFiles(const std::string& fromFolder, const std::vector<std::string>& files);

  // The audio-file dialog's object name: tests queue its answers under it (NextAnswers).
  static inline const QString kDialogName = QStringLiteral("ReplaceDialog");
  // The questions before replacing several clips, and before a much longer or shorter clip.
  static inline const QString kSeveralQuestionName = QStringLiteral("ReplaceSeveralQuestion");
  static inline const QString kLengthQuestionName = QStringLiteral("ReplaceLengthQuestion");

 public Q_SLOTS:
  void OnReplace();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::optional<QString> AskAudioFile();
  bool CanReplace() const;
  ImportOptions Options() const;
  // The table row under `y` of `view`'s viewport, or 0.
  int RowAt(QAbstractItemView* view, int y) const;

  WorkbenchHost& window_;
  Workbench& bench_;
  QAction* replace_;
  QAction* loudness_;
};

}  // namespace tessaly::ui
