// Writing a file's finished part to the device while the rest is still being written.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "base/Files.h"

namespace tessaly {

// Writes the finished part of a file to the device on a thread of its own while the caller goes
// on writing, so that the device works during the copying and a final Sync has little left to
// wait for. It keeps a descriptor of its own: the file may be closed before it stops.
class WriteBehind {
 public:
  explicit WriteBehind(const File& file);
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;
  // Stops the thread; what it hasn't started is left to Sync.
  ~WriteBehind();
  // Everything before `end` has been written.
  void WrittenUpTo(uint64_t end);

 private:
  void Run();
  File file_;
  std::mutex mutex_;
  std::condition_variable wake_;
  uint64_t written_ = 0;   // guarded by mutex_
  bool stopping_ = false;  // guarded by mutex_
  std::thread thread_;
};

}  // namespace tessaly
