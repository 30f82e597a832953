// The window's work on clips, beside the four commands: the clip columns and marks of the grid,
// the filter, Open Folder, Play and Stop, Export to WAV. Its controls sit in the toolbar, so the
// busy rule that disables the toolbar or the window disables them too.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "clips/EntryStreams.h"
#include "ui/clipwork/ClipPlayer.h"
#include "ui/clipwork/FolderStatusWorker.h"
#include "ui/clipwork/WorkbenchHost.h"
#include "ui/grid/ChangeMarks.h"
#include "ui/grid/ClipColumns.h"

class QCheckBox;
class QLineEdit;
class QToolButton;
class QWidget;

namespace tessaly::ui {

class OriginalsFlow;
class ReplaceFlow;

class Workbench : public QObject {
  Q_OBJECT

 public:
  // Adds its controls to `toolBar`, its buttons from `x` on.
  Workbench(WorkbenchHost& window, QWidget* toolBar, int x);

  // The unpack folder whose files the grid's rows stand for (empty: none).
  const std::string& Folder() const { return folder_; }
  // A command has put the table of `folder` into the grid (empty: no folder goes with it).
  void ShowFolder(const std::string& folder);
  // Stops reading the folder's files (the clip columns, the change marks) before a command
  // writes them: a file being read can't be written over.
  void StopReading();
  // The listing alone has put the table of the archive with data file `dataFile` into the grid.
  void ShowListing(const std::string& dataFile);
  // Stops reading the clip columns and finding the changes; what was read so far stays shown.
  void StopBackground();
  // Reads the shown folder again, its table, clip columns and changes (F5): files changed by
  // another program show.
  void Refresh();
  // Places the filter at the right end of a toolbar `width` wide.
  void LayOut(int width);
  // The narrowest toolbar in which the filter and "Show changed only" leave the buttons free.
  int MinimumWidth() const;

  ClipColumns& Clips() { return clips_; }
  // Whether a shown folder's clip headers are read (benchmarks compare both).
  void SetReadsClips(bool reads) { readsClips_ = reads; }
  ClipPlayer& Player() { return player_; }
  ReplaceFlow& Replace() { return *replace_; }
  OriginalsFlow& Originals() { return *originals_; }
  // Plays the stream `read` gives, saying "Playing <what>", or why it can't be played.
  void PlayStream(const std::function<std::vector<uint8_t>()>& read, const QString& what);
  const ChangeMarks& Marks() const { return marks_; }
  FolderStatusWorker& StatusWorker() { return status_; }
  // The change marks are not found yet: waiting for the clip columns, or being compared.
  bool MarksPending() const { return checkAfterClips_ || status_.Checking(); }
  // The named entry files were replaced: their clip columns are read again and the folder's
  // changes found again.
  void EntriesReplaced(const std::vector<std::string>& names);
  QLineEdit* Filter() const { return filter_; }
  // The question before an export writes over a WAV file (tests answer it through NextAnswers).
  static inline const QString kOverwriteQuestionName = QStringLiteral("OverwriteWavBox");

 public Q_SLOTS:
  void OnOpenFolder();
  void OnPlay();
  void OnStop();
  void OnFind();
  void OnExport();

 private:
  // The rows to export into `target`: those whose WAV file is not there yet, and those the user
  // agrees to write over.
  std::vector<int> RowsToWrite(const EntryStreams& streams, const std::vector<int>& rows,
                               const std::string& target);
  QToolButton* AddButton(const char* name, const char* hint, const char* image,
                         void (Workbench::*handler)());
  void Note(const QString& text);
  void CheckChanges();
  // Shows the table of `folder` as Pack would load it; says so in a box when it has none.
  void OpenFolder(const std::string& folder);
  void ShowChanges(const FolderStatus& status);

  WorkbenchHost& window_;
  QWidget* toolBar_;
  int nextX_;
  ClipColumns clips_;
  ChangeMarks marks_;
  FolderStatusWorker status_;
  ReplaceFlow* replace_;
  OriginalsFlow* originals_;
  ClipPlayer player_;
  QLineEdit* filter_;
  QCheckBox* changedOnly_;
  QToolButton* stopButton_;
  std::string folder_;
  bool readsClips_ = true;
  bool checkAfterClips_ = false;  // the folder's changes are found once the clip columns are read
  bool playing_ = false;          // the note says "Playing ..."
};

}  // namespace tessaly::ui
