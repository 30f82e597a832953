// Where the user last worked, kept in the user's settings across runs: the folder the last Unpack
// wrote and the folder the last Pack read. The folder dialog starts at the later of the two.
#pragma once

#include <QString>

namespace tessaly::ui::WorkFolders {

void NoteUnpacked(const QString& folder);
void NotePacked(const QString& folder);
// The folder of the later of the last Unpack and the last Pack, or of the other when that one
// is gone; empty when neither exists.
QString StartFolder();

}  // namespace tessaly::ui::WorkFolders
