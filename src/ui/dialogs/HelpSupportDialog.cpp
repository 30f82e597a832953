#include "ui/dialogs/HelpSupportDialog.h"

#include <QDesktopServices>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

#include <algorithm>

#include "ui/dialogs/SupportInfo.h"
#include "ui/widgets/Design.h"

namespace tessaly::ui {
namespace {

const QColor kVisitedColour(128, 0, 128);

QString Text(const char* text) {
  return QString::fromUtf8(text);
}

}  // namespace

UrlLabel::UrlLabel(const QString& text, const QString& link, QWidget* parent)
    : QLabel(text, parent), link_(link) {
  QFont font = DesignFont(QStringLiteral("MS Sans Serif"), 9);
  font.setUnderline(true);
  setFont(font);
  setCursor(Qt::PointingHandCursor);
  UpdateColour();
}

void UrlLabel::Open() {
  QString target = link_.trimmed().isEmpty() ? text().trimmed() : link_.trimmed();
  if (target.isEmpty()) return;
  if (QDesktopServices::openUrl(QUrl::fromUserInput(target))) {
    visited_ = true;
    UpdateColour();
  }
}

void UrlLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) Open();
}

void UrlLabel::UpdateColour() {
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText,
                   visited_ ? kVisitedColour : colours.color(QPalette::Highlight));
  setPalette(colours);
}

HelpSupportDialog::HelpSupportDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("HelpSupport"));
  setWindowTitle(QStringLiteral("Help / Support"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFont(WindowFont());
  setWindowIcon(Picture(QStringLiteral("tessaly")));
  setFixedSize(249, 312);

  auto* image = new QLabel(this);
  image->setObjectName(QStringLiteral("Image1"));
  image->setGeometry(8, 0, 32, 32);
  image->setPixmap(windowIcon().pixmap(32, 32));

  auto* title = new QLabel(Text(support::kAuthor), this);
  title->setObjectName(QStringLiteral("Label1"));
  // 14 points bold, smaller only where the font at hand would run past the box's edge.
  QFont titleFont = DesignFont(QStringLiteral("MS Sans Serif"), 14, true);
  const int titleRoom = 249 - 49 - 4;
  while (titleFont.pointSize() > 8 &&
         QFontMetrics(titleFont).horizontalAdvance(title->text()) > titleRoom)
    titleFont.setPointSize(titleFont.pointSize() - 1);
  title->setFont(titleFont);
  title->move(49, 10);
  title->adjustSize();

  auto* contact = new QGroupBox(QStringLiteral("Contact Info: "), this);
  contact->setObjectName(QStringLiteral("GroupBox1"));
  contact->setGeometry(7, 33, 234, 59);
  auto* mail = new UrlLabel(Text(support::kMailAddress), Text(support::kMailLink), contact);
  mail->setObjectName(QStringLiteral("RzURLLabel1"));
  mail->adjustSize();
  auto* web = new UrlLabel(Text(support::kHomePage), Text(support::kHomePage), contact);
  web->setObjectName(QStringLiteral("RzURLLabel2"));
  web->adjustSize();
  // At the designed places (11, 14 and 11, 33) where the frame leaves room: styles that draw the
  // title above the frame start the inside lower, and the two links move down with it, closer
  // together where the frame's height asks for it.
  contact->ensurePolished();
  const QRect inside = contact->contentsRect();
  const int mailTop = std::max(14, inside.top());
  const int webTop =
      std::clamp(33 + mailTop - 14, mailTop + mail->height(),
                 std::max(inside.bottom() + 1 - web->height(), mailTop + mail->height()));
  mail->move(std::max(11, inside.left()), mailTop);
  web->move(std::max(11, inside.left()), webTop);

  auto* money = new QGroupBox(QStringLiteral("Financially support of Author: "), this);
  money->setObjectName(QStringLiteral("GroupBox2"));
  money->setGeometry(7, 98, 234, 182);
  auto* lines = new QLabel(Text(support::kSupportLines), money);
  lines->setObjectName(QStringLiteral("RzLabel1"));
  lines->move(7, 20);
  lines->adjustSize();
  auto* purses = new QLabel(Text(support::kPurseHeading), money);
  purses->setObjectName(QStringLiteral("RzLabel2"));
  purses->move(7, 105);
  purses->adjustSize();
  // Two bank accounts, then the four purses in two rows.
  const struct {
    const char* name;
    const char* text;
    QRect geometry;
  } numberBoxes[] = {
      {"RzEdit5", support::kBankAccounts[0], {7, 52, 221, 24}},
      {"RzEdit6", support::kBankAccounts[1], {7, 78, 221, 24}},
      {"RzEdit1", support::kPurses[0], {7, 124, 104, 24}},
      {"RzEdit2", support::kPurses[1], {124, 124, 104, 24}},
      {"RzEdit4", support::kPurses[2], {7, 150, 104, 24}},
      {"RzEdit3", support::kPurses[3], {124, 150, 104, 24}},
  };
  for (const auto& box : numberBoxes) AddNumberBox(box.name, box.text, money, box.geometry);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("Button1"));
  ok->setGeometry(88, 287, 65, 19);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

QLineEdit* HelpSupportDialog::AddNumberBox(const char* name, const char* text, QWidget* parent,
                                           QRect geometry) {
  auto* box = new QLineEdit(Text(text), parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setReadOnly(true);
  box->setGeometry(geometry);
  // Read-only boxes keep the scroll-bar colour, focused or not.
  QPalette colours = box->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive})
    colours.setColor(group, QPalette::Base, colours.color(QPalette::Midlight));
  box->setPalette(colours);
  return box;
}

void HelpSupportDialog::Execute(QWidget* parent) {
  HelpSupportDialog box(parent);
  if (parent) box.move(parent->frameGeometry().center() - box.rect().center());
  box.exec();
}

}  // namespace tessaly::ui
