// The open-file dialog, the folder dialog and the message boxes, shown for real where it matters.
#include "UiFixtures.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include "ui/FolderDialog.h"
#include "ui/MessageBoxes.h"
#include "ui/OpenFileDialog.h"

using namespace tessaly;
using namespace tessaly::testing;
using namespace tessaly::ui;

class DialogsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() {
    // Keeps the folder dialog's trash inside the test's own folder.
    QVERIFY(home_.isValid());
    QVERIFY(QDir(home_.path()).mkpath("data/Trash"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home_.filePath("data")));
  }

  void openDialogAsksForOneExistingPairFileAndRemembersIt() {
    QTemporaryDir dir;
    QString chosen = dir.filePath("speech.big");
    QFile(chosen).open(QIODevice::WriteOnly);
    OpenFileDialog dialog;
    OpenFileDialog::SetNextAnswer(chosen);
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
    QCOMPARE(framework.caption, QStringLiteral("Ui_dialogstest"));  // from this test's file name
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

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
