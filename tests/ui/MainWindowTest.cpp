// The main window driven through its toolbar, with the dialogs and boxes answered by the seams.
#include "UiFixtures.h"
#include "UiTestMain.h"

#include <QAbstractItemModelTester>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <QHeaderView>
#include <QTableView>
#include "base/Errors.h"
#include "ui/dialogs/FolderDialog.h"
#include "ui/dialogs/NextAnswers.h"
#include "ui/dialogs/OpenFileDialog.h"
#include "ui/grid/ChangeMarks.h"
#include "ui/grid/EntryTableModel.h"
#include "ui/grid/SortHeader.h"
#include "ui/grid/WorkbenchModel.h"
#include "ui/settings/WorkFolders.h"
#include "ui/widgets/Design.h"
#include "ui/widgets/PanelStatusBar.h"

using namespace tessaly;
using namespace tessaly::testing;
using namespace tessaly::ui;

namespace {

QToolButton* Button(MainWindow& form, const char* name) {
  return form.findChild<QToolButton*>(QString::fromLatin1(name));
}
PanelStatusBar* Status(MainWindow& form) {
  return form.findChild<PanelStatusBar*>(QStringLiteral("StatusBar1"));
}
QString Cell(MainWindow& form, int row, int column) {
  auto* model = form.Grid()->Model();
  return model->data(model->index(row, column)).toString();
}
// The "#" column top to bottom.
QStringList Numbers(MainWindow& form) {
  QStringList numbers;
  for (int row = 0; row < form.Grid()->Model()->rowCount(); ++row)
    numbers << Cell(form, row, kColNumber);
  return numbers;
}
QStringList StatusTexts(MainWindow& form) {
  QStringList texts;
  for (int panel = 0; panel < 4; ++panel) texts << Status(form)->PanelText(panel);
  return texts;
}
bool Usable(MainWindow& form) {
  return form.WindowEnabled() &&
         form.findChild<QWidget*>(QStringLiteral("ToolBar1"))->isEnabled() &&
         form.Grid()->isEnabled() && !form.Busy();
}

// A release on a header cell: `header` 0 is the fixed "#" column's, 1 the grid's own.
void ClickHeader(MainWindow& form, int column, int offsetFromLeft = -1, bool twice = false) {
  QHeaderView* header = column == 0 ? form.Grid()->FixedColumnView()->horizontalHeader()
                                    : form.Grid()->horizontalHeader();
  int left = header->sectionViewportPosition(column);
  int x = offsetFromLeft >= 0 ? left + offsetFromLeft : left + header->sectionSize(column) / 2;
  QPoint at(x, header->height() / 2);
  if (twice)
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, at);
  else
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() {
    QVERIFY(settings_.isValid());
    UseSettingsIn(settings_.path());
  }

  void cleanup() { NextAnswers::Clear(); }

  void startsIdleWithAnEmptyGrid() {
    MainWindow form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QCOMPARE(form.windowTitle(), QStringLiteral("Tessaly Packer/Unpacker v1.2"));
    // Opens at the designed size; it can be resized and maximised (the clip columns need room).
    QCOMPARE(form.size(), QSize(Scaled(674), Scaled(393)));
    QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(form.font().families().value(0), QStringLiteral("MS Sans Serif"));
    QVERIFY(!form.windowIcon().isNull());

    const char* visible[][2] = {{"ExportButton", "Unpack"},
                                {"ImportButton", "Pack"},
                                {"ToolButton9", "Help / Support"},
                                {"ToolButton8", "Exit"}};
    int previousRight = 0;
    for (auto [name, hint] : visible) {
      QToolButton* button = Button(form, name);
      QVERIFY2(button && button->isVisible(), name);
      QCOMPARE(button->toolTip(), QString::fromLatin1(hint));
      QVERIFY(!button->icon().isNull());
      QCOMPARE(button->x() - previousRight, Scaled(8));  // the gap before each button
      previousRight = button->geometry().right() + 1;
    }
    const char* hidden[][2] = {
        {"OpenButton", "Open *.idx or *.big"}, {"ToolButton2", "Stop"}, {"PlayButton", "Play"}};
    for (auto [name, hint] : hidden) {
      QVERIFY2(Button(form, name) && !Button(form, name)->isVisible(), name);
      QCOMPARE(Button(form, name)->toolTip(), QString::fromLatin1(hint));
    }

    EntryTableModel* model = form.Grid()->Model();
    QCOMPARE(model->columnCount(), 2);
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(Cell(form, 0, 0), QString());
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QString());
    QCOMPARE(form.Grid()->ShownColumnWidth(0), 60);
    QCOMPARE(form.Grid()->ShownColumnWidth(1), 100);
    QCOMPARE(form.Grid()->verticalHeader()->defaultSectionSize(), Scaled(21));
    QVERIFY(!form.Grid()->SortMarkShown());

    QCOMPARE(Progress(form)->minimum(), 0);
    QCOMPARE(Progress(form)->maximum(), 100);
    QCOMPARE(Progress(form)->value(), 0);
    QCOMPARE(StatusTexts(form), QStringList(4, QString()));
    QCOMPARE(Status(form)->PanelRect(1).left(), Scaled(150));
    QCOMPARE(Status(form)->PanelRect(2).left(), Scaled(270));
    QCOMPARE(Status(form)->PanelRect(3).left(), Scaled(440));
  }

  void unpackShowsTheTableAndWritesTheFolder() {
    ArchiveBuilder builder = ThreeEntries();
    Session s(builder, builder.Data(12000));
    MainWindow& form = s.form;
    s.Unpack(s.pair.dataPath);  // picking the data file lists the same pair

    QCOMPARE(form.Grid()->Model()->rowCount(), 3);
    QCOMPARE(form.Grid()->Model()->columnCount(), kEntryColumnCount);
    QCOMPARE(form.Grid()->Model()->headerData(kColName, Qt::Horizontal).toString(),
             QStringLiteral("Name"));
    QCOMPARE(Cell(form, 0, kColName), QStringLiteral("speech_00001.asf"));
    QCOMPARE(Cell(form, 2, kColName), QStringLiteral("speech_00003.asf"));
    QCOMPARE(Cell(form, 1, kColId), QStringLiteral("4660"));
    QCOMPARE(Cell(form, 2, kColRealAddress), QStringLiteral("10240"));
    QCOMPARE(
        (QStringList{Cell(form, 0, kColSize), Cell(form, 1, kColSize), Cell(form, 2, kColSize)}),
        (QStringList{"4096", "6144", "1760"}));
    // Widths from the table; the columns of width 0 are hidden.
    QCOMPARE(form.Grid()->ShownColumnWidth(kColName), 200);
    QVERIFY(form.Grid()->isColumnHidden(kColRealAddress));
    QVERIFY(!form.Grid()->isColumnHidden(kColSize));

    QCOMPARE(StatusTexts(form),
             (QStringList{"speech.idx - speech.big", "Asf count: 3",
                          QStringLiteral("Read %1 bytes of %1").arg(builder.Index().size()), ""}));
    QCOMPARE(Progress(form)->value(), Progress(form)->minimum());

    QString unpackFolder = Q(s.folder / "speech_");
    QCOMPARE(QFileInfo(unpackFolder + "/speech_00002.asf").size(), 6144);
    QCOMPARE(QByteArray::fromStdString(ReadBytes(s.folder / "speech_/speech_00003.asf")),
             QByteArray::fromStdString(builder.Data(12000).substr(10240)));
    QVERIFY(QFile::exists(unpackFolder + "/speech_.id"));
    QVERIFY(QFile::exists(unpackFolder + "/speech_.tbl"));

    QCOMPARE(s.boxes.boxes.size(), size_t{1});
    const ShownBox& box = s.boxes.boxes[0];
    QCOMPARE(box.look.caption, QStringLiteral("Information"));
    QCOMPARE(box.look.icon, QMessageBox::Information);
    QCOMPARE(box.look.text, "Successfully extracted to " + unpackFolder);
    QVERIFY(box.windowEnabled);
    QVERIFY(Usable(form));
    QVERIFY(!form.State().IsOpen());
  }

  // `tessaly FILE` (a file manager's open) unpacks as a drop does, without asking for a file;
  // anything but an existing index or data file is refused and changes nothing.
  void openArchiveUnpacksAsADropDoes() {
    ArchiveBuilder builder = ThreeEntries();
    Session s(builder, builder.Data(12000));
    for (const std::string& other : {s.folder / "speech.wav", s.folder / "missing.idx"}) {
      if (other.ends_with(".wav")) WriteBytes(other, "RIFF");
      QVERIFY(!s.form.OpenArchive(Q(other)));
    }
    QCOMPARE(s.boxes.boxes.size(), size_t{0});
    QVERIFY(s.form.OpenArchive(Q(s.pair.dataPath)));
    QCOMPARE(s.form.Grid()->Model()->rowCount(), 3);
    QVERIFY(QFile::exists(Q(s.folder / "speech_/speech_00003.asf")));
    QCOMPARE(s.boxes.boxes.size(), size_t{1});
    QCOMPARE(s.boxes.boxes[0].look.text, "Successfully extracted to " + Q(s.folder / "speech_"));
  }

  void cancellingEitherDialogChangesNothing() {
    ArchiveBuilder builder = ThreeEntries();
    Session s(builder, builder.Data(12000));
    s.Unpack();
    s.form.Grid()->SortBy(kColName);
    QStringList numbers = Numbers(s.form), status = StatusTexts(s.form);

    NextAnswers::Push(OpenFileDialog::kName, std::nullopt);
    s.Click("ExportButton");
    NextAnswers::Push(FolderDialog::kName, std::nullopt);
    s.Click("ImportButton");

    QCOMPARE(Numbers(s.form), numbers);
    QCOMPARE(StatusTexts(s.form), status);
    QCOMPARE(s.boxes.boxes.size(), size_t{1});  // the first Unpack's
    QCOMPARE(s.form.Grid()->SortColumn(), int{kColName});
    QVERIFY(Usable(s.form));
  }

  void failuresShowTheirBoxAndLeaveTheWindowUsable_data() {
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("text");  // the start of the first message
    QTest::addColumn<int>("dataRows");  // rows the grid shows afterwards
    QTest::addColumn<int>("boxCount");

    QTest::newRow("index missing") << "index missing"
                                   << "Error" << int(QMessageBox::Warning) << "File: " << 1 << 1;
    QTest::newRow("SCHl missing") << "SCHl missing"
                                  << "Error" << int(QMessageBox::NoIcon) << "SCHl not found in 4096"
                                  << 1 << 2;  // then Unpack goes on with the one row listed
    QTest::newRow("sizes") << "sizes"
                           << "Information" << int(QMessageBox::Information)
                           << "Error with filesize extracting." << 1 << 1;
    QTest::newRow("framework") << "framework"
                               << QString::fromStdString(ProgramTitle(
                                      QCoreApplication::applicationFilePath().toStdString()))
                               << int(QMessageBox::Critical) << "Cannot create file " << 3 << 1;
  }

  void failuresShowTheirBoxAndLeaveTheWindowUsable() {
    QFETCH(QString, failure);
    QFETCH(QString, caption);
    QFETCH(int, icon);
    QFETCH(QString, text);
    QFETCH(int, dataRows);
    QFETCH(int, boxCount);

    ArchiveBuilder builder = ThreeEntries();
    if (failure == "sizes") builder.blocks[0].units = {1, 16, 40};  // the first stream at 256
    std::string data = builder.Data(12000);
    if (failure == "SCHl missing") data = ArchiveBuilder::DataWithSchl(12000, {0, 10240});
    Session s(builder, data);
    if (failure == "index missing") QFile::remove(Q(s.pair.indexPath));
    // A file where the unpack folder should go: every entry file then fails to be created.
    if (failure == "framework") WriteBytes(s.folder / "speech_", "in the way");
    s.Unpack();

    QCOMPARE(int(s.boxes.boxes.size()), boxCount);
    const ShownBox& box = s.boxes.boxes[0];
    QCOMPARE(box.look.caption, caption);
    QCOMPARE(int(box.look.icon), icon);
    QVERIFY2(box.look.text.startsWith(text), qPrintable(box.look.text));
    if (failure == "SCHl missing") {
      // Owned by no window and blocking none; the listing has disabled toolbar and grid only.
      QVERIFY(box.look.owner.isNull());
      QCOMPARE(box.look.modality, Qt::NonModal);
      QVERIFY(box.windowEnabled);
      QVERIFY(!box.toolbarEnabled && !box.gridEnabled);
    } else {
      QCOMPARE(box.look.owner.data(), &s.form);
      QCOMPARE(box.look.modality, Qt::ApplicationModal);
    }
    if (failure == "framework") QVERIFY(box.look.text.endsWith('.'));
    QCOMPARE(s.form.Grid()->Model()->rowCount(), dataRows);
    QVERIFY(Usable(s.form));
    QVERIFY(!s.form.State().IsOpen());

    // The toolbar takes the next command.
    NextAnswers::Push(OpenFileDialog::kName, std::nullopt);
    s.Click("ExportButton");
    QCOMPARE(int(s.boxes.boxes.size()), boxCount);
  }

  void packRebuildsAModifiedFolder() {
    ArchiveBuilder builder = ThreeEntries();
    Session s(builder, builder.Data(12000));
    s.Unpack();
    QStringList status = StatusTexts(s.form);
    QCOMPARE(WorkFolders::StartFolder(), Q(s.folder / "speech_"));  // where Pack's dialog opens

    // Entry 2 grows from 6144 to 7000 bytes: stored as 7168, entry 3 moves up by 1024.
    WriteBytes(s.folder / "speech_/speech_00002.asf", "SCHl" + std::string(6996, 'x'));
    NextAnswers::Push(FolderDialog::kName, Q(s.folder / "speech_"));
    s.Click("ImportButton");

    QCOMPARE(s.boxes.boxes.size(), size_t{2});
    const ShownBox& box = s.boxes.boxes[1];
    QCOMPARE(box.look.caption, QStringLiteral("Information"));
    QCOMPARE(box.look.text, "Successfully saved to " + Q(s.folder / "speech_.idx") + "\r\nand " +
                                Q(s.folder / "speech_.big"));
    QVERIFY(box.windowEnabled);
    QCOMPARE(QFileInfo(Q(s.folder / "speech_.big")).size(), 12000 + 1024);
    QCOMPARE(Cell(s.form, 1, kColSize), QStringLiteral("7168"));
    QCOMPARE(Cell(s.form, 2, kColRealAddress), QString::number(10240 + 1024));
    QCOMPARE(StatusTexts(s.form), status);  // only the listing writes the status bar
    QCOMPARE(Progress(s.form)->value(), Progress(s.form)->minimum());
    QVERIFY(Usable(s.form));
  }

  // Game files copied from a system that ignores case: the open dialog lists an upper-case
  // SPEECH.BIG, and its partner index is found whatever the case of its name.
  void upperCaseArchiveIsListedAndFindsItsPartner_data() {
    QTest::addColumn<QString>("partner");
    QTest::newRow("upper-case partner") << "SPEECH.IDX";
    QTest::newRow("lower-case partner") << "speech.idx";
  }

  void upperCaseArchiveIsListedAndFindsItsPartner() {
    QFETCH(QString, partner);
    ArchiveBuilder builder = ThreeEntries();
    Session s(builder, builder.Data(12000));
    const QDir folder(Q(s.folder.Path()));
    QVERIFY(QFile::rename(Q(s.pair.dataPath), folder.filePath("SPEECH.BIG")));
    if (partner != "speech.idx")
      QVERIFY(QFile::rename(Q(s.pair.indexPath), folder.filePath(partner)));

    bool listed = false;
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
      dialog->setDirectory(folder);
      auto* files = dialog->findChild<QFileSystemModel*>();
      // The model reads the folder in the background; the name filter ignores case.
      listed = QTest::qWaitFor(
          [&] { return files->index(folder.filePath("SPEECH.BIG")).isValid(); }, 5000);
      // As a user types the name and presses Open.
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("SPEECH.BIG");
      static_cast<QDialog*>(dialog)->accept();
      if (dialog->isVisible()) dialog->reject();  // a refused name fails the test, not hangs it
    });
    s.Click("ExportButton");
    QVERIFY(listed);

    QCOMPARE(s.boxes.boxes.size(), size_t{1});
    QCOMPARE(s.boxes.boxes[0].look.text, "Successfully extracted to " + folder.filePath("SPEECH_"));
    QCOMPARE(Status(s.form)->PanelText(0), partner + " - SPEECH.BIG");
    QCOMPARE(s.form.Grid()->Model()->rowCount(), 3);
    // Entry files are named after the index file as it is spelt.
    const QString second = QFileInfo(partner).completeBaseName() + "_00002.asf";
    QCOMPARE(Cell(s.form, 1, kColName), second);
    QCOMPARE(QFileInfo(folder.filePath("SPEECH_/" + second)).size(), 6144);
  }

  // The same for Pack: a folder whose table file and index copy have upper-case extensions.
  void packFindsTheFoldersUpperCaseTableAndIndexCopy() {
    ArchiveBuilder builder = ThreeEntries();
    Session s(builder, builder.Data(12000));
    s.Unpack();
    const QDir unpacked(Q(s.folder / "speech_"));
    QVERIFY(QFile::rename(unpacked.filePath("speech_.tbl"), unpacked.filePath("SPEECH_.TBL")));
    QVERIFY(QFile::rename(unpacked.filePath("speech_.id"), unpacked.filePath("SPEECH_.ID")));
    WriteBytes(s.folder / "speech_/speech_00002.asf", "SCHl" + std::string(6996, 'x'));

    NextAnswers::Push(FolderDialog::kName, unpacked.path());
    s.Click("ImportButton");
    QCOMPARE(s.boxes.boxes.size(), size_t{2});
    QVERIFY2(s.boxes.boxes[1].look.text.startsWith("Successfully saved to "),
             qPrintable(s.boxes.boxes[1].look.text));
    QCOMPARE(QFileInfo(Q(s.folder / "speech_.big")).size(), 12000 + 1024);
    // Rewritten under their own names; no lower-case twins appear.
    QCOMPARE(unpacked.entryList({"*_.tbl", "*_.id"}, QDir::Files),
             (QStringList{"SPEECH_.ID", "SPEECH_.TBL"}));
    QVERIFY(ReadBytes(s.folder / "speech_/SPEECH_.TBL").find("7168") != std::string::npos);
  }

  void windowIsDisabledAndKeepsOpenWhileAnOperationRuns() {
    ArchiveBuilder builder = ManyEntries(600, 16);
    Session s(builder, builder.Data(DataSizeOf(builder, 4096)));
    MainWindow& form = s.form;

    // The work runs off the window's thread, which handles events throughout. Whenever it does
    // during an operation: note the window's state, ask it to close and press Exit; neither may
    // take.
    std::vector<bool> enabledWhilePumped;
    int closeRequests = 0;
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, [&] {
      if (!form.Busy()) return;
      enabledWhilePumped.push_back(form.WindowEnabled());
      if (closeRequests++ == 0) {
        QVERIFY(!form.close());
        s.Click("ToolButton8");
        QVERIFY(form.isVisible());
      }
    });
    probe.start();

    s.Unpack();
    QVERIFY(!enabledWhilePumped.empty());
    size_t duringUnpack = enabledWhilePumped.size();
    NextAnswers::Push(FolderDialog::kName, Q(s.folder / "speech_"));
    s.Click("ImportButton");
    probe.stop();

    QVERIFY(enabledWhilePumped.size() > duringUnpack);
    // Disabled while the streams are written, and while the entries are packed.
    auto disabled = [](bool enabled) { return !enabled; };
    const auto packStart = enabledWhilePumped.begin() + static_cast<std::ptrdiff_t>(duringUnpack);
    QVERIFY(std::any_of(enabledWhilePumped.begin(), packStart, disabled));
    QVERIFY(std::any_of(packStart, enabledWhilePumped.end(), disabled));
    QCOMPARE(s.boxes.boxes.size(), size_t{2});
    QVERIFY(form.isVisible());
    QVERIFY(Usable(form));
    // Idle, Exit closes the window.
    s.Click("ToolButton8");
    QVERIFY(!form.isVisible());
  }

  void headerClicksSortTheRows() {
    ArchiveBuilder builder = ManyEntries(12);
    Session s(builder, builder.Data(DataSizeOf(builder, 256)));
    MainWindow& form = s.form;
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    // On the empty 2 x 2 grid a click changes nothing.
    ClickHeader(form, 0);
    QCOMPARE(form.Grid()->SortDescending(), false);

    s.Unpack();
    QStringList listed = Numbers(form);
    QCOMPARE(listed.first(), QStringLiteral("1"));
    QCOMPARE(listed.last(), QStringLiteral("12"));
    QVERIFY(form.Grid()->SortMarkShown());

    // "#" starts ascending, so the first click reverses the rows and the second restores them.
    ClickHeader(form, 0);
    QStringList reversed = listed;
    std::reverse(reversed.begin(), reversed.end());
    QCOMPARE(Numbers(form), reversed);
    QVERIFY(form.Grid()->SortDescending());
    ClickHeader(form, 0);
    QCOMPARE(Numbers(form), listed);

    // Sorting by "Size", equal in every row, keeps the rows; only the mark moves.
    form.Grid()->scrollTo(form.Grid()->Model()->index(0, kColSize));
    ClickHeader(form, kColSize);
    QCOMPARE(Numbers(form), listed);
    QCOMPARE(form.Grid()->SortColumn(), int{kColSize});

    // A release within the border's grab changes nothing.
    form.Grid()->horizontalScrollBar()->setValue(0);
    ClickHeader(form, kColName, 2);
    QCOMPARE(form.Grid()->SortColumn(), int{kColSize});
    ClickHeader(form, kColName);
    QCOMPARE(form.Grid()->SortColumn(), int{kColName});
    QVERIFY(!form.Grid()->SortDescending());

    // A double-click on a border fits the column to its left, except "#".
    int numberWidth = form.Grid()->ShownColumnWidth(0);
    ClickHeader(form, 0, numberWidth - 1, true);
    QCOMPARE(form.Grid()->ShownColumnWidth(0), numberWidth);
    ClickHeader(form, kColName, form.Grid()->ShownColumnWidth(kColName) - 1, true);
    int fitted = form.Grid()->ShownColumnWidth(kColName);
    QVERIFY(fitted < 200);
    QFontMetrics cells(form.Grid()->font());
    QVERIFY(fitted > cells.horizontalAdvance(QStringLiteral("speech_00012.asf")));
  }

  void gridScrollsSidewaysWithTheNumberColumnInPlace() {
    ArchiveBuilder builder = ThreeEntries();
    Session s(builder, builder.Data(12000));
    QVERIFY(QTest::qWaitForWindowExposed(&s.form));
    s.Unpack();
    EntryGrid* grid = s.form.Grid();
    QScrollBar* bar = grid->horizontalScrollBar();
    QHeaderView* header = grid->horizontalHeader();
    const QRect fixedAt = grid->FixedColumnView()->geometry();
    QCOMPARE(bar->value(), 0);
    QCOMPARE(header->logicalIndexAt(0), int{kColName});
    QVERIFY(bar->maximum() > 0);

    // One step right moves the columns a little way, header and cells together, with room left.
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QVERIFY(bar->value() > 0 && bar->value() < bar->maximum() / 2);
    QCOMPARE(header->offset(), bar->value());
    QCOMPARE(header->logicalIndexAt(0), int{kColName});
    // Halfway the view is where the thumb is; at the far right the last column ("Size", then
    // the clip columns) ends at the right edge.
    bar->setValue(bar->maximum() / 2);
    QCOMPARE(header->offset(), bar->maximum() / 2);
    bar->setValue(bar->maximum());
    const int last = grid->model()->columnCount() - 1;
    QCOMPARE(header->sectionViewportPosition(last) + header->sectionSize(last),
             grid->viewport()->width());
    // The Right key moves by at most one column.
    bar->setValue(0);
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, kColName));
    QTest::keyClick(grid, Qt::Key_Right);
    QVERIFY(bar->value() < bar->maximum());
    QVERIFY(header->logicalIndexAt(0) <= kColId);
    // The "#" column stays where it is, shown with its header.
    QCOMPARE(grid->FixedColumnView()->geometry(), fixedAt);
    QVERIFY(grid->FixedColumnView()->isVisible());
  }

  void numberColumnShowsEveryRowNumberWholeBesideItsMark() {
    // The table asks for 55 pixels, room for four digits and a change mark; a marked row of a
    // larger table reads whole all the same, and the table keeps its own width.
    for (int rows : {999, 99999}) {
      EntryTable table;
      table.LayOutColumns();
      table.SetRowCount(rows + 1);
      const std::string last = std::to_string(rows);
      table.SetCell(kColNumber, rows, last);
      table.SetCell(kColName, rows, "speech_" + last + ".asf");
      EntryGrid grid(table);
      ChangeMarks marks;
      marks.Set("speech_" + last + ".asf", {QStringLiteral("Not a stream"), {}});
      grid.ViewModel()->SetChangeMarks(&marks);
      grid.ViewModel()->MarksChanged();
      grid.resize(500, 300);
      grid.show();
      QVERIFY(QTest::qWaitForWindowExposed(&grid));
      grid.scrollToBottom();
      QTableView* fixed = grid.FixedColumnView();
      // (Public through the base: the view's own measure of the rows it shows.)
      const QAbstractItemView* measured = fixed;
      const QModelIndex marked = fixed->model()->index(rows - 1, kColNumber);
      QVERIFY(!fixed->model()->data(marked, Qt::DecorationRole).isNull());
      QVERIFY(fixed->visualRect(marked).intersects(fixed->viewport()->rect()));
      // What the view itself needs for the rows it shows, the marked one among them.
      QVERIFY2(fixed->columnWidth(0) >= measured->sizeHintForColumn(0),
               qPrintable(QStringLiteral("%1 rows: %2 < %3")
                              .arg(rows)
                              .arg(fixed->columnWidth(0))
                              .arg(measured->sizeHintForColumn(0))));
      QCOMPARE(table.ColumnWidth(kColNumber), 55);
      if (rows == 999) QCOMPARE(grid.ShownColumnWidth(0), 55);
    }
  }

  void statusPanelsShowTheirTextsWholeOrElidedInTheMiddle() {
    MainWindow form;
    form.show();
    const std::string name(60, 'n');
    const QStringList texts = {Q(name + ".idx - " + name + ".big"), "Asf count: 400000",
                               "Read 4802412 bytes of 4802412", ""};
    for (int panel = 0; panel < 4; ++panel) form.SetStatusText(panel, texts[panel].toStdString());
    PanelStatusBar* status = Status(form);
    QCOMPARE(StatusTexts(form), texts);
    for (int panel = 1; panel < 4; ++panel) {
      QCOMPARE(status->ShownText(panel), texts[panel]);
      QCOMPARE(status->PanelHint(panel), QString());
      QVERIFY(status->PanelRect(panel).left() > status->PanelRect(panel - 1).right());
    }
    QVERIFY(status->PanelRect(3).right() < status->width());
    // The long names: the start and end kept, the middle elided, the whole text as hint.
    const QString shown = status->ShownText(0);
    QVERIFY(shown.contains(QChar(0x2026)));
    QVERIFY(shown.startsWith(QStringLiteral("nnn")) && shown.endsWith(QStringLiteral(".big")));
    QCOMPARE(status->PanelHint(0), texts[0]);
    // Short names fit whole where they were designed to.
    form.SetStatusText(0, "speech.idx - speech.big");
    QCOMPARE(status->ShownText(0), QStringLiteral("speech.idx - speech.big"));
    QCOMPARE(status->PanelHint(0), QString());
  }

  void numberColumnAndToolbarFocusFollowTheWindowsLook() {
    ArchiveBuilder builder = ThreeEntries();
    Session s(builder, builder.Data(12000));
    MainWindow& form = s.form;
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    s.Unpack();
    QTableView* fixed = form.Grid()->FixedColumnView();
    const QImage enabled = fixed->viewport()->grab().toImage();
    form.setEnabled(false);
    QVERIFY(fixed->viewport()->grab().toImage() != enabled);  // "#" cells look disabled too
    form.setEnabled(true);

    // Tab reaches every toolbar button, a click gives none the focus, and the focused one is
    // framed in the highlight colour all round.
    const QColor highlight = form.palette().color(QPalette::Highlight);
    auto framed = [&](QToolButton* button) {
      const QImage picture = button->grab().toImage();
      for (int x = 0; x < picture.width(); ++x)
        if (picture.pixelColor(x, 0) != highlight ||
            picture.pixelColor(x, picture.height() - 1) != highlight)
          return false;
      for (int y = 0; y < picture.height(); ++y)
        if (picture.pixelColor(0, y) != highlight ||
            picture.pixelColor(picture.width() - 1, y) != highlight)
          return false;
      return true;
    };
    QSet<QString> reached;
    for (int i = 0; i < 30; ++i) {
      QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &form,
                      Qt::Key_Tab);
      auto* focused = qobject_cast<QToolButton*>(QApplication::focusWidget());
      if (!focused) continue;
      QVERIFY2(framed(focused), qPrintable(focused->objectName()));
      reached << focused->objectName();
    }
    for (QToolButton* button : form.findChild<QWidget*>("ToolBar1")->findChildren<QToolButton*>()) {
      if (!button->isVisibleTo(&form) || !button->isEnabled()) continue;
      QVERIFY2(reached.contains(button->objectName()), qPrintable(button->objectName()));
      QCOMPARE(button->focusPolicy(), Qt::TabFocus);
      if (!button->hasFocus()) QVERIFY(!framed(button));
    }
  }

  void modelFollowsTheTableThroughOperations() {
    ArchiveBuilder builder = ThreeEntries();
    Session s(builder, builder.Data(12000));
    ArchiveBuilder broken = ThreeEntries();
    broken.blocks[0].units = {1, 16, 40};
    auto mismatch = WritePair(s.folder, "other", broken.Index(), broken.Data(12000));
    QAbstractItemModelTester tester(s.form.Grid()->Model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);

    s.Unpack();
    ClickHeader(s.form, kColName);
    ClickHeader(s.form, kColName);
    s.Unpack(mismatch.indexPath);  // the sizes don't add up: the table is reset
    QCOMPARE(s.form.Grid()->Model()->rowCount(), 1);
    QCOMPARE(s.form.Grid()->Model()->columnCount(), 2);
    // Indexes outside the table read as nothing.
    QCOMPARE(s.form.Grid()->Model()->data(s.form.Grid()->Model()->index(5, 5)), QVariant());
  }

 private:
  QTemporaryDir settings_;
};

TESSALY_UI_TEST(MainWindowTest);
#include "MainWindowTest.moc"
