// Times the window with a large archive: listing 100,000 entries into the grid until the window
// answers, sorting the grid by a column, and repainting it scrolled; opening the unpacked folder
// and listing the archive, each with and without the clip columns filling, and one keystroke in
// the filter. Prints one line per
// figure.
// Usage: ui_window_timing [entries]   (offscreen: QT_QPA_PLATFORM=offscreen)
#include "UiFixtures.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>

#include <cstdio>

#include "support/RecordingHost.h"
#include "ui/clipwork/Workbench.h"
#include "ui/dialogs/FolderDialog.h"
#include "ui/dialogs/NextAnswers.h"
#include "ui/grid/EntryTableModel.h"
#include "ui/grid/WorkbenchModel.h"

using namespace tessaly;
using namespace tessaly::testing;
using namespace tessaly::ui;

namespace {

// Milliseconds from now until the window has handled everything pending and answers a timer.
double UntilAnswering(QElapsedTimer& clock) {
  bool answered = false;
  QTimer::singleShot(0, [&] { answered = true; });
  while (!answered) QCoreApplication::processEvents(QEventLoop::AllEvents);
  return clock.nsecsElapsed() / 1e6;
}

template <typename Step>
double Time(Step&& step) {
  QElapsedTimer clock;
  clock.start();
  step();
  return UntilAnswering(clock);
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
  ArchiveBuilder builder = ManyEntries(entries);
  Session s(builder, builder.Data(DataSizeOf(builder, 256)));
  if (!QTest::qWaitForWindowExposed(&s.form)) return 1;
  EntryGrid* grid = s.form.Grid();

  std::printf("entries                        %d\n", entries);
  {
    // The same listing with no window behind it, for comparison.
    RecordingHost host;
    host.recordProgress = false;
    ArchiveState state;
    EntryTable table;
    QElapsedTimer clock;
    clock.start();
    ListArchive(s.pair.indexPath, state, table, host);
    std::printf("list, core alone               %8.1f ms\n", clock.nsecsElapsed() / 1e6);
    state.Release();
  }
  NextAnswers::Push(OpenFileDialog::kName, Q(s.pair.indexPath));
  std::printf("list into the grid, answering  %8.1f ms\n", Time([&] { s.form.OnListArchive(); }));
  std::printf("rows shown                     %d\n", grid->Model()->rowCount());
  if (argc > 2 && std::string(argv[2]) == "list") return 0;
  std::printf("sort by Name                   %8.1f ms\n", Time([&] { grid->SortBy(kColName); }));
  std::printf("sort by Name, descending       %8.1f ms\n", Time([&] { grid->SortBy(kColName); }));
  std::printf("sort by Block #                %8.1f ms\n", Time([&] { grid->SortBy(kColBlock); }));
  std::printf("sort by #                      %8.1f ms\n", Time([&] { grid->SortBy(kColNumber); }));
  std::printf("scroll to the end, repaint     %8.1f ms\n", Time([&] {
                grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
                s.form.repaint();
              }));
  std::printf("fit Name to its widest cell    %8.1f ms\n",
              Time([&] { grid->FitColumn(kColName); }));
  NextAnswers::Push(OpenFileDialog::kName, Q(s.pair.indexPath));
  std::printf("unpack (listing + %d files)  %8.1f ms\n", entries, Time([&] { s.form.OnUnpack(); }));

  // The folder's table into the grid, answering, while the clip columns fill on their thread,
  // against the same without them; the best of three each, taking turns.
  const QString folder = Q(s.folder / "speech_");
  double with = 1e30, without = 1e30;
  for (int round = 0; round < 3; ++round) {
    for (bool clips : {false, true}) {
      s.form.Bench()->SetReadsClips(clips);
      NextAnswers::Push(FolderDialog::kName, folder);
      double ms = Time([&] { s.form.Bench()->OnOpenFolder(); });
      (clips ? with : without) = std::min(clips ? with : without, ms);
      // Each round starts quiet: the clip columns read and the change marks found.
      s.form.Bench()->Clips().WaitUntilFilled();
      while (s.form.Bench()->MarksPending())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
  }
  std::printf("open folder, answering         %8.1f ms\n", without);
  std::printf("open folder, clips filling     %8.1f ms\n", with);

  // The same for the listing alone, the clip columns read from the data file.
  with = without = 1e30;
  for (int round = 0; round < 3; ++round) {
    for (bool clips : {false, true}) {
      s.form.Bench()->SetReadsClips(clips);
      NextAnswers::Push(OpenFileDialog::kName, Q(s.pair.indexPath));
      double ms = Time([&] { s.form.OnListArchive(); });
      (clips ? with : without) = std::min(clips ? with : without, ms);
      s.form.Bench()->Clips().WaitUntilFilled();
      QCoreApplication::processEvents();
    }
  }
  std::printf("list, answering, no clips      %8.1f ms\n", without);
  std::printf("list, answering, clips filling %8.1f ms\n", with);
  s.form.Bench()->SetReadsClips(true);
  NextAnswers::Push(FolderDialog::kName, folder);
  s.form.Bench()->OnOpenFolder();
  s.form.Bench()->Clips().WaitUntilFilled();
  QCoreApplication::processEvents();
  std::printf("filter, one keystroke          %8.1f ms\n",
              Time([&] { s.form.Bench()->Filter()->setText(QStringLiteral("speech_0001")); }));
  std::printf("filter, cleared                %8.1f ms\n",
              Time([&] { s.form.Bench()->Filter()->clear(); }));
  return 0;
}
