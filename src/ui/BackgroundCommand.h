// A command's long work (Unpack, Pack, Export, Replace) on a thread of its own, while the window's
// thread keeps the window painted and answers the Stop button and Esc. The work sees the window
// through this host: its calls reach the window on the window's thread, the progress a few times
// a second, everything else at once and in order, the work waiting until the window has taken it
// (for a message box, until the box is closed). A table the work fills is the work's own copy;
// the grid is shown it at the work's repaints, at its messages and at its end.
#pragma once

#include <QObject>

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>

#include "base/Background.h"
#include "base/OperationHost.h"
#include "ui/widgets/WindowThread.h"

class QAbstractButton;
class QWidget;

namespace tessaly::ui {

class BackgroundCommand : public QObject, public OperationHost {
  Q_OBJECT

 public:
  // `window`: the window's own host, called on its thread. `showTable`: brings the grid up to
  // date with the work's table (called on the window's thread while the work waits; may be
  // empty). While the work runs, no input reaches `form` but `stop` and Esc, which ask the
  // work to stop.
  BackgroundCommand(OperationHost& window, QWidget* form, QAbstractButton* stop,
                    std::function<void()> showTable);
  ~BackgroundCommand() override;

  // Runs `work` with this host on a thread of its own and returns when it has ended, handling
  // the window's events meanwhile. An exception the work throws is thrown again here.
  void Run(const std::function<void(OperationHost&)>& work);
  // Asks the work to stop at its next check (the window's thread).
  void RequestStop();

  // Tests see each host call the work makes, on the work's thread, before it is passed on
  // (`call` names it: "progress.max", "progress.position", "status", "window", "message", ...);
  // empty to see none.
  using Probe = std::function<void(const char* call, int value)>;
  static void SetProbe(Probe probe);

  // OperationHost, called by the work on its own thread.
  void SetProgressMin(int value) override;
  void SetProgressMax(int value) override;
  void SetProgressPosition(int value) override;
  void SetStatusText(int panel, const std::string& text) override;
  void SetToolbarAndGridEnabled(bool enabled) override;
  void SetWindowEnabled(bool enabled) override;
  void Repaint() override;
  void UpdatePainting() override;
  void ProcessMessages() override {}  // the window's thread handles its own events
  void ShowMessage(MessageKind kind, const std::string& text) override;
  std::stop_token StopToken() const override { return stop_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The progress the work set that the window doesn't show yet, applied on the window's thread.
  void ShowProgress();
  // `call` on the window's thread after the progress so far (and with `showTable`, after the
  // grid is brought up to date with the work's table), the work waiting.
  void InOrder(const std::function<void()>& call, bool showTable = false);
  static void See(const char* call, int value);

  OperationHost& window_;
  QWidget* form_;
  QAbstractButton* stopButton_;
  std::function<void()> showTable_;
  BackgroundWork worker_;
  std::stop_token stop_;  // the worker's, set before the work starts

  std::mutex mutex_;
  std::optional<int> min_, max_, position_;            // guarded by mutex_
  std::chrono::steady_clock::time_point lastShown_{};  // the work's thread only
};

}  // namespace tessaly::ui
