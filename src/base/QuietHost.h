// A host without a window that keeps the last message for the caller: the listing run on the side
// of another operation, and the terminal front end.
#pragma once

#include <string>

#include "base/SilentHost.h"

namespace tessaly {

class QuietHost : public SilentHost {
 public:
  using SilentHost::SilentHost;
  void ShowMessage(MessageKind, const std::string& text) override { lastMessage_ = text; }

  // The text of the last message shown, empty when there was none.
  const std::string& LastMessage() const { return lastMessage_; }

 private:
  std::string lastMessage_;
};

}  // namespace tessaly
