// The archive's own clips from the window: "Revert to original" (Ctrl+R) puts the archive's clip
// back into the selected entries, also where an entry file is missing or damaged, after one
// question naming them; "Play original" (Shift+Space) plays the archive's clip of the selected
// row, to compare with the entry file that Play (Space) plays. Both read the pair beside the
// folder (OriginalClips); the window only asks and words the result.
#pragma once

#include <QObject>
#include <QString>

#include <string>
#include <vector>

#include "ui/clipwork/WorkbenchHost.h"

class QAction;

namespace tessaly::ui {

class Workbench;

class OriginalsFlow : public QObject {
  Q_OBJECT

 public:
  OriginalsFlow(WorkbenchHost& window, Workbench& bench);

  QAction* RevertAction() const { return revert_; }
  QAction* PlayOriginalAction() const { return playOriginal_; }

  // The question before reverting: tests answer it through NextAnswers.
  static inline const QString kQuestionName = QStringLiteral("RevertQuestion");

 public Q_SLOTS:
  void OnRevert();
  void OnPlayOriginal();

 private:
  WorkbenchHost& window_;
  Workbench& bench_;
  QAction* revert_;
  QAction* playOriginal_;
};

}  // namespace tessaly::ui
