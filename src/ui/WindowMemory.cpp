#include "ui/WindowMemory.h"

#include <QSettings>

namespace tessaly::ui {
namespace {

const QString kGeometry = QStringLiteral("window/geometry");
const QString kLastArchive = QStringLiteral("window/lastArchive");

}  // namespace

WindowMemory WindowMemory::Load() {
  QSettings settings;
  WindowMemory memory;
  memory.geometry = settings.value(kGeometry).toByteArray();
  memory.lastArchive = settings.value(kLastArchive).toString();
  return memory;
}

void WindowMemory::Save() const {
  QSettings settings;
  settings.setValue(kGeometry, geometry);
  if (!lastArchive.isEmpty()) settings.setValue(kLastArchive, lastArchive);
}

}  // namespace tessaly::ui
