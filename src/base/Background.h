// Work on a thread of its own that can be asked to stop: the one way this program runs work beside
// the caller's thread (the window's commands, the clip columns, the change check, the export's
// decoders, a pack's write-behind). The work takes a std::stop_token and checks it where it polls,
// between files or entries; asked to stop, it ends there and returns as it would at its end, with
// what it did so far. Nothing is thrown through other code to stop it.
#pragma once

#include <stop_token>
#include <thread>
#include <utility>

namespace tessaly {

class BackgroundWork {
 public:
  BackgroundWork() = default;
  BackgroundWork(const BackgroundWork&) = delete;
  BackgroundWork& operator=(const BackgroundWork&) = delete;
  // Asks the work to stop and waits for it.
  ~BackgroundWork() { Stop(); }

  // Stops the work that runs (waiting for it), then runs `work(std::stop_token)` on a new thread.
  template <typename Work>
  void Start(Work&& work) {
    Stop();
    thread_ = std::jthread(std::forward<Work>(work));
  }
  // Asks the work to stop at its next check; returns at once.
  void RequestStop() noexcept { thread_.request_stop(); }
  // Waits until the work has ended.
  void Wait() {
    if (thread_.joinable()) thread_.join();
  }
  // Asks the work to stop and waits until it has.
  void Stop() {
    RequestStop();
    Wait();
  }
  // True from Start until the work has been waited for.
  bool Started() const { return thread_.joinable(); }

 private:
  std::jthread thread_;
};

}  // namespace tessaly
