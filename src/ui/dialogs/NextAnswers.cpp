#include "ui/dialogs/NextAnswers.h"

#include <deque>
#include <map>

namespace tessaly::ui {
namespace {

struct Queues {
  std::map<QString, std::deque<std::optional<QString>>> answers;
  QString lastQuestion;
};

Queues& Queued() {
  static Queues queues;
  return queues;
}

}  // namespace

void NextAnswers::Push(const QString& dialog, std::optional<QString> answer) {
  Queued().answers[dialog].push_back(std::move(answer));
}

void NextAnswers::Clear() {
  Queued() = Queues();
}

bool NextAnswers::Take(const QString& dialog, std::optional<QString>& answer) {
  auto found = Queued().answers.find(dialog);
  if (found == Queued().answers.end() || found->second.empty()) return false;
  answer = std::move(found->second.front());
  found->second.pop_front();
  return true;
}

QString NextAnswers::LastQuestion() {
  return Queued().lastQuestion;
}

void NextAnswers::NoteQuestion(const QString& text) {
  Queued().lastQuestion = text;
}

}  // namespace tessaly::ui
