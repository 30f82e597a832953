#include "cli/TerminalProgress.h"

#include <algorithm>

namespace tessaly::cli {

namespace {
constexpr int kBarWidth = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
}  // namespace

void TerminalProgress::SetMin(int value) {
  min_ = value;
}

void TerminalProgress::SetMax(int value) {
  max_ = value;
  if (shown_) Draw(true);
}

void TerminalProgress::SetPosition(int value) {
  position_ = value;
  if (value == 0) {
    Clear();
    return;
  }
  Draw(false);
}

void TerminalProgress::Clear() {
  if (!shown_) return;
  std::fputs("\r\033[K", out_);
  std::fflush(out_);
  shown_ = false;
}

void TerminalProgress::Draw(bool force) {
  if (!enabled_) return;
  auto now = std::chrono::steady_clock::now();
  if (!force && shown_ && now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;

  long long span = static_cast<long long>(max_) - min_;
  long long done = static_cast<long long>(position_) - min_;
  int filled = span > 0 ? static_cast<int>(std::clamp(done, 0LL, span) * kBarWidth / span) : 0;
  char bar[kBarWidth + 1];
  std::fill_n(bar, filled, '#');
  std::fill_n(bar + filled, kBarWidth - filled, '.');
  bar[kBarWidth] = '\0';
  std::fprintf(out_, "\r[%s] %d/%d\033[K", bar, position_, max_);
  std::fflush(out_);
  shown_ = true;
}

}  // namespace tessaly::cli
