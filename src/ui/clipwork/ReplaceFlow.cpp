#include "ui/clipwork/ReplaceFlow.h"

#include <QAction>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QSettings>
#include <QTableView>

#include <exception>
#include <memory>

#include "base/Paths.h"
#include "clips/ClipImport.h"
#include "clips/EntryStreams.h"
#include "media/AudioSources.h"
#include "ui/clipwork/Workbench.h"
#include "ui/dialogs/NextAnswers.h"
#include "ui/grid/EntryGrid.h"
#include "ui/grid/WorkbenchModel.h"
#include "ui/settings/UserSettings.h"
#include "ui/widgets/Design.h"

namespace tessaly::ui {
namespace {

// "1 clip", "2 clips".
std::string Counted(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

constexpr size_t kListed = 10;

const QString kMatchLoudness = QStringLiteral("workbench/matchLoudness");
const QString kLastAudioFolder = QStringLiteral("workbench/lastAudioFolder");

// The one local file or folder dropped, unless it is an archive (the window unpacks those) or a
// file this build's reader doesn't take by its name.
std::optional<QFileInfo> DroppedAudio(const QMimeData* mime) {
  if (!mime || !mime->hasUrls() || mime->urls().size() != 1) return std::nullopt;
  const QUrl& url = mime->urls().front();
  if (!url.isLocalFile()) return std::nullopt;
  QFileInfo info(url.toLocalFile());
  const QString suffix = info.suffix().toLower();
  if (info.isDir()) return info;
  if (!info.isFile() || suffix == QLatin1String("idx") || suffix == QLatin1String("big") ||
      !MayReadAudioFileNamed(PathToBytes(info.fileName())))
    return std::nullopt;
  return info;
}

}  // namespace

ReplaceFlow::ReplaceFlow(WorkbenchHost& window, Workbench& bench)
    : QObject(&bench), window_(window), bench_(bench) {
  replace_ = new QAction(QStringLiteral("Replace with audio file…"), this);
  replace_->setObjectName(QStringLiteral("ReplaceClipAction"));
  replace_->setIcon(Picture(QStringLiteral("replace")));
  connect(replace_, &QAction::triggered, this, &ReplaceFlow::OnReplace);
  loudness_ = new QAction(QStringLiteral("Match loudness"), this);
  loudness_->setObjectName(QStringLiteral("MatchLoudnessAction"));
  loudness_->setToolTip(
      QStringLiteral("Brings a replacement to the loudness of the clip it replaces"));
  loudness_->setCheckable(true);
  loudness_->setChecked(UserSettings().value(kMatchLoudness, true).toBool());
  if (!kAudioThroughFfmpeg) {
    // Offered but off: the user sees what the build with FFmpeg would add.
    loudness_->setChecked(false);
    loudness_->setEnabled(false);
    loudness_->setToolTip(QStringLiteral("Matching loudness needs the build with FFmpeg"));
  }
  connect(loudness_, &QAction::toggled, this,
          [](bool on) { UserSettings().setValue(kMatchLoudness, on); });

  EntryGrid* grid = window_.Grid();
  for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(grid),
                                  static_cast<QAbstractItemView*>(grid->FixedColumnView())}) {
    view->viewport()->setAcceptDrops(true);
    view->viewport()->installEventFilter(this);
  }
}

bool ReplaceFlow::CanReplace() const {
  return window_.TakesInput() && !bench_.Folder().empty();
}

std::optional<QString> ReplaceFlow::AskAudioFile() {
  std::optional<QString> chosen;
  if (NextAnswers::Take(kDialogName, chosen)) return chosen;
  QFileDialog dialog(window_.Widget(), QStringLiteral("Replace with audio file"));
  dialog.setObjectName(kDialogName);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(QString::fromLatin1(AudioFileFilter()));
  const QString last = UserSettings().value(kLastAudioFolder).toString();
  if (!last.isEmpty()) dialog.setDirectory(last);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  chosen = dialog.selectedFiles().front();
  UserSettings().setValue(kLastAudioFolder, QFileInfo(*chosen).absolutePath());
  return chosen;
}

void ReplaceFlow::OnReplace() {
  if (!window_.TakesInput()) return;
  if (bench_.Folder().empty()) {
    window_.SetStatusText(3, "Unpack the archive or open its folder to replace its clips.");
    return;
  }
  const int row = window_.Grid()->CurrentTableRow();
  if (row < 1) {
    window_.SetStatusText(3, "Select the row whose clip to replace.");
    return;
  }
  std::optional<QString> chosen = AskAudioFile();
  if (!chosen || chosen->isEmpty()) return;
  ReplaceRow(row, PathToBytes(*chosen));
}

void ReplaceFlow::ReplaceRow(int row, const std::string& audioPath) {
  if (!CanReplace() || row < 1 || row >= window_.Table().RowCount()) return;
  window_.RunGuarded([&] {
    const std::string name(window_.Table().Cell(kColName, row));
    if (!IsPlainFileName(name)) {
      window_.ShowMessage(MessageKind::Error, "Can't replace the clip of row " +
                                                  std::to_string(row) +
                                                  ": its name is no plain file name.");
      return;
    }
    bench_.Player().Stop();
    std::optional<std::string> note;
    const bool matchLoudness = loudness_->isChecked();
    try {
      window_.RunInBackground([&](OperationHost& host) {
        WindowDisabled disabled(host);
        host.SetStatusText(3, "Replacing " + name + "…");
        host.Repaint();
        std::unique_ptr<AudioSource> source = MakeAudioSource();
        note = ImportClip(JoinPath(bench_.Folder(), name), audioPath, *source,
                          ImportOptions{.matchLoudness = matchLoudness, .stop = host.StopToken()});
      });
    } catch (const std::exception& error) {
      window_.SetStatusText(3, "");
      window_.ShowMessage(MessageKind::Error,
                          "Can't replace " + name + " with " + audioPath + ":\n" + error.what());
      return;
    }
    if (!note) {
      window_.SetStatusText(3, "Replace stopped: " + name + " is as it was.");
      return;
    }
    bench_.EntriesReplaced({name});
    std::string text = "Replaced " + name + " with " + ExtractFileName(audioPath);
    if (!note->empty()) text += " (" + *note + ")";
    window_.SetStatusText(3, text);
  });
}

void ReplaceFlow::ReplaceByName(const std::string& fromFolder) {
  if (!CanReplace()) return;
  window_.RunGuarded([&] {
    bench_.Player().Stop();
    const EntryStreams streams = EntryStreams::InFolder(bench_.Folder(), window_.Table());
    ImportByNameResult result;
    const bool matchLoudness = loudness_->isChecked();
    window_.RunInBackground([&](OperationHost& host) {
      WindowDisabled disabled(host);
      std::unique_ptr<AudioSource> source = MakeAudioSource();
      result = ImportByName(streams, fromFolder, *source,
                            ImportOptions{.matchLoudness = matchLoudness}, host);
      host.SetProgressPosition(0);
    });
    std::vector<std::string> names;
    for (const ImportedFile& imported : result.imported)
      names.push_back(streams.Name(imported.row));
    if (!names.empty()) bench_.EntriesReplaced(names);

    const std::string replaced = Counted(result.imported.size(), "clip", "clips");
    std::string text = (result.cancelled ? "Replace stopped: replaced " : "Replaced ") + replaced +
                       " from " + fromFolder + ", skipped " +
                       Counted(result.skipped.size(), "file", "files");
    bool failed = false;
    for (size_t i = 0; i < result.skipped.size(); ++i) {
      failed = failed || result.skipped[i].failed;
      if (i < kListed)
        text += "\nSkipped " + result.skipped[i].file + ": " + result.skipped[i].reason;
    }
    if (result.skipped.size() > kListed)
      text += "\nand " + std::to_string(result.skipped.size() - kListed) + " more skipped";
    window_.SetStatusText(3, "Replaced " + replaced);
    window_.ShowMessage(failed ? MessageKind::Error : MessageKind::Success, text);
  });
}

int ReplaceFlow::RowAt(QAbstractItemView* view, int y) const {
  const int viewRow = view->indexAt(QPoint(1, y)).row();
  return viewRow < 0 ? 0 : std::max(window_.Grid()->ViewModel()->TableRow(viewRow), 0);
}

bool ReplaceFlow::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
    return QObject::eventFilter(watched, event);
  auto* drop = static_cast<QDropEvent*>(event);
  auto* view = qobject_cast<QAbstractItemView*>(watched->parent());
  std::optional<QFileInfo> dropped = DroppedAudio(drop->mimeData());
  if (!view || !dropped || !CanReplace()) return false;
  const int y = drop->position().toPoint().y();
  // A file goes onto the row under it; a folder anywhere onto the grid.
  const int row = dropped->isDir() ? 0 : RowAt(view, y);
  if (type != QEvent::DragEnter && !dropped->isDir() && row < 1) {
    drop->ignore();
    return true;
  }
  drop->acceptProposedAction();
  if (type != QEvent::Drop) return true;
  // The drop ends first, so the program it came from doesn't wait for the work and its box.
  QMetaObject::invokeMethod(
      this,
      [this, path = PathToBytes(dropped->absoluteFilePath()), folder = dropped->isDir(), row] {
        if (folder)
          ReplaceByName(path);
        else
          ReplaceRow(row, path);
      },
      Qt::QueuedConnection);
  return true;
}

}  // namespace tessaly::ui
