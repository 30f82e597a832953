// The file layer on Windows. Names are UTF-8 inside the program and UTF-16 for the system; "\"
// and "/" both separate folders. Share modes are the system's own: a file opened for reading lets
// others read it but not write it, a file opened for writing is shared with nobody. Open files
// are C runtime descriptors over system handles, so the rest of the layer keeps its int handles.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
// <windows.h> names its own ReplaceFile; the layer's function of that name is meant below.
#undef ReplaceFile

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <utility>

#include "base/Errors.h"
#include "base/Files.h"
#include "base/Paths.h"
#include "base/SystemCalls.h"

namespace tessaly {

namespace {

constexpr DWORD kLargestTransfer = 1u << 30;

using sys::LastErrno;
using sys::WideName;

HANDLE HandleOf(int fd) {
  return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

DWORD AttributesOf(const std::wstring& path) {
  return path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(path.c_str());
}

bool IsFolder(const std::wstring& path) {
  DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Opens `path` with the given access, sharing and disposition as a C runtime descriptor; -1
// with `error` (an errno value) set when that fails or the name is a folder (EISDIR).
int OpenShared(const std::string& path, DWORD access, DWORD share, DWORD disposition, int& error,
               DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  std::wstring wide = WideName(path);
  if (wide.empty()) {
    error = path.empty() ? ENOENT : EINVAL;
    return -1;
  }
  HANDLE handle = ::CreateFileW(wide.c_str(), access, share, nullptr, disposition, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = LastErrno();
    if (error == EACCES && IsFolder(wide)) error = EISDIR;
    return -1;
  }
  int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(handle);
    error = EMFILE;
  }
  return fd;
}

constexpr DWORD kReadAccess = GENERIC_READ;
constexpr DWORD kWriteAccess = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShareReaders = FILE_SHARE_READ;  // others may read, not write
constexpr DWORD kShareNobody = 0;

int OpenChecked(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                bool creating) {
  int error = 0;
  int fd = OpenShared(path, access, share, disposition, error);
  if (fd >= 0) return fd;
  throw FrameworkError(creating ? CannotCreateText(path, error) : CannotOpenText(path, error));
}

// Only files on a disk are entries and records: a pipe or a device ("CON", "NUL", ...) is refused
// unread. Closes `fd` and throws for one.
void RequireDiskFile(int fd, const std::string& path) {
  DWORD type = ::GetFileType(HandleOf(fd));
  if (type == FILE_TYPE_DISK) return;
  ::_close(fd);
  throw FrameworkError(NotRegularFileText(path, type == FILE_TYPE_PIPE ? _S_IFIFO : _S_IFCHR));
}

}  // namespace

std::string NotRegularFileText(const std::string& path, unsigned mode) {
  const char* kind = (mode & _S_IFMT) == _S_IFIFO   ? "a pipe"
                     : (mode & _S_IFMT) == _S_IFCHR ? "a device"
                                                    : "something else";
  return "Cannot open file \"" + path + "\". It is " + kind + ", not a regular file";
}

File File::OpenRead(const std::string& path) {
  int fd = OpenChecked(path, kReadAccess, kShareReaders, OPEN_EXISTING, false);
  RequireDiskFile(fd, path);
  return File(fd, path);
}

std::optional<File> File::TryOpenRead(const Folder& folder, std::string_view name) {
  if (name.empty()) return std::nullopt;
  std::string path = JoinPath(folder.path_, name);
  int error = 0;
  int fd = OpenShared(path, kReadAccess, kShareReaders, OPEN_EXISTING, error);
  if (fd < 0) {
    if (error == ENOENT || error == ENOTDIR || error == EISDIR) return std::nullopt;
    throw FrameworkError(CannotOpenText(path, error));
  }
  RequireDiskFile(fd, path);
  return File(fd, std::move(path));
}

// A folder on Windows is held by its path: files in it are opened by joined names.
Folder::Folder(Folder&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

Folder& Folder::operator=(Folder&& other) noexcept {
  if (this != &other) {
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

Folder::~Folder() = default;

Folder Folder::Open(const std::string& path) {
  std::wstring wide = WideName(path);
  DWORD attributes = AttributesOf(wide);
  if (attributes == INVALID_FILE_ATTRIBUTES)
    throw FrameworkError(CannotOpenText(path, wide.empty() ? ENOENT : LastErrno()));
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) throw FrameworkError(CannotOpenText(path, ENOTDIR));
  return Folder(-1, path);
}

File File::CreateReplace(const std::string& path) {
  // Opened with no sharing before it is emptied, so a file in use elsewhere is refused intact.
  int fd = OpenChecked(path, kWriteAccess, kShareNobody, OPEN_ALWAYS, true);
  FILE_END_OF_FILE_INFO empty{};
  if (!::SetFileInformationByHandle(HandleOf(fd), FileEndOfFileInfo, &empty, sizeof empty)) {
    int error = LastErrno();
    ::_close(fd);
    throw FrameworkError(CannotCreateText(path, error));
  }
  return File(fd, path);
}

File File::CreateBeside(const std::string& target) {
  static std::atomic<uint32_t> counter{0};
  const std::string folder = ExtractFilePath(target), name = ExtractFileName(target);
  for (int attempt = 0;; ++attempt) {
    std::string path = folder + TemporaryName(name,
                                              std::to_string(::GetCurrentProcessId()) + "-" +
                                                  std::to_string(counter++),
                                              ".tmp");
    int error = 0;
    int fd = OpenShared(path, kWriteAccess, kShareNobody, CREATE_NEW, error);
    if (fd >= 0) return File(fd, path);
    if (error != EEXIST || attempt > 1000) throw FrameworkError(CannotCreateText(target, error));
  }
}

uint64_t File::Size() const {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(HandleOf(fd_), &size)) ThrowReadError(LastErrno());
  return static_cast<uint64_t>(size.QuadPart);
}

size_t File::ReadAt(uint64_t position, void* buffer, size_t count) const {
  size_t done = 0;
  auto* bytes = static_cast<char*>(buffer);
  while (done < count) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(position + done);
    at.OffsetHigh = static_cast<DWORD>((position + done) >> 32);
    DWORD want = static_cast<DWORD>(std::min<size_t>(count - done, kLargestTransfer));
    DWORD got = 0;
    if (!::ReadFile(HandleOf(fd_), bytes + done, want, &got, &at)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      ThrowReadError(LastErrno());
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

void File::WriteAt(uint64_t position, const void* buffer, size_t count) {
  size_t done = 0;
  const auto* bytes = static_cast<const char*>(buffer);
  while (done < count) {
    uint32_t want = static_cast<uint32_t>(std::min<size_t>(count - done, kLargestTransfer));
    uint32_t wrote = 0;
    if (int error = sys::WriteAt(HandleOf(fd_), bytes + done, want, position + done, wrote))
      ThrowWriteError(error);
    if (wrote == 0) ThrowWriteError(ENOSPC);
    done += wrote;
  }
}

void File::ExtendTo(uint64_t size) {
  if (Size() >= size) return;
  if (int error = sys::SetSize(HandleOf(fd_), size)) ThrowWriteError(error);
}

void File::CopyFrom(const File& source, uint64_t sourcePosition, uint64_t count,
                    uint64_t position) {
  CopyBuffered(source, sourcePosition, count, position);
}

void File::StartWriteBack(uint64_t, uint64_t) noexcept {}  // the system has no such request

void File::Sync() {
  if (int error = sys::Flush(HandleOf(fd_))) ThrowWriteError(error);
}

void File::Close() {
  if (fd_ < 0) return;
  int fd = fd_;
  fd_ = -1;
  if (int error = sys::Close(fd)) ThrowWriteError(error);
}

void File::Release() noexcept {
  if (fd_ >= 0) ::_close(fd_);
  fd_ = -1;
}

bool FileExists(const std::string& path) {
  DWORD attributes = AttributesOf(WideName(path));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  return IsFolder(WideName(path));
}

bool IsFolderNotLink(const std::string& path) {
  DWORD attributes = AttributesOf(WideName(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool CreateFolder(const std::string& path) {
  std::wstring wide = WideName(path);
  return !wide.empty() && ::CreateDirectoryW(wide.c_str(), nullptr);
}

void ReplaceFile(const std::string& from, const std::string& to) {
  if (int error = sys::Move(WideName(from), WideName(to))) {
    // Windows denies access where a folder is in the way; POSIX says what it is.
    if (error == EACCES && IsFolder(WideName(to))) error = EISDIR;
    throw FrameworkError(CannotCreateText(to, error));
  }
}

void RemoveFileQuietly(const std::string& path) noexcept {
  sys::Remove(WideName(path));
}

void RemoveFileIfUnused(const std::string& path) noexcept {
  // The system refuses to remove a file that is open without shared deletion, as every file
  // opened here is.
  RemoveFileQuietly(path);
}

bool PathExists(const std::string& path) {
  return AttributesOf(WideName(path)) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  std::wstring pattern = WideName(folder.empty() ? std::string(".") : folder);
  if (pattern.empty()) return names;
  pattern += L"\\*";
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(sys::Utf8Name(name));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

void SyncFolder(const std::string&) {
  // Renames are written through to the device when made (MOVEFILE_WRITE_THROUGH), and a flushed
  // file's own name is stored with it: the system has nothing further to store for a folder.
}

std::optional<std::string> ReadFileStart(const std::string& path, size_t limit) {
  int error = 0;
  int fd = OpenShared(path, kReadAccess, kShareReaders, OPEN_EXISTING, error,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
  if (fd < 0) {
    if (error == ENOENT || error == ENOTDIR) return std::nullopt;
    throw FrameworkError(CannotOpenText(path, error));
  }
  RequireDiskFile(fd, path);
  std::string bytes(limit, '\0');
  DWORD used = 0, got = 0;
  while (used < bytes.size() &&
         ::ReadFile(HandleOf(fd), bytes.data() + used, static_cast<DWORD>(bytes.size() - used),
                    &got, nullptr) &&
         got > 0)
    used += got;
  ::_close(fd);
  bytes.resize(used);
  return bytes;
}

}  // namespace tessaly
