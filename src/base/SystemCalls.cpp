#include "base/SystemCalls.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace tessaly {

namespace {

template <typename Result>
Result Failed(int error) {
  errno = error;
  return static_cast<Result>(-1);
}

}  // namespace

namespace sys {

ssize_t Pwrite(int fd, const void* buffer, size_t count, off_t position) {
  if (int error = InjectedFault(SystemCall::Write)) return Failed<ssize_t>(error);
  return ::pwrite(fd, buffer, count, position);
}

ssize_t CopyFileRange(int in, off_t* inPosition, int out, off_t* outPosition, size_t count) {
  if (int error = InjectedFault(SystemCall::Write)) return Failed<ssize_t>(error);
  return ::copy_file_range(in, inPosition, out, outPosition, count, 0);
}

int Ftruncate(int fd, off_t size) {
  if (int error = InjectedFault(SystemCall::Write)) return Failed<int>(error);
  return ::ftruncate(fd, size);
}

int Fsync(int fd) {
  if (int error = InjectedFault(SystemCall::Sync)) return Failed<int>(error);
  return ::fsync(fd);
}

int Close(int fd) {
  int error = InjectedFault(SystemCall::Close);
  int result = ::close(fd);
  return error ? Failed<int>(error) : result;
}

int Rename(const char* from, const char* to) {
  if (int error = InjectedFault(SystemCall::Rename)) return Failed<int>(error);
  return std::rename(from, to);
}

int Unlink(const char* path) {
  if (int error = InjectedFault(SystemCall::Remove)) return Failed<int>(error);
  return ::unlink(path);
}

}  // namespace sys

}  // namespace tessaly
