// The one seam through which tests answer the window's dialogs and questions: answers queued for
// a dialog (by its object name) are taken, in order, instead of showing it.
#pragma once

#include <QString>

#include <optional>

namespace tessaly::ui {

class NextAnswers {
 public:
  // Queues the answer of the next showing of `dialog` (nullopt cancels it).
  static void Push(const QString& dialog, std::optional<QString> answer);
  // Forgets every queued answer and the last question asked.
  static void Clear();
  // Moves the next answer queued for `dialog` into `answer`; false when none is queued.
  static bool Take(const QString& dialog, std::optional<QString>& answer);

  // The text of the last question asked (Ask), answered or not.
  static QString LastQuestion();
  static void NoteQuestion(const QString& text);
};

}  // namespace tessaly::ui
