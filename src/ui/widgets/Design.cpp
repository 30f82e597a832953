#include "ui/widgets/Design.h"

#include <QFile>
#include <QFontDatabase>
#include <QPainter>
#include <QPixmap>
#include <QStringDecoder>
#include <QSvgRenderer>

#include <algorithm>

namespace tessaly::ui {

QFont DesignFont(const QString& family, int points, bool bold) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setFamilies({family, font.family()});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(points);
  font.setBold(bold);
  return font;
}

QIcon Picture(const QString& name) {
  QSvgRenderer renderer(QStringLiteral(":/tessaly/%1.svg").arg(name));
  QIcon icon;
  for (int size : {13, 16, 20, 24, 26, 32, 48, 64, 128, 256}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

QString FromBytes(std::string_view bytes) {
  if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; }))
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  if (!utf8.hasError()) return text;
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string PathToBytes(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

QString PathFromBytes(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

}  // namespace tessaly::ui
