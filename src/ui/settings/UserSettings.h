// The user's settings of the program, kept across runs in one file:
// ~/.config/tessaly/tessaly.conf on Linux.
#pragma once

#include <QSettings>

namespace tessaly::ui {

inline QSettings UserSettings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("tessaly"),
                   QStringLiteral("tessaly"));
}

}  // namespace tessaly::ui
