// The folder lock's ownership and its wait, the same on every system; the system's side is in
// FolderLockSystem.h.
#include <algorithm>
#include <thread>
#include <utility>

#include "base/FolderLock.h"
#include "base/FolderLockSystem.h"

namespace tessaly {

FolderLock::FolderLock(FolderLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

std::optional<FolderLock> FolderLock::Take(const std::string& path,
                                           std::chrono::milliseconds wait) {
  int fd = folder_lock::Open(path);
  if (fd < 0) return FolderLock();
  auto deadline = std::chrono::steady_clock::now() + wait;
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    switch (folder_lock::TryLock(fd)) {
      case folder_lock::Attempt::Locked:
        return FolderLock(fd);
      case folder_lock::Attempt::Failed:
        folder_lock::Close(fd);
        return FolderLock();
      case folder_lock::Attempt::Busy:
        break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      folder_lock::Close(fd);
      return std::nullopt;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(20));
  }
}

void FolderLock::Release() noexcept {
  if (fd_ >= 0) folder_lock::Close(fd_);
  fd_ = -1;
}

}  // namespace tessaly
