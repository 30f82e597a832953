// StatusBar1: a status bar of panels whose right edges lie at fixed positions; the last panel
// takes the rest of the width.
#pragma once

#include <QStringList>
#include <QWidget>

#include <vector>

namespace tessaly::ui {

class PanelStatusBar : public QWidget {
  Q_OBJECT

 public:
  // `rightEdges` holds the right edges of every panel but the last.
  PanelStatusBar(std::vector<int> rightEdges, QWidget* parent = nullptr);

  int PanelCount() const { return static_cast<int>(texts_.size()); }
  QString PanelText(int panel) const;
  void SetPanelText(int panel, const QString& text);
  QRect PanelRect(int panel) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::vector<int> rightEdges_;
  QStringList texts_;
};

}  // namespace tessaly::ui
