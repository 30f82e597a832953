#include "ui/PanelStatusBar.h"

#include <qdrawutil.h>
#include <QPainter>

namespace tessaly::ui {

PanelStatusBar::PanelStatusBar(std::vector<int> rightEdges, QWidget* parent)
    : QWidget(parent), rightEdges_(std::move(rightEdges)) {
  for (size_t i = 0; i <= rightEdges_.size(); ++i) texts_.append(QString());
}

QString PanelStatusBar::PanelText(int panel) const {
  return panel >= 0 && panel < PanelCount() ? texts_[panel] : QString();
}

void PanelStatusBar::SetPanelText(int panel, const QString& text) {
  if (panel < 0 || panel >= PanelCount() || texts_[panel] == text) return;
  texts_[panel] = text;
  update(PanelRect(panel));
}

QRect PanelStatusBar::PanelRect(int panel) const {
  int left = panel == 0 ? 0 : rightEdges_[static_cast<size_t>(panel - 1)];
  int right = panel < static_cast<int>(rightEdges_.size()) ? rightEdges_[static_cast<size_t>(panel)]
                                                           : width();
  return QRect(left, 2, std::max(right - left - 2, 0), height() - 2);
}

void PanelStatusBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  for (int panel = 0; panel < PanelCount(); ++panel) {
    QRect box = PanelRect(panel);
    qDrawShadePanel(&painter, box, palette(), true, 1);
    QRect textBox = box.adjusted(3, 1, -3, -1);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(texts_[panel], Qt::ElideRight, textBox.width()));
  }
}

}  // namespace tessaly::ui
