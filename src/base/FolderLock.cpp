// The folder lock on POSIX: flock on a descriptor of the folder itself. It belongs to the open
// descriptor, and the system gives it up when the process ends, however it ends.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "base/FolderLockSystem.h"

namespace tessaly::folder_lock {

int Open(const std::string& path) {
  return ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

Attempt TryLock(int fd) {
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    return errno == EWOULDBLOCK ? Attempt::Busy : Attempt::Failed;
  }
  return Attempt::Locked;
}

void Close(int fd) noexcept {
  ::close(fd);
}

}  // namespace tessaly::folder_lock
