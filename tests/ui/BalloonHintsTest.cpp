// Balloon hints: their delays, their place beside the pointer, and widgets that keep theirs off.
#include "UiFixtures.h"
#include "UiTestMain.h"

#include <QElapsedTimer>
#include <QEnterEvent>
#include <QScreen>
#include <QToolTip>
#include <QtTest>

#include "ui/widgets/BalloonHints.h"

using namespace tessaly;
using namespace tessaly::testing;
using namespace tessaly::ui;

namespace {

void Enter(QWidget* widget) {
  QPointF inside(widget->rect().center());
  QEnterEvent event(inside, inside, QPointF(widget->mapToGlobal(widget->rect().center())));
  QApplication::sendEvent(widget, &event);
}
void Leave(QWidget* widget) {
  QEvent event(QEvent::Leave);
  QApplication::sendEvent(widget, &event);
}

}  // namespace

class BalloonHintsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { hints_ = BalloonHints::Install(); }

  void comesUpAfterARestMovesOnQuicklyAndGoesAway() {
    MainWindow form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Balloon* balloon = hints_->CurrentBalloon();
    auto* unpack = form.findChild<QToolButton*>(QStringLiteral("ExportButton"));
    auto* pack = form.findChild<QToolButton*>(QStringLiteral("ImportButton"));

    QElapsedTimer clock;
    clock.start();
    Enter(unpack);
    QTest::qWait(BalloonHints::kWakeUpMs - 200);
    QVERIFY(!balloon->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(balloon->isVisible(), 3000);
    QVERIFY(clock.elapsed() >= BalloonHints::kWakeUpMs);
    QCOMPARE(balloon->Text(), QStringLiteral("Unpack"));

    // From one button to the next while the balloon is up: the next comes up at once.
    Leave(unpack);
    QVERIFY(!balloon->isVisible());
    clock.restart();
    Enter(pack);
    QTRY_VERIFY_WITH_TIMEOUT(balloon->isVisible(), 3000);
    QVERIFY(clock.elapsed() < BalloonHints::kWakeUpMs);
    QCOMPARE(balloon->Text(), QStringLiteral("Pack"));

    // It goes away by itself.
    QTRY_VERIFY_WITH_TIMEOUT(!balloon->isVisible(), BalloonHints::kHideMs + 3000);
    QVERIFY(clock.elapsed() >= BalloonHints::kNextMs + BalloonHints::kHideMs);
    Leave(pack);

    // The grid's hint is switched off, and Qt's own tool tips never show.
    Enter(form.Grid());
    QTest::qWait(BalloonHints::kWakeUpMs + 200);
    QVERIFY(!balloon->isVisible());
    QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), unpack->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(unpack, &help);
    QVERIFY(!QToolTip::isVisible());
  }

  void sitsAboveRightOfThePointerAndFlipsAtTheScreensEdges() {
    Balloon balloon;
    QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const struct {
      QPoint pointer;
      bool below;
      bool left;
    } cases[] = {
        {screen.center(), false, false},
        {screen.topLeft() + QPoint(20, 5), true, false},
        {QPoint(screen.right() - 5, screen.center().y()), false, true},
        {screen.topRight() + QPoint(-5, 5), true, true},
    };
    for (const auto& c : cases) {
      balloon.ShowAt(QStringLiteral("Help / Support"), c.pointer);
      QRect at = balloon.geometry();
      QVERIFY(screen.contains(at));
      QCOMPARE(at.top() > c.pointer.y(), c.below);
      QCOMPARE(at.center().x() < c.pointer.x(), c.left);
      QVERIFY(at.width() >= Scaled(55));
    }
  }

 private:
  BalloonHints* hints_ = nullptr;
};

TESSALY_UI_TEST(BalloonHintsTest);
#include "BalloonHintsTest.moc"
