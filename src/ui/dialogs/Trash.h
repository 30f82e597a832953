// The user's trash as freedesktop.org file managers keep it: a moved file or folder goes into the
// trash's "files" folder beside an "info" record of where it came from and when, so the file
// manager can show and restore it. On Windows: the recycle bin.
#pragma once

#include <QString>

namespace tessaly::ui {

// Moves `path` (a file or a folder) into the user's trash: the home trash under the user's data
// folder, created when missing, or for a path on another file system the trash at that file
// system's top. Returns an empty string on success, otherwise why nothing was moved.
QString MoveToTrash(const QString& path);

}  // namespace tessaly::ui
