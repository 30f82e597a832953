#include "ui/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QIcon>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdlib>
#include <exception>

#include "base/Errors.h"
#include "packing/Packing.h"
#include "packing/UnpackFolder.h"
#include "packing/Unpacking.h"
#include "ui/BackgroundCommand.h"
#include "ui/clipwork/Workbench.h"
#include "ui/dialogs/FolderDialog.h"
#include "ui/dialogs/HelpSupportDialog.h"
#include "ui/dialogs/MessageBoxes.h"
#include "ui/dialogs/PackQuestion.h"
#include "ui/grid/EntryGrid.h"
#include "ui/settings/WindowMemory.h"
#include "ui/settings/WorkFolders.h"
#include "ui/widgets/BalloonHints.h"
#include "ui/widgets/PanelStatusBar.h"
#include "ui/widgets/ToolbarButton.h"

namespace tessaly::ui {
namespace {

constexpr int kToolBarHeight = Scaled(33);
constexpr int kGap = Scaled(8);
constexpr QRect kGridRect{Scaled(9), Scaled(41), Scaled(656), Scaled(296)};
constexpr int kProgressTop = Scaled(345);
constexpr int kProgressHeight = Scaled(16);
constexpr int kStatusTop = Scaled(368);
// The Stop button beside the progress bar while work can be stopped.
constexpr QSize kStopSize{Scaled(64), Scaled(22)};

// An existing ".idx" or ".big" file.
bool IsArchiveFile(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  return (suffix == QLatin1String("idx") || suffix == QLatin1String("big")) &&
         QFileInfo(path).isFile();
}

// The archive file among dropped URLs: one local ".idx" or ".big".
std::optional<QString> DroppedArchive(const QMimeData* mime) {
  if (!mime || !mime->hasUrls() || mime->urls().size() != 1) return std::nullopt;
  const QUrl& url = mime->urls().front();
  if (!url.isLocalFile() || !IsArchiveFile(url.toLocalFile())) return std::nullopt;
  return url.toLocalFile();
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Tessaly Packer/Unpacker v" TESSALY_TITLE_VERSION));
  setWindowIcon(Picture(QStringLiteral("tessaly")));
  setFont(WindowFont());
  // Opens at the designed size; the grid takes whatever the user adds.
  resize(kClientSize);
  setMinimumSize(kClientSize.width() * 3 / 4, kClientSize.height() * 3 / 4);
  setAcceptDrops(true);
  move(Scaled(84), Scaled(260));

  // The toolbar lays its buttons out itself: each after a gap, at the designed sizes.
  toolBar_ = new QWidget(this);
  toolBar_->setObjectName(QStringLiteral("ToolBar1"));
  toolBar_->setGeometry(0, 0, kClientSize.width(), kToolBarHeight);
  AddGap();
  AddButton("ExportButton", "Unpack", "unpack", &MainWindow::OnUnpack);
  AddGap();
  AddButton("ImportButton", "Pack", "pack", &MainWindow::OnPack);
  AddGap();
  AddButton("ToolButton9", "Help / Support", "help", &MainWindow::OnHelpSupport);
  AddGap();
  AddButton("ToolButton8", "Exit", "exit", &MainWindow::OnExit);
  const int afterExit = nextButtonX_;
  // Made but never shown, so the user can't reach them.
  AddGap();
  AddButton("OpenButton", "Open *.idx or *.big", nullptr, &MainWindow::OnListArchive)->hide();
  AddGap();
  AddButton("ToolButton2", "Stop", nullptr, nullptr)->hide();
  AddGap();
  AddButton("PlayButton", "Play", nullptr, nullptr)->hide();

  grid_ = new EntryGrid(table_, this);
  grid_->setGeometry(kGridRect);
  // The grid carries a hint that is never shown.
  grid_->setToolTip(QStringLiteral("Double click to Play"));
  grid_->setProperty(BalloonHints::kHintsOff, true);

  progressBar_ = new QProgressBar(this);
  progressBar_->setObjectName(QStringLiteral("ProgressBar1"));
  progressBar_->setGeometry(Scaled(9), kProgressTop, Scaled(656), kProgressHeight);
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  progressBar_->setTextVisible(false);
  // Drawn in segments.
  progressBar_->setStyleSheet(QStringLiteral(
      "QProgressBar { border: 1px solid palette(mid); background: palette(base); padding: 1px; }"
      "QProgressBar::chunk { background: palette(highlight); width: 6px; margin-right: 2px; }"));

  // Shown only while work runs that can be stopped; the only control that takes input then.
  stopButton_ = new QToolButton(this);
  stopButton_->setObjectName(QStringLiteral("StopWorkButton"));
  stopButton_->setText(QStringLiteral("Stop"));
  stopButton_->setToolTip(QStringLiteral("Stop (Esc)"));
  stopButton_->setIcon(Picture(QStringLiteral("stop")));
  stopButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  stopButton_->setFocusPolicy(Qt::TabFocus);
  stopButton_->hide();

  statusBar_ = new PanelStatusBar({Scaled(150), Scaled(270), Scaled(440)}, this);
  statusBar_->setObjectName(QStringLiteral("StatusBar1"));
  statusBar_->setGeometry(0, kStatusTop, kClientSize.width(), kClientSize.height() - kStatusTop);

  // The clip work's controls follow the Exit button after a wider gap.
  workbench_ = new Workbench(*this, toolBar_, afterExit + 2 * kGap);
  workbench_->LayOut(kClientSize.width());
  setMinimumWidth(std::max(minimumWidth(), workbench_->MinimumWidth()));
  SetTabOrder();

  connect(stopButton_, &QToolButton::clicked, this, [this] {
    if (!running_) RequestStop();  // a command's work has its own connection
  });
  // Esc stops the reading while no command runs; a command's work takes Esc itself.
  escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape_->setEnabled(false);
  connect(escape_, &QShortcut::activated, this, &MainWindow::RequestStop);
  auto* refresh = new QShortcut(QKeySequence::Refresh, this);
  connect(refresh, &QShortcut::activated, workbench_, &Workbench::Refresh);
  auto* reading = new QTimer(this);
  reading->setInterval(100);
  connect(reading, &QTimer::timeout, this, &MainWindow::ShowReading);
  reading->start();
}

void MainWindow::ShowReading() {
  if (Busy()) return;
  ClipColumns& clips = workbench_->Clips();
  FolderStatusWorker& check = workbench_->StatusWorker();
  QString what;
  int done = 0, total = 0;
  if (clips.Filling()) {
    what = QStringLiteral("Reading the clip headers");
    done = clips.Done();
    total = clips.Total();
  } else if (check.Checking()) {
    what = QStringLiteral("Still checking which entries changed");
    done = check.Done();
    total = check.Total();
  }
  const bool reading = !what.isEmpty();
  if (reading && !readingShown_)
    progressBeforeReading_ = {progressBar_->minimum(), progressBar_->maximum(),
                              progressBar_->value()};
  if (!reading) {
    EndReadingShown();
    return;
  }
  progressBar_->setRange(0, std::max(total, 1));
  progressBar_->setValue(std::clamp(done, 0, std::max(total, 1)));
  progressBar_->setFormat(what + QStringLiteral("… %p%"));
  if (readingShown_) return;
  readingShown_ = true;
  progressBar_->setTextVisible(true);
  stopButton_->show();
  escape_->setEnabled(true);
  LayOutProgress();
}

void MainWindow::EndReadingShown() {
  if (!readingShown_) return;
  readingShown_ = false;
  progressBar_->setRange(progressBeforeReading_.min, progressBeforeReading_.max);
  progressBar_->setValue(progressBeforeReading_.value);
  progressBar_->setTextVisible(false);
  stopButton_->hide();
  escape_->setEnabled(false);
  LayOutProgress();
}

void MainWindow::SetTabOrder() {
  // Tab walks the toolbar from left to right, then into the grid, and leaves the grid again.
  QList<QWidget*> order = toolBar_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  order.removeIf([](QWidget* control) { return !(control->focusPolicy() & Qt::TabFocus); });
  std::stable_sort(order.begin(), order.end(),
                   [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
  order << grid_;
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
  grid_->setTabKeyNavigation(false);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Every control keeps its distance to the edges it was drawn against; the grid takes the rest.
  const int w = width(), h = height();
  toolBar_->resize(w, kToolBarHeight);
  workbench_->LayOut(w);
  const int below = kClientSize.height() - kGridRect.bottom() - 1;
  grid_->setGeometry(kGridRect.left(), kGridRect.top(),
                     w - (kClientSize.width() - kGridRect.width()), h - kGridRect.top() - below);
  LayOutProgress();
  const int statusTop = h - (kClientSize.height() - kStatusTop);
  statusBar_->setGeometry(0, statusTop, w, h - statusTop);
}

void MainWindow::LayOutProgress() {
  const int top = height() - (kClientSize.height() - kProgressTop);
  int width = grid_->width();
  if (stopButton_->isVisible()) {
    width -= kStopSize.width() + kGap;
    stopButton_->setGeometry(kGridRect.left() + width + kGap,
                             top + (kProgressHeight - kStopSize.height()) / 2, kStopSize.width(),
                             kStopSize.height());
  }
  progressBar_->setGeometry(kGridRect.left(), top, width, kProgressHeight);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!Busy() && isEnabled() && DroppedArchive(event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  std::optional<QString> archive = DroppedArchive(event->mimeData());
  if (Busy() || !archive) return;
  event->acceptProposedAction();
  // The drop ends first, so the program it came from doesn't wait for the unpack and its box.
  QMetaObject::invokeMethod(
      this, [this, path = *archive] { OpenArchive(path); }, Qt::QueuedConnection);
}

bool MainWindow::OpenArchive(const QString& path) {
  if (Busy() || !IsArchiveFile(path)) return false;
  // Unpacked as if it had been chosen in the open-file dialog.
  openDialog1_.SetLastFile(path);
  RunCommand([this, chosen = PathToBytes(path)] { UnpackChosen(chosen); });
  return true;
}

MainWindow::~MainWindow() {
  // The grid reads the table, which dies with this object before QWidget deletes the children.
  delete grid_;
  grid_ = nullptr;
  state_.Release();
}

QToolButton* MainWindow::AddButton(const char* name, const char* hint, const char* image,
                                   void (MainWindow::*handler)()) {
  auto* button = new ToolbarButton(toolBar_, nextButtonX_, name, hint, image);
  nextButtonX_ += ToolbarButton::kSize.width();
  if (handler) connect(button, &QToolButton::clicked, this, handler);
  return button;
}

void MainWindow::AddGap() {
  nextButtonX_ += kGap;
}

// --- OperationHost -----------------------------------------------------------------------------

void MainWindow::SetProgressMin(int value) {
  progressBar_->setMinimum(value);
  ShowEmptyRangeEmpty();
}
void MainWindow::SetProgressMax(int value) {
  progressBar_->setMaximum(value);
  ShowEmptyRangeEmpty();
}
void MainWindow::ShowEmptyRangeEmpty() {
  // Qt shows a range of 0 to 0 (an empty index file) as a running busy indicator; a native bar
  // shows it empty.
  if (progressBar_->minimum() == 0 && progressBar_->maximum() == 0) progressBar_->setMaximum(1);
}
void MainWindow::SetProgressPosition(int value) {
  // Like a native progress bar, a position outside the range is taken to the nearer end (the
  // operations reset the position to 0 while the range may start at 1).
  const int low = progressBar_->minimum(), high = progressBar_->maximum();
  value = std::clamp(value, low, high);
  // Operations set the position once per entry; the bar is only told when the change shows,
  // which keeps a listing of 100,000 entries from spending its time in the progress bar.
  const qint64 moved = std::abs(qint64{value} - progressBar_->value());
  const qint64 range = std::max<qint64>(qint64{high} - low, 1);
  if (value == low || value == high || moved * progressBar_->width() >= range * kProgressStep)
    progressBar_->setValue(value);
}

void MainWindow::SetStatusText(int panel, const std::string& text) {
  statusBar_->SetPanelText(panel, FromBytes(text));
}

void MainWindow::SetToolbarAndGridEnabled(bool enabled) {
  toolbarAndGridEnabled_ = enabled;
  ApplyEnabled();
}

void MainWindow::SetWindowEnabled(bool enabled) {
  windowEnabled_ = enabled;
  ApplyEnabled();
}

void MainWindow::ApplyEnabled() {
  // The whole window disabled is every control in it but the Stop button.
  const bool enabled = windowEnabled_ && toolbarAndGridEnabled_;
  toolBar_->setEnabled(enabled);
  grid_->setEnabled(enabled);
  statusBar_->setEnabled(windowEnabled_);
}

void MainWindow::Repaint() {
  grid_->Sync();
  // Operations may ask for a repaint per entry; painting more often than the screen shows
  // frames would only slow them down, so a repaint within a frame of the last is left to the
  // next time messages are let through.
  if (lastRepaint_.isValid() && lastRepaint_.elapsed() < kFrameMs) {
    update();
    return;
  }
  repaint();
  lastRepaint_.start();
}

void MainWindow::UpdatePainting() {
  Repaint();
}

void MainWindow::ProcessMessages() {
  grid_->Sync();
  QCoreApplication::processEvents();
}

std::optional<std::string> MainWindow::PickArchiveFile() {
  auto chosen = openDialog1_.Execute(this);
  if (!chosen) return std::nullopt;
  return PathToBytes(*chosen);
}

std::optional<std::string> MainWindow::PickFolder() {
  auto chosen = FolderDialog::Execute(this);
  if (!chosen) return std::nullopt;
  return PathToBytes(*chosen);
}

void MainWindow::ShowMessage(MessageKind kind, const std::string& text) {
  grid_->Sync();
  MessageBoxes::Show(kind, FromBytes(text), this);
}

// --- Commands ----------------------------------------------------------------------------------

template <typename Operation>
void MainWindow::RunCommand(Operation&& operation) {
  // One command at a time, also while a command's work lets the window's events through.
  if (Busy()) return;
  // Disabling the window takes the focus away, and enabling it gives it to the first toolbar
  // button: the control that had it gets it back (Space plays the grid's row again).
  const QPointer<QWidget> focused = focusWidget();
  ++busy_;
  try {
    operation();
  } catch (const std::exception& error) {
    // The operations' guards have re-enabled what they disabled; the grid shows the table as the
    // error left it while the box is open.
    grid_->Sync();
    MessageBoxes::ShowFrameworkError(FromBytes(error.what()), this);
  }
  --busy_;
  grid_->Sync();
  if (focused && focused->isEnabled() && focused->isVisible())
    focused->setFocus(Qt::OtherFocusReason);
}

void MainWindow::RunGuarded(const std::function<void()>& command) {
  RunCommand(command);
}

void MainWindow::RunInBackground(const std::function<void(OperationHost&)>& work) {
  RunOffThread(work, nullptr);
}

void MainWindow::RunOffThread(const std::function<void(OperationHost&)>& work, EntryTable* table) {
  // The work's table is shown in the grid by copying it while the work waits: the grid never
  // reads a table that another thread writes.
  auto showTable = [this, table] {
    if (table && (table->ShapeRevision() != table_.ShapeRevision() ||
                  table->ContentRevision() != table_.ContentRevision()))
      table_ = *table;
    grid_->Sync();
  };
  // The reading's progress gives the bar back to the command.
  EndReadingShown();
  BackgroundCommand command(*this, this, stopButton_, showTable);
  running_ = &command;
  stopButton_->show();
  LayOutProgress();
  struct Hidden {
    MainWindow& window;
    ~Hidden() {
      window.running_ = nullptr;
      window.stopButton_->hide();
      window.LayOutProgress();
    }
  } hidden{*this};
  command.Run(work);
}

void MainWindow::RequestStop() {
  if (running_) {
    running_->RequestStop();
    return;
  }
  if (!readingShown_ || Busy()) return;
  workbench_->StopBackground();
  ShowReading();
  SetStatusText(3, "Stopped reading the folder: F5 reads it again.");
}

void MainWindow::LoadTable(const std::function<void(EntryTable&)>& load) {
  table_.Reset();
  try {
    load(table_);
  } catch (...) {
    table_.Reset();
    grid_->Sync();
    throw;
  }
  grid_->Sync();
}

void MainWindow::OnUnpack() {
  RunCommand([this] {
    if (std::optional<std::string> chosen = PickArchiveFile()) UnpackChosen(*chosen);
  });
}

void MainWindow::UnpackChosen(const std::string& chosen) {
  EntryTable work = table_;
  std::optional<UnpackResult> unpacked;
  RunOffThread(
      [&](OperationHost& host) {
        // Replaced clips in the folder an unpack writes would be lost: asked about first.
        if (!MayUnpackOver(chosen, host, this)) return;
        // The unpack may write over the files the workbench reads.
        OnWindowThread([this] { workbench_->StopReading(); });
        unpacked = Unpack(chosen, state_, work, host);
      },
      &work);
  if (!unpacked) return;
  const UnpackResult& result = *unpacked;
  workbench_->ShowFolder(result.end == UnpackEnd::Success     ? result.folder
                         : result.end == UnpackEnd::NoArchive ? workbench_->Folder()
                                                              : std::string());
  // The folder just written is where a Pack is likely to start.
  if (result.end == UnpackEnd::Success) WorkFolders::NoteUnpacked(PathFromBytes(result.folder));
}

void MainWindow::OnPack() {
  RunCommand([this] {
    std::optional<std::string> folder = PickFolder();
    if (!folder) return;
    EntryTable work = table_;
    std::optional<PackResult> packed;
    RunOffThread(
        [&](OperationHost& host) {
          // Asks first when replaced entries can't be packed as they are.
          if (MayPack(*folder, host, this)) packed = Pack(*folder, work, host);
        },
        &work);
    if (!packed) return;
    const PackResult& result = *packed;
    if (result.end != PackEnd::ResourcesMissing)
      workbench_->ShowFolder(result.end == PackEnd::Success ? result.folder : std::string());
  });
}

void MainWindow::OnHelpSupport() {
  RunCommand([this] { HelpSupportDialog::Execute(this); });
}

void MainWindow::OnExit() {
  close();
}

void MainWindow::OnListArchive() {
  RunCommand([this] {
    // A cancelled dialog, like a pair that isn't there, leaves no archive open.
    std::optional<std::string> chosen = PickArchiveFile();
    bool listed = false;
    if (chosen) {
      EntryTable work = table_;
      RunOffThread(
          [&](OperationHost& host) {
            listed = ListArchive(*chosen, state_, work, host) != ListingEnd::FileMissing;
          },
          &work);
    }
    state_.Release();
    if (listed)
      workbench_->ShowListing(state_.dataPath);
    else
      workbench_->ShowFolder({});
  });
}

void MainWindow::RememberBetweenRuns() {
  remembers_ = true;
  const WindowMemory memory = WindowMemory::Load();
  if (!memory.geometry.isEmpty()) restoreGeometry(memory.geometry);
  if (!memory.lastArchive.isEmpty()) openDialog1_.SetLastFile(memory.lastArchive);
}

void MainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) KeepOnScreen();
}

void MainWindow::KeepOnScreen() {
  // The designed position where the whole window fits on its screen (at a large scale it may
  // not), else the nearest place that fits. Before the window manager has framed the window its
  // title bar is not counted yet, so a bar's height is assumed.
  if (!screen()) return;
  const QRect room = screen()->availableGeometry();
  QRect frame = frameGeometry();
  if (frame == geometry())
    frame.setTop(frame.top() - style()->pixelMetric(QStyle::PM_TitleBarHeight));
  // A pixel to spare: at fractional scales the frame's position is rounded.
  const int left = std::max(room.left(), std::min(frame.left(), room.right() - frame.width()));
  const int top = std::max(room.top(), std::min(frame.top(), room.bottom() - frame.height()));
  if (left != frame.left() || top != frame.top())
    move(pos() + QPoint(left - frame.left(), top - frame.top()));
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // The title-bar close button does nothing while an operation runs.
  if (Busy()) {
    event->ignore();
    return;
  }
  if (remembers_) WindowMemory{saveGeometry(), openDialog1_.LastFile()}.Save();
  event->accept();
}

}  // namespace tessaly::ui
