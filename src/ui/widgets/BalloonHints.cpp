#include "ui/widgets/BalloonHints.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "ui/widgets/Design.h"

namespace tessaly::ui {
namespace {

constexpr int kMaxLineWidth = Scaled(100);
constexpr int kMinWidth = Scaled(55);
constexpr int kPadding = 5;
constexpr int kTail = 10;       // height of the tail
constexpr int kTailInset = 12;  // from the bubble's side to the tail's tip
constexpr int kRadius = 6;
constexpr int kPointerBelow = 20;  // room for the pointer when the balloon flips below it

BalloonHints* instance = nullptr;

}  // namespace

Balloon::Balloon() : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("BalloonHint"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFont(WindowFont());
}

void Balloon::ShowAt(const QString& text, const QPoint& pointer) {
  text_ = text;
  QFontMetrics metrics(font());
  QRect bounds = metrics.boundingRect(QRect(0, 0, kMaxLineWidth, 10000),
                                      Qt::AlignLeft | Qt::TextWordWrap, text);
  int bodyWidth = std::max(bounds.width() + 2 * kPadding, kMinWidth);
  int bodyHeight = bounds.height() + 2 * kPadding;
  QSize size(bodyWidth, bodyHeight + kTail);

  QRect screen = (QGuiApplication::screenAt(pointer) ? QGuiApplication::screenAt(pointer)
                                                     : QGuiApplication::primaryScreen())
                     ->availableGeometry();
  below_ = pointer.y() - size.height() < screen.top();
  left_ = pointer.x() - kTailInset + size.width() > screen.right() + 1;
  int x = left_ ? pointer.x() + kTailInset - size.width() : pointer.x() - kTailInset;
  int y = below_ ? pointer.y() + kPointerBelow : pointer.y() - size.height();
  x = std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - size.width()));

  int bodyTop = below_ ? kTail : 0;
  textRect_ = QRect(kPadding, bodyTop + kPadding, bodyWidth - 2 * kPadding, bounds.height());
  setGeometry(QRect(QPoint(x, y), size));
  setMask(QRegion(Outline().toFillPolygon().toPolygon()));
  show();
  raise();
  update();
}

QPainterPath Balloon::Outline() const {
  int bodyTop = below_ ? kTail : 0;
  QRectF body(0, bodyTop, width(), height() - kTail);
  QPainterPath path;
  path.addRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
  qreal tip = left_ ? width() - kTailInset : kTailInset;
  qreal base = left_ ? tip - kTail : tip + kTail;
  QPainterPath tail;
  if (below_)
    tail.addPolygon(QPolygonF({QPointF(tip, 0.5), QPointF(tip, bodyTop + 2.0),
                               QPointF(base, bodyTop + 2.0), QPointF(tip, 0.5)}));
  else
    tail.addPolygon(QPolygonF({QPointF(tip, height() - 0.5), QPointF(tip, body.bottom() - 2.0),
                               QPointF(base, body.bottom() - 2.0), QPointF(tip, height() - 0.5)}));
  return path.united(tail).simplified();
}

void Balloon::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(palette().color(QPalette::ToolTipText), 1));
  painter.setBrush(palette().color(QPalette::ToolTipBase));
  painter.drawPath(Outline());
  painter.drawText(textRect_, Qt::AlignLeft | Qt::TextWordWrap, text_);
}

BalloonHints::BalloonHints(QObject* parent) : QObject(parent), balloon_(new Balloon) {
  showTimer_.setSingleShot(true);
  hideTimer_.setSingleShot(true);
  // Coarse timers may fire a twentieth early; the delays are meant as given.
  showTimer_.setTimerType(Qt::PreciseTimer);
  hideTimer_.setTimerType(Qt::PreciseTimer);
  hideTimer_.setInterval(kHideMs);
  connect(&showTimer_, &QTimer::timeout, this, &BalloonHints::Show);
  connect(&hideTimer_, &QTimer::timeout, this, [this] {
    balloon_->hide();
    lastShown_.invalidate();
  });
  connect(qApp, &QCoreApplication::aboutToQuit, balloon_, &QObject::deleteLater);
}

BalloonHints* BalloonHints::Install() {
  if (!instance) {
    instance = new BalloonHints(qApp);
    qApp->installEventFilter(instance);
  }
  return instance;
}

bool BalloonHints::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::ToolTip:
      return true;  // the balloon replaces Qt's tool tip
    case QEvent::Enter:
      if (watched->isWidgetType()) Enter(static_cast<QWidget*>(watched));
      break;
    case QEvent::Leave:
      if (watched->isWidgetType()) Leave(static_cast<QWidget*>(watched));
      break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::Wheel:
      Hide();
      break;
    default:
      break;
  }
  return false;
}

void BalloonHints::Enter(QWidget* widget) {
  if (widget->toolTip().isEmpty() || widget->property(kHintsOff).toBool()) return;
  if (widget == target_) return;
  bool quick = balloon_->isVisible() || (lastShown_.isValid() && lastShown_.elapsed() < kWakeUpMs);
  Hide();
  target_ = widget;
  showTimer_.start(quick ? kNextMs : kWakeUpMs);
}

void BalloonHints::Leave(QWidget* widget) {
  if (widget != target_) return;
  if (balloon_->isVisible()) lastShown_.start();
  showTimer_.stop();
  hideTimer_.stop();
  balloon_->hide();
  target_ = nullptr;
}

void BalloonHints::Show() {
  if (!target_ || !target_->isVisible() || !target_->isEnabled()) return;
  balloon_->ShowAt(target_->toolTip(), QCursor::pos());
  hideTimer_.start();
}

void BalloonHints::Hide() {
  showTimer_.stop();
  hideTimer_.stop();
  balloon_->hide();
  target_ = nullptr;
}

}  // namespace tessaly::ui
