// The window as a terminal: messages go to standard output (success) or standard error (everything
// else), the progress bar is drawn on standard error, and the status panels are kept for the
// command to print.
#pragma once

#include <cstdio>
#include <string>

#include "base/QuietHost.h"
#include "cli/TerminalProgress.h"

namespace tessaly::cli {

class TerminalHost : public QuietHost {
 public:
  // The progress bar is drawn only when `showProgress`.
  explicit TerminalHost(bool showProgress, std::FILE* out = stdout, std::FILE* err = stderr);

  void SetProgressMin(int value) override { progress_.SetMin(value); }
  void SetProgressMax(int value) override { progress_.SetMax(value); }
  void SetProgressPosition(int value) override { progress_.SetPosition(value); }
  void SetStatusText(int panel, const std::string& text) override;
  void ShowMessage(MessageKind kind, const std::string& text) override;

  // A failure the window would not report (a silent stop, a framework error): one line on
  // standard error.
  void ReportFailure(const std::string& text);
  // A line of the command's own result on standard output.
  void PrintResult(const std::string& text);
  // Writes `question` on standard error, without a line break, and returns the line then typed on
  // standard input, without its line break ("" at its end).
  std::string Ask(const std::string& question);

  // True once any message other than a success message was shown, or a failure reported.
  bool FailureReported() const { return failureReported_; }
  const std::string& StatusText(int panel) const { return status_[panel]; }
  std::FILE* Out() const { return out_; }

 private:
  void WriteLine(std::FILE* stream, const std::string& text);

  std::FILE* out_;
  std::FILE* err_;
  TerminalProgress progress_;
  std::string status_[4];
  bool failureReported_ = false;
};

}  // namespace tessaly::cli
