// The folder lock on Windows: a byte-range lock (LockFileEx) on a lock file in the user's
// temporary folder named after the folder's full, case-folded path, since a folder itself can't
// be locked. Like the POSIX lock it belongs to an open handle, not a thread, and the system
// gives it up when its process ends, however it ends. The lock file stays for the next run.
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "base/FolderLockSystem.h"
#include "base/SystemCalls.h"

namespace tessaly {

namespace {

// The folder's one name: its final path (links and short names resolved), in lower case, as the
// system compares names without case.
std::wstring FolderIdentity(const std::string& path) {
  std::wstring wide = sys::WideName(path.empty() ? std::string(".") : path);
  if (wide.empty()) return {};
  HANDLE folder =
      ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return {};
  std::vector<wchar_t> name(MAX_PATH);
  DWORD size = ::GetFinalPathNameByHandleW(folder, name.data(), static_cast<DWORD>(name.size()),
                                           FILE_NAME_NORMALIZED);
  if (size >= name.size()) {
    name.resize(size + 1);
    size = ::GetFinalPathNameByHandleW(folder, name.data(), static_cast<DWORD>(name.size()),
                                       FILE_NAME_NORMALIZED);
  }
  ::CloseHandle(folder);
  if (size == 0 || size >= name.size()) return {};
  ::CharLowerBuffW(name.data(), size);
  return std::wstring(name.data(), size);
}

// The lock file of a folder identity: "tessaly-<hash>.lock" in the temporary folder.
std::wstring LockFilePath(const std::wstring& identity) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a over the UTF-16 units
  for (wchar_t unit : identity) hash = (hash ^ static_cast<uint16_t>(unit)) * 1099511628211ull;
  wchar_t temporary[MAX_PATH + 1] = {};
  DWORD size = ::GetTempPathW(MAX_PATH + 1, temporary);
  if (size == 0 || size > MAX_PATH) return {};
  wchar_t name[40] = {};
  std::swprintf(name, 40, L"tessaly-%016llx.lock", static_cast<unsigned long long>(hash));
  return std::wstring(temporary, size) + name;
}

}  // namespace

namespace folder_lock {

int Open(const std::string& path) {
  std::wstring identity = FolderIdentity(path);
  if (identity.empty()) return -1;
  std::wstring lockPath = LockFilePath(identity);
  if (lockPath.empty()) return -1;
  HANDLE handle = ::CreateFileW(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return -1;
  int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), 0);
  if (fd < 0) ::CloseHandle(handle);
  return fd;
}

Attempt TryLock(int fd) {
  OVERLAPPED whole{};
  HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  if (::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole))
    return Attempt::Locked;
  return ::GetLastError() == ERROR_LOCK_VIOLATION ? Attempt::Busy : Attempt::Failed;
}

void Close(int fd) noexcept {
  ::_close(fd);
}  // closing the handle gives up its lock

}  // namespace folder_lock

}  // namespace tessaly
