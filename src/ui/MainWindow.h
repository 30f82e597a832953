// The main window (object name Form1). A toolbar with the four commands, the entry grid, a progress
// bar and a status bar; the operations see it through OperationHost and run inside the command
// handlers, which ask the dialogs first and hand the operations what was chosen.
#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <functional>

#include "archive/EntryTable.h"
#include "archive/Listing.h"
#include "ui/clipwork/WorkbenchHost.h"
#include "ui/dialogs/OpenFileDialog.h"
#include "ui/widgets/Design.h"

class QProgressBar;
class QShortcut;
class QToolButton;

namespace tessaly::ui {

class BackgroundCommand;
class EntryGrid;
class PanelStatusBar;
class ReplaceFlow;
class Workbench;

class MainWindow : public QWidget, public WorkbenchHost {
  Q_OBJECT

 public:
  static constexpr QSize kClientSize{Scaled(674), Scaled(393)};

  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  const EntryTable& Table() const override { return table_; }
  const ArchiveState& State() const { return state_; }
  EntryGrid* Grid() const override { return grid_; }
  Workbench* Bench() const { return workbench_; }
  // Takes the size, place and last archive remembered from the last run, and remembers them
  // again when the window closes. Windows that don't call it leave the settings alone.
  void RememberBetweenRuns();

  // Unpacks an archive's index or data file as when it is dropped onto the window (a file
  // manager's "open with" goes here). False while a command runs or for any other file.
  bool OpenArchive(const QString& path);

  // True while a command's operation runs.
  bool Busy() const { return busy_ > 0; }
  // The whole window's busy state: false while an operation has disabled the window. Everything
  // but the Stop button is disabled then; the Stop button stays usable, so the window itself
  // keeps Qt's enabled state.
  bool WindowEnabled() const { return windowEnabled_; }
  // Asks the running work, or the clip columns and the change check, to stop (the Stop
  // button, Esc).
  void RequestStop();
  // Shows the clip columns' reading and the change check, while no command runs, in the
  // progress bar with their names, and offers the Stop button for them (a timer calls it).
  void ShowReading();

  // OperationHost
  void SetProgressMin(int value) override;
  void SetProgressMax(int value) override;
  void SetProgressPosition(int value) override;
  void SetStatusText(int panel, const std::string& text) override;
  void SetToolbarAndGridEnabled(bool enabled) override;
  void SetWindowEnabled(bool enabled) override;
  void Repaint() override;
  void UpdatePainting() override;
  void ProcessMessages() override;
  void ShowMessage(MessageKind kind, const std::string& text) override;

  // WorkbenchHost
  QWidget* Widget() override { return this; }
  bool TakesInput() const override { return !Busy() && windowEnabled_; }
  void RunGuarded(const std::function<void()>& command) override;
  void RunInBackground(const std::function<void(OperationHost&)>& work) override;
  void LoadTable(const std::function<void(EntryTable&)>& load) override;
  std::optional<std::string> PickFolder() override;

  // The open-file dialog ("*.big;*.idx"): the chosen file's full path, or nullopt on cancel.
  std::optional<std::string> PickArchiveFile();

 public Q_SLOTS:
  void OnUnpack();
  void OnPack();
  void OnHelpSupport();
  void OnExit();
  void OnListArchive();  // the listing alone (its button is never shown)

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  template <typename Operation>
  void RunCommand(Operation&& operation);
  QToolButton* AddButton(const char* name, const char* hint, const char* image,
                         void (MainWindow::*handler)());
  void AddGap();
  void SetTabOrder();
  void KeepOnScreen();
  void ShowEmptyRangeEmpty();
  // Unpack's work once the archive is chosen (in the dialog or by a drop).
  void UnpackChosen(const std::string& chosen);
  // Runs `work` off the window's thread (BackgroundCommand); with `table`, on that copy of the
  // grid's table, which the grid shows as the work goes and keeps at its end.
  void RunOffThread(const std::function<void(OperationHost&)>& work, EntryTable* table);
  // The grid and toolbar as the listing's and the window's busy states together leave them.
  void ApplyEnabled();
  // The progress bar, narrowed beside the Stop button while work can be stopped.
  void LayOutProgress();
  // Gives the progress bar back as it was before the reading was shown in it.
  void EndReadingShown();

  EntryTable table_;
  ArchiveState state_;
  OpenFileDialog openDialog1_;
  QWidget* toolBar_;
  EntryGrid* grid_;
  QProgressBar* progressBar_;
  QToolButton* stopButton_;
  PanelStatusBar* statusBar_;
  Workbench* workbench_;
  int busy_ = 0;
  BackgroundCommand* running_ = nullptr;
  bool readingShown_ = false;
  struct ProgressState {
    int min = 0, max = 100, value = 0;
  } progressBeforeReading_;  // given back when the reading ends
  QShortcut* escape_;
  bool windowEnabled_ = true;
  bool toolbarAndGridEnabled_ = true;
  bool remembers_ = false;
  QElapsedTimer lastRepaint_;
  static constexpr int kFrameMs = 16;
  static constexpr int kProgressStep = 2;  // pixels the bar must move to be redrawn
  int nextButtonX_ = 0;                    // where the toolbar's next item goes
};

}  // namespace tessaly::ui
