// Starts the program: the main window, then the message loop until the window is closed.
#include <QApplication>
#include <QIcon>

#include "ui/MainWindow.h"
#include "ui/widgets/BalloonHints.h"
#include "ui/widgets/Design.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tessaly"));
  QApplication::setDesktopFileName(QStringLiteral("tessaly"));
  QApplication::setWindowIcon(tessaly::ui::Picture(QStringLiteral("tessaly")));
  tessaly::ui::BalloonHints::Install();

  tessaly::ui::MainWindow form1;
  form1.RememberBetweenRuns();
  form1.show();
  return app.exec();
}
