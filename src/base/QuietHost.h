// A host without a window that answers both dialogs with one path and keeps the last message for
// the caller: the listing run on the side of another operation, and the terminal front end.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "base/SilentHost.h"

namespace tessaly {

class QuietHost : public SilentHost {
 public:
  explicit QuietHost(std::string dialogAnswer) : dialogAnswer_(std::move(dialogAnswer)) {}

  std::optional<std::string> PickArchiveFile() override { return dialogAnswer_; }
  std::optional<std::string> PickFolder() override { return dialogAnswer_; }
  void ShowMessage(MessageKind, const std::string& text) override { lastMessage_ = text; }

  // The text of the last message shown, empty when there was none.
  const std::string& LastMessage() const { return lastMessage_; }

 private:
  std::string dialogAnswer_;
  std::string lastMessage_;
};

}  // namespace tessaly
