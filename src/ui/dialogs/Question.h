// A question in a warning box whose buttons the caller names; the answer is the button chosen.
// Tests answer it through NextAnswers by the box's object name, with the button's text
// ("Yes", "Yes to All", "No"; anything else or a cancel is the default button).
#pragma once

#include <QMessageBox>
#include <QString>

#include <string>
#include <vector>

class QWidget;

namespace tessaly::ui {

struct QuestionLook {
  QString name;  // the box's object name, the key of its queued answers
  QString caption;
  QString text;
  QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
  QMessageBox::StandardButton byDefault = QMessageBox::No;  // also Esc
};

QMessageBox::StandardButton Ask(const QuestionLook& look, QWidget* owner);

// The names (or lines) a message lists, each on a line of its own: at most ten, then "and N"
// with `more` for the rest.
std::string NameList(const std::vector<std::string>& names, const std::string& more = " more");

}  // namespace tessaly::ui
