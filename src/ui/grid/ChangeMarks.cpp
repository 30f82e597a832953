#include "ui/grid/ChangeMarks.h"

#include <QApplication>
#include <QStyle>

namespace tessaly::ui {
namespace {

QColor Blend(const QColor& base, const QColor& tint, double share) {
  auto mix = [share](int a, int b) { return static_cast<int>(a + (b - a) * share + 0.5); };
  return QColor(mix(base.red(), tint.red()), mix(base.green(), tint.green()),
                mix(base.blue(), tint.blue()));
}

}  // namespace

QColor ChangeMarks::Tint(const QPalette& palette, bool problem) {
  const QColor base = palette.color(QPalette::Base);
  const QColor tint = problem ? QColor(0xd0, 0x40, 0x30) : palette.color(QPalette::Highlight);
  return Blend(base, tint, 0.25);
}

QIcon ChangeMarks::Icon(bool problem) {
  QStyle* style = QApplication::style();
  return style->standardIcon(problem ? QStyle::SP_MessageBoxWarning
                                     : QStyle::SP_FileDialogDetailedView);
}

}  // namespace tessaly::ui
