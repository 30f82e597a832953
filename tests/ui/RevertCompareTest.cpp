// The archive's own clips from the window: Revert puts them back (menu, key, selection; missing
// and damaged entries too), Play original and Play compare them with the replacement, and the
// replace flow's questions: several clips at once, a much longer or shorter clip, several
// dropped files matched by name.
#include "ClipFixtures.h"
#include "UiFixtures.h"
#include "UiTestMain.h"
#include "support/AudioSignals.h"

#include <QAction>
#include <QBuffer>
#include <QDropEvent>
#include <QMimeData>
#include <QtTest>

#include <filesystem>

#include "audio/Wav.h"
#include "ui/clipwork/ClipPlayer.h"
#include "ui/clipwork/OriginalsFlow.h"
#include "ui/clipwork/ReplaceFlow.h"
#include "ui/clipwork/Workbench.h"
#include "ui/dialogs/NextAnswers.h"
#include "ui/grid/WorkbenchModel.h"
#include "ui/widgets/PanelStatusBar.h"

using namespace tessaly;
using namespace tessaly::testing;
using namespace tessaly::ui;

namespace {

QAction* Action(MainWindow& form, const char* name) {
  return form.findChild<QAction*>(QString::fromLatin1(name));
}
// Selects the rows of `names` with the grid focused.
void Select(MainWindow& form, std::initializer_list<QString> names) {
  form.Grid()->setFocus();
  form.Grid()->clearSelection();
  for (const QString& name : names)
    form.Grid()->selectionModel()->select(View(form)->index(RowOf(form, name), 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
  form.Grid()->selectionModel()->setCurrentIndex(View(form)->index(RowOf(form, *names.begin()), 0),
                                                 QItemSelectionModel::NoUpdate);
}
// Drops the local files at `paths` onto the grid's empty area; whether it was taken.
bool DropFiles(MainWindow& form, const std::vector<std::string>& paths) {
  QWidget* viewport = form.Grid()->viewport();
  const QPoint at(5, viewport->height() - 2);
  QMimeData mime;
  QList<QUrl> urls;
  for (const std::string& path : paths) urls << QUrl::fromLocalFile(Q(path));
  mime.setUrls(urls);
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
  QCoreApplication::sendEvent(viewport, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, {});
  QCoreApplication::sendEvent(viewport, &dropped);
  return dropped.isAccepted();
}

// A sound output that keeps what it was given to play.
class KeepingOutput : public SoundOutput {
 public:
  explicit KeepingOutput(QByteArray* kept) : kept_(kept) {}
  void Start(QIODevice* source) override {
    *kept_ = source->readAll();
    state_ = QAudio::ActiveState;
  }
  void Stop() override { state_ = QAudio::StoppedState; }
  QAudio::State State() const override { return state_; }
  QAudio::Error Error() const override { return QAudio::NoError; }
  qint64 PlayedUSecs() const override { return 0; }

 private:
  QByteArray* kept_;
  QAudio::State state_ = QAudio::StoppedState;
};

}  // namespace

class RevertCompareTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { UseSettingsIn(Q(settingsFolder_.Path())); }
  void cleanup() {
    NextAnswers::Clear();
    ClipPlayer::SetOutputForTests({});
  }

  void revertPutsTheArchivesClipBackByKeyMenuAndSelection() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    const std::string unpacked[] = {ReadBytes(Entry(s, 1)), ReadBytes(Entry(s, 2)),
                                    ReadBytes(Entry(s, 3))};
    const Bytes shorter = PcmStream(1, 500);
    WriteBytes(Entry(s, 1), std::string(shorter.begin(), shorter.end()));
    WriteBytes(Entry(s, 2), "damaged");
    std::filesystem::remove(Entry(s, 3));
    s.form.Bench()->ShowFolder(s.folder / "speech_");
    WaitForMarks(s.form);
    QCOMPARE(s.form.Bench()->Marks().Count(), size_t{3});

    // In the grid's menu with its key.
    QAction* revert = Action(s.form, "RevertClipAction");
    QVERIFY(s.form.Grid()->actions().contains(revert));
    QCOMPARE(revert->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));

    // The key on one row: asked first; No leaves it.
    Select(s.form, {kFirst});
    NextAnswers::Push(OriginalsFlow::kQuestionName, std::nullopt);
    QTest::keyClick(s.form.Grid(), Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(NextAnswers::LastQuestion(),
             QStringLiteral("Put the archive's clip back into speech_00001.asf?\n\nWhat the entry "
                            "files hold now is lost."));
    QCOMPARE(ReadBytes(Entry(s, 1)), std::string(shorter.begin(), shorter.end()));
    NextAnswers::Push(OriginalsFlow::kQuestionName, QStringLiteral("Yes"));
    QTest::keyClick(s.form.Grid(), Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(ReadBytes(Entry(s, 1)), unpacked[0]);
    QCOMPARE(Note(s.form), QStringLiteral("Reverted speech_00001.asf to the archive's clip"));
    WaitForMarks(s.form);
    QCOMPARE(s.form.Bench()->Marks().Count(), size_t{2});
    QCOMPARE(Cell(s.form, kFirst, kEntryColumnCount + 3).toString(), QStringLiteral("0.05"));

    // A selection through the menu: the damaged and the missing entry, named in one question;
    // the unchanged row in it is left out.
    Select(s.form, {kFirst, kSecond, kThird});
    NextAnswers::Push(OriginalsFlow::kQuestionName, QStringLiteral("Yes"));
    revert->trigger();
    QCOMPARE(NextAnswers::LastQuestion(),
             QStringLiteral("Put the archive's clips back into 2 entries?\n\nspeech_00002.asf\n"
                            "speech_00003.asf\n\nWhat the entry files hold now is lost."));
    QCOMPARE(ReadBytes(Entry(s, 2)), unpacked[1]);
    QCOMPARE(ReadBytes(Entry(s, 3)), unpacked[2]);
    WaitForMarks(s.form);
    QVERIFY(s.form.Bench()->Marks().Empty());
    QCOMPARE(s.boxes.boxes.size(), size_t{1});  // the unpack's

    // Nothing changed: nothing asked.
    NextAnswers::Clear();
    revert->trigger();
    QVERIFY(NextAnswers::LastQuestion().isEmpty());
    QCOMPARE(Note(s.form), QStringLiteral("The clips are the archive's already."));

    // A file removed behind the window's back, not marked yet: the files are what counts.
    std::filesystem::remove(Entry(s, 2));
    NextAnswers::Push(OriginalsFlow::kQuestionName, QStringLiteral("Yes"));
    revert->trigger();
    QVERIFY(NextAnswers::LastQuestion().startsWith(
        QStringLiteral("Put the archive's clip back into speech_00002.asf?")));
    QCOMPARE(ReadBytes(Entry(s, 2)), unpacked[1]);

    // Without the archive beside the folder: the box says why, the file stays.
    WriteBytes(Entry(s, 1), "replaced");
    s.form.Bench()->ShowFolder(s.folder / "speech_");
    WaitForMarks(s.form);
    std::filesystem::remove(s.pair.dataPath);
    Select(s.form, {kFirst});
    NextAnswers::Push(OriginalsFlow::kQuestionName, QStringLiteral("Yes"));
    revert->trigger();
    QCOMPARE(s.boxes.boxes.size(), size_t{2});
    QCOMPARE(s.boxes.boxes[1].look.text,
             QStringLiteral("Can't revert: the archive's clips can't be read: there is no "
                            "speech.idx and speech.big beside the folder"));
    QCOMPARE(ReadBytes(Entry(s, 1)), std::string("replaced"));
    QVERIFY(s.form.isEnabled());
  }

  void playOriginalAndPlayCompareTheArchiveWithTheReplacement() {
    QByteArray played;
    ClipPlayer::SetOutputForTests(
        [&played](const QAudioFormat&) { return std::make_unique<KeepingOutput>(&played); });
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    const Bytes shorter = PcmStream(2, 500);
    WriteBytes(Entry(s, 2), std::string(shorter.begin(), shorter.end()));
    QAction* original = Action(s.form, "PlayOriginalAction");
    QAction* play = Action(s.form, "PlayClipAction");
    QVERIFY(s.form.Grid()->actions().contains(original));
    QVERIFY(s.form.Grid()->actions().contains(play));
    QCOMPARE(original->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_Space));
    QCOMPARE(play->shortcut(), QKeySequence(Qt::Key_Space));

    Select(s.form, {kSecond});
    const qsizetype stereoFrame = 2 * 2;
    QTest::keyClick(s.form.Grid(), Qt::Key_Space, Qt::ShiftModifier);
    QCOMPARE(Note(s.form), QStringLiteral("Playing the original of speech_00002.asf"));
    QCOMPARE(played.size(), 1000 * stereoFrame);
    QTest::keyClick(s.form.Grid(), Qt::Key_Space);
    QCOMPARE(Note(s.form), QStringLiteral("Playing speech_00002.asf"));
    QCOMPARE(played.size(), 500 * stereoFrame);

    // Without the archive the note says why.
    std::filesystem::remove(s.pair.indexPath);
    played.clear();
    original->trigger();
    QCOMPARE(Note(s.form),
             QStringLiteral("Can't play the original of speech_00002.asf: the archive's clip "
                            "can't be read: there is no speech.idx and speech.big beside the "
                            "folder"));
    QVERIFY(played.isEmpty());
  }

  void aMissingOrDamagedEntryIsReplacedInTheArchivesFormat() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    std::filesystem::remove(Entry(s, 2));
    WriteBytes(Entry(s, 3), "damaged");
    WriteWav(s.folder / "line.wav", 0.06);
    for (const QString& name : {kSecond, kThird}) {
      Select(s.form, {name});
      NextAnswers::Push(ReplaceFlow::kDialogName, Q(s.folder / "line.wav"));
      Action(s.form, "ReplaceClipAction")->trigger();
    }
    WaitForMarks(s.form);
    QCOMPARE(s.boxes.boxes.size(), size_t{1});  // the unpack's: no failure
    // The stereo clip stays stereo; both are clips of the new length now.
    QCOMPARE(Cell(s.form, kSecond, kEntryColumnCount + 1).toString(), QStringLiteral("2"));
    QCOMPARE(Cell(s.form, kSecond, kEntryColumnCount + 3).toString(), QStringLiteral("0.06"));
    QCOMPARE(Cell(s.form, kThird, kEntryColumnCount + 3).toString(), QStringLiteral("0.06"));
    QCOMPARE(s.form.Bench()->Marks().Find("speech_00002.asf")->problems, QString());
    QCOMPARE(s.form.Bench()->Marks().Find("speech_00003.asf")->problems, QString());
  }

  void aMuchLongerClipIsReplacedOnlyWhenConfirmed() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    const std::string before = ReadBytes(Entry(s, 1));
    WriteWav(s.folder / "long.wav", 0.5);  // the clip is 1,000 frames: 0.05 s
    Select(s.form, {kFirst});
    NextAnswers::Push(ReplaceFlow::kDialogName, Q(s.folder / "long.wav"));
    NextAnswers::Push(ReplaceFlow::kLengthQuestionName, std::nullopt);
    Action(s.form, "ReplaceClipAction")->trigger();
    QCOMPARE(NextAnswers::LastQuestion(),
             QStringLiteral("long.wav is 0.50 s, more than twice the 0.05 s of the clip it "
                            "replaces.\n\nReplace speech_00001.asf with it all the same?"));
    QCOMPARE(ReadBytes(Entry(s, 1)), before);
    QCOMPARE(Note(s.form), QStringLiteral("speech_00001.asf left as it was"));
    QVERIFY(s.form.isEnabled());

    NextAnswers::Push(ReplaceFlow::kDialogName, Q(s.folder / "long.wav"));
    NextAnswers::Push(ReplaceFlow::kLengthQuestionName, QStringLiteral("Yes"));
    Action(s.form, "ReplaceClipAction")->trigger();
    WaitForMarks(s.form);
    QCOMPARE(Cell(s.form, kFirst, kEntryColumnCount + 3).toString(), QStringLiteral("0.50"));
    QCOMPARE(s.boxes.boxes.size(), size_t{1});
  }

  void aSelectionIsReplacedAfterOneQuestionNamingItsClips() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    WaitForMarks(s.form);
    WriteWav(s.folder / "line.wav", 0.06);
    Select(s.form, {kFirst, kThird});
    NextAnswers::Push(ReplaceFlow::kDialogName, Q(s.folder / "line.wav"));
    NextAnswers::Push(ReplaceFlow::kSeveralQuestionName, std::nullopt);
    Action(s.form, "ReplaceClipAction")->trigger();
    QCOMPARE(
        NextAnswers::LastQuestion(),
        QStringLiteral("Replace 2 clips with line.wav?\n\nspeech_00001.asf\nspeech_00003.asf"));
    QVERIFY(s.form.Bench()->Marks().Empty());

    NextAnswers::Push(ReplaceFlow::kDialogName, Q(s.folder / "line.wav"));
    NextAnswers::Push(ReplaceFlow::kSeveralQuestionName, QStringLiteral("Yes"));
    Action(s.form, "ReplaceClipAction")->trigger();
    WaitForMarks(s.form);
    QCOMPARE(Note(s.form), QStringLiteral("Replaced 2 of 2 clips with line.wav"));
    QCOMPARE(Cell(s.form, kFirst, kEntryColumnCount + 3).toString(), QStringLiteral("0.06"));
    QCOMPARE(Cell(s.form, kSecond, kEntryColumnCount + 3).toString(), QStringLiteral("0.05"));
    QCOMPARE(Cell(s.form, kThird, kEntryColumnCount + 3).toString(), QStringLiteral("0.06"));
    QCOMPARE(s.form.Bench()->Marks().Count(), size_t{2});
    QCOMPARE(s.boxes.boxes.size(), size_t{1});
  }

  void severalDroppedFilesReplaceTheirEntriesByName() {
    Session s(ThreeEntries(), ThreeClips());
    s.Unpack();
    WaitForMarks(s.form);
    std::filesystem::create_directories(s.folder / "takes");
    WriteWav(s.folder / "takes/SPEECH_00001.wav", 0.06);
    WriteWav(s.folder / "speech_00003.WAV", 0.07);
    WriteWav(s.folder / "takes/crowd.wav", 0.07);
    QVERIFY(DropFiles(s.form, {s.folder / "takes/SPEECH_00001.wav", s.folder / "speech_00003.WAV",
                               s.folder / "takes/crowd.wav"}));
    WaitForMarks(s.form);
    QCOMPARE(Cell(s.form, kFirst, kEntryColumnCount + 3).toString(), QStringLiteral("0.06"));
    QCOMPARE(Cell(s.form, kThird, kEntryColumnCount + 3).toString(), QStringLiteral("0.07"));
    QCOMPARE(s.boxes.boxes.size(), size_t{2});
    QCOMPARE(s.boxes.boxes[1].look.text,
             QStringLiteral("Replaced 2 clips from 3 files, skipped 1 file\nSkipped crowd.wav: "
                            "its name matches no entry"));
    // An archive among them is not taken.
    QVERIFY(!DropFiles(s.form, {s.folder / "takes/crowd.wav", s.pair.indexPath}));
  }

 private:
  TempFolder settingsFolder_;
};

TESSALY_UI_TEST(RevertCompareTest);
#include "RevertCompareTest.moc"
