// Renders the program's windows into PNG files: the main window after an Unpack, the grid
// scrolled halfway right and sorted by a column, the status bar of a 100,000-entry archive, a
// balloon hint, the Help / Support box, the folder dialog opened on the last work folder, the
// pictures, and the workbench: the clip columns with changed rows marked, the filter in use, the
// replace dialog and the question before a pack. Settings go to a temporary folder, never the
// user's, and the archives lie in a folder tree of fixed names, so each run draws the same
// pictures. Usage: ui_screenshots <output folder>   (run on a display, e.g. under xvfb-run)
#include "ClipFixtures.h"
#include "UiFixtures.h"
#include "support/AudioSignals.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>

#include <cstdio>
#include <cstring>

#include "audio/Wav.h"
#include "ui/BackgroundCommand.h"
#include "ui/MainWindow.h"
#include "ui/clipwork/ClipPlayer.h"
#include "ui/clipwork/OriginalsFlow.h"
#include "ui/clipwork/ReplaceFlow.h"
#include "ui/clipwork/Workbench.h"
#include "ui/dialogs/FolderDialog.h"
#include "ui/dialogs/HelpSupportDialog.h"
#include "ui/dialogs/MessageBoxes.h"
#include "ui/dialogs/NextAnswers.h"
#include "ui/grid/EntryGrid.h"
#include "ui/widgets/BalloonHints.h"
#include "ui/widgets/WindowThread.h"

using namespace tessaly;
using namespace tessaly::ui;

namespace {

void Wait(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool Save(const QPixmap& picture, const QDir& folder, const char* name) {
  QString path = folder.filePath(QString::fromLatin1(name));
  bool saved = picture.save(path);
  std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
  return saved;
}

// The screen around a widget, so windows of their own (balloons) show too.
QPixmap GrabScreen(const QRect& area) {
  return QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(),
                                                      area.height());
}

// An archive of three blocks, 40 entries of varying lengths.
testing::ArchiveBuilder FortyEntries(uint32_t& dataSize) {
  testing::ArchiveBuilder builder;
  uint32_t offset = 0;
  const int counts[] = {12, 20, 8};
  for (int k = 0; k < 3; ++k) {
    testing::BlockSpec block;
    block.id = static_cast<uint16_t>(0x1200 + k * 7);
    block.offset = offset;
    block.digitIndex = static_cast<uint8_t>(k == 1 ? 0x83 : 0x01);
    uint16_t unit = 0;
    for (int j = 0; j < counts[k]; ++j) {
      block.units.push_back(unit);
      unit = static_cast<uint16_t>(unit + 1 + (j * 7 + k * 3) % 11);
    }
    offset += uint32_t{unit} * 256;
    builder.Block(block);
  }
  dataSize = offset;
  return builder;
}

// Unpacks the pair at `indexPath` in `form` and waits until its clip columns are read.
void Unpack(MainWindow& form, const std::string& indexPath) {
  NextAnswers::Push(OpenFileDialog::kName, QString::fromStdString(indexPath));
  form.OnUnpack();
  form.Bench()->Clips().WaitUntilFilled();
  Wait(200);
}

// Waits until the clip columns and the change marks are there.
void WaitForClipWork(MainWindow& form) {
  form.Bench()->Clips().WaitUntilFilled();
  while (form.Bench()->MarksPending()) Wait(20);
  Wait(300);
}

// A block of commentary clips, each in a slot of 200 units: mono, a few stereo, lengths varied.
constexpr int kClips = 14;
testing::ArchiveBuilder ClipArchive(std::string& data) {
  testing::ArchiveBuilder builder;
  testing::BlockSpec block;
  block.id = 0x2400;
  for (int i = 0; i < kClips; ++i) block.units.push_back(static_cast<uint16_t>(i * 200));
  builder.Block(block);
  data.assign(static_cast<size_t>(kClips) * 200 * 256, '\0');
  for (int i = 0; i < kClips; ++i) {
    const int channels = i % 5 == 3 ? 2 : 1;
    const testing::Bytes clip = testing::PcmStream(channels, 6000 + (i * 3779) % 17000 / channels);
    data.replace(static_cast<size_t>(i) * 200 * 256, clip.size(),
                 std::string(clip.begin(), clip.end()));
  }
  return builder;
}

// A sound output that plays nothing, for the picture of a clip playing.
class Silent : public SoundOutput {
 public:
  void Start(QIODevice*) override { state_ = QAudio::ActiveState; }
  void Stop() override { state_ = QAudio::StoppedState; }
  QAudio::State State() const override { return state_; }
  QAudio::Error Error() const override { return QAudio::NoError; }
  qint64 PlayedUSecs() const override { return 0; }

 private:
  QAudio::State state_ = QAudio::StoppedState;
};

// A user's folders, with the game's audio two levels down: what the folder dialog shows.
const char* const kFolderTree[] = {"Documents",
                                   "Games/Football/Audio",
                                   "Games/Football/Saves",
                                   "Games/Football/Video",
                                   "Games/Racing",
                                   "Music",
                                   "Pictures",
                                   "Recordings/Commentary"};

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  // The work folders the window notes, and anything else it keeps, stay in a temporary folder.
  QTemporaryDir settings;
  if (!settings.isValid()) return 1;
  qputenv("XDG_DATA_HOME", QFile::encodeName(settings.filePath(QStringLiteral("data"))));
  qputenv("XDG_CACHE_HOME", QFile::encodeName(settings.filePath(QStringLiteral("cache"))));
  testing::UseSettingsIn(settings.filePath(QStringLiteral("config")));

  QApplication app(argc, argv);
  QDir out(QString::fromLocal8Bit(argv[1]));
  out.mkpath(QStringLiteral("."));
  BalloonHints::Install();
  MessageBoxes::SetHook([](const MessageBoxLook& look) {
    std::fprintf(stderr, "box \"%s\": %s\n", qPrintable(look.caption), qPrintable(look.text));
  });
  int ok = 0, pictures = 0;
  auto save = [&](const QPixmap& picture, const char* name) {
    ++pictures;
    ok += Save(picture, out, name);
  };

  {
    // The status bar of a 100,000-entry archive: every panel's text whole.
    testing::TempFolder big;
    testing::ArchiveBuilder builder = testing::ManyEntries(100000);
    auto pair = testing::WritePair(big, "speech", builder.Index(),
                                   builder.Data(testing::DataSizeOf(builder, 256)));
    MainWindow form;
    form.show();
    Wait(300);
    Unpack(form, pair.indexPath);
    save(form.grab(), "main-window-100000-entries.png");

    // The change check of 100,000 entries runs on: shown in the progress bar beside Stop.
    form.ShowReading();
    save(form.grab(), "still-checking.png");
    form.RequestStop();

    // A second Unpack, a third of the way through its entry files: the window as Stop and Esc
    // stop it. Then Esc.
    int thirds = 0;
    BackgroundCommand::SetProbe([&](const char* call, int value) {
      if (std::strcmp(call, "progress.position") != 0 || value != 33333 || ++thirds != 2) return;
      OnWindowThread([&] {
        Wait(200);
        save(form.grab(), "unpack-stop-button.png");
        QTest::keyClick(&form, Qt::Key_Escape);
      });
    });
    Unpack(form, pair.indexPath);
    BackgroundCommand::SetProbe({});
  }

  // The small archive lies in a folder tree of fixed names, so that the folder dialog, which
  // opens on the folder of the last Unpack, shows the same folders on every run.
  QDir home(QDir::tempPath() + QStringLiteral("/tessaly-screenshots"));
  home.removeRecursively();
  for (const char* folder : kFolderTree) home.mkpath(QString::fromLatin1(folder));
  uint32_t dataSize = 0;
  testing::ArchiveBuilder builder = FortyEntries(dataSize);
  const std::string audio = home.filePath(QStringLiteral("Games/Football/Audio")).toStdString();
  testing::WriteBytes(audio + "/speech.idx", builder.Index());
  testing::WriteBytes(audio + "/speech.big", builder.Data(dataSize));

  MainWindow form;
  form.show();
  Wait(300);
  Unpack(form, audio + "/speech.idx");
  save(form.grab(), "main-window-after-unpack.png");

  EntryGrid* grid = form.Grid();
  QScrollBar* sideways = grid->horizontalScrollBar();
  sideways->setValue(sideways->maximum() / 2);
  Wait(100);
  save(form.grab(), "grid-scrolled-halfway-right.png");
  sideways->setValue(0);

  grid->SortBy(kColSize);
  grid->SortBy(kColSize);
  grid->FitColumn(kColName);  // as a double-click on its border does, so "Size" comes into view
  Wait(100);
  save(form.grab(), "grid-sorted-by-size-descending.png");

  {
    // A balloon over the Unpack button.
    auto* unpack = form.findChild<QToolButton*>(QStringLiteral("ExportButton"));
    QPoint pointer = unpack->mapToGlobal(unpack->rect().center());
    QCursor::setPos(pointer);
    QEnterEvent enter(QPointF(unpack->rect().center()), QPointF(unpack->rect().center()),
                      QPointF(pointer));
    QApplication::sendEvent(unpack, &enter);
    Wait(BalloonHints::kWakeUpMs + 200);
    QRect area = form.frameGeometry()
                     .adjusted(-10, -60, 10, 10)
                     .intersected(QGuiApplication::primaryScreen()->geometry());
    save(GrabScreen(area).copy(0, 0, area.width(), 160), "balloon-hint.png");
  }
  {
    HelpSupportDialog help(&form);
    help.show();
    Wait(200);
    save(help.grab(), "help-support.png");
  }
  {
    // Opens on the unpack folder by itself; the tree starts at the fixed folders.
    FolderDialog dialog(&form);
    auto* folders = dialog.Tree()->model();
    dialog.Tree()->setRootIndex(static_cast<QFileSystemModel*>(folders)->index(home.path()));
    dialog.show();
    Wait(1200);
    save(dialog.grab(), "folder-dialog.png");
  }
  {
    // The program's pictures, large: icon, then the four toolbar images.
    QPixmap sheet(5 * 72 + 8, 80);
    sheet.fill(form.palette().color(QPalette::Window));
    QPainter painter(&sheet);
    const char* names[] = {"tessaly", "unpack", "pack", "help", "exit"};
    for (int i = 0; i < 5; ++i)
      painter.drawPixmap(8 + i * 72, 8, Picture(QLatin1String(names[i])).pixmap(64, 64));
    painter.end();
    save(sheet, "pictures.png");
  }
  {
    // The workbench: a wider window, so the clip columns show beside the table's columns.
    std::string data;
    testing::ArchiveBuilder clips = ClipArchive(data);
    const std::string commentary =
        home.filePath(QStringLiteral("Games/Football/Audio")).toStdString();
    testing::WriteBytes(commentary + "/commentary.idx", clips.Index());
    testing::WriteBytes(commentary + "/commentary.big", data);
    const std::string takes = home.filePath(QStringLiteral("Recordings/Commentary")).toStdString();
    // A fixed time on the recordings, so that the dialog's date column is the same in every run.
    const QDateTime recorded(QDate(2026, 6, 14), QTime(18, 30), Qt::UTC);
    for (const char* take : {"goal-call.wav", "kick-off.wav", "penalty-miss.wav"}) {
      testing::WriteWav(takes + "/" + take, 0.8);
      QFile file(QString::fromStdString(takes + "/" + take));
      file.open(QIODevice::ReadWrite);
      file.setFileTime(recorded, QFileDevice::FileModificationTime);
    }
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("tessaly"),
              QStringLiteral("tessaly"))
        .setValue(QStringLiteral("workbench/lastAudioFolder"), QString::fromStdString(takes));

    MainWindow bench;
    bench.show();
    bench.resize(1100, 470);
    Wait(300);
    Unpack(bench, commentary + "/commentary.idx");
    // Two clips replaced: one converted from a recording, one copied in by hand in the wrong
    // channel count.
    const std::string folder = commentary + "/commentary_";
    bench.Bench()->Replace().ReplaceRow(3, takes + "/goal-call.wav");
    const testing::Bytes stereo = testing::PcmStream(2, 9000);
    testing::WriteBytes(folder + "/commentary_00007.asf",
                        std::string(stereo.begin(), stereo.end()));
    bench.Bench()->ShowFolder(folder);
    WaitForClipWork(bench);
    bench.Grid()->FitColumn(kColName);
    bench.Grid()->selectRow(6);
    Wait(100);
    save(bench.grab(), "workbench-clip-columns-and-marks.png");

    bench.Bench()->Filter()->setText(QStringLiteral("0001"));
    Wait(100);
    save(bench.grab(), "workbench-filter.png");
    bench.Bench()->Filter()->clear();

    bench.Grid()->selectRow(1);
    testing::WhenShown<QFileDialog>([&](QFileDialog* dialog) {
      // Wide enough for whole names, sizes and dates, as a user would drag it.
      dialog->resize(860, 440);
      Wait(1200);
      if (auto* files = dialog->findChild<QTreeView*>(QStringLiteral("treeView")))
        for (int column = 0; column < 4; ++column) files->resizeColumnToContents(column);
      Wait(100);
      save(dialog->grab(), "workbench-replace-dialog.png");
      dialog->reject();
    });
    bench.Bench()->Replace().OnReplace();

    testing::WhenShown<QMessageBox>([&](QMessageBox* box) {
      Wait(200);
      save(box->grab(), "workbench-pack-question.png");
      box->reject();
    });
    NextAnswers::Push(FolderDialog::kName, QString::fromStdString(folder));
    bench.OnPack();

    // The grid's context menu on a replaced clip: Play and Play original compare it with the
    // archive's, Revert puts that back; each with its key.
    bench.Grid()->setFocus();
    bench.Grid()->selectRow(2);
    {
      QMenu menu;
      menu.addActions(bench.Grid()->actions());
      const QRect cell = bench.Grid()->visualRect(bench.Grid()->model()->index(2, kColName));
      menu.popup(bench.Grid()->viewport()->mapToGlobal(cell.center()));
      Wait(300);
      const QRect area = bench.frameGeometry().united(menu.geometry());
      save(GrabScreen(area).copy(0, 0, area.width(), area.height()), "workbench-context-menu.png");
      menu.close();
    }
    // Play original: the status bar names what plays (the screenshots have no sound device).
    ClipPlayer::SetOutputForTests([](const QAudioFormat&) { return std::make_unique<Silent>(); });
    bench.Bench()->Originals().OnPlayOriginal();
    Wait(100);
    save(bench.grab(), "workbench-play-original.png");
    bench.Bench()->Player().Stop();
    ClipPlayer::SetOutputForTests({});

    // A recording far longer than the clip it would replace: asked first.
    testing::WriteWav(takes + "/whole-match.wav", 3.5);
    testing::WhenShown<QMessageBox>([&](QMessageBox* box) {
      Wait(200);
      save(box->grab(), "workbench-length-question.png");
      box->reject();
    });
    bench.Bench()->Replace().ReplaceRow(5, takes + "/whole-match.wav");

    // Revert of a selection: one question names the replaced clips, then their marks go.
    bench.Grid()->selectRow(2);
    bench.Grid()->selectionModel()->select(bench.Grid()->model()->index(6, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    testing::WhenShown<QMessageBox>([&](QMessageBox* box) {
      Wait(200);
      save(box->grab(), "workbench-revert-question.png");
      box->button(QMessageBox::Yes)->click();
    });
    bench.Bench()->Originals().OnRevert();
    WaitForClipWork(bench);
    save(bench.grab(), "workbench-after-revert.png");
  }
  home.removeRecursively();
  return ok == pictures ? 0 : 1;
}
