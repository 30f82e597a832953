#include "ui/widgets/PanelStatusBar.h"

#include <qdrawutil.h>
#include <QPainter>

#include <algorithm>
#include <numeric>

namespace tessaly::ui {
namespace {

constexpr int kGap = 2;        // between two panels
constexpr int kTop = 2;        // above the panels
constexpr int kTextInset = 4;  // from a panel's edge to its text, each side

}  // namespace

// One sunken panel with one line of text.
class StatusPanel : public QWidget {
 public:
  explicit StatusPanel(QWidget* parent) : QWidget(parent) {}

  QString Text() const { return text_; }
  void SetText(const QString& text) {
    text_ = text;
    UpdateShownText();
  }
  QString ShownText() const { return shown_; }
  // The width that shows the whole text (a pixel more than its advance, which may be rounded
  // down).
  int NeededWidth() const {
    return text_.isEmpty() ? 2 * kTextInset
                           : fontMetrics().horizontalAdvance(text_) + 1 + 2 * kTextInset;
  }

 protected:
  void resizeEvent(QResizeEvent*) override { UpdateShownText(); }
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    qDrawShadePanel(&painter, rect(), palette(), true, 1);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect().adjusted(kTextInset, 1, -kTextInset, -1),
                     Qt::AlignLeft | Qt::AlignVCenter, shown_);
  }

 private:
  void UpdateShownText() {
    const int room = std::max(width() - 2 * kTextInset, 0);
    QString shown = fontMetrics().elidedText(text_, Qt::ElideMiddle, room);
    setToolTip(shown == text_ ? QString() : text_);
    if (shown != shown_) {
      shown_ = shown;
      update();
    }
  }

  QString text_;
  QString shown_;
};

PanelStatusBar::PanelStatusBar(std::vector<int> rightEdges, QWidget* parent)
    : QWidget(parent), rightEdges_(std::move(rightEdges)) {
  for (size_t i = 0; i <= rightEdges_.size(); ++i) {
    panels_.push_back(new StatusPanel(this));
    panels_.back()->setObjectName(QStringLiteral("Panel%1").arg(i));
  }
  LayOut();
}

QString PanelStatusBar::PanelText(int panel) const {
  return panel >= 0 && panel < PanelCount() ? panels_[static_cast<size_t>(panel)]->Text()
                                            : QString();
}

void PanelStatusBar::SetPanelText(int panel, const QString& text) {
  if (panel < 0 || panel >= PanelCount() || PanelText(panel) == text) return;
  panels_[static_cast<size_t>(panel)]->SetText(text);
  LayOut();
}

QRect PanelStatusBar::PanelRect(int panel) const {
  return panel >= 0 && panel < PanelCount() ? panels_[static_cast<size_t>(panel)]->geometry()
                                            : QRect();
}

QString PanelStatusBar::ShownText(int panel) const {
  return panel >= 0 && panel < PanelCount() ? panels_[static_cast<size_t>(panel)]->ShownText()
                                            : QString();
}

QString PanelStatusBar::PanelHint(int panel) const {
  return panel >= 0 && panel < PanelCount() ? panels_[static_cast<size_t>(panel)]->toolTip()
                                            : QString();
}

std::vector<int> PanelStatusBar::PanelWidths(const std::vector<int>& designed,
                                             const std::vector<int>& needed, int total) {
  const size_t count = designed.size();
  std::vector<int> widths = designed;
  int designedTotal = std::accumulate(designed.begin(), designed.end(), 0);
  if (count > 0) widths.back() += total - designedTotal;  // the last panel takes the rest
  // What the panels short of room lack, and what the others can give.
  int lacking = 0, spare = 0;
  for (size_t i = 0; i < count; ++i) {
    lacking += std::max(needed[i] - widths[i], 0);
    spare += std::max(widths[i] - needed[i], 0);
  }
  if (lacking == 0) return widths;
  if (lacking <= spare) {
    for (size_t i = count; i-- > 0;) {
      if (widths[i] > needed[i]) {
        const int given = std::min(widths[i] - needed[i], lacking);
        widths[i] -= given;
        lacking -= given;
      }
    }
    for (size_t i = 0; i < count; ++i) widths[i] = std::max(widths[i], needed[i]);
    return widths;
  }
  // Not enough room for every text: the panels with room keep what their texts need, the
  // others are served smallest need first, and the largest takes what is left.
  int room = total;
  std::vector<size_t> wanting;
  for (size_t i = 0; i < count; ++i) {
    if (needed[i] <= widths[i]) {
      widths[i] = needed[i];
      room -= widths[i];
    } else {
      wanting.push_back(i);
    }
  }
  std::stable_sort(wanting.begin(), wanting.end(),
                   [&](size_t a, size_t b) { return needed[a] < needed[b]; });
  for (size_t k = 0; k < wanting.size(); ++k) {
    const size_t i = wanting[k];
    widths[i] =
        k + 1 == wanting.size() ? std::max(room, 0) : std::min(needed[i], std::max(room, 0));
    room -= widths[i];
  }
  return widths;
}

void PanelStatusBar::LayOut() {
  const size_t count = panels_.size();
  std::vector<int> designed(count), needed(count);
  int left = 0;
  for (size_t i = 0; i < count; ++i) {
    const int right = i < rightEdges_.size() ? rightEdges_[i] : std::max(width(), left);
    designed[i] = right - left - kGap;
    needed[i] = panels_[i]->NeededWidth();
    left = right;
  }
  const std::vector<int> widths =
      PanelWidths(designed, needed, width() - static_cast<int>(count) * kGap);
  int x = 0;
  for (size_t i = 0; i < count; ++i) {
    panels_[i]->setGeometry(x, kTop, std::max(widths[i], 0), height() - kTop);
    x += widths[i] + kGap;
  }
}

void PanelStatusBar::resizeEvent(QResizeEvent*) {
  LayOut();
}

}  // namespace tessaly::ui
