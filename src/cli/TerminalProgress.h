// ProgressBar1 on a terminal: one line on standard error, "[#####.....] position/maximum",
// redrawn in place a few times a second at most.
#pragma once

#include <chrono>
#include <cstdio>

namespace tessaly::cli {

class TerminalProgress {
 public:
  // A disabled bar draws nothing.
  TerminalProgress(std::FILE* out, bool enabled) : out_(out), enabled_(enabled) {}

  void SetMin(int value);
  void SetMax(int value);
  // Position 0 (where every operation leaves the bar) erases the line.
  void SetPosition(int value);
  // Erases the line so that other output starts in the first column; the next position redraws.
  void Clear();

 private:
  void Draw(bool force);

  std::FILE* out_;
  bool enabled_;
  bool shown_ = false;
  int min_ = 0;
  int max_ = 100;
  int position_ = 0;
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace tessaly::cli
