// The main window on a small screen at twice the scale: the designed position where the window
// fits, else moved onto the screen.
#include "UiTestMain.h"

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include "ui/MainWindow.h"
#include "ui/widgets/Design.h"

using namespace tessaly::ui;

class WindowPlacementTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void staysOnScreenAtTwiceTheScale() {
    MainWindow form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QRect room = form.screen()->availableGeometry();
    QCOMPARE(room.size(), QSize(640, 400));  // 1280 x 800 at twice the scale
    QVERIFY2(room.contains(form.frameGeometry()),
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                            .arg(form.frameGeometry().x())
                            .arg(form.frameGeometry().y())
                            .arg(form.frameGeometry().width())
                            .arg(form.frameGeometry().height())));
    QCOMPARE(form.frameGeometry().x(), Scaled(84));  // it fits sideways where it was designed
  }
};

// A 1280 x 800 screen without a display of its own, scaled by two.
static void UseSmallScreen() {
  static QTemporaryDir dir;
  const QString config = dir.filePath(QStringLiteral("screen.json"));
  QFile file(config);
  if (!file.open(QIODevice::WriteOnly)) qFatal("can't write the screen's configuration");
  file.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1280, "height": 800,
                "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1.0}]})");
  file.close();
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
  qputenv("QT_SCALE_FACTOR", "2");
}

static const tessaly::testing::RegisterUiTest kRegisterWindowPlacementTest(
    "WindowPlacementTest", [] { return std::unique_ptr<QObject>(new WindowPlacementTest); },
    UseSmallScreen);

#include "WindowPlacementTest.moc"
