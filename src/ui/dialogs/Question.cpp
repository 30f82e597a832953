#include "ui/dialogs/Question.h"

#include <optional>

#include "ui/dialogs/NextAnswers.h"
#include "ui/widgets/WindowThread.h"

namespace tessaly::ui {

std::string NameList(const std::vector<std::string>& names, const std::string& more) {
  constexpr size_t kListed = 10;
  std::string list;
  for (size_t i = 0; i < names.size() && i < kListed; ++i) list += "\n" + names[i];
  if (names.size() > kListed) list += "\nand " + std::to_string(names.size() - kListed) + more;
  return list;
}

namespace {

QString ButtonText(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Yes:
      return QStringLiteral("Yes");
    case QMessageBox::YesToAll:
      return QStringLiteral("Yes to All");
    case QMessageBox::No:
      return QStringLiteral("No");
    default:
      return {};
  }
}

}  // namespace

QMessageBox::StandardButton Ask(const QuestionLook& look, QWidget* owner) {
  // Asked by a command's work off the window's thread: asked on it, the work waiting.
  if (!OnWindowThreadNow()) {
    QMessageBox::StandardButton answer = look.byDefault;
    OnWindowThread([&] { answer = Ask(look, owner); });
    return answer;
  }
  NextAnswers::NoteQuestion(look.text);
  std::optional<QString> answer;
  if (NextAnswers::Take(look.name, answer)) {
    for (QMessageBox::StandardButton button :
         {QMessageBox::Yes, QMessageBox::YesToAll, QMessageBox::No})
      if (answer && (look.buttons & button) && *answer == ButtonText(button)) return button;
    return look.byDefault;
  }
  QMessageBox box(QMessageBox::Warning, look.caption, look.text, look.buttons, owner);
  box.setObjectName(look.name);
  box.setDefaultButton(look.byDefault);
  box.setEscapeButton(look.byDefault);
  const int chosen = box.exec();
  return chosen == QMessageBox::Cancel ? look.byDefault
                                       : static_cast<QMessageBox::StandardButton>(chosen);
}

}  // namespace tessaly::ui
