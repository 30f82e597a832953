#include "ui/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QProgressBar>
#include <QToolButton>

#include <algorithm>
#include <cstdlib>
#include <exception>

#include "base/Errors.h"
#include "packing/Packing.h"
#include "packing/Unpacking.h"
#include "ui/BalloonHints.h"
#include "ui/EntryGrid.h"
#include "ui/FolderDialog.h"
#include "ui/HelpSupportDialog.h"
#include "ui/MessageBoxes.h"
#include "ui/PanelStatusBar.h"

namespace tessaly::ui {
namespace {

constexpr int kToolBarHeight = Scaled(33);
constexpr QSize kButtonSize{Scaled(23), Scaled(22)};
// The images are drawn for 16 x 16 pixels and shown at that size: scaled down with the rest of
// the layout they would lose their detail.
constexpr int kImageSize = 16;
constexpr int kGap = Scaled(8);

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Tessaly Packer/Unpacker v1.2"));
  setWindowIcon(Picture(QStringLiteral("tessaly")));
  setFont(WindowFont());
  setFixedSize(kClientSize);
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
  // Made but never shown, so the user can't reach them.
  AddGap();
  AddButton("OpenButton", "Open *.idx or *.big", nullptr, &MainWindow::OnListArchive)->hide();
  AddGap();
  AddButton("ToolButton2", "Stop", nullptr, nullptr)->hide();
  AddGap();
  AddButton("PlayButton", "Play", nullptr, nullptr)->hide();

  grid_ = new EntryGrid(table_, this);
  grid_->setGeometry(Scaled(9), Scaled(41), Scaled(656), Scaled(296));
  // The grid carries a hint that is never shown.
  grid_->setToolTip(QStringLiteral("Double click to Play"));
  grid_->setProperty(BalloonHints::kHintsOff, true);

  progressBar_ = new QProgressBar(this);
  progressBar_->setObjectName(QStringLiteral("ProgressBar1"));
  progressBar_->setGeometry(Scaled(9), Scaled(345), Scaled(656), Scaled(16));
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  progressBar_->setTextVisible(false);
  // Drawn in segments.
  progressBar_->setStyleSheet(QStringLiteral(
      "QProgressBar { border: 1px solid palette(mid); background: palette(base); padding: 1px; }"
      "QProgressBar::chunk { background: palette(highlight); width: 6px; margin-right: 2px; }"));

  statusBar_ = new PanelStatusBar({Scaled(150), Scaled(270), Scaled(440)}, this);
  statusBar_->setObjectName(QStringLiteral("StatusBar1"));
  int statusTop = Scaled(368);
  statusBar_->setGeometry(0, statusTop, kClientSize.width(), kClientSize.height() - statusTop);
}

MainWindow::~MainWindow() {
  // The grid reads the table, which dies with this object before QWidget deletes the children.
  delete grid_;
  grid_ = nullptr;
  state_.Release();
}

QToolButton* MainWindow::AddButton(const char* name, const char* hint, const char* image,
                                   void (MainWindow::*handler)()) {
  auto* button = new QToolButton(toolBar_);
  button->setGeometry(nextButtonX_, (kToolBarHeight - kButtonSize.height()) / 2,
                      kButtonSize.width(), kButtonSize.height());
  nextButtonX_ += kButtonSize.width();
  button->setObjectName(QString::fromLatin1(name));
  button->setToolTip(QString::fromLatin1(hint));
  if (image) button->setIcon(Picture(QLatin1String(image)));
  button->setIconSize(QSize(kImageSize, kImageSize));
  button->setAutoRaise(true);
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
  toolBar_->setEnabled(enabled);
  grid_->setEnabled(enabled);
}

void MainWindow::SetWindowEnabled(bool enabled) {
  setEnabled(enabled);
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
}

void MainWindow::OnUnpack() {
  RunCommand([this] { Unpack(state_, table_, *this); });
}

void MainWindow::OnPack() {
  RunCommand([this] { Pack(table_, *this); });
}

void MainWindow::OnHelpSupport() {
  RunCommand([this] { HelpSupportDialog::Execute(this); });
}

void MainWindow::OnExit() {
  close();
}

void MainWindow::OnListArchive() {
  RunCommand([this] {
    ListArchive(state_, table_, *this);
    state_.Release();
  });
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // The title-bar close button does nothing while an operation runs.
  if (Busy())
    event->ignore();
  else
    event->accept();
}

}  // namespace tessaly::ui
