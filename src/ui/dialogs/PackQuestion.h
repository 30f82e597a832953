// The question before Pack: once the folder is chosen, and before anything is written, a folder
// whose replaced entries can't be packed as they are makes the window ask, listing the problems,
// whether to pack all the same. "No" (the default) counts as a cancelled folder dialog: nothing
// is written and the window stays as it was.
#pragma once

#include <QString>

#include <string>

#include "base/OperationHost.h"

class QWidget;

namespace tessaly::ui {

// The box's object name: tests queue its answers under it (NextAnswers).
inline const QString kPackQuestionName = QStringLiteral("PackQuestionBox");

// True when `folder` may be packed: it has no such problems, or the user said "Yes". `host`
// shows the check's progress.
bool MayPack(const std::string& folder, OperationHost& host, QWidget* owner);

// The question before Unpack writes into a folder whose entry files were changed since they were
// unpacked (replaced clips): it names them and asks whether to write over them; "No" (the
// default) leaves the folder and the window as they were.
inline const QString kUnpackQuestionName = QStringLiteral("UnpackQuestionBox");

// True when unpacking the pair of `chosenPath` may write into its folder: the folder holds no
// changed entry files, or the user said "Yes".
bool MayUnpackOver(const std::string& chosenPath, OperationHost& host, QWidget* owner);

}  // namespace tessaly::ui
