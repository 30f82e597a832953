// The window's long work off its thread: Stop and Esc during Unpack, Pack, Export and Replace
// with the files left as stated, the reading of the clip columns and the change check shown and
// stopped, F5, and a clip column's sort while it fills. A probe on the work's host calls makes
// each stop land at a known point, with no timing.
#include "ClipFixtures.h"
#include "UiFixtures.h"
#include "UiTestMain.h"
#include "support/AudioSignals.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QProgressBar>
#include <QtTest>

#include <cstring>

#include "audio/Wav.h"
#include "ui/BackgroundCommand.h"
#include "ui/clipwork/ReplaceFlow.h"
#include "ui/dialogs/FolderDialog.h"
#include "ui/dialogs/PackQuestion.h"
#include "ui/widgets/PanelStatusBar.h"
#include "ui/widgets/WindowThread.h"

using namespace tessaly;
using namespace tessaly::testing;
using namespace tessaly::ui;

namespace {

QToolButton* StopButton(MainWindow& form) {
  return form.findChild<QToolButton*>(QStringLiteral("StopWorkButton"));
}

// What the window looked like when the probe pressed Stop.
struct AtStop {
  bool stopShown = false;
  bool toolbarEnabled = true;
  bool windowEnabled = true;
};

// Presses Stop (the button, or Esc) on the window's thread, the work waiting, the `nth` time the
// work makes host call `call` with `value` (any value when negative).
void StopAt(MainWindow& form, const char* call, int value, int nth, bool escape, AtStop& seen) {
  auto count = std::make_shared<int>(0);
  BackgroundCommand::SetProbe(
      [&form, call, value, nth, escape, &seen, count](const char* made, int given) {
        if (std::strcmp(made, call) != 0 || (value >= 0 && given != value) || ++*count != nth)
          return;
        OnWindowThread([&] {
          seen = {StopButton(form)->isVisible() && StopButton(form)->isEnabled(),
                  form.findChild<QWidget*>(QStringLiteral("ToolBar1"))->isEnabled(),
                  form.WindowEnabled()};
          if (escape)
            QTest::keyClick(&form, Qt::Key_Escape);
          else
            QTest::mouseClick(StopButton(form), Qt::LeftButton);
        });
      });
}

}  // namespace

class BackgroundWorkTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { UseSettingsIn(settings_.Path().c_str()); }
  void cleanup() {
    BackgroundCommand::SetProbe({});
    NextAnswers::Clear();
  }

  void escStopsAnUnpackWithEveryEntryWholeAndSaysHowFar() {
    ArchiveBuilder builder = ManyEntries(600, 16);
    Session s(builder, builder.Data(DataSizeOf(builder, 4096)));
    AtStop seen;
    // The size pass counts the rows, then the writing pass does: stopped at the writing's 5th.
    StopAt(s.form, "progress.position", 5, 2, true, seen);
    s.Unpack();

    QVERIFY(seen.stopShown && !seen.toolbarEnabled && !seen.windowEnabled);
    QCOMPARE(s.boxes.boxes.size(), size_t{1});
    const ShownBox& box = s.boxes.boxes[0];
    QCOMPARE(box.look.caption, QStringLiteral("Information"));
    QCOMPARE(box.look.text, "Unpack stopped: 5 of 600 entry files were written to " +
                                Q(s.folder / "speech_") +
                                ". The index copy and the table file were not.");
    QVERIFY(box.windowEnabled);
    const QStringList files = QDir(Q(s.folder / "speech_")).entryList(QDir::Files);
    QCOMPARE(files.size(), 5);  // whole entries only: no temporary, no table file
    QCOMPARE(QFileInfo(Q(s.folder / "speech_/speech_00005.asf")).size(), 4096);
    QVERIFY(!StopButton(s.form)->isVisible());
    QVERIFY(s.form.TakesInput());
    QCOMPARE(Progress(s.form)->value(), Progress(s.form)->minimum());
  }

  void theStopButtonStopsAPackWithNoFileChanged() {
    ArchiveBuilder builder = ManyEntries(600, 16);
    Session s(builder, builder.Data(DataSizeOf(builder, 4096)));
    s.Unpack();
    WriteBytes(s.folder / "speech_/speech_00002.asf", std::string(5000, 'x'));  // grows
    WriteBytes(s.folder / "speech_.big", "earlier data");
    const auto before = FilesUnder(s.folder.Path());
    AtStop seen;
    StopAt(s.form, "progress.position", 100, 1, false, seen);
    NextAnswers::Push(FolderDialog::kName, Q(s.folder / "speech_"));
    NextAnswers::Push(kPackQuestionName, QStringLiteral("Yes"));
    s.Click("ImportButton");

    QVERIFY(seen.stopShown && !seen.windowEnabled);
    QCOMPARE(s.boxes.boxes.size(), size_t{2});
    QCOMPARE(s.boxes.boxes[1].look.text,
             QStringLiteral("Pack stopped: nothing was written. The folder and the pair beside "
                            "it are as they were."));
    QVERIFY(FilesUnder(s.folder.Path()) == before);
    QVERIFY(s.form.TakesInput());
  }

  void escStopsAnExportBeforeItsFirstClip() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    s.form.Grid()->selectAll();
    AtStop seen;
    StopAt(s.form, "progress.max", -1, 1, true, seen);
    NextAnswers::Push(FolderDialog::kName, Q(s.folder / "wav"));
    s.Click("ExportWavButton");

    QVERIFY(seen.stopShown);
    QCOMPARE(s.boxes.boxes.size(), size_t{2});
    QCOMPARE(s.boxes.boxes[1].look.text,
             "Export stopped: exported 0 of 3 clips to " + Q(s.folder / "wav"));
    QVERIFY(QDir(Q(s.folder / "wav")).entryList(QDir::Files).isEmpty());
  }

  void escStopsAReplaceBeforeTheClipIsWritten() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    const std::string entry = s.folder / "speech_/speech_00002.asf";
    const std::string before = ReadBytes(entry);
    s.form.Grid()->setFocus();
    s.form.Grid()->selectRow(RowOf(s.form, QStringLiteral("speech_00002.asf")));
    WriteWav(s.folder / "line.wav", 0.5);
    AtStop seen;
    StopAt(s.form, "status", 3, 1, true, seen);  // "Replacing ..."
    NextAnswers::Push(ReplaceFlow::kDialogName, Q(s.folder / "line.wav"));
    // Far longer than the fixture's clip: the length question comes first.
    NextAnswers::Push(ReplaceFlow::kLengthQuestionName, QStringLiteral("Yes"));
    s.form.findChild<QAction*>(QStringLiteral("ReplaceClipAction"))->trigger();

    QVERIFY(seen.stopShown);
    QCOMPARE(ReadBytes(entry), before);
    QCOMPARE(Note(s.form), QStringLiteral("Replace stopped: speech_00002.asf is as it was."));
    QCOMPARE(s.boxes.boxes.size(), size_t{1});
  }

  void theStopButtonStopsAReplaceOfSeveralRowsBetweenEntries() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    const std::string first = ReadBytes(Entry(s, 1));
    const std::string second = ReadBytes(Entry(s, 2)), third = ReadBytes(Entry(s, 3));
    s.form.Grid()->setFocus();
    s.form.Grid()->selectAll();
    WriteWav(s.folder / "line.wav", 0.05);
    AtStop seen;
    StopAt(s.form, "progress.position", 2, 1, false, seen);  // as the second entry begins
    NextAnswers::Push(ReplaceFlow::kDialogName, Q(s.folder / "line.wav"));
    NextAnswers::Push(ReplaceFlow::kSeveralQuestionName, QStringLiteral("Yes"));
    s.form.findChild<QAction*>(QStringLiteral("ReplaceClipAction"))->trigger();

    QVERIFY(seen.stopShown);
    QVERIFY(!seen.windowEnabled);
    QCOMPARE(Note(s.form), QStringLiteral("Replace stopped: replaced 1 of 3 clips with line.wav"));
    QVERIFY(ReadBytes(Entry(s, 1)) != first);
    QCOMPARE(ReadBytes(Entry(s, 2)), second);
    QCOMPARE(ReadBytes(Entry(s, 3)), third);
  }

  void theChangeCheckShowsItIsStillCheckingAndStopsOnEscAndF5ReadsAgain() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    QApplication::setActiveWindow(&s.form);
    QVERIFY(QTest::qWaitForWindowActive(&s.form));
    WaitForClips(s.form);
    QTRY_VERIFY(!s.form.Bench()->MarksPending());
    // A check started here runs until the window's thread takes its result: it is running now.
    s.form.Bench()->EntriesReplaced({});
    QVERIFY(s.form.Bench()->StatusWorker().Checking());
    s.form.ShowReading();
    QVERIFY(Progress(s.form)->isTextVisible());
    QVERIFY2(Progress(s.form)->text().startsWith("Still checking which entries changed"),
             qPrintable(Progress(s.form)->text()));
    QVERIFY(StopButton(s.form)->isVisible());

    QTest::keyClick(&s.form, Qt::Key_Escape);
    QVERIFY(!s.form.Bench()->MarksPending());
    QVERIFY(!StopButton(s.form)->isVisible());
    QVERIFY(!Progress(s.form)->isTextVisible());
    QCOMPARE(Note(s.form), QStringLiteral("Stopped reading the folder: F5 reads it again."));
    QCOMPARE(s.form.Bench()->Marks().Count(), size_t{0});

    // A clip replaced by another program shows after F5.
    const std::string third = ReadBytes(s.folder / "speech_/speech_00003.asf");
    WriteBytes(s.folder / "speech_/speech_00001.asf", third);
    QTest::keyClick(&s.form, Qt::Key_F5);
    WaitForClips(s.form);
    QTRY_VERIFY(!s.form.Bench()->MarksPending());
    QVERIFY(s.form.Bench()->Marks().Find("speech_00001.asf"));
    QCOMPARE(s.form.Bench()->Marks().Count(), size_t{1});
  }

  void aClipColumnSortTakesInTheRecordsThatArriveLater() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    WaitForClips(s.form);
    // Sorted by Duration while no record is read: every row is unknown and keeps its place.
    std::vector<std::string> names;
    for (int row = 1; row < s.form.Table().RowCount(); ++row)
      names.emplace_back(s.form.Table().Cell(kColName, row));
    s.form.Bench()->Clips().Clear();
    const int duration = kEntryColumnCount + 3;
    s.form.Grid()->SortBy(duration);
    QCOMPARE(s.form.Table().Cell(kColName, 1), std::string_view("speech_00001.asf"));
    // The records arrive under the sort mark: the rows follow it (0.04 s, then 0.05 s twice).
    s.form.Bench()->Clips().Start(s.folder / "speech_", names);
    WaitForClips(s.form);
    QVERIFY(s.form.Grid()->SortMarkShown());
    QCOMPARE(s.form.Grid()->SortColumn(), duration);
    QCOMPARE(s.form.Table().Cell(kColName, 1), std::string_view("speech_00003.asf"));
  }

 private:
  TempFolder settings_;
};

TESSALY_UI_TEST(BackgroundWorkTest);
#include "BackgroundWorkTest.moc"
