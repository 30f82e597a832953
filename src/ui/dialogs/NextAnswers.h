// Answers that tests queue for the next showings of a dialog, taken instead of showing it.
#pragma once

#include <QString>

#include <deque>
#include <optional>

namespace tessaly::ui {

class NextAnswers {
 public:
  void Push(std::optional<QString> answer) { answers_.push_back(std::move(answer)); }
  void Clear() { answers_.clear(); }
  // Moves the next queued answer (nullopt for a cancel) into `answer`; false when none is queued.
  bool Take(std::optional<QString>& answer) {
    if (answers_.empty()) return false;
    answer = std::move(answers_.front());
    answers_.pop_front();
    return true;
  }

 private:
  std::deque<std::optional<QString>> answers_;
};

}  // namespace tessaly::ui
