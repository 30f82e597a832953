// The open-file dialog, the folder dialog and the message boxes, shown for real where it matters.
#include "UiFixtures.h"
#include "UiTestMain.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QtTest>

#include "ui/dialogs/FolderDialog.h"
#include "ui/dialogs/MessageBoxes.h"
#include "ui/dialogs/NextAnswers.h"
#include "ui/dialogs/OpenFileDialog.h"
#include "ui/settings/WorkFolders.h"

using namespace tessaly;
using namespace tessaly::testing;
using namespace tessaly::ui;

namespace {

// Closes every message box that comes up while it lives, keeping the last one's text.
struct BoxCloser {
  BoxCloser() {
    QObject::connect(&timer, &QTimer::timeout, [this] {
      for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible()) {
          text = box->text();
          box->accept();
        }
    });
    timer.start(10);
  }
  QTimer timer;
  QString text;
};

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() {
    // Keeps the folder dialog's trash inside the test's own folder.
    QVERIFY(home_.isValid());
    QVERIFY(QDir(home_.path()).mkpath("data/Trash"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home_.filePath("data")));
    UseSettingsIn(home_.filePath("config"));
  }

  void openDialogAsksForOneExistingPairFileAndRemembersIt() {
    QTemporaryDir dir;
    QString chosen = dir.filePath("speech.big");
    QFile(chosen).open(QIODevice::WriteOnly);
    OpenFileDialog dialog;
    NextAnswers::Push(OpenFileDialog::kName, chosen);
    QCOMPARE(dialog.Execute(nullptr), std::optional<QString>(chosen));

    // The next showing opens on that file; cancelling returns nothing and forgets nothing.
    WhenShown<QFileDialog>([&](QFileDialog* shown) {
      QCOMPARE(shown->objectName(), QStringLiteral("OpenDialog1"));
      QCOMPARE(shown->nameFilters(), QStringList{OpenFileDialog::kFilter});
      QCOMPARE(shown->fileMode(), QFileDialog::ExistingFile);
      QCOMPARE(QDir(shown->directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
      QCOMPARE(QFileInfo(shown->selectedFiles().value(0)).fileName(), QStringLiteral("speech.big"));
      shown->reject();
    });
    QCOMPARE(dialog.Execute(nullptr), std::nullopt);
    QCOMPARE(dialog.LastFile(), chosen);
  }

  void folderDialogOffersItsButtonsWhereTheyApply() {
    FolderDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Browse for Folder"));
    QCOMPARE(dialog.minimumSize(), FolderDialog::kFirstSize);
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    QVERIFY(buttons->button(QDialogButtonBox::Ok)->isDefault());
    QCOMPARE(dialog.CreateFolderButton()->toolTip(), QStringLiteral("Create Folder"));
    QCOMPARE(dialog.DeleteButton()->toolTip(), QStringLiteral("Delete"));

    QTemporaryDir dir;
    QString base = QDir(dir.path()).canonicalPath();
    dialog.SelectPath(base);
    QCOMPARE(dialog.SelectedPath(), base);  // no trailing separator
    QVERIFY(dialog.CreateFolderButton()->isEnabled());
    QVERIFY(dialog.DeleteButton()->isEnabled());

    // Create Folder makes a new folder under the selection and lets the user name it.
    dialog.CreateFolderButton()->click();
    QVERIFY(QDir(base).exists("New Folder"));
    QCOMPARE(dialog.SelectedPath(), base + "/New Folder");
    dialog.SelectPath(base);
    dialog.CreateFolderButton()->click();
    QVERIFY(QDir(base).exists("New Folder (2)"));

    // Delete moves the selected folder to the trash and selects its parent.
    WhenShown<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    dialog.DeleteButton()->click();
    QVERIFY(!QDir(base).exists("New Folder (2)"));
    QVERIFY(QDir(home_.filePath("data/Trash/files")).exists("New Folder (2)"));
    QCOMPARE(dialog.SelectedPath(), base);

    // The tree's root keeps its separator and can't be deleted.
    dialog.SelectPath(QDir::rootPath());
    QCOMPARE(dialog.SelectedPath(), QDir::rootPath());
    QVERIFY(dialog.CreateFolderButton()->isEnabled());
    QVERIFY(!dialog.DeleteButton()->isEnabled());

    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
  }

  void folderDialogRemembersItsSizeAndTheFolderChosen() {
    FolderDialog::ForgetRemembered();
    QTemporaryDir dir;
    QString base = QDir(dir.path()).canonicalPath();
    WhenShown<FolderDialog>([&](FolderDialog* shown) {
      QCOMPARE(shown->size(), FolderDialog::kFirstSize);
      shown->resize(500, 420);
      shown->SelectPath(base);
      shown->accept();
    });
    QCOMPARE(FolderDialog::Execute(nullptr), std::optional<QString>(base));

    WhenShown<FolderDialog>([&](FolderDialog* shown) {
      QCOMPARE(shown->size(), QSize(500, 420));
      QCOMPARE(shown->SelectedPath(), base);
      shown->SelectPath(QDir::rootPath());
      shown->reject();
    });
    QCOMPARE(FolderDialog::Execute(nullptr), std::nullopt);

    // A cancel keeps the folder chosen before.
    WhenShown<FolderDialog>([&](FolderDialog* shown) {
      QCOMPARE(shown->SelectedPath(), base);
      shown->reject();
    });
    FolderDialog::Execute(nullptr);
  }

  void deleteAsksFirstAndMovesToTheUsersTrash() {
    QTemporaryDir dir;
    const QString base = QDir(dir.path()).canonicalPath();
    QVERIFY(QDir(base).mkpath("clips/replaced"));
    // No data folder yet: the trash is made where the desktop looks for it.
    const QString data = home_.filePath("fresh/share");
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    FolderDialog dialog;
    dialog.SelectPath(base + "/clips");

    QString asked;
    WhenShown<QMessageBox>([&](QMessageBox* box) {
      asked = box->text();
      QCOMPARE(box->defaultButton(), box->button(QMessageBox::Cancel));
      box->button(QMessageBox::Cancel)->click();
    });
    dialog.DeleteButton()->click();
    QVERIFY2(asked.contains(base + "/clips"), qPrintable(asked));
    QVERIFY(QDir(base).exists("clips"));

    WhenShown<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    dialog.DeleteButton()->click();
    QVERIFY(!QDir(base).exists("clips"));
    QVERIFY(QDir(data + "/Trash/files/clips").exists("replaced"));
    QFile info(data + "/Trash/info/clips.trashinfo");
    QVERIFY(info.open(QIODevice::ReadOnly));
    const QByteArray record = info.readAll();
    QVERIFY(record.startsWith(
        "[Trash Info]\nPath=" + QUrl::toPercentEncoding(base + "/clips", "/") + "\nDeletionDate="));
    QCOMPARE(dialog.SelectedPath(), base);
    // A second folder of the same name takes a name of its own in the trash.
    QVERIFY(QDir(base).mkpath("clips"));
    dialog.SelectPath(base + "/clips");
    WhenShown<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    dialog.DeleteButton()->click();
    QVERIFY(QDir(data + "/Trash/files").exists("clips 2"));
    QVERIFY(QDir(data + "/Trash/files/clips").exists("replaced"));

    // Where no trash can be made, the folder stays and the user is told.
    QVERIFY(QDir(base).mkpath("kept"));
    QFile blocker(home_.filePath("blocked"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_DATA_HOME", QFile::encodeName(home_.filePath("blocked")));
    dialog.SelectPath(base + "/kept");
    QString told;
    WhenShown<QMessageBox>([&](QMessageBox* box) {
      box->button(QMessageBox::Yes)->click();
      WhenShown<QMessageBox>([&](QMessageBox* warning) {
        told = warning->text();
        warning->accept();
      });
    });
    dialog.DeleteButton()->click();
    QVERIFY(QDir(base).exists("kept"));
    QVERIFY2(told.contains(base + "/kept") && told.contains("nothing was deleted"),
             qPrintable(told));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home_.filePath("data")));
  }

  void folderDialogOpensOnTheLastWorkFolderInView() {
    FolderDialog::ForgetRemembered();
    QTemporaryDir dir;
    const QString base = QDir(dir.path()).canonicalPath();
    // Enough folders beside the path that the chosen one lies far down the tree.
    for (int i = 0; i < 40; ++i)
      QVERIFY(QDir(base).mkpath(QStringLiteral("a%1").arg(i, 2, 10, QLatin1Char('0'))));
    const QString unpacked = base + "/a37/game/speech_";
    const QString packed = base + "/a38/other_";
    QVERIFY(QDir().mkpath(unpacked) && QDir().mkpath(packed));

    // The later of the last Unpack and the last Pack; the other when that one is gone.
    WorkFolders::NotePacked(packed);
    WorkFolders::NoteUnpacked(unpacked);
    QCOMPARE(WorkFolders::StartFolder(), unpacked);
    WorkFolders::NotePacked(packed);
    QCOMPARE(WorkFolders::StartFolder(), packed);
    QVERIFY(QDir(base + "/a38").removeRecursively());
    QCOMPARE(WorkFolders::StartFolder(), unpacked);
    // Kept across runs in the settings file.
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "tessaly", "tessaly");
    QVERIFY(settings.fileName().startsWith(home_.path()));
    QCOMPARE(settings.value("WorkFolders/unpacked").toString(), unpacked);

    bool checked = false;
    WhenShown<FolderDialog>([&](FolderDialog* shown) {
      QTreeView* tree = shown->Tree();
      // The tree reads the folders above in the background: waited for, however long it takes.
      auto inView = [tree] {
        const QModelIndex current = tree->currentIndex();
        for (QModelIndex above = current.parent(); above.isValid(); above = above.parent())
          if (!tree->isExpanded(above)) return false;
        return current.isValid() && tree->viewport()->rect().contains(tree->visualRect(current));
      };
      QTRY_VERIFY(inView());
      const QModelIndex current = tree->currentIndex();
      QCOMPARE(shown->SelectedPath(), unpacked);
      for (QModelIndex above = current.parent(); above.isValid(); above = above.parent())
        QVERIFY(tree->isExpanded(above));
      QVERIFY(tree->viewport()->rect().contains(tree->visualRect(current)));
      QCOMPARE(shown->PathField()->text(), unpacked);
      checked = true;
      shown->reject();
    });
    QCOMPARE(FolderDialog::Execute(nullptr), std::nullopt);
    QVERIFY(checked);
  }

  void aTypedPathIsTakenWhenItNamesAFolder() {
    QTemporaryDir dir;
    const QString base = QDir(dir.path()).canonicalPath();
    QVERIFY(QDir(base).mkpath("typed"));
    QString warned;
    WhenShown<FolderDialog>([&](FolderDialog* shown) {
      shown->PathField()->setText(base + "/missing");
      WhenShown<QMessageBox>([&](QMessageBox* box) {
        warned = box->text();
        box->accept();
      });
      QTest::keyClick(shown->PathField(), Qt::Key_Return);
      QVERIFY(shown->isVisible());  // stays open on a path that is no folder
      shown->PathField()->setText(base + "/typed/");
      QTest::keyClick(shown->PathField(), Qt::Key_Return);
    });
    QCOMPARE(FolderDialog::Execute(nullptr), std::optional<QString>(base + "/typed"));
    QVERIFY2(warned.contains(base + "/missing"), qPrintable(warned));
    QCOMPARE(WorkFolders::StartFolder(), base + "/typed");

    // An export creates its folder: a typed one that doesn't exist yet is taken for it.
    BoxCloser refused;
    WhenShown<FolderDialog>([&](FolderDialog* shown) {
      shown->PathField()->setText(base + "/wavs/new/");
      QTest::keyClick(shown->PathField(), Qt::Key_Return);
      if (shown->isVisible()) shown->reject();
    });
    QCOMPARE(FolderDialog::Execute(nullptr, FolderDialog::Use::ExportTarget),
             std::optional<QString>(base + "/wavs/new"));
    QVERIFY2(refused.text.isEmpty(), qPrintable(refused.text));
  }

  void aNewFolderNamedInTheTreeIsTheOneChosen() {
    QTemporaryDir dir;
    const QString base = QDir(dir.path()).canonicalPath();
    FolderDialog::ForgetRemembered();
    WorkFolders::NotePacked(base);
    BoxCloser warned;
    WhenShown<FolderDialog>([&](FolderDialog* shown) {
      shown->CreateFolderButton()->click();
      auto* editor = shown->Tree()->findChild<QLineEdit*>();
      QVERIFY(editor);
      editor->setText(QStringLiteral("mods"));
      QTest::keyClick(editor, Qt::Key_Return);
      QTRY_VERIFY(QDir(base).exists("mods"));
      shown->accept();
      if (shown->isVisible()) shown->reject();
    });
    const std::optional<QString> chosen = FolderDialog::Execute(nullptr);
    QCOMPARE(chosen.value_or("(cancelled)"), base + "/mods");
    QVERIFY2(warned.text.isEmpty(), qPrintable(warned.text));
    QVERIFY(QDir(base).exists("mods"));
  }

  void messageBoxesHaveTheirKindsLook() {
    QWidget owner;
    const struct {
      MessageKind kind;
      const char* caption;
      QMessageBox::Icon icon;
      bool owned;
      Qt::WindowModality modality;
    } kinds[] = {
        {MessageKind::Error, "Error", QMessageBox::Warning, true, Qt::ApplicationModal},
        {MessageKind::Information, "Information", QMessageBox::Information, true,
         Qt::ApplicationModal},
        {MessageKind::Success, "Information", QMessageBox::Information, true, Qt::ApplicationModal},
        {MessageKind::PlainError, "Error", QMessageBox::NoIcon, false, Qt::NonModal},
    };
    for (const auto& kind : kinds) {
      MessageBoxLook look = MessageBoxes::Look(kind.kind, QStringLiteral("text"), &owner);
      QCOMPARE(look.caption, QString::fromLatin1(kind.caption));
      QCOMPARE(look.icon, kind.icon);
      QCOMPARE(look.owner.data(), kind.owned ? &owner : nullptr);
      QCOMPARE(look.modality, kind.modality);
    }
    MessageBoxLook framework = MessageBoxes::FrameworkLook(QStringLiteral("Cannot open"), &owner);
    QCOMPARE(framework.caption, QStringLiteral("Ui_tests"));  // from this test's file name
    QCOMPARE(framework.icon, QMessageBox::Critical);
    QCOMPARE(framework.text, QStringLiteral("Cannot open."));
  }

  void plainErrorBoxLeavesOtherWindowsTakingInput() {
    QWidget window;
    window.show();
    bool windowBlocked = true;
    WhenShown<QMessageBox>([&](QMessageBox* box) {
      QCOMPARE(box->parentWidget(), nullptr);
      QVERIFY(!box->isModal());
      QCOMPARE(box->buttons().size(), 1);
      QCOMPARE(box->windowTitle(), QStringLiteral("Error"));
      windowBlocked = QApplication::activeModalWidget() != nullptr;
      box->buttons().constFirst()->click();
    });
    MessageBoxes::Show(MessageKind::PlainError, QStringLiteral("SCHl not found in 0"), &window);
    QVERIFY(!windowBlocked);
  }

 private:
  QTemporaryDir home_;
};

TESSALY_UI_TEST(DialogsTest);
#include "DialogsTest.moc"
