// The Help / Support box: who made the program, two links to reach them and the numbers of the
// accounts that take support. A new box is made for every showing.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QString>

class QLineEdit;

namespace tessaly::ui {

// A label that opens its link through the desktop when clicked, and turns purple once the
// desktop accepted it.
class UrlLabel : public QLabel {
  Q_OBJECT

 public:
  UrlLabel(const QString& text, const QString& link, QWidget* parent);
  QString Link() const { return link_; }
  bool Visited() const { return visited_; }
  // Opens the link, or the text when the link is blank; does nothing when both are blank.
  void Open();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void UpdateColour();
  QString link_;
  bool visited_ = false;
};

class HelpSupportDialog : public QDialog {
  Q_OBJECT

 public:
  explicit HelpSupportDialog(QWidget* parent = nullptr);

  // Makes a box, shows it modally over `parent` and releases it when it is closed.
  static void Execute(QWidget* parent);

 private:
  QLineEdit* AddNumberBox(const char* name, const char* text, QWidget* parent, QRect geometry);
};

}  // namespace tessaly::ui
