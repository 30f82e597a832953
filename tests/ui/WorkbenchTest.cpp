// The window as a workbench: clip columns, the filter, playback, Open Folder, drops of archives,
// a resizable window and what it remembers between runs.
#include "ClipFixtures.h"
#include "UiFixtures.h"
#include "UiTestMain.h"

#include <QAbstractItemModelTester>
#include <QAudioDevice>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMediaDevices>
#include <QMimeData>
#include <QSettings>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

#include "archive/EntryTable.h"
#include "packing/TableFile.h"
#include "ui/clipwork/ClipPlayer.h"
#include "ui/clipwork/Workbench.h"
#include "ui/dialogs/FolderDialog.h"
#include "ui/dialogs/NextAnswers.h"
#include "ui/grid/ClipColumns.h"
#include "ui/grid/EntryTableModel.h"
#include "ui/grid/WorkbenchModel.h"
#include "ui/settings/WorkFolders.h"
#include "ui/widgets/PanelStatusBar.h"

using namespace tessaly;
using namespace tessaly::testing;
using namespace tessaly::ui;

namespace {

QString ViewCell(MainWindow& form, int row, int column) {
  return View(form)->data(View(form)->index(row, column)).toString();
}
QStringList ViewNames(MainWindow& form) {
  QStringList names;
  for (int row = 0; row < View(form)->rowCount(); ++row) names << ViewCell(form, row, kColName);
  return names;
}
void SelectRow(MainWindow& form, int viewRow) {
  form.Grid()->setFocus();
  form.Grid()->selectRow(viewRow);
}
template <typename T>
T* Child(MainWindow& form, const char* name) {
  return form.findChild<T*>(QString::fromLatin1(name));
}

// A sound output the test plays by hand: it takes what it is told to from its source and reports
// the played time it is given, as a device on a loaded machine may.
class HandOutput : public SoundOutput {
 public:
  void Start(QIODevice* source) override {
    source_ = source;
    state_ = QAudio::ActiveState;
  }
  void Stop() override { state_ = QAudio::StoppedState; }
  QAudio::State State() const override { return state_; }
  QAudio::Error Error() const override { return QAudio::NoError; }
  qint64 PlayedUSecs() const override { return played; }
  // Takes `bytes` (all that is left when negative) and runs dry: idle.
  void Pull(qint64 bytes = -1) {
    source_->read(bytes < 0 ? source_->bytesAvailable() : bytes);
    state_ = QAudio::IdleState;
    Q_EMIT StateChanged(state_);
  }
  qint64 played = 0;

 private:
  QIODevice* source_ = nullptr;
  QAudio::State state_ = QAudio::StoppedState;
};

}  // namespace

class WorkbenchTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       settingsFolder_.Path().c_str());
  }
  void cleanup() {
    NextAnswers::Clear();
    ClipPlayer::SetDeviceMissingForTests(false);
    ClipPlayer::SetOutputForTests({});
  }

  void clipColumnsFollowTheSeventeenAndStayOutOfTheTableFile() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    WaitForClips(s.form);

    WorkbenchModel* view = View(s.form);
    QCOMPARE(view->columnCount(), kEntryColumnCount + ClipColumns::kCount);
    QStringList titles;
    for (int c = kEntryColumnCount; c < view->columnCount(); ++c)
      titles << view->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(titles, (QStringList{"Codec", "Channels", "Rate", "Duration"}));
    auto clipRow = [&](int row) {
      QStringList cells;
      for (int c = kEntryColumnCount; c < view->columnCount(); ++c)
        cells << ViewCell(s.form, row, c);
      return cells;
    };
    QCOMPARE(clipRow(0), (QStringList{"PCM S16LE", "1", "22050", "0.05"}));
    QCOMPARE(clipRow(1), (QStringList{"PCM S16LE", "2", "22050", "0.05"}));
    QVERIFY(!s.form.Grid()->isColumnHidden(kEntryColumnCount));

    // Sorting moves the rows; each keeps its own clip.
    s.form.Grid()->SortBy(kColNumber);
    QCOMPARE(ViewCell(s.form, 1, kEntryColumnCount + 1), QStringLiteral("2"));

    // The table and its file keep their 17 columns.
    QCOMPARE(s.form.Table().ColumnCount(), kEntryColumnCount);
    EntryTable stored;
    LoadTableFile(stored, s.folder / "speech_/speech_.tbl");
    QCOMPARE(stored.ColumnCount(), kEntryColumnCount);

    // An entry file that is no stream reads as unknown, not as a failure.
    WriteBytes(s.folder / "speech_/speech_00003.asf", "not a stream");
    s.form.Bench()->ShowFolder(s.folder / "speech_");
    WaitForClips(s.form);
    QCOMPARE(ViewCell(s.form, 0, kEntryColumnCount), QStringLiteral("?"));
  }

  void clipColumnsFollowAPlainListingAndSortLikeTheOthers() {
    Session s(ThreeEntries(), ThreeClips());
    NextAnswers::Push(OpenFileDialog::kName, Q(s.pair.indexPath));
    s.form.OnListArchive();  // read from the data file: nothing is unpacked
    WaitForClips(s.form);
    const int channels = kEntryColumnCount + 1, duration = kEntryColumnCount + 3;
    QCOMPARE(ViewCell(s.form, 1, channels), QStringLiteral("2"));
    QCOMPARE(ViewCell(s.form, 2, duration), QStringLiteral("0.04"));

    s.form.Grid()->SortBy(channels);
    QCOMPARE(ViewNames(s.form),
             (QStringList{"speech_00001.asf", "speech_00003.asf", "speech_00002.asf"}));
    s.form.Grid()->SortBy(channels);  // again: descending
    QCOMPARE(ViewNames(s.form).front(), QStringLiteral("speech_00002.asf"));
    s.form.Grid()->SortBy(duration);
    QCOMPARE(ViewNames(s.form).front(), QStringLiteral("speech_00003.asf"));
    QCOMPARE(ViewCell(s.form, 0, duration), QStringLiteral("0.04"));
    QVERIFY(s.form.Grid()->SortMarkShown());
    QCOMPARE(s.form.Table().ColumnCount(), kEntryColumnCount);
  }

  void filterNarrowsTheRowsAndClearingRestoresTheirOrder() {
    ArchiveBuilder builder = ManyEntries(30);
    Session s(builder, builder.Data(DataSizeOf(builder, 256)));
    QAbstractItemModelTester tester(View(s.form),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    s.Unpack();
    s.form.Grid()->SortBy(kColNumber);  // descending
    const QStringList sorted = ViewNames(s.form);
    SelectRow(s.form, 0);  // speech_00030.asf

    QTest::keyClick(&s.form, Qt::Key_F, Qt::ControlModifier);
    auto* filter = Child<QLineEdit>(s.form, "FilterEdit");
    QVERIFY(filter->hasFocus());
    QTest::keyClicks(filter, "SPEECH_0003");  // case is ignored
    QCOMPARE(ViewNames(s.form), (QStringList{"speech_00030.asf"}));
    QCOMPARE(s.form.Grid()->CurrentTableRow(), 1);  // the selection stayed with its row

    filter->setText("_0001");
    QCOMPARE(ViewNames(s.form).size(), 10);                 // speech_00010 to speech_00019
    QCOMPARE(s.form.Grid()->ViewModel()->TableRow(0), 12);  // sorted order holds: 00019 first
    filter->setText("nothing like it");
    QCOMPARE(View(s.form)->rowCount(), 0);
    filter->clear();
    QCOMPARE(ViewNames(s.form), sorted);
    // Column widths survive filtering.
    QCOMPARE(s.form.Grid()->ShownColumnWidth(kColName), 200);
    QVERIFY(s.form.Grid()->isColumnHidden(kColRealAddress));

    // The codec takes part once the clips are known.
    Session clips(ThreeEntries(), ThreeClips());
    clips.Unpack();
    WaitForClips(clips.form);
    Child<QLineEdit>(clips.form, "FilterEdit")->setText("pcm s16");
    QCOMPARE(View(clips.form)->rowCount(), 3);
  }

  void playsTheSelectedClip() {
    if (QMediaDevices::defaultAudioOutput().isNull())
      QSKIP("no sound output here; CI starts a PulseAudio null sink");
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    SelectRow(s.form, 1);
    QSignalSpy stopped(&s.form.Bench()->Player(), &ClipPlayer::Stopped);
    QTest::keyClick(s.form.Grid(), Qt::Key_Space);
    QCOMPARE(Note(s.form), QStringLiteral("Playing speech_00002.asf"));
    QVERIFY(s.form.Bench()->Player().Playing());
    QVERIFY(Child<QToolButton>(s.form, "StopClipButton")->isEnabled());
    // 1,000 frames at 22050 Hz: over in well under a second.
    QVERIFY(stopped.wait(5000));
    QVERIFY(!s.form.Bench()->Player().Playing());

    // Stop ends a clip early; a double-click plays like Space.
    const QPoint first = s.form.Grid()->visualRect(View(s.form)->index(0, kColName)).center();
    QTest::mousePress(s.form.Grid()->viewport(), Qt::LeftButton, {}, first);
    QTest::mouseRelease(s.form.Grid()->viewport(), Qt::LeftButton, {}, first);
    QTest::mouseDClick(s.form.Grid()->viewport(), Qt::LeftButton, {}, first);
    QCOMPARE(Note(s.form), QStringLiteral("Playing speech_00001.asf"));
    s.Click("StopClipButton");
    QVERIFY(!s.form.Bench()->Player().Playing());
  }

  void playStopsOnlyOnceTheDeviceHasPlayedTheWholeClip() {
    HandOutput* output = nullptr;
    ClipPlayer::SetOutputForTests([&output](const QAudioFormat&) {
      auto made = std::make_unique<HandOutput>();
      output = made.get();
      return made;
    });
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    SelectRow(s.form, 1);
    ClipPlayer& player = s.form.Bench()->Player();
    QSignalSpy stopped(&player, &ClipPlayer::Stopped);
    QTest::keyClick(s.form.Grid(), Qt::Key_Space);
    QCOMPARE(Note(s.form), QStringLiteral("Playing speech_00002.asf"));
    QVERIFY(output);
    auto* stop = Child<QToolButton>(s.form, "StopClipButton");

    // An underrun: the output idles with samples left to take. It plays on.
    output->Pull(400);
    QVERIFY(player.Playing());
    QVERIFY(stop->isEnabled());
    // The output has taken the whole clip (1,000 stereo frames at 22050 Hz, 45 ms) and has it in
    // its buffer, but has played only part of it: the clip isn't over.
    output->Pull();
    output->played = 20000;
    QVERIFY(player.Playing());
    QVERIFY(stop->isEnabled());
    QCOMPARE(stopped.size(), 0);
    // Played to the end: now it stops.
    output->played = 1000 * qint64{1000000} / 22050;
    QVERIFY(stopped.wait(5000));
    QVERIFY(!player.Playing());
    QVERIFY(!stop->isEnabled());
  }

  void theGridKeepsTheFocusAndItsRowAfterACommand() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    QApplication::setActiveWindow(&s.form);
    QVERIFY(QTest::qWaitForWindowActive(&s.form));
    SelectRow(s.form, 1);
    s.form.Grid()->setFocus();
    QCOMPARE(QApplication::focusWidget(), s.form.Grid());
    // Export disables the window while it writes; the focus comes back to the grid, where Space
    // plays, not to the first toolbar button.
    NextAnswers::Push(FolderDialog::kName, Q(s.folder / "wav"));
    QMetaObject::invokeMethod(s.form.Bench(), &Workbench::OnExport);
    QCOMPARE(s.boxes.boxes.size(), size_t{2});
    // (Offscreen the disabled window loses its activation: its own focus widget is compared.)
    QCOMPARE(s.form.focusWidget(), s.form.Grid());

    // Ctrl+Home moves the current cell without selecting: the row shown selected is still meant.
    QTest::keyClick(s.form.Grid(), Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(s.form.Grid()->currentIndex().row(), 0);
    QCOMPARE(s.form.Grid()->CurrentTableRow(), 2);
  }

  void withoutSoundOutputTheStatusBarSaysSo() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    ClipPlayer::SetDeviceMissingForTests(true);
    SelectRow(s.form, 0);
    s.Click("PlayClipButton");
    QCOMPARE(Note(s.form), ClipPlayer::NoDeviceText());
    QVERIFY(!s.form.Bench()->Player().Playing());
    QCOMPARE(s.boxes.boxes.size(), size_t{1});  // only the Unpack's box

    // A clip that can't be decoded says why, naming it.
    ClipPlayer::SetDeviceMissingForTests(false);
    WriteBytes(s.folder / "speech_/speech_00001.asf", "not a stream");
    s.Click("PlayClipButton");
    QVERIFY2(Note(s.form).startsWith("Can't play speech_00001.asf: "), qPrintable(Note(s.form)));
  }

  void exportWritesTheSelectedRowsAsWav() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    WriteBytes(s.folder / "speech_/speech_00003.asf", "not a stream");
    s.form.Grid()->selectionModel()->select(
        View(s.form)->index(0, kColName), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    s.form.Grid()->selectionModel()->select(
        View(s.form)->index(2, kColName), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    NextAnswers::Push(FolderDialog::kName, Q(s.folder / "wav"));
    s.Click("ExportWavButton");

    QVERIFY(QFileInfo(Q(s.folder / "wav/speech_00001.wav")).size() > 2000);
    QVERIFY(!QFile::exists(Q(s.folder / "wav/speech_00002.wav")));  // not selected
    QVERIFY(!QFile::exists(Q(s.folder / "wav/speech_00003.wav")));  // no stream
    QCOMPARE(s.boxes.boxes.size(), size_t{2});
    const QString text = s.boxes.boxes[1].look.text;
    QVERIFY2(text.startsWith("Exported 1 of 2 clips to " + Q(s.folder / "wav") +
                             "\nSkipped speech_00003.asf: "),
             qPrintable(text));
    QVERIFY(s.boxes.boxes[1].windowEnabled);
    QCOMPARE(s.form.Table().ColumnCount(), kEntryColumnCount);
  }

  void exportAsksBeforeWritingOverAndKeepsItsOwnFolder() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    const std::string wav = s.folder / "wav";
    QVERIFY(QDir().mkpath(Q(wav)));
    WriteBytes(wav + "/speech_00001.wav", "old");
    WriteBytes(wav + "/speech_00002.wav", "old");
    auto exportRows = [&](std::initializer_list<const char*> answers) {
      s.form.Grid()->selectAll();
      NextAnswers::Push(FolderDialog::kName, Q(wav));
      for (const char* answer : answers)
        NextAnswers::Push(Workbench::kOverwriteQuestionName, QString::fromLatin1(answer));
      s.Click("ExportWavButton");
    };

    // No for the first, Yes for the second: only the second is written over.
    exportRows({"No", "Yes"});
    QVERIFY2(NextAnswers::LastQuestion().startsWith("speech_00002.wav is already in "),
             qPrintable(NextAnswers::LastQuestion()));
    QCOMPARE(ReadBytes(wav + "/speech_00001.wav"), std::string("old"));
    QVERIFY(QFileInfo(Q(wav + "/speech_00002.wav")).size() > 1000);
    QVERIFY2(QFileInfo(Q(wav + "/speech_00003.wav")).size() > 1000,
             qPrintable(s.boxes.boxes.back().look.text));
    QVERIFY2(s.boxes.boxes.back().look.text.startsWith("Exported 2 of 2 clips to "),
             qPrintable(s.boxes.boxes.back().look.text));

    // Yes to All asks once: a second answer, were it asked, would keep a file.
    exportRows({"Yes to All", "No"});
    QVERIFY(QFileInfo(Q(wav + "/speech_00001.wav")).size() > 1000);
    QVERIFY2(s.boxes.boxes.back().look.text.startsWith("Exported 3 of 3 clips to "),
             qPrintable(s.boxes.boxes.back().look.text));

    // The export target is remembered for exports alone: Pack and Open Folder start where the
    // last Unpack wrote.
    QCOMPARE(WorkFolders::ExportFolder(), Q(wav));
    QCOMPARE(WorkFolders::StartFolder(), Q(s.folder / "speech_"));
  }

  void openFolderShowsItsTableAndWritesNothing() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    const std::string folder = s.folder / "speech_";
    const QDateTime written = QFileInfo(Q(folder + "/speech_.tbl")).lastModified();

    MainWindow later;
    BoxRecorder boxes(later);
    NextAnswers::Push(FolderDialog::kName, Q(folder));
    QTest::mouseClick(Child<QToolButton>(later, "OpenFolderButton"), Qt::LeftButton);
    QCOMPARE(later.Grid()->Model()->rowCount(), 3);
    QCOMPARE(later.Table().Cell(kColSize, 2), std::string_view("6144"));
    QVERIFY(boxes.boxes.empty());
    QCOMPARE(later.Bench()->Folder(), folder);
    WaitForClips(later);
    QCOMPARE(ViewCell(later, 1, kEntryColumnCount + 1), QStringLiteral("2"));
    QCOMPARE(QFileInfo(Q(folder + "/speech_.tbl")).lastModified(), written);

    // A folder without its table says so as Pack does, and the grid stays.
    NextAnswers::Push(FolderDialog::kName, Q(s.folder.Path()));
    QTest::mouseClick(Child<QToolButton>(later, "OpenFolderButton"), Qt::LeftButton);
    QCOMPARE(boxes.boxes.size(), size_t{1});
    QCOMPARE(boxes.boxes[0].look.text, "Resource files not found in " + Q(s.folder.Path()));
    QCOMPARE(later.Grid()->Model()->rowCount(), 3);

    // The status panels describe the folder's table, not the archive listed before it.
    ArchiveBuilder five = ManyEntries(5);
    const ArchivePair other = WritePair(s.folder, "other", five.Index(), five.Data(5 * 256));
    s.Unpack(other.indexPath);
    auto* panels = Child<PanelStatusBar>(s.form, "StatusBar1");
    QCOMPARE(panels->PanelText(1), QStringLiteral("Asf count: 5"));
    NextAnswers::Push(FolderDialog::kName, Q(folder));
    s.Click("OpenFolderButton");
    QCOMPARE(s.form.Grid()->Model()->rowCount(), 3);
    QCOMPARE(panels->PanelText(0), QStringLiteral("speech_.id - speech_.tbl"));
    QCOMPARE(panels->PanelText(1), QStringLiteral("Asf count: 3"));
    QCOMPARE(panels->PanelText(2), QString());
  }

  void atTheNarrowestTheToolbarsControlsLeaveEachOtherFree() {
    MainWindow form;
    form.show();
    form.resize(form.minimumSize());
    QCOMPARE(form.width(), form.minimumWidth());
    QVERIFY(form.minimumWidth() <= MainWindow::kClientSize.width());
    std::vector<QWidget*> controls;
    for (QWidget* control :
         form.findChild<QWidget*>("ToolBar1")->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (control->isVisibleTo(&form)) controls.push_back(control);
    QVERIFY(controls.size() >= 10);
    for (QWidget* a : controls) {
      QVERIFY2(form.rect().contains(a->geometry()), qPrintable(a->objectName()));
      for (QWidget* b : controls)
        QVERIFY2(a == b || !a->geometry().intersects(b->geometry()),
                 qPrintable(a->objectName() + " covers " + b->objectName()));
    }
  }

  void droppingAnArchiveUnpacksIt() {
    Session s(ThreeEntries(), ThreeClips());
    auto drop = [&](const QString& path) {
      QMimeData mime;
      mime.setUrls({QUrl::fromLocalFile(path)});
      QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, {});
      QCoreApplication::sendEvent(&s.form, &enter);
      if (!enter.isAccepted()) return false;
      QDropEvent dropped(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, {});
      QCoreApplication::sendEvent(&s.form, &dropped);
      // The drop ends before the unpack runs, so the dragging program doesn't wait for its box.
      if (!s.boxes.boxes.empty() || s.form.Busy()) return false;
      QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
      return true;
    };
    WriteBytes(s.folder / "notes.txt", "x");
    QVERIFY(!drop(Q(s.folder / "notes.txt")));
    QVERIFY(drop(Q(s.pair.dataPath)));
    QCOMPARE(s.boxes.boxes.size(), size_t{1});
    QCOMPARE(s.boxes.boxes[0].look.text, "Successfully extracted to " + Q(s.folder / "speech_"));
    QCOMPARE(s.form.Grid()->Model()->rowCount(), 3);
  }

  void windowGrowsWithTheGridAndRemembersItsPlace() {
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "tessaly", "tessaly").clear();
    QRect grid;
    {
      MainWindow form;
      form.RememberBetweenRuns();
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      QVERIFY(form.windowFlags() & Qt::WindowMaximizeButtonHint);
      QCOMPARE(form.size(), MainWindow::kClientSize);
      const QRect designed = form.Grid()->geometry();
      form.resize(form.width() + 200, form.height() + 100);
      QTRY_COMPARE(form.Grid()->width(), designed.width() + 200);
      QCOMPARE(form.Grid()->height(), designed.height() + 100);
      auto* filter = Child<QLineEdit>(form, "FilterEdit");
      QCOMPARE(filter->geometry().right() < form.width(), true);
      grid = form.Grid()->geometry();
      NextAnswers::Push(OpenFileDialog::kName, QStringLiteral("/nowhere/speech.idx"));
      BoxRecorder boxes(form);
      QTest::mouseClick(Child<QToolButton>(form, "ExportButton"), Qt::LeftButton);
      form.close();
    }
    MainWindow again;
    again.RememberBetweenRuns();
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QCOMPARE(again.Grid()->geometry(), grid);
    QCOMPARE(QSettings(QSettings::NativeFormat, QSettings::UserScope, "tessaly", "tessaly")
                 .value("window/lastArchive")
                 .toString(),
             QStringLiteral("/nowhere/speech.idx"));
  }

  void addedControlsFollowTheBusyRule() {
    ArchiveBuilder builder = ThreeEntries();
    Session s(builder, ArchiveBuilder::DataWithSchl(12000, {0, 10240}));  // SCHl missing at 4096
    std::vector<bool> enabledAtBoxes;
    MessageBoxes::SetHook([&](const MessageBoxLook& look) {
      if (look.text != QStringLiteral("SCHl not found in 4096")) return;
      for (const char* name : {"FilterEdit", "ChangedOnlyBox", "OpenFolderButton", "PlayClipButton",
                               "ReplaceClipButton"})
        enabledAtBoxes.push_back(Child<QWidget>(s.form, name)->isEnabled());
    });
    s.Unpack();  // the listing's plain box, then the unpack's
    MessageBoxes::SetHook({});
    QCOMPARE(enabledAtBoxes.size(), size_t{5});
    QVERIFY(std::none_of(enabledAtBoxes.begin(), enabledAtBoxes.end(), [](bool on) { return on; }));
    QVERIFY(Child<QWidget>(s.form, "FilterEdit")->isEnabled());
  }

 private:
  TempFolder settingsFolder_;
};

TESSALY_UI_TEST(WorkbenchTest);
#include "WorkbenchTest.moc"
