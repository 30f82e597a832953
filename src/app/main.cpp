// Starts the program: the main window, then the message loop until the window is closed. An
// archive named on the command line (as a file manager passes it) is unpacked as a drop would be;
// --version and --help answer without a display, and without a display the program says so
// instead of letting Qt abort.
#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ui/MainWindow.h"
#include "ui/widgets/BalloonHints.h"
#include "ui/widgets/Design.h"

namespace {

constexpr const char* kUsage =
    "Usage: tessaly [FILE]\n"
    "Unpacks and packs sports game commentary audio archives in a window.\n"
    "\n"
    "  FILE           an archive's index (.idx) or data file (.big): the window unpacks it\n"
    "                 at once, as when the file is dropped onto it\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "\n"
    "The command line for scripts is tessaly-cli (tessaly-cli --help).\n";

// Why `path` can't be opened, or empty when it is an archive's index or data file.
std::string ArchiveProblem(const char* path) {
  const QFileInfo info(QString::fromLocal8Bit(path));
  const QString suffix = info.suffix().toLower();
  const std::string name = std::string("'") + path + "'";
  if (!info.exists())
    return name + " does not exist: give an archive's index (.idx) or data file (.big)";
  if (!info.isFile() || (suffix != QLatin1String("idx") && suffix != QLatin1String("big")))
    return name +
           " is not an archive's index (.idx) or data file (.big): give one of the two files of "
           "a pair (an unpacked folder is packed with the Pack button)";
  return {};
}

// Qt picks the platform from QT_QPA_PLATFORM, else from the session: with neither an X nor a
// Wayland display there is nothing to show a window on.
bool HasDisplay() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  const char* archive = nullptr;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (!std::strcmp(arg, "--version") || !std::strcmp(arg, "-V")) {
      std::printf("tessaly %s\n", TESSALY_VERSION);
      return 0;
    }
    if (arg[0] == '-' && arg[1] != '\0') {
      std::fprintf(stderr, "tessaly: unknown option '%s'\n%s", arg, kUsage);
      return 2;
    }
    if (archive) {
      std::fprintf(stderr, "tessaly: give one archive file, not '%s' and '%s'\n", archive, arg);
      return 2;
    }
    archive = arg;
  }
  if (archive) {
    const std::string problem = ArchiveProblem(archive);
    if (!problem.empty()) {
      std::fprintf(stderr, "tessaly: %s\n", problem.c_str());
      return 2;
    }
  }
  if (!HasDisplay()) {
    std::fputs(
        "tessaly: no display found. Tessaly is a desktop program and needs one: run it in a "
        "desktop session, or on a virtual display (xvfb-run -a tessaly), or use the command "
        "line: tessaly-cli --help\n",
        stderr);
    return 1;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tessaly"));
  QApplication::setApplicationVersion(QStringLiteral(TESSALY_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("tessaly"));
  QApplication::setWindowIcon(tessaly::ui::Picture(QStringLiteral("tessaly")));
  tessaly::ui::BalloonHints::Install();

  tessaly::ui::MainWindow form1;
  form1.RememberBetweenRuns();
  form1.show();
  if (archive) {
    const QString path = QFileInfo(QString::fromLocal8Bit(archive)).absoluteFilePath();
    QTimer::singleShot(0, &form1, [&form1, path] { form1.OpenArchive(path); });
  }
  return app.exec();
}
