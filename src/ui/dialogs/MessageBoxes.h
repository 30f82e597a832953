// The program's message boxes: the error box, the information box, the plain error box owned by
// no window, and the framework's box for errors that end an operation. Each has one "OK" button
// and returns when it is closed.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>

#include <functional>

#include "base/OperationHost.h"

class QWidget;

namespace tessaly::ui {

struct MessageBoxLook {
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QPointer<QWidget> owner;  // null for the plain error box
  Qt::WindowModality modality = Qt::ApplicationModal;
};

class MessageBoxes {
 public:
  // How a box of `kind` looks when `owner` shows it.
  static MessageBoxLook Look(MessageKind kind, const QString& text, QWidget* owner);
  static MessageBoxLook FrameworkLook(const QString& text, QWidget* owner);

  static void Show(MessageKind kind, const QString& text, QWidget* owner);
  // The framework's box: the error's text, the stop icon and the program's title as caption.
  static void ShowFrameworkError(const QString& text, QWidget* owner);

  // Tests answer the boxes through this hook instead of showing them; empty to show them again.
  using Hook = std::function<void(const MessageBoxLook&)>;
  static void SetHook(Hook hook);

 private:
  static void Present(const MessageBoxLook& look);
};

}  // namespace tessaly::ui
