// A file that another program holds open for writing: how tests make a file "in use".
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <string>

#include "support/TempFolder.h"

namespace tessaly::testing {

// Holds `path` as a writer that shares it with nobody: on POSIX an exclusive advisory lock (the
// file layer's stand-in for share modes), on Windows the system's own share mode.
class HeldFile {
 public:
  explicit HeldFile(const std::string& path) {
#ifdef _WIN32
    handle_ = ::CreateFileW(FsPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
#else
    fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
#endif
  }
  ~HeldFile() {
#ifdef _WIN32
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
#else
    if (fd_ >= 0) ::close(fd_);
#endif
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  // False when the file could not be taken.
  bool Holds() const {
#ifdef _WIN32
    return handle_ != INVALID_HANDLE_VALUE;
#else
    return fd_ >= 0;
#endif
  }

 private:
#ifdef _WIN32
  HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
  int fd_ = -1;
#endif
};

}  // namespace tessaly::testing
