// Changing clips from the window: the marks of changed rows, replacing a clip through the menu or
// by a drop, and the question before a pack of entries that can't be packed as they are.
#include "ClipFixtures.h"
#include "UiFixtures.h"
#include "UiTestMain.h"
#include "support/AudioSignals.h"

#include <QAction>
#include <QCheckBox>
#include <QDropEvent>
#include <QHelpEvent>
#include <QMimeData>
#include <QSettings>
#include <QtTest>

#include "audio/Wav.h"
#include "ui/clipwork/ReplaceFlow.h"
#include "ui/clipwork/Workbench.h"
#include "ui/dialogs/FolderDialog.h"
#include "ui/dialogs/NextAnswers.h"
#include "ui/dialogs/PackQuestion.h"
#include "ui/grid/ChangeMarks.h"
#include "ui/grid/EntryTableModel.h"
#include "ui/grid/WorkbenchModel.h"
#include "ui/widgets/BalloonHints.h"

using namespace tessaly;
using namespace tessaly::testing;
using namespace tessaly::ui;

namespace {

bool Drop(MainWindow& form, const std::string& path, const QString& onto) {
  QWidget* viewport = form.Grid()->viewport();
  const QPoint at =
      RowOf(form, onto) < 0
          ? QPoint(5, viewport->height() - 2)
          : form.Grid()->visualRect(View(form)->index(RowOf(form, onto), kColId)).center();
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(Q(path))});
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
  QCoreApplication::sendEvent(viewport, &enter);
  if (!enter.isAccepted()) return false;
  QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
  QCoreApplication::sendEvent(viewport, &move);
  if (!move.isAccepted()) return false;
  QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, {});
  QCoreApplication::sendEvent(viewport, &dropped);
  // The drop has ended before its work runs: that comes queued.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
  return dropped.isAccepted();
}

}  // namespace

class ClipChangesTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { UseSettingsIn(Q(settingsFolder_.Path())); }
  void cleanup() { NextAnswers::Clear(); }

  void changedRowsAreMarkedAndProblemsCarryTheirText() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    WaitForMarks(s.form);
    QVERIFY(s.form.Bench()->Marks().Empty());

    // A shorter clip of the same kind, and a mono clip where a stereo one was.
    const Bytes shorter = PcmStream(1, 500), mono = PcmStream(1, 1000);
    WriteBytes(Entry(s, 1), std::string(shorter.begin(), shorter.end()));
    WriteBytes(Entry(s, 2), std::string(mono.begin(), mono.end()));
    s.form.Bench()->ShowFolder(s.folder / "speech_");
    WaitForMarks(s.form);

    QCOMPARE(s.form.Bench()->Marks().Count(), size_t{2});
    QVERIFY(!Cell(s.form, kFirst, kColNumber, Qt::DecorationRole).isNull());
    QCOMPARE(Cell(s.form, kFirst, kColSize, Qt::BackgroundRole).value<QColor>(),
             ChangeMarks::Tint(QApplication::palette(), false));
    QCOMPARE(Cell(s.form, kFirst, kColName, Qt::ToolTipRole).toString(), QStringLiteral("Changed"));
    QCOMPARE(Cell(s.form, kSecond, kColSize, Qt::BackgroundRole).value<QColor>(),
             ChangeMarks::Tint(QApplication::palette(), true));
    QCOMPARE(Cell(s.form, kSecond, kColName, Qt::ToolTipRole).toString(),
             QStringLiteral("another channel count: 1, the clip it replaces has 2"));
    QVERIFY(Cell(s.form, kThird, kColNumber, Qt::DecorationRole).isNull());
    QVERIFY(Cell(s.form, kThird, kColSize, Qt::BackgroundRole).isNull());

    // The problem shows as the cell's hint when the pointer rests on the row.
    BalloonHints* hints = BalloonHints::Install();
    QWidget* viewport = s.form.Grid()->viewport();
    const QPoint at =
        s.form.Grid()->visualRect(View(s.form)->index(RowOf(s.form, kSecond), kColName)).center();
    QHelpEvent help(QEvent::ToolTip, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &help);
    QVERIFY(hints->CurrentBalloon()->isVisible());
    QCOMPARE(hints->CurrentBalloon()->Text(),
             QStringLiteral("another channel count: 1, the clip it replaces has 2"));

    s.form.findChild<QCheckBox*>(QStringLiteral("ChangedOnlyBox"))->setChecked(true);
    QCOMPARE(View(s.form)->rowCount(), 2);
    QVERIFY(RowOf(s.form, kThird) < 0);
  }

  void replaceThroughTheMenuConvertsTheFileAndFailsWithoutHarm() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    WaitForMarks(s.form);
    s.form.Grid()->setFocus();
    s.form.Grid()->selectRow(RowOf(s.form, kSecond));
    QAction* replace = s.form.findChild<QAction*>(QStringLiteral("ReplaceClipAction"));
    QVERIFY(s.form.Grid()->actions().contains(replace));

    WriteWav(s.folder / "line.wav", 0.5);
    NextAnswers::Push(ReplaceFlow::kDialogName, Q(s.folder / "line.wav"));
    // Ten times the clip's length: asked about first.
    NextAnswers::Push(ReplaceFlow::kLengthQuestionName, QStringLiteral("Yes"));
    replace->trigger();
    WaitForMarks(s.form);
    QCOMPARE(s.boxes.boxes.size(), size_t{1});  // the unpack's
    // Converted to the stereo clip it replaces, so nothing is wrong with it.
    QCOMPARE(Cell(s.form, kSecond, kEntryColumnCount + 1).toString(), QStringLiteral("2"));
    QCOMPARE(Cell(s.form, kSecond, kEntryColumnCount + 3).toString(), QStringLiteral("0.50"));
    QCOMPARE(Cell(s.form, kSecond, kColName, Qt::ToolTipRole).toString().left(7),
             QStringLiteral("Changed"));
    QCOMPARE(s.form.Bench()->Marks().Count(), size_t{1});

    // Files that can't go in: the box says why, and the entry file stays as it was.
    const std::string before = ReadBytes(Entry(s, 2));
    WriteBytes(s.folder / "notes.wav", "no audio here");
    WriteWav(s.folder / "fast.wav", 0.5, 44100);
    const struct {
      const char* file;
      QString reason;
    } refused[] = {
        {"notes.wav", QString()},
#ifndef TESSALY_HAS_MEDIA
        {"fast.wav", QStringLiteral("its sample rate is 44100 Hz and the clip's 22050 Hz. This "
                                    "build has no FFmpeg to convert it")},
#endif
    };
    for (const auto& c : refused) {
      const size_t shown = s.boxes.boxes.size();
      NextAnswers::Push(ReplaceFlow::kDialogName, Q(s.folder / c.file));
      replace->trigger();
      QCOMPARE(s.boxes.boxes.size(), shown + 1);
      const MessageBoxLook& box = s.boxes.boxes.back().look;
      QCOMPARE(box.caption, QStringLiteral("Error"));
      QVERIFY2(box.text.startsWith("Can't replace speech_00002.asf with " + Q(s.folder / c.file) +
                                   ":\n"),
               qPrintable(box.text));
      QVERIFY2(box.text.contains(c.reason), qPrintable(box.text));
      QVERIFY(s.boxes.boxes.back().windowEnabled);
      QCOMPARE(ReadBytes(Entry(s, 2)), before);
    }

    QAction* loudness = s.form.findChild<QAction*>(QStringLiteral("MatchLoudnessAction"));
#ifdef TESSALY_HAS_MEDIA
    // The loudness option is remembered between runs.
    QVERIFY(loudness->isChecked());
    loudness->setChecked(false);
    MainWindow later;
    QVERIFY(!later.findChild<QAction*>(QStringLiteral("MatchLoudnessAction"))->isChecked());
    loudness->setChecked(true);
#else
    // Shown, but off and out of reach without FFmpeg.
    QVERIFY(!loudness->isChecked());
    QVERIFY(!loudness->isEnabled());
#endif
  }

  void droppingAFileReplacesTheRowAndAFolderReplacesByName() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    WaitForMarks(s.form);
    s.form.Grid()->SortBy(kColNumber);  // any order: the drop goes to the row under it
    WriteWav(s.folder / "line.wav", 0.25);
    NextAnswers::Push(ReplaceFlow::kLengthQuestionName, QStringLiteral("Yes"));
    QVERIFY(Drop(s.form, s.folder / "line.wav", kThird));
    WaitForMarks(s.form);
    QCOMPARE(Cell(s.form, kThird, kEntryColumnCount + 3).toString(), QStringLiteral("0.25"));
    QCOMPARE(Cell(s.form, kFirst, kEntryColumnCount + 3).toString(), QStringLiteral("0.05"));
    QCOMPARE(s.boxes.boxes.size(), size_t{1});

    // A folder: files named after entries go in, the others are reported.
    const std::string from = s.folder / "takes";
    QDir().mkpath(Q(from));
    WriteWav(from + "/speech_00001.wav", 0.75);
    WriteWav(from + "/crowd.wav", 0.1);
    QVERIFY(Drop(s.form, from, QString()));
    WaitForMarks(s.form);
    QCOMPARE(Cell(s.form, kFirst, kEntryColumnCount + 3).toString(), QStringLiteral("0.75"));
    QCOMPARE(s.boxes.boxes.size(), size_t{2});
    const QString text = s.boxes.boxes[1].look.text;
    QVERIFY2(text.startsWith("Replaced 1 clip from " + Q(from) +
                             ", skipped 1 file\n"
                             "Skipped crowd.wav: "),
             qPrintable(text));
    QCOMPARE(s.form.Bench()->Marks().Count(), size_t{2});

    // An archive dropped onto the grid is still the window's to unpack.
    QVERIFY(!Drop(s.form, s.pair.indexPath, kFirst));
#ifndef TESSALY_HAS_MEDIA
    // Without FFmpeg only WAV files are taken.
    WriteBytes(s.folder / "line.ogg", "OggS");
    QVERIFY(!Drop(s.form, s.folder / "line.ogg", kFirst));
#endif
  }

  void unpackingAgainWhileTheFolderIsReadSucceeds() {
    // The clip columns and the comparison read the folder's files on their threads; an Unpack
    // writing over them must not find one in use.
    ArchiveBuilder builder = ManyEntries(3000);
    Session s(builder, builder.Data(DataSizeOf(builder, 256)));
    for (int round = 0; round < 4; ++round) s.Unpack();
    QCOMPARE(s.boxes.boxes.size(), size_t{4});
    for (const ShownBox& box : s.boxes.boxes)
      QVERIFY2(box.look.text.startsWith("Successfully extracted"), qPrintable(box.look.text));
  }

  void unpackAgainAsksBeforeWritingOverChangedEntries() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    const Bytes mono = PcmStream(1, 1000);
    const std::string replaced(mono.begin(), mono.end());
    WriteBytes(Entry(s, 2), replaced);

    // No: the replaced clip and the window stay as they were.
    NextAnswers::Push(kUnpackQuestionName, std::nullopt);
    s.Unpack();
    const QString question = NextAnswers::LastQuestion();
    QVERIFY2(question.startsWith("An entry file of " + Q(s.folder / "speech_") +
                                 " was changed since it was unpacked:\n\nspeech_00002.asf"),
             qPrintable(question));
    QVERIFY(question.endsWith("Unpack again and write over it?"));
    QCOMPARE(ReadBytes(Entry(s, 2)), replaced);
    QCOMPARE(s.boxes.boxes.size(), size_t{1});
    QVERIFY(s.form.isEnabled());

    // Yes: the unpack writes the archive's clip back.
    NextAnswers::Push(kUnpackQuestionName, QStringLiteral("Yes"));
    s.Unpack();
    QCOMPARE(s.boxes.boxes.size(), size_t{2});
    QVERIFY(s.boxes.boxes[1].look.text.startsWith("Successfully extracted"));
    QVERIFY(ReadBytes(Entry(s, 2)) != replaced);

    // A pair whose name holds a dot (a.b.idx unpacks into a.b_) is compared too.
    const ArchivePair dotted = WritePair(s.folder, "a.b", ThreeEntries().Index(), ThreeClips());
    s.Unpack(dotted.indexPath);
    const std::string dottedEntry = s.folder / "a.b_/a.b_00002.asf";
    WriteBytes(dottedEntry, replaced);
    NextAnswers::Push(kUnpackQuestionName, std::nullopt);
    s.Unpack(dotted.indexPath);
    QVERIFY2(NextAnswers::LastQuestion().startsWith("An entry file of " + Q(s.folder / "a.b_")),
             qPrintable(NextAnswers::LastQuestion()));
    QCOMPARE(ReadBytes(dottedEntry), replaced);
  }

  void packAsksFirstWhenReplacedEntriesHaveProblems() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    const Bytes mono = PcmStream(1, 1000);
    WriteBytes(Entry(s, 2), std::string(mono.begin(), mono.end()));
    WriteBytes(Entry(s, 3), "not a stream");
    const std::string folder = s.folder / "speech_";
    const std::string table = ReadBytes(folder + "/speech_.tbl");

    // No: nothing is written and the window stays as it was.
    NextAnswers::Push(FolderDialog::kName, Q(folder));
    NextAnswers::Push(kPackQuestionName, std::nullopt);
    s.Click("ImportButton");
    const QString question = NextAnswers::LastQuestion();
    QVERIFY2(question.startsWith("2 replaced entries can't be packed as they are:\n\n"
                                 "speech_00002.asf: another channel count: 1, the clip it "
                                 "replaces has 2\nspeech_00003.asf: not a stream"),
             qPrintable(question));
    QVERIFY(question.endsWith("Pack all the same?"));
    QCOMPARE(s.boxes.boxes.size(), size_t{1});
    QVERIFY(!QFile::exists(Q(s.folder / "speech_.big")));
    QCOMPARE(ReadBytes(folder + "/speech_.tbl"), table);
    QCOMPARE(s.form.Grid()->Model()->rowCount(), 3);
    QVERIFY(s.form.isEnabled());

    // Yes: the pack goes on as ever.
    NextAnswers::Push(FolderDialog::kName, Q(folder));
    NextAnswers::Push(kPackQuestionName, QStringLiteral("Yes"));
    s.Click("ImportButton");
    QCOMPARE(s.boxes.boxes.size(), size_t{2});
    QVERIFY2(s.boxes.boxes[1].look.text.startsWith("Successfully saved to "),
             qPrintable(s.boxes.boxes[1].look.text));
    QVERIFY(QFile::exists(Q(s.folder / "speech_.big")));

    // A folder without problems is packed without a question.
    NextAnswers::Clear();
    const Bytes stereo = PcmStream(2, 1000), clip = PcmStream(1, 800);
    WriteBytes(Entry(s, 2), std::string(stereo.begin(), stereo.end()));
    WriteBytes(Entry(s, 3), std::string(clip.begin(), clip.end()));
    NextAnswers::Push(FolderDialog::kName, Q(folder));
    s.Click("ImportButton");
    QVERIFY(NextAnswers::LastQuestion().isEmpty());
    QCOMPARE(s.boxes.boxes.size(), size_t{3});
  }

 private:
  TempFolder settingsFolder_;
};

TESSALY_UI_TEST(ClipChangesTest);
#include "ClipChangesTest.moc"
