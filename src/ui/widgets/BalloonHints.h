// Hints drawn as balloons for every widget of the program that has a tool tip: up after the
// pointer rested on the widget for a while, sooner when it moves on from one hinted widget to
// the next, gone after a few seconds. Qt's own tool tips are suppressed.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace tessaly::ui {

// The balloon: a speech bubble in the tool-tip colours with its tail at the pointer.
class Balloon : public QWidget {
  Q_OBJECT

 public:
  Balloon();
  QString Text() const { return text_; }
  // Shows `text` above and to the right of `pointer`, flipped where it would leave the screen.
  void ShowAt(const QString& text, const QPoint& pointer);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPainterPath Outline() const;

  QString text_;
  QRect textRect_;
  bool below_ = false;  // tail on top, bubble below the pointer
  bool left_ = false;   // tail on the right, bubble left of the pointer
};

class BalloonHints : public QObject {
  Q_OBJECT

 public:
  static constexpr int kWakeUpMs = 500;  // pointer at rest on a widget
  static constexpr int kNextMs = 50;     // pointer moved on from a balloon to the next widget
  static constexpr int kHideMs = 2500;   // balloon shown this long
  // A widget with this property set to true keeps its tool tip text but never shows it.
  static constexpr const char* kHintsOff = "hintsOff";

  // Installs the hints for the whole application; returns the one instance.
  static BalloonHints* Install();

  Balloon* CurrentBalloon() const { return balloon_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  explicit BalloonHints(QObject* parent);
  void Enter(QWidget* widget);
  void Leave(QWidget* widget);
  void Show();
  void Hide();

  QPointer<QWidget> target_;
  QTimer showTimer_;
  QTimer hideTimer_;
  Balloon* balloon_;
  QElapsedTimer lastShown_;  // since the balloon was last visible under the pointer
};

}  // namespace tessaly::ui
