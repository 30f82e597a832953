// Shared pieces of the window tests: archive pairs on disk, and a recorder that answers the
// message boxes and notes the window's state while each box was up.
#pragma once

// Before any Qt header: the fixture builder uses names that Qt's keywords would take.
#include "support/ArchiveBuilder.h"

#include <QApplication>
#include <QProgressBar>
#include <QSettings>
#include <QString>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <QtTest>

#include <functional>
#include <optional>
#include <vector>

#include "ui/MainWindow.h"
#include "ui/clipwork/Workbench.h"
#include "ui/dialogs/MessageBoxes.h"
#include "ui/dialogs/NextAnswers.h"
#include "ui/dialogs/OpenFileDialog.h"
#include "ui/grid/EntryGrid.h"
#include "ui/grid/WorkbenchModel.h"
#include "ui/widgets/PanelStatusBar.h"

namespace tessaly::testing {

// The pair of three entries at 0, 4096 and 10240 in a data file of 12000 bytes.
inline ArchiveBuilder ThreeEntries() {
  ArchiveBuilder builder;
  BlockSpec block;
  block.units = {0, 16, 40};
  block.id = 0x1234;
  builder.Block(block);
  return builder;
}

// The entry files of ThreeEntries' pair, unpacked.
inline const QString kFirst = QStringLiteral("speech_00001.asf");
inline const QString kSecond = QStringLiteral("speech_00002.asf");
inline const QString kThird = QStringLiteral("speech_00003.asf");

// `count` entries of `unitsEach` 256-byte units, in blocks of up to 200.
inline ArchiveBuilder ManyEntries(int count, uint16_t unitsEach = 1) {
  ArchiveBuilder builder;
  uint32_t offset = 0;
  for (int done = 0; done < count;) {
    BlockSpec block;
    block.offset = offset;
    int inBlock = std::min(200, count - done);
    for (int j = 0; j < inBlock; ++j) block.units.push_back(static_cast<uint16_t>(j * unitsEach));
    offset += static_cast<uint32_t>(inBlock) * unitsEach * 256;
    done += inBlock;
    builder.Block(block);
  }
  return builder;
}

inline uint32_t DataSizeOf(const ArchiveBuilder& builder, uint32_t lastEntrySize) {
  return builder.RealAddresses().back() + lastEntrySize;
}

struct ShownBox {
  ui::MessageBoxLook look;
  bool windowEnabled;
  bool toolbarEnabled;
  bool gridEnabled;
};

// Answers every message box while it lives, recording what would have been shown.
class BoxRecorder {
 public:
  explicit BoxRecorder(ui::MainWindow& form) {
    ui::MessageBoxes::SetHook([this, &form](const ui::MessageBoxLook& look) {
      auto* toolBar = form.findChild<QWidget*>(QStringLiteral("ToolBar1"));
      boxes.push_back({look, form.WindowEnabled(), toolBar->isEnabled(), form.Grid()->isEnabled()});
    });
  }
  ~BoxRecorder() { ui::MessageBoxes::SetHook({}); }
  std::vector<ShownBox> boxes;
};

// Keeps the user's settings that the window writes (the work folders) in `folder`.
inline void UseSettingsIn(const QString& folder) {
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder));
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
}

inline QString Q(const std::string& bytes) {
  return QString::fromStdString(bytes);
}

// The grid's view of the table: the rows the filter lets through, with the clip columns.
inline ui::WorkbenchModel* View(ui::MainWindow& form) {
  return form.Grid()->ViewModel();
}
// The view row that shows the entry `name`, or -1.
inline int RowOf(ui::MainWindow& form, const QString& name) {
  for (int row = 0; row < View(form)->rowCount(); ++row)
    if (View(form)->index(row, kColName).data().toString() == name) return row;
  return -1;
}
// A cell of the entry `name`'s row in the grid's view.
inline QVariant Cell(ui::MainWindow& form, const QString& name, int column,
                     int role = Qt::DisplayRole) {
  return View(form)->index(RowOf(form, name), column).data(role);
}
// Waits until the clip columns are read.
inline void WaitForClips(ui::MainWindow& form) {
  form.Bench()->Clips().WaitUntilFilled();
  QTRY_VERIFY(!form.Bench()->Clips().Filling());
}
// Waits until the clip columns are read and the entries' change marks set.
inline void WaitForMarks(ui::MainWindow& form) {
  WaitForClips(form);
  QTRY_VERIFY(!form.Bench()->MarksPending());
}
// The status bar's note (its last panel) and the progress bar.
inline QString Note(ui::MainWindow& form) {
  return form.findChild<ui::PanelStatusBar*>(QStringLiteral("StatusBar1"))->PanelText(3);
}
inline QProgressBar* Progress(ui::MainWindow& form) {
  return form.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
}

// A shown main window beside an archive pair speech.idx / speech.big in a fresh folder, with its
// message boxes recorded.
struct Session {
  Session(const ArchiveBuilder& builder, const std::string& data)
      : pair(WritePair(folder, "speech", builder.Index(), data)) {
    form.show();
  }
  // Unpack, answering the open-file dialog with `path` (the pair's index file by default).
  void Unpack(std::optional<std::string> path = {}) {
    ui::NextAnswers::Push(ui::OpenFileDialog::kName, Q(path.value_or(pair.indexPath)));
    Click("ExportButton");
  }
  void Click(const char* button);

  TempFolder folder;
  ArchivePair pair;
  ui::MainWindow form;
  BoxRecorder boxes{form};
};

// The path of the unpacked entry file `number` (1 to 9).
inline std::string Entry(const Session& s, int number) {
  return s.folder / ("speech_/speech_0000" + std::to_string(number) + ".asf");
}

inline void Session::Click(const char* button) {
  QTest::mouseClick(form.findChild<QToolButton*>(QString::fromLatin1(button)), Qt::LeftButton);
}

// Runs `act` on the first visible top-level window of type T once it is up; a modal call made
// after this returns when `act` closes the window.
template <typename T>
void WhenShown(std::function<void(T*)> act) {
  auto* poll = new QTimer;
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, [poll, act] {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      auto* shown = qobject_cast<T*>(window);
      if (!shown || !shown->isVisible()) continue;
      poll->stop();
      poll->deleteLater();
      act(shown);
      return;
    }
  });
  poll->start();
}

}  // namespace tessaly::testing
