#include "base/WriteBehind.h"

#include <fcntl.h>

namespace tessaly {

WriteBehind::WriteBehind(const File& file) {
  int fd = ::fcntl(file.fd_, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return;  // no thread: Sync does all the work
  file_ = File(fd, file.path_);
  thread_.Start([this](std::stop_token stop) { Run(stop); });
}

void WriteBehind::WrittenUpTo(uint64_t end) {
  constexpr uint64_t kStep = 8 << 20;  // large enough that each request is worth a wake-up
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    wake = end >= written_ + kStep;
    if (wake) written_ = end;
  }
  if (wake) wake_.notify_one();
}

void WriteBehind::Run(const std::stop_token& stop) {
  uint64_t started = 0;
  std::unique_lock lock(mutex_);
  for (;;) {
    // Wakes for more written, or when asked to stop.
    if (!wake_.wait(lock, stop, [&] { return written_ != started; })) return;
    uint64_t from = started, to = written_;
    started = to;
    lock.unlock();
    if (to > from) file_.StartWriteBack(from, to - from);
    lock.lock();
  }
}

}  // namespace tessaly
