// The file layer's system calls on Windows, each behind the switch, and the conversions of names
// and error codes they need.
#include <io.h>
#include <windows.h>

#include <cerrno>

#include "base/SystemCalls.h"

namespace tessaly::sys {

int ErrnoFor(unsigned long systemError) {
  switch (systemError) {
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
    case ERROR_DIR_NOT_EMPTY:
      return ENOTEMPTY;
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

std::wstring WideName(const std::string& name) {
  if (name.empty()) return {};
  int size = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(),
                                   static_cast<int>(name.size()), nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), static_cast<int>(name.size()),
                        wide.data(), size);
  return wide;
}

std::string Utf8Name(const std::wstring& name) {
  if (name.empty()) return {};
  int size = ::WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), nullptr,
                                   0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string text(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), text.data(), size,
                        nullptr, nullptr);
  return text;
}

int WriteAt(void* handle, const void* buffer, uint32_t count, uint64_t position,
            uint32_t& written) {
  written = 0;
  if (int error = InjectedFault(SystemCall::Write)) return error;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(position);
  at.OffsetHigh = static_cast<DWORD>(position >> 32);
  DWORD done = 0;
  if (!::WriteFile(handle, buffer, count, &done, &at)) return LastErrno();
  written = done;
  return 0;
}

int SetSize(void* handle, uint64_t size) {
  if (int error = InjectedFault(SystemCall::Write)) return error;
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  return ::SetFileInformationByHandle(handle, FileEndOfFileInfo, &end, sizeof end) ? 0
                                                                                   : LastErrno();
}

int Flush(void* handle) {
  if (int error = InjectedFault(SystemCall::Sync)) return error;
  return ::FlushFileBuffers(handle) ? 0 : LastErrno();
}

int Close(int fd) {
  int error = InjectedFault(SystemCall::Close);
  int result = ::_close(fd) == 0 ? 0 : errno;
  return error ? error : result;
}

int Move(const std::wstring& from, const std::wstring& to) {
  if (int error = InjectedFault(SystemCall::Rename)) return error;
  if (from.empty() || to.empty()) return EINVAL;
  // Write-through: the rename is on the device when the call returns, as a folder sync makes it
  // elsewhere.
  return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? 0
             : LastErrno();
}

int Remove(const std::wstring& path) {
  if (int error = InjectedFault(SystemCall::Remove)) return error;
  if (path.empty()) return ENOENT;
  return ::DeleteFileW(path.c_str()) ? 0 : LastErrno();
}

}  // namespace tessaly::sys
