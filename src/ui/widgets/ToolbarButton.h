// An image button of the main window's toolbar: auto-raised, 23 × 22 at the layout's scale with a
// 16-pixel image and a hint. Its keyboard focus shows as a frame in the highlight colour, since
// the style's own focus mark lies under the image where nobody can see it.
#pragma once

#include <QToolButton>

#include "ui/widgets/Design.h"

namespace tessaly::ui {

class ToolbarButton : public QToolButton {
  Q_OBJECT

 public:
  static constexpr QSize kSize{Scaled(23), Scaled(22)};
  // The images are drawn for 16 × 16 pixels and shown at that size: scaled down with the rest of
  // the layout they would lose their detail.
  static constexpr int kImageSize = 16;

  // Placed at `x` in `toolBar`, centred in its height; without `image` the button stays blank.
  ToolbarButton(QWidget* toolBar, int x, const char* name, const char* hint, const char* image);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tessaly::ui
