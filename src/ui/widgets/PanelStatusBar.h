// StatusBar1: a row of panels whose right edges lie at designed positions; the last panel takes
// the rest of the width. A panel whose text doesn't fit grows into the room that panels to its
// right leave unused; a text that still doesn't fit is elided in the middle, and the panel shows
// the whole text as its hint.
#pragma once

#include <QWidget>

#include <vector>

namespace tessaly::ui {

class StatusPanel;

class PanelStatusBar : public QWidget {
  Q_OBJECT

 public:
  // `rightEdges` holds the designed right edges of every panel but the last.
  PanelStatusBar(std::vector<int> rightEdges, QWidget* parent = nullptr);

  int PanelCount() const { return static_cast<int>(panels_.size()); }
  QString PanelText(int panel) const;
  void SetPanelText(int panel, const QString& text);
  QRect PanelRect(int panel) const;
  // The panel's text as drawn: whole, or elided in the middle.
  QString ShownText(int panel) const;
  QString PanelHint(int panel) const;

  // Widths for panels of `designed` widths whose texts need `needed`, within `total`: a panel
  // that needs more than designed takes it from panels with room to spare, the rightmost first;
  // when the room runs out, smaller needs are met first and the largest gets what is left.
  static std::vector<int> PanelWidths(const std::vector<int>& designed,
                                      const std::vector<int>& needed, int total);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LayOut();

  std::vector<int> rightEdges_;
  std::vector<StatusPanel*> panels_;
};

}  // namespace tessaly::ui
