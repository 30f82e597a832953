#include "ui/settings/WorkFolders.h"

#include <QFileInfo>
#include <QSettings>

#include "ui/settings/UserSettings.h"

namespace tessaly::ui::WorkFolders {
namespace {

const QString kUnpacked = QStringLiteral("WorkFolders/unpacked");
const QString kPacked = QStringLiteral("WorkFolders/packed");
const QString kLatest = QStringLiteral("WorkFolders/latest");  // the key noted last

void Note(const QString& key, const QString& folder) {
  if (folder.isEmpty()) return;
  QSettings settings = UserSettings();
  settings.setValue(key, folder);
  settings.setValue(kLatest, key);
}

}  // namespace

void NoteUnpacked(const QString& folder) {
  Note(kUnpacked, folder);
}

void NotePacked(const QString& folder) {
  Note(kPacked, folder);
}

QString StartFolder() {
  QSettings settings = UserSettings();
  const bool packedLast = settings.value(kLatest).toString() == kPacked;
  for (const QString& key : {packedLast ? kPacked : kUnpacked, packedLast ? kUnpacked : kPacked}) {
    const QString folder = settings.value(key).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
  }
  return {};
}

}  // namespace tessaly::ui::WorkFolders
