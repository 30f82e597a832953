#include "ui/widgets/ToolbarButton.h"

#include <QPainter>

namespace tessaly::ui {

ToolbarButton::ToolbarButton(QWidget* toolBar, int x, const char* name, const char* hint,
                             const char* image)
    : QToolButton(toolBar) {
  setGeometry(x, (toolBar->height() - kSize.height()) / 2, kSize.width(), kSize.height());
  setObjectName(QString::fromLatin1(name));
  setToolTip(QString::fromUtf8(hint));
  if (image) setIcon(Picture(QLatin1String(image)));
  setIconSize(QSize(kImageSize, kImageSize));
  setAutoRaise(true);
  // Reached with Tab, not taken by a click, as a toolbar's buttons are.
  setFocusPolicy(Qt::TabFocus);
}

void ToolbarButton::paintEvent(QPaintEvent* event) {
  QToolButton::paintEvent(event);
  if (!hasFocus()) return;
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::Highlight));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace tessaly::ui
