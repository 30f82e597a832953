// An exclusive advisory lock on a folder, the way several processes agree on who writes it.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace tessaly {

class FolderLock {
 public:
  FolderLock() = default;
  FolderLock(FolderLock&& other) noexcept;
  FolderLock& operator=(FolderLock&& other) noexcept;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock() { Release(); }

  // Locks `path` ("" is the current folder), waiting up to `wait` while another holder has it;
  // nullopt when it is still held then. A folder that can't be opened or locked (missing, not
  // readable, a file system without locks) gives a lock that holds nothing: the operation then
  // meets the problem where it uses the folder.
  static std::optional<FolderLock> Take(const std::string& path, std::chrono::milliseconds wait);
  // Gives the lock up now.
  void Release() noexcept;

 private:
  explicit FolderLock(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace tessaly
