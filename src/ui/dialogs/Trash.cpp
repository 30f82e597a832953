#include "ui/dialogs/Trash.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrl>

#include <filesystem>
#include <system_error>

namespace tessaly::ui {
namespace {

#ifndef Q_OS_WIN

constexpr QFileDevice::Permissions kOwnerOnly =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

struct TrashFolder {
  QString path;    // holds "files" and "info"
  QString topDir;  // for a trash at a file system's top: its mount point; else empty
};

// Makes `path` a folder that only its owner may enter, when it is not one already.
bool MakePrivateFolder(const QString& path) {
  QFileInfo info(path);
  if (info.isDir() && !info.isSymLink()) return true;
  return QDir().mkpath(path) && QFile::setPermissions(path, kOwnerOnly);
}

bool Prepare(const TrashFolder& trash) {
  return MakePrivateFolder(trash.path) &&
         MakePrivateFolder(trash.path + QStringLiteral("/files")) &&
         MakePrivateFolder(trash.path + QStringLiteral("/info"));
}

// The nearest existing folder at or above `path`, for asking which file system it is on.
QString ExistingAncestor(QString path) {
  while (!QFileInfo(path).exists() && path != QDir::rootPath())
    path = QFileInfo(path).absolutePath();
  return path;
}

// The trash for `path`: the home trash when both lie on one file system, otherwise the user's
// trash at the top of the path's file system ($top/.Trash/$uid when an administrator made
// $top/.Trash, else $top/.Trash-$uid).
TrashFolder TrashFor(const QString& path) {
  const QString home = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                       QStringLiteral("/Trash");
  const QStorageInfo device(path);
  if (!device.isValid() || device == QStorageInfo(ExistingAncestor(home)))
    return TrashFolder{home, {}};
  const QString top = device.rootPath();
  // The home folder belongs to the user: its owner is the user's id.
  const QString uid = QString::number(QFileInfo(QDir::homePath()).ownerId());
  const QFileInfo shared(top + QStringLiteral("/.Trash"));
  if (shared.isDir() && !shared.isSymLink() &&
      (QFile::permissions(shared.filePath()) & QFileDevice::ExeOther)) {
    TrashFolder trash{shared.filePath() + QLatin1Char('/') + uid, top};
    if (Prepare(trash)) return trash;
  }
  return TrashFolder{top + QStringLiteral("/.Trash-") + uid, top};
}

// Moves the existing `source` into the trash folder for it.
QString MoveIntoTrashFolder(const QFileInfo& source) {
  const QString absolute = QDir::cleanPath(source.absoluteFilePath());
  const TrashFolder trash = TrashFor(absolute);
  if (!Prepare(trash)) return QStringLiteral("the trash folder %1 can't be made").arg(trash.path);

  // Reserve a name no other item in the trash has by creating its info record exclusively.
  const QString base = source.fileName();
  QString name;
  QFile info;
  for (int n = 1;; ++n) {
    name = n == 1 ? base : QStringLiteral("%1 %2").arg(base).arg(n);
    info.setFileName(trash.path + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo"));
    if (QFileInfo::exists(trash.path + QStringLiteral("/files/") + name) || info.exists()) continue;
    if (info.open(QIODevice::WriteOnly | QIODevice::NewOnly)) break;
    if (!info.exists())
      return QStringLiteral("%1 can't be written: %2").arg(info.fileName(), info.errorString());
  }
  // A trash at a file system's top records paths relative to that top.
  QString recorded = absolute;
  if (!trash.topDir.isEmpty()) recorded = QDir(trash.topDir).relativeFilePath(absolute);
  const QByteArray record =
      "[Trash Info]\nPath=" + QUrl::toPercentEncoding(recorded, "/") +
      "\nDeletionDate=" + QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + "\n";
  const bool written = info.write(record) == record.size() && info.flush();
  info.close();
  if (!written) {
    info.remove();
    return QStringLiteral("%1 can't be written").arg(info.fileName());
  }

  std::error_code error;
  std::filesystem::rename(
      QFile::encodeName(absolute).toStdString(),
      QFile::encodeName(trash.path + QStringLiteral("/files/") + name).toStdString(), error);
  if (error) {
    info.remove();
    return QString::fromLocal8Bit(error.message());
  }
  return {};
}
#endif

}  // namespace

QString MoveToTrash(const QString& path) {
  const QFileInfo source(path);
  if (!source.exists() && !source.isSymLink()) return QStringLiteral("%1 does not exist").arg(path);
#ifdef Q_OS_WIN
  // Windows has one recycle bin, which the system's own call fills.
  QFile file(path);
  return file.moveToTrash() ? QString() : file.errorString();
#else
  return MoveIntoTrashFolder(source);
#endif
}

}  // namespace tessaly::ui
