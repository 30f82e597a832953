// The system calls by which the file layer stores, replaces and removes files, behind one switch
// so that tests can make any of them fail, or stop the process, at a chosen call.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tessaly {

enum class SystemCall { Write, Sync, Close, Rename, Remove };

// Asked before every such call: 0 makes the call, an errno value makes it fail with that error
// without being made (a close still releases its descriptor). Unset, every call is made.
using SystemCallFault = std::function<int(SystemCall)>;
void SetSystemCallFault(SystemCallFault fault);

namespace sys {

// The error the switch asks for before `call`, or 0.
int InjectedFault(SystemCall call);

#ifdef _WIN32
// Windows: each call returns 0 or the errno value that says what went wrong. `handle` is the
// system's handle of a file.
int WriteAt(void* handle, const void* buffer, uint32_t count, uint64_t position, uint32_t& written);
int SetSize(void* handle, uint64_t size);
int Flush(void* handle);
int Close(int fd);
int Move(const std::wstring& from, const std::wstring& to);
int Remove(const std::wstring& path);

// A name as the system takes it (UTF-16) from the program's (UTF-8); "" for text that is not
// UTF-8, which names no file.
std::wstring WideName(const std::string& name);
// The program's UTF-8 for a system name.
std::string Utf8Name(const std::wstring& name);
// The errno value that says the same as a system error code, for the framework's texts.
int ErrnoFor(unsigned long systemError);
// ErrnoFor the calling thread's last system error.
int LastErrno();
#else
ssize_t Pwrite(int fd, const void* buffer, size_t count, off_t position);
ssize_t CopyFileRange(int in, off_t* inPosition, int out, off_t* outPosition, size_t count);
int Ftruncate(int fd, off_t size);
int Fsync(int fd);
int Close(int fd);
int Rename(const char* from, const char* to);
int Unlink(const char* path);
#endif

}  // namespace sys

}  // namespace tessaly
