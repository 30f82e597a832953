// The system calls by which the file layer stores, replaces and removes files, behind one switch
// so that tests can make any of them fail, or stop the process, at a chosen call.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>

namespace tessaly {

enum class SystemCall { Write, Sync, Close, Rename, Remove };

// Asked before every such call: 0 makes the call, an errno value makes it fail with that error
// without being made (a close still releases its descriptor). Unset, every call is made.
using SystemCallFault = std::function<int(SystemCall)>;
void SetSystemCallFault(SystemCallFault fault);

namespace sys {
ssize_t Pwrite(int fd, const void* buffer, size_t count, off_t position);
ssize_t CopyFileRange(int in, off_t* inPosition, int out, off_t* outPosition, size_t count);
int Ftruncate(int fd, off_t size);
int Fsync(int fd);
int Close(int fd);
int Rename(const char* from, const char* to);
int Unlink(const char* path);
}  // namespace sys

}  // namespace tessaly
