#include "ui/clipwork/Workbench.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QShortcut>
#include <QToolButton>

#include "audio/StreamDecoder.h"
#include "base/Files.h"
#include "base/Paths.h"
#include "clips/ClipExport.h"
#include "clips/EntryStreams.h"
#include "packing/UnpackFolder.h"
#include "ui/clipwork/OriginalsFlow.h"
#include "ui/clipwork/ReplaceFlow.h"
#include "ui/dialogs/FolderDialog.h"
#include "ui/dialogs/Question.h"
#include "ui/grid/EntryGrid.h"
#include "ui/grid/WorkbenchModel.h"
#include "ui/widgets/Design.h"
#include "ui/widgets/ToolbarButton.h"

namespace tessaly::ui {
namespace {

constexpr int kFilterWidth = 200;
constexpr int kMargin = 6;
constexpr int kMinFilterWidth = 60;

}  // namespace

Workbench::Workbench(WorkbenchHost& window, QWidget* toolBar, int x)
    : QObject(window.Widget()), window_(window), toolBar_(toolBar), nextX_(x) {
  AddButton("OpenFolderButton", "Open Folder…", "openfolder", &Workbench::OnOpenFolder);
  nextX_ += Scaled(8);
  AddButton("PlayClipButton", "Play (Space)", "play", &Workbench::OnPlay);
  stopButton_ = AddButton("StopClipButton", "Stop", "stop", &Workbench::OnStop);
  stopButton_->setEnabled(false);
  nextX_ += Scaled(8);
  AddButton("ExportWavButton", "Export to WAV…", "exportwav", &Workbench::OnExport);
  replace_ = new ReplaceFlow(window_, *this);
  // The replace button carries the loudness option in its menu, so it is wider by the arrow.
  QToolButton* replaceButton =
      AddButton("ReplaceClipButton", "Replace with audio file…", "replace", nullptr);
  auto* replaceMenu = new QMenu(replaceButton);
  replaceMenu->addAction(replace_->LoudnessAction());
  replaceButton->setMenu(replaceMenu);
  replaceButton->setPopupMode(QToolButton::MenuButtonPopup);
  connect(replaceButton, &QToolButton::clicked, replace_, &ReplaceFlow::OnReplace);
  const int arrowWidth = Scaled(12);
  replaceButton->resize(replaceButton->width() + arrowWidth, replaceButton->height());
  nextX_ += arrowWidth;

  changedOnly_ = new QCheckBox(QStringLiteral("Show changed only"), toolBar_);
  changedOnly_->setObjectName(QStringLiteral("ChangedOnlyBox"));
  changedOnly_->setFocusPolicy(Qt::TabFocus);
  filter_ = new QLineEdit(toolBar_);
  filter_->setObjectName(QStringLiteral("FilterEdit"));
  filter_->setPlaceholderText(QStringLiteral("Filter (Ctrl+F)"));
  filter_->setClearButtonEnabled(true);
  filter_->setToolTip(
      QStringLiteral("Shows the rows whose name, ID, block or codec holds the text"));

  EntryGrid* grid = window_.Grid();
  // Several rows can be exported at once.
  grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
  WorkbenchModel* view = grid->ViewModel();
  view->SetClipColumns(&clips_);
  view->SetChangeMarks(&marks_);
  connect(filter_, &QLineEdit::textChanged, view, &WorkbenchModel::SetFilterText);
  connect(changedOnly_, &QCheckBox::toggled, view, &WorkbenchModel::SetChangedOnly);
  connect(&clips_, &ClipColumns::RecordsArrived, view, &WorkbenchModel::ClipsChanged);
  connect(&clips_, &ClipColumns::RecordsArrived, grid, &EntryGrid::KeepClipSort);
  connect(&status_, &FolderStatusWorker::Checked, this, &Workbench::ShowChanges);
  connect(&clips_, &ClipColumns::Filled, this, [this] {
    if (std::exchange(checkAfterClips_, false)) CheckChanges();
  });
  // The grid's context menu: the clip work on the selected rows, each entry with its key (the
  // keys work while the grid has the focus).
  originals_ = new OriginalsFlow(window_, *this);
  auto* play = new QAction(Picture(QStringLiteral("play")), QStringLiteral("Play"), this);
  play->setObjectName(QStringLiteral("PlayClipAction"));
  play->setShortcut(QKeySequence(Qt::Key_Space));
  play->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(play, &QAction::triggered, this, &Workbench::OnPlay);
  auto* separator = new QAction(this);
  separator->setSeparator(true);
  grid->setContextMenuPolicy(Qt::ActionsContextMenu);
  grid->addActions({play, originals_->PlayOriginalAction(), separator, replace_->ReplaceAction(),
                    originals_->RevertAction(), replace_->LoudnessAction()});
  connect(&player_, &ClipPlayer::Stopped, this, [this] {
    stopButton_->setEnabled(false);
    // "Playing ..." goes with the sound.
    if (playing_) Note(QString());
    playing_ = false;
  });

  auto* find = new QShortcut(QKeySequence::Find, window_.Widget());
  connect(find, &QShortcut::activated, this, &Workbench::OnFind);
  connect(grid, &QAbstractItemView::doubleClicked, this, [this] { OnPlay(); });
}

QToolButton* Workbench::AddButton(const char* name, const char* hint, const char* image,
                                  void (Workbench::*handler)()) {
  auto* button = new ToolbarButton(toolBar_, nextX_, name, hint, image);
  nextX_ += ToolbarButton::kSize.width();
  if (handler) connect(button, &QToolButton::clicked, this, handler);
  return button;
}

int Workbench::MinimumWidth() const {
  return nextX_ + changedOnly_->sizeHint().width() + kMinFilterWidth + 4 * kMargin;
}

void Workbench::LayOut(int width) {
  const int height = toolBar_->height();
  const int boxWidth = changedOnly_->sizeHint().width();
  const int filterHeight = std::min(filter_->sizeHint().height(), height - 4);
  int right = width - kMargin;
  // The filter narrows before it would cover the buttons.
  const int room = right - nextX_ - boxWidth - 3 * kMargin;
  const int filterWidth = std::clamp(room, kMinFilterWidth, kFilterWidth);
  filter_->setGeometry(right - filterWidth, (height - filterHeight) / 2, filterWidth, filterHeight);
  right -= filterWidth + kMargin;
  changedOnly_->setGeometry(right - boxWidth, 0, boxWidth, height);
}

void Workbench::Note(const QString& text) {
  playing_ = false;
  window_.SetStatusText(3, text.toStdString());
}

void Workbench::ShowFolder(const std::string& folder) {
  player_.Stop();
  folder_ = folder;
  marks_.Clear();
  window_.Grid()->ViewModel()->MarksChanged();
  // The comparison waits until the clip columns are read: both at once would leave the window
  // thread too little of the processor on a small machine.
  status_.Clear();
  checkAfterClips_ = true;
  const EntryTable& table = window_.Table();
  if (!readsClips_ || folder_.empty() || table.ColumnCount() != kEntryColumnCount ||
      table.RowCount() < 2) {
    clips_.Clear();
    window_.Grid()->ViewModel()->ClipsChanged();
    checkAfterClips_ = false;
    CheckChanges();
    return;
  }
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(table.RowCount() - 1));
  for (int row = 1; row < table.RowCount(); ++row) names.emplace_back(table.Cell(kColName, row));
  clips_.Start(folder_, std::move(names));
  window_.Grid()->ViewModel()->ClipsChanged();
}

void Workbench::StopReading() {
  checkAfterClips_ = false;
  clips_.Clear();
  status_.Clear();
  window_.Grid()->ViewModel()->ClipsChanged();
}

void Workbench::StopBackground() {
  checkAfterClips_ = false;
  clips_.StopFilling();
  status_.Clear();
  window_.Grid()->ViewModel()->MarksChanged();
}

void Workbench::Refresh() {
  if (!window_.TakesInput()) return;
  if (folder_.empty()) {
    Note(QStringLiteral("Nothing to read again: unpack an archive or open its folder."));
    return;
  }
  const std::string folder = folder_;
  window_.RunGuarded([this, folder] { OpenFolder(folder); });
}

void Workbench::ShowListing(const std::string& dataFile) {
  ShowFolder({});
  const EntryTable& table = window_.Table();
  if (!readsClips_ || table.ColumnCount() != kEntryColumnCount || table.RowCount() < 2) return;
  clips_.StartInArchive(dataFile, table);
  window_.Grid()->ViewModel()->ClipsChanged();
}

void Workbench::CheckChanges() {
  const EntryTable& table = window_.Table();
  if (folder_.empty() || table.ColumnCount() != kEntryColumnCount || table.RowCount() < 2) {
    status_.Clear();
    return;
  }
  status_.Start(folder_, table);
}

void Workbench::ShowChanges(const FolderStatus& status) {
  marks_.Clear();
  for (const EntryChange& change : status.changes) {
    ChangeMarks::Mark mark;
    for (const std::string& problem : change.problems)
      mark.problems +=
          (mark.problems.isEmpty() ? QString() : QStringLiteral("\n")) + FromBytes(problem);
    if (!change.missing && change.longerThanSlot)
      mark.note = QStringLiteral("Changed: longer than its slot, so packing moves later entries");
    marks_.Set(change.name, std::move(mark));
  }
  window_.Grid()->ViewModel()->MarksChanged();
}

void Workbench::EntriesReplaced(const std::vector<std::string>& names) {
  clips_.Refresh(folder_, names);
  status_.Clear();
  checkAfterClips_ = clips_.Filling();
  if (!checkAfterClips_) CheckChanges();
}

void Workbench::OnOpenFolder() {
  if (!window_.TakesInput()) return;
  window_.RunGuarded([this] {
    std::optional<std::string> chosen = window_.PickFolder();
    if (chosen) OpenFolder(*chosen);
  });
}

void Workbench::OpenFolder(const std::string& folder) {
  const UnpackFolder files = UnpackFolder::Chosen(folder);
  if (!files.HasTableAndIndexCopy()) {
    window_.ShowMessage(MessageKind::Information, "Resource files not found in " + folder);
    return;
  }
  // Nothing is written: the folder's table is shown as Pack would load it.
  player_.Stop();
  clips_.Clear();
  {
    WindowDisabled disabled(window_);
    MessagePump pump(window_);
    window_.LoadTable([&](EntryTable& table) { LoadFolderTable(files, table, &pump); });
  }
  ShowFolder(folder);
  // The panels describe the table shown: the folder's files and entries, no listing.
  window_.SetStatusText(
      0, ExtractFileName(files.indexCopy) + " - " + ExtractFileName(files.tableFile));
  window_.SetStatusText(1, "Asf count: " + std::to_string(window_.Table().RowCount() - 1));
  window_.SetStatusText(2, "");
  Note(QStringLiteral("Folder: ") + PathFromBytes(folder));
}

void Workbench::OnPlay() {
  if (!window_.TakesInput()) return;
  const int row = window_.Grid()->CurrentTableRow();
  if (row < 1) {
    Note(QStringLiteral("Select a row to play its clip."));
    return;
  }
  const std::string name(window_.Table().Cell(kColName, row));
  if (folder_.empty()) {
    Note(QStringLiteral("Unpack the archive or open its folder to play its clips."));
    return;
  }
  if (!IsPlainFileName(name)) {
    Note(QStringLiteral("Can't play: the row's name is no plain file name."));
    return;
  }
  PlayStream([&] { return ReadWholeStream(JoinPath(folder_, name)); }, FromBytes(name));
}

void Workbench::PlayStream(const std::function<std::vector<uint8_t>()>& read, const QString& what) {
  PcmAudio audio;
  try {
    audio = DecodeStream(read());
  } catch (const std::exception& error) {
    Note(QStringLiteral("Can't play ") + what + QStringLiteral(": ") + FromBytes(error.what()));
    return;
  }
  QString error;
  if (!player_.Play(audio, error)) {
    Note(error);
    return;
  }
  stopButton_->setEnabled(true);
  Note(QStringLiteral("Playing ") + what);
  playing_ = true;
}

void Workbench::OnStop() {
  player_.Stop();
}

void Workbench::OnExport() {
  if (!window_.TakesInput()) return;
  const std::vector<int> rows = window_.Grid()->SelectedTableRows();
  if (rows.empty()) {
    Note(QStringLiteral("Select the rows to export."));
    return;
  }
  if (folder_.empty()) {
    Note(QStringLiteral("Unpack the archive or open its folder to export its clips."));
    return;
  }
  window_.RunGuarded([this, rows] {
    std::optional<QString> chosen =
        FolderDialog::Execute(window_.Widget(), FolderDialog::Use::ExportTarget);
    if (!chosen || chosen->isEmpty()) return;
    const std::optional<std::string> target = PathToBytes(*chosen);
    player_.Stop();
    const EntryStreams streams = EntryStreams::InFolder(folder_, window_.Table());
    const std::vector<int> written = RowsToWrite(streams, rows, *target);
    if (written.empty()) return;
    ExportResult result;
    window_.RunInBackground([&](OperationHost& host) {
      WindowDisabled disabled(host);
      result = ExportClips(streams, written, *target, host);
      host.SetProgressPosition(0);
    });
    std::string text = (result.cancelled ? "Export stopped: exported " : "Exported ") +
                       std::to_string(result.written) + " of " + std::to_string(written.size()) +
                       " clips to " + *target;
    if (written.size() < rows.size())
      text +=
          " (" + std::to_string(rows.size() - written.size()) + " already there left as they were)";
    constexpr size_t kListed = 10;
    for (size_t i = 0; i < result.skipped.size() && i < kListed; ++i)
      text += "\nSkipped " + result.skipped[i].name + ": " + result.skipped[i].reason;
    if (result.skipped.size() > kListed)
      text += "\nand " + std::to_string(result.skipped.size() - kListed) + " more skipped";
    if (!result.stopped.empty()) text += "\nStopped: " + result.stopped;
    const bool whole = result.stopped.empty() && result.skipped.empty();
    window_.ShowMessage(whole ? MessageKind::Success : MessageKind::Error, text);
  });
}

std::vector<int> Workbench::RowsToWrite(const EntryStreams& streams, const std::vector<int>& rows,
                                        const std::string& target) {
  // A WAV file already in the target is written over only when the user says so, file by file
  // or for all of them at once.
  std::vector<int> chosen;
  bool all = false;
  for (int row : rows) {
    const std::string wav = WavNameFor(streams.Name(row));
    if (!all && FileExists(JoinPath(target, wav))) {
      const QMessageBox::StandardButton answer =
          Ask({kOverwriteQuestionName, QStringLiteral("Export to WAV"),
               FromBytes(wav) + QStringLiteral(" is already in ") + FromBytes(target) +
                   QStringLiteral(".\nWrite over it?"),
               QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No},
              window_.Widget());
      if (answer == QMessageBox::No) continue;
      all = answer == QMessageBox::YesToAll;
    }
    chosen.push_back(row);
  }
  return chosen;
}

void Workbench::OnFind() {
  if (!filter_->isEnabled()) return;
  filter_->setFocus(Qt::ShortcutFocusReason);
  filter_->selectAll();
}

}  // namespace tessaly::ui
