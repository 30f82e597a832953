// Renders the program's windows into PNG files: the main window after an Unpack, the grid
// sorted by a column, a balloon hint, the Help / Support box and the folder dialog.
// Usage: ui_screenshots <output folder>   (run on a display, e.g. under xvfb-run)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QHeaderView>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <cstdio>

#include "support/ArchiveBuilder.h"
#include "ui/BalloonHints.h"
#include "ui/EntryGrid.h"
#include "ui/FolderDialog.h"
#include "ui/HelpSupportDialog.h"
#include "ui/MainWindow.h"
#include "ui/MessageBoxes.h"

using namespace tessaly;
using namespace tessaly::ui;

namespace {

void Wait(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool Save(const QPixmap& picture, const QDir& folder, const char* name) {
  QString path = folder.filePath(QString::fromLatin1(name));
  bool saved = picture.save(path);
  std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
  return saved;
}

// The screen around a widget, so windows of their own (balloons) show too.
QPixmap GrabScreen(const QRect& area) {
  return QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(),
                                                      area.height());
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  QDir out(QString::fromLocal8Bit(argv[1]));
  out.mkpath(QStringLiteral("."));
  BalloonHints::Install();
  MessageBoxes::SetHook([](const MessageBoxLook& look) {
    std::fprintf(stderr, "box \"%s\": %s\n", qPrintable(look.caption), qPrintable(look.text));
  });

  // An archive of three blocks, 40 entries of varying lengths.
  testing::TempFolder folder;
  testing::ArchiveBuilder builder;
  uint32_t offset = 0;
  const int counts[] = {12, 20, 8};
  for (int k = 0; k < 3; ++k) {
    testing::BlockSpec block;
    block.id = static_cast<uint16_t>(0x1200 + k * 7);
    block.offset = offset;
    block.digitIndex = static_cast<uint8_t>(k == 1 ? 0x83 : 0x01);
    uint16_t unit = 0;
    for (int j = 0; j < counts[k]; ++j) {
      block.units.push_back(unit);
      unit = static_cast<uint16_t>(unit + 1 + (j * 7 + k * 3) % 11);
    }
    offset += uint32_t{unit} * 256;
    builder.Block(block);
  }
  auto pair = testing::WritePair(folder, "speech", builder.Index(), builder.Data(offset));

  MainWindow form;
  form.show();
  Wait(300);

  OpenFileDialog::SetNextAnswer(QString::fromStdString(pair.indexPath));
  form.OnUnpack();
  Wait(200);
  int ok = 0;
  ok += Save(form.grab(), out, "main-window-after-unpack.png");

  EntryGrid* grid = form.Grid();
  grid->SortBy(kColSize);
  grid->SortBy(kColSize);
  grid->FitColumn(kColName);  // as a double-click on its border does, so "Size" comes into view
  Wait(100);
  ok += Save(form.grab(), out, "grid-sorted-by-size-descending.png");

  // A balloon over the Unpack button.
  auto* unpack = form.findChild<QToolButton*>(QStringLiteral("ExportButton"));
  QPoint pointer = unpack->mapToGlobal(unpack->rect().center());
  QCursor::setPos(pointer);
  QEnterEvent enter(QPointF(unpack->rect().center()), QPointF(unpack->rect().center()),
                    QPointF(pointer));
  QApplication::sendEvent(unpack, &enter);
  Wait(BalloonHints::kWakeUpMs + 200);
  QRect area = form.frameGeometry()
                   .adjusted(-10, -60, 10, 10)
                   .intersected(QGuiApplication::primaryScreen()->geometry());
  ok += Save(GrabScreen(area).copy(0, 0, area.width(), 160), out, "balloon-hint.png");

  {
    HelpSupportDialog help(&form);
    help.show();
    Wait(200);
    ok += Save(help.grab(), out, "help-support.png");
  }
  {
    FolderDialog dialog(&form);
    dialog.show();
    dialog.SelectPath(QString::fromStdString(folder.Path()) + QStringLiteral("/speech_"));
    Wait(1200);
    dialog.SelectPath(QString::fromStdString(folder.Path()) + QStringLiteral("/speech_"));
    Wait(300);
    ok += Save(dialog.grab(), out, "folder-dialog.png");
  }
  {
    // The program's pictures, large: icon, then the four toolbar images.
    QPixmap sheet(5 * 72 + 8, 80);
    sheet.fill(form.palette().color(QPalette::Window));
    QPainter painter(&sheet);
    const char* names[] = {"tessaly", "unpack", "pack", "help", "exit"};
    for (int i = 0; i < 5; ++i)
      painter.drawPixmap(8 + i * 72, 8, Picture(QLatin1String(names[i])).pixmap(64, 64));
    painter.end();
    ok += Save(sheet, out, "pictures.png");
  }
  return ok == 6 ? 0 : 1;
}
