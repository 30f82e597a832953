// A host that shows nothing: work done out of the user's sight (in the background, or on the side
// of another operation) derives from it and overrides what it needs.
#pragma once

#include <utility>

#include "base/OperationHost.h"

namespace tessaly {

class SilentHost : public OperationHost {
 public:
  // `stop`: the stop of the work it serves, passed on to the operations run through it.
  explicit SilentHost(std::stop_token stop = {}) : stop_(std::move(stop)) {}

  void SetProgressMin(int) override {}
  void SetProgressMax(int) override {}
  void SetProgressPosition(int) override {}
  void SetStatusText(int, const std::string&) override {}
  void SetToolbarAndGridEnabled(bool) override {}
  void SetWindowEnabled(bool) override {}
  void Repaint() override {}
  void UpdatePainting() override {}
  void ProcessMessages() override {}
  void ShowMessage(MessageKind, const std::string&) override {}
  std::stop_token StopToken() const override { return stop_; }

 private:
  std::stop_token stop_;
};

}  // namespace tessaly
