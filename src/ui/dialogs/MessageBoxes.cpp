#include "ui/dialogs/MessageBoxes.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QWidget>

#include "base/Errors.h"
#include "ui/widgets/Design.h"

namespace tessaly::ui {
namespace {

MessageBoxes::Hook& CurrentHook() {
  static MessageBoxes::Hook hook;
  return hook;
}

}  // namespace

MessageBoxLook MessageBoxes::Look(MessageKind kind, const QString& text, QWidget* owner) {
  switch (kind) {
    case MessageKind::Error:
      return {QStringLiteral("Error"), text, QMessageBox::Warning, owner, Qt::ApplicationModal};
    case MessageKind::Information:
    case MessageKind::Success:
      return {QStringLiteral("Information"), text, QMessageBox::Information, owner,
              Qt::ApplicationModal};
    case MessageKind::PlainError:
      break;
  }
  // Owned by no window and modal for none: the main window's title bar keeps working.
  return {QStringLiteral("Error"), text, QMessageBox::NoIcon, nullptr, Qt::NonModal};
}

MessageBoxLook MessageBoxes::FrameworkLook(const QString& text, QWidget* owner) {
  QString title = FromBytes(ProgramTitle(PathToBytes(QCoreApplication::applicationFilePath())));
  return {title, FromBytes(DisplayText(text.toStdString())), QMessageBox::Critical, owner,
          Qt::ApplicationModal};
}

void MessageBoxes::Show(MessageKind kind, const QString& text, QWidget* owner) {
  Present(Look(kind, text, owner));
}

void MessageBoxes::ShowFrameworkError(const QString& text, QWidget* owner) {
  Present(FrameworkLook(text, owner));
}

void MessageBoxes::SetHook(Hook hook) {
  CurrentHook() = std::move(hook);
}

void MessageBoxes::Present(const MessageBoxLook& look) {
  if (CurrentHook()) {
    CurrentHook()(look);
    return;
  }
  QMessageBox box(look.icon, look.caption, look.text, QMessageBox::Ok, look.owner);
  box.setFont(WindowFont());
  box.setWindowModality(look.modality);
  if (look.modality == Qt::NonModal) {
    // exec() would make an owner-less box modal for the whole application.
    QEventLoop loop;
    QObject::connect(&box, &QMessageBox::finished, &loop, &QEventLoop::quit);
    box.show();
    loop.exec(QEventLoop::DialogExec);
  } else {
    box.exec();
  }
}

}  // namespace tessaly::ui
