// An OperationHost for tests: records every call in order.
#pragma once

#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "base/OperationHost.h"

namespace tessaly::testing {

class RecordingHost : public OperationHost {
 public:
  // Every call as one line of text, e.g. "progress.max 120", "message Success Successfully...".
  std::vector<std::string> calls;

  // State as a window would show it.
  int progressMin = 0, progressMax = 100, progressPosition = 0;
  std::string status[4];
  bool toolbarAndGridEnabled = true;
  bool windowEnabled = true;

  struct Message {
    MessageKind kind;
    std::string text;
    bool windowEnabled;  // the window's state while the box was shown
    bool toolbarAndGridEnabled;
  };
  std::vector<Message> messages;

  void SetProgressMin(int v) override {
    progressMin = v;
    Record("progress.min " + std::to_string(v));
  }
  void SetProgressMax(int v) override {
    progressMax = v;
    Record("progress.max " + std::to_string(v));
  }
  void SetProgressPosition(int v) override {
    progressPosition = v;
    if (recordProgress) Record("progress.position " + std::to_string(v));
    if (onProgress) onProgress(v);
  }
  void SetStatusText(int panel, const std::string& text) override {
    status[panel] = text;
    Record("status " + std::to_string(panel) + " " + text);
  }
  void SetToolbarAndGridEnabled(bool e) override {
    toolbarAndGridEnabled = e;
    Record(e ? "toolbar.enable" : "toolbar.disable");
  }
  void SetWindowEnabled(bool e) override {
    windowEnabled = e;
    Record(e ? "window.enable" : "window.disable");
  }
  void Repaint() override {
    Record("repaint");
    ++repaints;
  }
  void UpdatePainting() override { Record("update"); }
  void ProcessMessages() override { ++processed; }
  void ShowMessage(MessageKind kind, const std::string& text) override {
    messages.push_back({kind, text, windowEnabled, toolbarAndGridEnabled});
    Record(std::string("message ") + KindName(kind) + " " + text);
  }

  std::stop_token StopToken() const override { return stop.get_token(); }

  static const char* KindName(MessageKind kind) {
    switch (kind) {
      case MessageKind::Error:
        return "Error";
      case MessageKind::Information:
        return "Information";
      case MessageKind::PlainError:
        return "PlainError";
      case MessageKind::Success:
        return "Success";
    }
    return "?";
  }

  // Position of the first recorded call that starts with `prefix`, or -1.
  int IndexOf(const std::string& prefix) const {
    for (size_t i = 0; i < calls.size(); ++i)
      if (calls[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
    return -1;
  }
  int LastIndexOf(const std::string& prefix) const {
    for (size_t i = calls.size(); i > 0; --i)
      if (calls[i - 1].rfind(prefix, 0) == 0) return static_cast<int>(i - 1);
    return -1;
  }

  bool recordProgress = true;  // off for large runs
  // The user's Stop: a test requests it before the run or from onProgress, at a known point.
  std::stop_source stop;
  std::function<void(int position)> onProgress;
  int repaints = 0;
  int processed = 0;

 private:
  void Record(std::string call) { calls.push_back(std::move(call)); }
};

}  // namespace tessaly::testing
