// A question in a warning box whose buttons the caller names; the answer is the button chosen.
// Tests answer it through NextAnswers by the box's object name, with the button's text
// ("Yes", "Yes to All", "No"; anything else or a cancel is the default button).
#pragma once

#include <QMessageBox>
#include <QString>

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

}  // namespace tessaly::ui
