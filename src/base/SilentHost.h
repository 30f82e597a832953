// A host that shows nothing: work done out of the user's sight (in the background, or on the side
// of another operation) derives from it and overrides what it needs.
#pragma once

#include "base/OperationHost.h"

namespace tessaly {

class SilentHost : public OperationHost {
 public:
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
};

}  // namespace tessaly
