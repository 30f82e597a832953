// Helpers for laying the window out as it was designed, and for showing core text in Qt.
#pragma once

#include <QFont>
#include <QIcon>
#include <QString>

#include <string>
#include <string_view>

namespace tessaly::ui {

// The main window was designed at 120 pixels per inch; Qt lays out in logical pixels at 96, so
// a designed size becomes 4/5 of itself (Qt scales logical pixels again on high-DPI screens).
constexpr int Scaled(int designPixels) {
  return (designPixels * 4 + 2) / 5;
}

// A font of the design's family, falling back to the system's sans-serif where it is missing.
QFont DesignFont(const QString& family, int points, bool bold = false);
inline QFont WindowFont() {
  return DesignFont(QStringLiteral("MS Sans Serif"), 8);
}

// One of the program's pictures (":/tessaly/<name>.svg"), drawn here rather than through an
// image plugin, at the sizes the window and the desktop ask for.
QIcon Picture(const QString& name);

// Core text (bytes) for display: UTF-8 when it is valid UTF-8, otherwise one character per byte.
QString FromBytes(std::string_view bytes);

// Paths between Qt and the core, in the file system's own encoding.
std::string PathToBytes(const QString& path);
QString PathFromBytes(const std::string& path);

}  // namespace tessaly::ui
