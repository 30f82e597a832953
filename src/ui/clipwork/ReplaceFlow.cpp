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
#include "packing/UnpackFolder.h"
#include "ui/clipwork/Workbench.h"
#include "ui/dialogs/NextAnswers.h"
#include "ui/dialogs/Question.h"
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

const QString kMatchLoudness = QStringLiteral("workbench/matchLoudness");
const QString kLastAudioFolder = QStringLiteral("workbench/lastAudioFolder");

// What was dropped onto the grid: one local folder, or local audio files (none an archive, which
// the window unpacks, or a file this build's reader doesn't take by its name).
struct Dropped {
  QFileInfo folder;  // set when one folder was dropped
  std::vector<QFileInfo> files;
  bool IsFolder() const { return files.empty(); }
};

std::optional<Dropped> DroppedAudio(const QMimeData* mime) {
  if (!mime || !mime->hasUrls() || mime->urls().isEmpty()) return std::nullopt;
  Dropped dropped;
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile()) return std::nullopt;
    QFileInfo info(url.toLocalFile());
    if (info.isDir() && mime->urls().size() == 1) {
      dropped.folder = info;
      return dropped;
    }
    const QString suffix = info.suffix().toLower();
    if (!info.isFile() || suffix == QLatin1String("idx") || suffix == QLatin1String("big") ||
        !MayReadAudioFileNamed(PathToBytes(info.fileName())))
      return std::nullopt;
    dropped.files.push_back(info);
  }
  return dropped;
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
  std::vector<int> rows = window_.Grid()->SelectedTableRows();
  if (rows.size() <= 1) {
    const int row = window_.Grid()->CurrentTableRow();
    rows = row < 1 ? std::vector<int>{} : std::vector<int>{row};
  }
  if (rows.empty()) {
    window_.SetStatusText(3, "Select the row whose clip to replace.");
    return;
  }
  std::optional<QString> chosen = AskAudioFile();
  if (!chosen || chosen->isEmpty()) return;
  if (rows.size() == 1)
    ReplaceRow(rows[0], PathToBytes(*chosen));
  else
    ReplaceRows(rows, PathToBytes(*chosen));
}

ImportOptions ReplaceFlow::Options() const {
  return ImportOptions{.matchLoudness = loudness_->isChecked()};
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
    ImportOutcome outcome;
    ImportOptions options = Options();
    // A clip much longer or shorter than the one it replaces is written only when the user says so.
    OperationHost* work = &window_;
    options.confirmLength = [&](const std::string& warning) {
      // The window takes no input meanwhile: the question box is modal.
      work->SetWindowEnabled(true);
      const auto answer = Ask({kLengthQuestionName, QStringLiteral("Replace with audio file"),
                               FromBytes(ExtractFileName(audioPath) + " is " + warning +
                                         ".\n\nReplace " + name + " with it all the same?")},
                              window_.Widget());
      work->SetWindowEnabled(false);
      return answer == QMessageBox::Yes;
    };
    bool stopped = false;
    try {
      // Converted and encoded off the window's thread; Stop or Esc leaves the entry file.
      window_.RunInBackground([&](OperationHost& host) {
        work = &host;
        options.stop = host.StopToken();
        WindowDisabled disabled(host);
        host.SetStatusText(3, "Replacing " + name + "…");
        host.Repaint();
        std::unique_ptr<AudioSource> source = MakeAudioSource();
        outcome = ImportIntoEntry(UnpackFolder::ToRead(bench_.Folder()), window_.Table(), row,
                                  audioPath, *source, options);
        stopped = !outcome.written && options.stop.stop_requested();
      });
    } catch (const std::exception& error) {
      window_.SetStatusText(3, "");
      window_.ShowMessage(MessageKind::Error,
                          "Can't replace " + name + " with " + audioPath + ":\n" + error.what());
      return;
    }
    if (stopped) {
      window_.SetStatusText(3, "Replace stopped: " + name + " is as it was.");
      return;
    }
    if (!outcome.written) {
      window_.SetStatusText(3, name + " left as it was");
      return;
    }
    bench_.EntriesReplaced({name});
    std::string text = "Replaced " + name + " with " + ExtractFileName(audioPath);
    if (!outcome.note.empty()) text += " (" + outcome.note + ")";
    window_.SetStatusText(3, text);
  });
}

void ReplaceFlow::ReplaceRows(const std::vector<int>& rows, const std::string& audioPath) {
  if (!CanReplace()) return;
  std::vector<std::string> names;
  for (int row : rows) {
    if (row < 1 || row >= window_.Table().RowCount()) return;
    names.emplace_back(window_.Table().Cell(kColName, row));
  }
  const std::string question = "Replace " + Counted(rows.size(), "clip", "clips") + " with " +
                               ExtractFileName(audioPath) + "?\n" + NameList(names);
  if (Ask({kSeveralQuestionName, QStringLiteral("Replace with audio file"), FromBytes(question)},
          window_.Widget()) != QMessageBox::Yes)
    return;
  window_.RunGuarded([&] {
    bench_.Player().Stop();
    std::vector<std::string> replaced, lines;
    bool failed = false, stopped = false;
    const UnpackFolder folder = UnpackFolder::ToRead(bench_.Folder());
    ImportOptions options = Options();
    // Converted, encoded and written off the window's thread, one entry after another; Stop or
    // Esc ends it before the next entry (or before the current one's new clip is written).
    window_.RunInBackground([&](OperationHost& host) {
      WindowDisabled disabled(host);
      options.stop = host.StopToken();
      std::unique_ptr<AudioSource> source = MakeAudioSource();
      host.SetProgressMin(0);
      host.SetProgressMax(static_cast<int>(rows.size()));
      for (size_t i = 0; i < rows.size(); ++i) {
        if (options.stop.stop_requested()) break;
        host.SetProgressPosition(static_cast<int>(i + 1));
        try {
          ImportOutcome outcome =
              ImportIntoEntry(folder, window_.Table(), rows[i], audioPath, *source, options);
          if (!outcome.written) break;  // stopped before its new clip was written
          replaced.push_back(names[i]);
          if (!outcome.lengthWarning.empty())
            lines.push_back(names[i] + ": the new clip is " + outcome.lengthWarning);
        } catch (const std::exception& error) {
          failed = true;
          lines.push_back("Not replaced " + names[i] + ": " + error.what());
        }
      }
      stopped = options.stop.stop_requested();
      host.SetProgressPosition(0);
    });
    if (!replaced.empty()) bench_.EntriesReplaced(replaced);
    const std::string summary =
        (stopped ? "Replace stopped: replaced " : "Replaced ") + std::to_string(replaced.size()) +
        " of " + Counted(rows.size(), "clip", "clips") + " with " + ExtractFileName(audioPath);
    window_.SetStatusText(3, summary);
    if (!lines.empty())
      window_.ShowMessage(failed ? MessageKind::Error : MessageKind::Success,
                          summary + NameList(lines));
  });
}

void ReplaceFlow::ReplaceByName(const std::string& fromFolder) {
  ReplaceFromFiles(fromFolder, {});
}

void ReplaceFlow::ReplaceFromFiles(const std::string& fromFolder,
                                   const std::vector<std::string>& files) {
  if (!CanReplace()) return;
  window_.RunGuarded([&] {
    bench_.Player().Stop();
    const EntryStreams streams = EntryStreams::InFolder(bench_.Folder(), window_.Table());
    ImportByNameResult result;
    const ImportOptions options = Options();
    window_.RunInBackground([&](OperationHost& host) {
      WindowDisabled disabled(host);
      std::unique_ptr<AudioSource> source = MakeAudioSource();
      result = files.empty() ? ImportByName(streams, fromFolder, *source, options, host)
                             : ImportFilesByName(streams, files, *source, options, host);
      host.SetProgressPosition(0);
    });
    std::vector<std::string> names;
    for (const ImportedFile& imported : result.imported)
      names.push_back(streams.Name(imported.row));
    if (!names.empty()) bench_.EntriesReplaced(names);

    const std::string replaced = Counted(result.imported.size(), "clip", "clips");
    std::string text = (result.cancelled ? "Replace stopped: replaced " : "Replaced ") + replaced +
                       (files.empty() ? " from " + fromFolder
                                      : " from " + Counted(files.size(), "file", "files")) +
                       ", skipped " + Counted(result.skipped.size(), "file", "files");
    bool failed = false;
    std::vector<std::string> skipped;
    for (const SkippedFile& skip : result.skipped) {
      failed = failed || skip.failed;
      skipped.push_back("Skipped " + skip.file + ": " + skip.reason);
    }
    text += NameList(skipped, " more skipped");
    for (const ImportedFile& imported : result.imported)
      if (!imported.lengthWarning.empty())
        text += "\n" + streams.Name(imported.row) + ": the new clip is " + imported.lengthWarning;
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
  std::optional<Dropped> dropped = DroppedAudio(drop->mimeData());
  if (!view || !dropped || !CanReplace()) return false;
  const int y = drop->position().toPoint().y();
  // One file goes onto the row under it; a folder or several files anywhere onto the grid, each
  // file to the entry of its name.
  const bool onRow = dropped->files.size() == 1;
  const int row = onRow ? RowAt(view, y) : 0;
  if (type != QEvent::DragEnter && onRow && row < 1) {
    drop->ignore();
    return true;
  }
  drop->acceptProposedAction();
  if (type != QEvent::Drop) return true;
  if (dropped->IsFolder()) {
    ReplaceByName(PathToBytes(dropped->folder.absoluteFilePath()));
  } else if (onRow) {
    ReplaceRow(row, PathToBytes(dropped->files[0].absoluteFilePath()));
  } else {
    std::vector<std::string> paths;
    for (const QFileInfo& file : dropped->files)
      paths.push_back(PathToBytes(file.absoluteFilePath()));
    ReplaceFromFiles({}, paths);
  }
  return true;
}

}  // namespace tessaly::ui
