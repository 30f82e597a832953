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
#include <cstring>
#include <utility>

#include "base/Errors.h"
#include "base/Files.h"
#include "base/Paths.h"

namespace tessaly {

namespace {

constexpr size_t kChunk = 1 << 20;
constexpr DWORD kLargestTransfer = 1u << 30;

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

// The errno value that says the same as a system error code, for the framework's texts.
int ErrnoFor(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EBUSY;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return EINVAL;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    default:
      return EIO;
  }
}

int LastErrno() {
  return ErrnoFor(::GetLastError());
}

// UTF-8 to the system's UTF-16; a name that is not valid UTF-8 can't name a file.
std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  int size = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                   static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        wide.data(), size);
  return wide;
}

HANDLE HandleOf(int fd) {
  return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

bool IsFolder(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Opens `path` with the given access, sharing and disposition as a C runtime descriptor; -1
// with `error` (an errno value) set when that fails or the name is a folder (EISDIR).
int OpenShared(const std::string& path, DWORD access, DWORD share, DWORD disposition, int& error) {
  std::wstring wide = Wide(path);
  if (wide.empty()) {
    error = path.empty() ? ENOENT : EINVAL;
    return -1;
  }
  HANDLE handle = ::CreateFileW(wide.c_str(), access, share, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
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

OVERLAPPED At(uint64_t position) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(position);
  at.OffsetHigh = static_cast<DWORD>(position >> 32);
  return at;
}

}  // namespace

std::string CannotOpenText(const std::string& path, int error) {
  const char* reason =
      error == EBUSY ? "The file is in use by another program" : std::strerror(error);
  return "Cannot open file " + Quoted(path) + ". " + reason;
}

std::string NotRegularFileText(const std::string& path, unsigned mode) {
  const char* kind = (mode & _S_IFMT) == _S_IFIFO   ? "a pipe"
                     : (mode & _S_IFMT) == _S_IFCHR ? "a device"
                                                    : "something else";
  return "Cannot open file " + Quoted(path) + ". It is " + kind + ", not a regular file";
}

std::string CannotCreateText(const std::string& path, int error) {
  const char* reason =
      error == EBUSY ? "The file is in use by another program" : std::strerror(error);
  return "Cannot create file " + Quoted(path) + ". " + reason;
}

File::File(File&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) {
  other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    other.fd_ = -1;
  }
  return *this;
}

File::~File() {
  Release();
}

File File::OpenRead(const std::string& path) {
  return File(OpenChecked(path, kReadAccess, kShareReaders, OPEN_EXISTING, false), path);
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
  // Only files on a disk are entries: a pipe or a device ("CON", "NUL", ...) is refused unread.
  DWORD type = ::GetFileType(HandleOf(fd));
  if (type != FILE_TYPE_DISK) {
    ::_close(fd);
    throw FrameworkError(NotRegularFileText(path, type == FILE_TYPE_PIPE ? _S_IFIFO : _S_IFCHR));
  }
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
  std::wstring wide = Wide(path);
  DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(wide.c_str());
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
  std::string stem = ExtractFilePath(target) + "." + ExtractFileName(target) + ".";
  for (int attempt = 0;; ++attempt) {
    std::string path =
        stem + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(counter++) + ".tmp";
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

void File::ThrowReadError(int error) const {
  throw FrameworkError("Cannot read file " + Quoted(path_) + ". " + std::strerror(error));
}

void File::ThrowWriteError(int error) const {
  throw FrameworkError("Cannot write file " + Quoted(path_) + ". " + std::strerror(error));
}

size_t File::ReadAt(uint64_t position, void* buffer, size_t count) const {
  size_t done = 0;
  auto* bytes = static_cast<char*>(buffer);
  while (done < count) {
    OVERLAPPED at = At(position + done);
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

void File::ReadExactlyAt(uint64_t position, void* buffer, size_t count) const {
  if (ReadAt(position, buffer, count) != count)
    throw FrameworkError("Cannot read file " + Quoted(path_) + ". It ends before position " +
                         std::to_string(position + count));
}

void File::WriteAt(uint64_t position, const void* buffer, size_t count) {
  size_t done = 0;
  const auto* bytes = static_cast<const char*>(buffer);
  while (done < count) {
    OVERLAPPED at = At(position + done);
    DWORD want = static_cast<DWORD>(std::min<size_t>(count - done, kLargestTransfer));
    DWORD wrote = 0;
    if (!::WriteFile(HandleOf(fd_), bytes + done, want, &wrote, &at)) ThrowWriteError(LastErrno());
    if (wrote == 0) ThrowWriteError(ENOSPC);
    done += wrote;
  }
}

void File::WriteZerosAt(uint64_t position, uint64_t count) {
  // A long run past the end of the file is a change of size: the new bytes read as zeros.
  if (count >= kChunk && position >= Size()) return ExtendTo(position + count);
  static const std::vector<char> zeros(kChunk, 0);
  while (count > 0) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(count, kChunk));
    WriteAt(position, zeros.data(), n);
    position += n;
    count -= n;
  }
}

void File::ExtendTo(uint64_t size) {
  if (Size() >= size) return;
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  if (!::SetFileInformationByHandle(HandleOf(fd_), FileEndOfFileInfo, &end, sizeof end))
    ThrowWriteError(LastErrno());
}

void File::CopyFrom(const File& source, uint64_t sourcePosition, uint64_t count,
                    uint64_t position) {
  std::vector<char> buffer(static_cast<size_t>(std::min<uint64_t>(count, kChunk)));
  while (count > 0) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(count, kChunk));
    source.ReadExactlyAt(sourcePosition, buffer.data(), n);
    WriteAt(position, buffer.data(), n);
    sourcePosition += n;
    position += n;
    count -= n;
  }
}

void File::StartWriteBack(uint64_t, uint64_t) noexcept {}  // the system has no such request

void File::Sync() {
  if (!::FlushFileBuffers(HandleOf(fd_))) ThrowWriteError(LastErrno());
}

void File::Close() {
  if (fd_ < 0) return;
  int fd = fd_;
  fd_ = -1;
  if (::_close(fd) != 0) ThrowWriteError(errno);
}

void File::Release() noexcept {
  if (fd_ >= 0) ::_close(fd_);
  fd_ = -1;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  File file = File::OpenRead(path);
  uint64_t size = file.Size();
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  size_t got = file.ReadAt(0, bytes.data(), bytes.size());
  bytes.resize(got);
  return bytes;
}

void WriteWholeFile(const std::string& path, const void* bytes, size_t count) {
  File file = File::CreateReplace(path);
  file.WriteAt(0, bytes, count);
  file.Close();
}

bool FileExists(const std::string& path) {
  std::wstring wide = Wide(path);
  DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  return IsFolder(Wide(path));
}

bool CreateFolder(const std::string& path) {
  std::wstring wide = Wide(path);
  return !wide.empty() && ::CreateDirectoryW(wide.c_str(), nullptr);
}

void ReplaceFile(const std::string& from, const std::string& to) {
  std::wstring wideFrom = Wide(from), wideTo = Wide(to);
  if (wideFrom.empty() || wideTo.empty()) throw FrameworkError(CannotCreateText(to, EINVAL));
  if (!::MoveFileExW(wideFrom.c_str(), wideTo.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    throw FrameworkError(CannotCreateText(to, LastErrno()));
}

void RemoveFileQuietly(const std::string& path) noexcept {
  std::wstring wide = Wide(path);
  if (!wide.empty()) ::DeleteFileW(wide.c_str());
}

}  // namespace tessaly
