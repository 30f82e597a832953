// What the window remembers between runs (QSettings): its size, place and state, the last
// archive picked. (The folder dialog keeps its own start folder.)
#pragma once

#include <QByteArray>
#include <QString>

namespace tessaly::ui {

struct WindowMemory {
  QByteArray geometry;  // QWidget::saveGeometry()
  QString lastArchive;

  static WindowMemory Load();
  void Save() const;
};

}  // namespace tessaly::ui
