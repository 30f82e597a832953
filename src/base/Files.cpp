// The file layer on POSIX systems.
#include "base/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "base/Errors.h"
#include "base/Paths.h"
#include "base/SystemCalls.h"

namespace tessaly {

namespace {

// Takes the advisory lock that stands in for the share mode; a file another program holds
// open for writing can't be read, and one being written can't be opened at all.
bool Lock(int fd, bool exclusive) {
  while (flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    // File systems without flock support don't refuse the open.
    return errno != EWOULDBLOCK;
  }
  return true;
}

// Opens `name` relative to the folder `at` (or the path itself with AT_FDCWD) and takes the lock;
// -1 with `error` set when that fails or the name is a folder (EISDIR).
int OpenLocked(int at, const char* name, int flags, bool exclusive, int& error) {
  int fd = ::openat(at, name, flags | O_CLOEXEC, 0666);
  error = errno;
  if (fd < 0) return -1;
  struct stat info {};
  if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    error = EISDIR;
  } else if (!Lock(fd, exclusive)) {
    error = EBUSY;
  } else {
    return fd;
  }
  ::close(fd);
  return -1;
}

int OpenChecked(const std::string& path, int flags, bool exclusive, bool creating) {
  int error = 0;
  int fd = OpenLocked(AT_FDCWD, path.c_str(), flags, exclusive, error);
  if (fd >= 0) return fd;
  throw FrameworkError(creating ? CannotCreateText(path, error) : CannotOpenText(path, error));
}

}  // namespace

std::string NotRegularFileText(const std::string& path, unsigned mode) {
  const char* kind = S_ISFIFO(mode)                   ? "a pipe"
                     : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                     : S_ISSOCK(mode)                 ? "a socket"
                                                      : "something else";
  return "Cannot open file " + Quoted(path) + ". It is " + kind + ", not a regular file";
}

File File::OpenRead(const std::string& path) {
  // Opened without waiting, so that a pipe or a device is refused by name, never blocked on.
  int fd = OpenChecked(path, O_RDONLY | O_NONBLOCK, false, false);
  struct stat info {};
  if (::fstat(fd, &info) == 0 && !S_ISREG(info.st_mode)) {
    ::close(fd);
    throw FrameworkError(NotRegularFileText(path, info.st_mode));
  }
  return File(fd, path);
}

std::optional<File> File::TryOpenRead(const Folder& folder, std::string_view name) {
  if (name.empty()) return std::nullopt;
  std::string path = JoinPath(folder.path_, name);
  std::string plain(name);
  // Looked at before it is opened, so that opening a pipe or a device can't block or act on it;
  // and again once open, in case it was swapped in between.
  struct stat info {};
  if (::fstatat(folder.fd_, plain.c_str(), &info, 0) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    throw FrameworkError(CannotOpenText(path, errno));
  }
  if (S_ISDIR(info.st_mode)) return std::nullopt;
  if (!S_ISREG(info.st_mode)) throw FrameworkError(NotRegularFileText(path, info.st_mode));
  int error = 0;
  int fd = OpenLocked(folder.fd_, plain.c_str(), O_RDONLY | O_NONBLOCK, false, error);
  if (fd < 0) {
    if (error == ENOENT || error == ENOTDIR || error == EISDIR) return std::nullopt;
    throw FrameworkError(CannotOpenText(path, error));
  }
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    throw FrameworkError(NotRegularFileText(path, info.st_mode));
  }
  return File(fd, std::move(path));
}

Folder::Folder(Folder&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

Folder& Folder::operator=(Folder&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

Folder::~Folder() {
  if (fd_ >= 0) ::close(fd_);
}

Folder Folder::Open(const std::string& path) {
#ifdef O_PATH
  constexpr int kAccess = O_PATH;  // needs no read permission on the folder, as paths don't
#else
  constexpr int kAccess = O_RDONLY;
#endif
  int fd = ::open(path.c_str(), kAccess | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw FrameworkError(CannotOpenText(path, errno));
  return Folder(fd, path);
}

File File::CreateReplace(const std::string& path) {
  // Lock before truncating, so a file in use elsewhere is refused without being emptied.
  int fd = OpenChecked(path, O_RDWR | O_CREAT, true, true);
  // An empty file (a new one, usually) is left as it is: ext4 takes any truncation to 0 for a
  // file being replaced and then writes its data out on close, which makes creating many small
  // files several times slower.
  struct stat info {};
  if (::fstat(fd, &info) == 0 && info.st_size == 0) return File(fd, path);
  if (::ftruncate(fd, 0) != 0) {
    int error = errno;
    ::close(fd);
    throw FrameworkError(CannotCreateText(path, error));
  }
  return File(fd, path);
}

File File::CreateBeside(const std::string& target) {
  static std::atomic<uint32_t> counter{0};
  const std::string folder = ExtractFilePath(target), name = ExtractFileName(target);
  for (int attempt = 0;; ++attempt) {
    std::string path =
        folder +
        TemporaryName(name, std::to_string(::getpid()) + "-" + std::to_string(counter++), ".tmp");
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      Lock(fd, true);  // a new name: nobody else holds it
      return File(fd, path);
    }
    if (errno != EEXIST || attempt > 1000) throw FrameworkError(CannotCreateText(target, errno));
  }
}

uint64_t File::Size() const {
  struct stat info {};
  if (fstat(fd_, &info) != 0) ThrowReadError(errno);
  return static_cast<uint64_t>(info.st_size);
}

size_t File::ReadAt(uint64_t position, void* buffer, size_t count) const {
  size_t done = 0;
  auto* bytes = static_cast<char*>(buffer);
  while (done < count) {
    ssize_t n = ::pread(fd_, bytes + done, count - done, static_cast<off_t>(position + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowReadError(errno);
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

void File::WriteAt(uint64_t position, const void* buffer, size_t count) {
  size_t done = 0;
  const auto* bytes = static_cast<const char*>(buffer);
  while (done < count) {
    ssize_t n = sys::Pwrite(fd_, bytes + done, count - done, static_cast<off_t>(position + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowWriteError(errno);
    }
    if (n == 0) ThrowWriteError(ENOSPC);
    done += static_cast<size_t>(n);
  }
}

void File::ExtendTo(uint64_t size) {
  if (Size() < size && sys::Ftruncate(fd_, static_cast<off_t>(size)) != 0) ThrowWriteError(errno);
}

void File::CopyFrom(const File& source, uint64_t sourcePosition, uint64_t count,
                    uint64_t position) {
  while (count > 0) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(count, 1u << 30));
    auto in = static_cast<off_t>(sourcePosition);
    auto out = static_cast<off_t>(position);
    ssize_t n = sys::CopyFileRange(source.fd_, &in, fd_, &out, want);
    if (n > 0) {
      sourcePosition += static_cast<uint64_t>(n);
      position += static_cast<uint64_t>(n);
      count -= static_cast<uint64_t>(n);
      continue;
    }
    if (n == 0)
      throw FrameworkError("Cannot read file " + Quoted(source.path_) +
                           ". It ends before position " + std::to_string(sourcePosition + count));
    if (errno == EINTR) continue;
    if (errno == ENOSPC || errno == EFBIG || errno == EDQUOT || errno == EIO)
      ThrowWriteError(errno);
    break;  // no kernel copy here: copy through a buffer instead
  }
  CopyBuffered(source, sourcePosition, count, position);
}

void File::StartWriteBack(uint64_t position, uint64_t count) noexcept {
#ifdef __linux__
  ::sync_file_range(fd_, static_cast<off_t>(position), static_cast<off_t>(count),
                    SYNC_FILE_RANGE_WRITE);
#else
  (void)position;
  (void)count;
#endif
}

void File::Sync() {
  if (sys::Fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) ThrowWriteError(errno);
}

void File::Close() {
  if (fd_ < 0) return;
  int fd = fd_;
  fd_ = -1;
  if (sys::Close(fd) != 0 && errno != EINTR) ThrowWriteError(errno);
}

void File::Release() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFolderNotLink(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CreateFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0777) == 0;
}

void ReplaceFile(const std::string& from, const std::string& to) {
  if (sys::Rename(from.c_str(), to.c_str()) != 0) throw FrameworkError(CannotCreateText(to, errno));
}

void RemoveFileQuietly(const std::string& path) noexcept {
  sys::Unlink(path.c_str());
}

void RemoveFileIfUnused(const std::string& path) noexcept {
  // A file being written is locked by its writer; one whose lock is free is unused.
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) RemoveFileQuietly(path);
  ::close(fd);
}

bool PathExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  DIR* listing = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!listing) return names;
  while (const dirent* entry = ::readdir(listing)) {
    std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(listing);
  return names;
}

void SyncFolder(const std::string& folder) {
  std::string path = folder.empty() ? "." : folder;
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw FrameworkError(CannotOpenText(path, errno));
  int result = sys::Fsync(fd), error = errno;
  ::close(fd);
  if (result != 0 && error != EINVAL && error != EROFS)
    throw FrameworkError("Cannot write folder " + Quoted(path) + ". " + std::strerror(error));
}

std::optional<std::string> ReadFileStart(const std::string& path, size_t limit) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    throw FrameworkError(CannotOpenText(path, errno));
  }
  std::string bytes(limit, '\0');
  size_t used = 0;
  while (used < bytes.size()) {
    ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    used += static_cast<size_t>(n);
  }
  ::close(fd);
  bytes.resize(used);
  return bytes;
}

}  // namespace tessaly
