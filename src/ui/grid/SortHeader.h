// The grid's header row: a release on a header cell away from its borders asks for a sort, a
// double-click on a border asks to fit the column to its left, and the sort column carries an
// outlined triangle at its right end.
#pragma once

#include <QHeaderView>

namespace tessaly::ui {

class SortHeader : public QHeaderView {
  Q_OBJECT

 public:
  explicit SortHeader(QWidget* parent = nullptr);

  // Where the mark is drawn; no mark when `shown` is false.
  void SetSortMark(int column, bool descending, bool shown);

  // The column whose right border lies within the grab margin of `x`, or -1.
  int BorderAt(int x) const;

 Q_SIGNALS:
  void SortRequested(int column);
  void FitRequested(int column);

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  int GrabMargin() const;

  int markColumn_ = 0;
  bool markDescending_ = false;
  bool markShown_ = false;
  bool pressed_ = false;
  bool resizedWhilePressed_ = false;
};

}  // namespace tessaly::ui
