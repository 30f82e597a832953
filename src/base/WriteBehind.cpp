#include "base/WriteBehind.h"

#include <fcntl.h>

namespace tessaly {

WriteBehind::WriteBehind(const File& file) {
  int fd = ::fcntl(file.fd_, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return;  // no thread: Sync does all the work
  file_ = File(fd, file.path_);
  thread_ = std::thread([this] { Run(); });
}

WriteBehind::~WriteBehind() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
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

void WriteBehind::Run() {
  uint64_t started = 0;
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stopping_ || written_ != started; });
    if (stopping_) return;
    uint64_t from = started, to = written_;
    started = to;
    lock.unlock();
    if (to > from) file_.StartWriteBack(from, to - from);
    lock.lock();
  }
}

}  // namespace tessaly
