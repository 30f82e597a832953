#include "ui/grid/SortHeader.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include "ui/widgets/Design.h"

namespace tessaly::ui {

SortHeader::SortHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  setSectionsClickable(false);
  setSortIndicatorShown(false);
  setHighlightSections(false);
  setSectionResizeMode(QHeaderView::Interactive);
  setMinimumSectionSize(1);
  setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  connect(this, &QHeaderView::sectionResized, this, [this] {
    if (pressed_) resizedWhilePressed_ = true;
  });
}

void SortHeader::SetSortMark(int column, bool descending, bool shown) {
  if (column == markColumn_ && descending == markDescending_ && shown == markShown_) return;
  markColumn_ = column;
  markDescending_ = descending;
  markShown_ = shown;
  viewport()->update();
}

int SortHeader::GrabMargin() const {
  return style()->pixelMetric(QStyle::PM_HeaderGripMargin);
}

int SortHeader::BorderAt(int x) const {
  int column = logicalIndexAt(x);
  if (column < 0) return -1;
  int left = sectionViewportPosition(column);
  int right = left + sectionSize(column);
  int margin = GrabMargin();
  if (right - x <= margin) return column;
  if (x - left > margin) return -1;
  for (int visual = visualIndex(column) - 1; visual >= 0; --visual) {
    int previous = logicalIndex(visual);
    if (!isSectionHidden(previous)) return previous;
  }
  return -1;
}

void SortHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  QHeaderView::paintSection(painter, rect, logicalIndex);
  if (!markShown_ || logicalIndex != markColumn_) return;
  // An outlined triangle 8 design pixels wide at the cell's right end.
  const qreal width = Scaled(8), height = width / 2;
  const qreal right = rect.right() - Scaled(6);
  const qreal top = rect.center().y() - height / 2 + 0.5;
  if (right - width < rect.left() + 2) return;
  QPolygonF triangle;
  if (markDescending_)
    triangle << QPointF(right - width, top) << QPointF(right, top)
             << QPointF(right - width / 2, top + height);
  else
    triangle << QPointF(right - width, top + height) << QPointF(right, top + height)
             << QPointF(right - width / 2, top);
  painter->save();
  // The base class may leave the painter clipped to the part it drew text in.
  painter->setClipRect(rect);
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setPen(QPen(palette().color(QPalette::ButtonText), 1));
  painter->setBrush(Qt::NoBrush);
  painter->drawPolygon(triangle);
  painter->restore();
}

void SortHeader::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  resizedWhilePressed_ = false;
  QHeaderView::mousePressEvent(event);
}

void SortHeader::mouseReleaseEvent(QMouseEvent* event) {
  QHeaderView::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton || !pressed_) return;
  pressed_ = false;
  // A release near a border belongs to the column-resizing grab, and so does any release that
  // ends a drag which resized a column.
  QPoint pos = event->position().toPoint();
  if (resizedWhilePressed_ || !rect().contains(pos)) return;
  int column = logicalIndexAt(pos);
  if (column < 0) return;
  int left = sectionViewportPosition(column);
  int right = left + sectionSize(column);
  int margin = GrabMargin();
  if (pos.x() - left <= margin || right - pos.x() <= margin) return;
  Q_EMIT SortRequested(column);
}

void SortHeader::mouseDoubleClickEvent(QMouseEvent* event) {
  int column = BorderAt(event->position().toPoint().x());
  if (event->button() == Qt::LeftButton && column >= 0) {
    // Handled here rather than by the base class, which would size the column to the rows the
    // view has sampled instead of every cell.
    Q_EMIT FitRequested(column);
    event->accept();
    return;
  }
  QHeaderView::mouseDoubleClickEvent(event);
}

}  // namespace tessaly::ui
