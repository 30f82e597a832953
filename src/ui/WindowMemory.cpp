#include "ui/WindowMemory.h"

#include <QSettings>

namespace tessaly::ui {
namespace {

const QString kGeometry = QStringLiteral("window/geometry");
const QString kLastArchive = QStringLiteral("window/lastArchive");

// The same file as the work folders: ~/.config/tessaly/tessaly.conf
QSettings Settings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("tessaly"),
                   QStringLiteral("tessaly"));
}

}  // namespace

WindowMemory WindowMemory::Load() {
  QSettings settings = Settings();
  WindowMemory memory;
  memory.geometry = settings.value(kGeometry).toByteArray();
  memory.lastArchive = settings.value(kLastArchive).toString();
  return memory;
}

void WindowMemory::Save() const {
  QSettings settings = Settings();
  settings.setValue(kGeometry, geometry);
  if (!lastArchive.isEmpty()) settings.setValue(kLastArchive, lastArchive);
}

}  // namespace tessaly::ui
