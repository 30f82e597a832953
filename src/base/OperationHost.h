// The window as the operations see it: what a user sees of an operation while it runs (progress,
// status panels, the busy state, messages). The core calls it; it never learns what is behind it:
// the main window (Qt), the terminal front end, or a recorder in tests. What an operation works on
// (an archive, a folder) is its caller's to choose and reaches it as a parameter.
#pragma once

#include <chrono>
#include <cstdint>
#include <stop_token>
#include <string>

namespace tessaly {

enum class MessageKind {
  Error,        // caption "Error", warning icon, modal for the application
  Information,  // caption "Information", information icon, modal for the application
  PlainError,   // caption "Error", no icon, owned by no window
  Success,      // an operation's good end: shown as Information, a success to the command line
};

class OperationHost {
 public:
  virtual ~OperationHost() = default;

  // ProgressBar1.
  virtual void SetProgressMin(int value) = 0;
  virtual void SetProgressMax(int value) = 0;
  virtual void SetProgressPosition(int value) = 0;
  // StatusBar1, panels 0 to 3.
  virtual void SetStatusText(int panel, const std::string& text) = 0;
  // ToolBar1 together with ASFGrid (the listing's busy state).
  virtual void SetToolbarAndGridEnabled(bool enabled) = 0;
  // The whole main window (unpacking's and packing's busy state).
  virtual void SetWindowEnabled(bool enabled) = 0;
  // Repaints the whole window at once; the table may have changed.
  virtual void Repaint() = 0;
  // Paints what is waiting to be painted.
  virtual void UpdatePainting() = 0;
  // Lets pending window messages be handled.
  virtual void ProcessMessages() = 0;

  // A modal message box with one "OK" button; returns when it is closed.
  virtual void ShowMessage(MessageKind kind, const std::string& text) = 0;

  // Set when the user asks the running operation to stop (the window's Stop button or Esc). The
  // long loops check it between files or entries and end there, leaving every file whole; a host
  // that offers no stop gives a token that is never set.
  virtual std::stop_token StopToken() const { return {}; }
};

// The fixed repaints of a long loop over `total` items: one at step 1, and one more for each of
// total / 5, total / 10, total / 15, total / 20 and total / 25 that equals `step` (each tested on
// its own, so several can fall on the same step). At most six per loop, however long it is.
inline void RepaintAtFixedPoints(OperationHost& host, uint64_t step, uint64_t total) {
  if (step == 1) host.Repaint();
  for (uint64_t divisor : {5, 10, 15, 20, 25})
    if (total / divisor == step) host.Repaint();
}

// Lets pending messages through at most once per interval, so per-row calls cost little.
class MessagePump {
 public:
  explicit MessagePump(OperationHost& host,
                       std::chrono::milliseconds interval = std::chrono::milliseconds(8))
      : host_(host), interval_(interval) {}
  void Poll() {
    auto now = std::chrono::steady_clock::now();
    if (now - last_ < interval_) return;
    last_ = now;
    host_.ProcessMessages();
  }

 private:
  OperationHost& host_;
  std::chrono::steady_clock::duration interval_;
  std::chrono::steady_clock::time_point last_{};
};

// Disables part of the window on construction and enables it again on every way out.
template <void (OperationHost::*SetEnabled)(bool)>
class DisabledWhile {
 public:
  explicit DisabledWhile(OperationHost& host) : host_(&host) { (host.*SetEnabled)(false); }
  DisabledWhile(const DisabledWhile&) = delete;
  DisabledWhile& operator=(const DisabledWhile&) = delete;
  ~DisabledWhile() { Enable(); }
  // Enables early, at the point the operation prescribes; later calls do nothing.
  void Enable() {
    if (host_) (host_->*SetEnabled)(true);
    host_ = nullptr;
  }

 private:
  OperationHost* host_;
};

using WindowDisabled = DisabledWhile<&OperationHost::SetWindowEnabled>;
using ToolbarAndGridDisabled = DisabledWhile<&OperationHost::SetToolbarAndGridEnabled>;

}  // namespace tessaly
