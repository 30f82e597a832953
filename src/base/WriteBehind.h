// Writing a file's finished part to the device while the rest is still being written.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stop_token>

#include "base/Background.h"
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
  ~WriteBehind() = default;
  // Everything before `end` has been written.
  void WrittenUpTo(uint64_t end);

 private:
  void Run(const std::stop_token& stop);
  File file_;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  uint64_t written_ = 0;   // guarded by mutex_
  BackgroundWork thread_;  // last: stopped before the members it uses go
};

}  // namespace tessaly
