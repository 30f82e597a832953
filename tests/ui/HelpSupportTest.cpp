// The Help / Support box: opened by its toolbar button, laid out as designed, links opened
// through the desktop.
#include "UiFixtures.h"
#include "UiTestMain.h"

#include <QDesktopServices>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QtTest>

#include "ui/dialogs/HelpSupportDialog.h"
#include "ui/dialogs/SupportInfo.h"

using namespace tessaly;
using namespace tessaly::testing;
using namespace tessaly::ui;

// Stands in for the desktop: takes the URLs the box asks it to open.
class Desktop : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> opened;
 public Q_SLOTS:
  void open(const QUrl& url) { opened << url; }
};

class HelpSupportTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() {
    for (const char* scheme : {"mailto", "https"})
      QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &desktop_, "open");
  }
  void cleanupTestCase() {
    for (const char* scheme : {"mailto", "https"})
      QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
  }

  void helpButtonShowsTheBoxOverTheWindowUntilOk() {
    MainWindow form;
    form.show();
    bool shown = false;
    WhenShown<HelpSupportDialog>([&](HelpSupportDialog* box) {
      shown = true;
      QVERIFY(box->isModal());
      QCOMPARE(box->windowTitle(), QStringLiteral("Help / Support"));
      QCOMPARE(box->size(), QSize(249, 312));
      QCOMPARE(box->minimumSize(), box->maximumSize());
      QVERIFY(!(box->windowFlags() & Qt::WindowMaximizeButtonHint));
      // Centred over the main window, give or take the window frame.
      QVERIFY((box->frameGeometry().center() - form.frameGeometry().center()).manhattanLength() <=
              4);
      QTest::mouseClick(box->findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
    });
    QTest::mouseClick(form.findChild<QToolButton*>(QStringLiteral("ToolButton9")), Qt::LeftButton);
    QVERIFY(shown);
    QVERIFY(form.isEnabled() && !form.Busy());
  }

  void showsTheAuthorLinksAndNumbers() {
    HelpSupportDialog box;
    auto* contact = box.findChild<QGroupBox*>(QStringLiteral("GroupBox1"));
    QCOMPARE(contact->title(), QStringLiteral("Contact Info: "));
    QCOMPARE(contact->geometry(), QRect(7, 33, 234, 59));
    QCOMPARE(box.findChild<QGroupBox*>(QStringLiteral("GroupBox2"))->title(),
             QStringLiteral("Financially support of Author: "));
    QCOMPARE(box.findChild<QLabel*>(QStringLiteral("Label1"))->text(),
             QString::fromLatin1(support::kAuthor));
    auto* mail = box.findChild<UrlLabel*>(QStringLiteral("RzURLLabel1"));
    QCOMPARE(mail->Link(), QString::fromLatin1(support::kMailLink));
    QCOMPARE(mail->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(mail->font().underline());
    QCOMPARE(box.findChild<UrlLabel*>(QStringLiteral("RzURLLabel2"))->Link(),
             QString::fromLatin1(support::kHomePage));
    for (const char* name : {"RzEdit1", "RzEdit2", "RzEdit3", "RzEdit4", "RzEdit5", "RzEdit6"}) {
      auto* number = box.findChild<QLineEdit*>(QString::fromLatin1(name));
      QVERIFY2(number && number->isReadOnly(), name);
      QCOMPARE(number->text(), QStringLiteral("not set"));
    }
  }

  void contactLinksLieInsideTheirFrame() {
    HelpSupportDialog box;
    box.show();
    auto* contact = box.findChild<QGroupBox*>(QStringLiteral("GroupBox1"));
    // Below the title, which the style may draw above the frame, and within the frame's sides.
    for (const char* name : {"RzURLLabel1", "RzURLLabel2"}) {
      auto* link = box.findChild<UrlLabel*>(QString::fromLatin1(name));
      QVERIFY2(contact->contentsRect().contains(link->geometry()), name);
    }
  }

  void aLinkOpensOnceAndStaysVisitedForThatBoxOnly() {
    desktop_.opened.clear();
    QColor unvisited;
    {
      HelpSupportDialog box;
      auto* mail = box.findChild<UrlLabel*>(QStringLiteral("RzURLLabel1"));
      unvisited = mail->palette().color(QPalette::WindowText);
      QTest::mouseClick(mail, Qt::LeftButton);
      QCOMPARE(desktop_.opened, QList<QUrl>{QUrl(QString::fromLatin1(support::kMailLink))});
      QVERIFY(mail->Visited());
      QCOMPARE(mail->palette().color(QPalette::WindowText), QColor(128, 0, 128));
    }
    HelpSupportDialog again;
    auto* mail = again.findChild<UrlLabel*>(QStringLiteral("RzURLLabel1"));
    QVERIFY(!mail->Visited());
    QCOMPARE(mail->palette().color(QPalette::WindowText), unvisited);

    // A blank link falls back to the label's text; a blank text too does nothing.
    UrlLabel textOnly(QString::fromLatin1(support::kHomePage), QStringLiteral("  "), nullptr);
    textOnly.Open();
    QCOMPARE(desktop_.opened.last(), QUrl(QString::fromLatin1(support::kHomePage)));
    UrlLabel blank(QStringLiteral(" "), QString(), nullptr);
    blank.Open();
    QCOMPARE(desktop_.opened.size(), 2);
    QVERIFY(!blank.Visited());
  }

 private:
  Desktop desktop_;
};

TESSALY_UI_TEST(HelpSupportTest);
#include "HelpSupportTest.moc"
