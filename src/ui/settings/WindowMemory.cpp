#include "ui/settings/WindowMemory.h"

#include <QSettings>

#include "ui/settings/UserSettings.h"

namespace tessaly::ui {
namespace {

const QString kGeometry = QStringLiteral("window/geometry");
const QString kLastArchive = QStringLiteral("window/lastArchive");

}  // namespace

WindowMemory WindowMemory::Load() {
  QSettings settings = UserSettings();
  WindowMemory memory;
  memory.geometry = settings.value(kGeometry).toByteArray();
  memory.lastArchive = settings.value(kLastArchive).toString();
  return memory;
}

void WindowMemory::Save() const {
  QSettings settings = UserSettings();
  settings.setValue(kGeometry, geometry);
  if (!lastArchive.isEmpty()) settings.setValue(kLastArchive, lastArchive);
}

}  // namespace tessaly::ui
