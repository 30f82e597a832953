#include "ui/BackgroundCommand.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMetaObject>
#include <QTimer>
#include <QWidget>

#include <exception>
#include <utility>

namespace tessaly::ui {
namespace {

constexpr int kProgressMs = 30;  // how often the window shows the work's progress
constexpr auto kTableInterval = std::chrono::milliseconds(200);  // and the work's table at most

bool IsInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      return true;
    default:
      return false;
  }
}

BackgroundCommand::Probe& TheProbe() {
  static BackgroundCommand::Probe probe;
  return probe;
}

}  // namespace

void BackgroundCommand::SetProbe(Probe probe) {
  TheProbe() = std::move(probe);
}

void BackgroundCommand::See(const char* call, int value) {
  if (TheProbe()) TheProbe()(call, value);
}

BackgroundCommand::BackgroundCommand(OperationHost& window, QWidget* form, QAbstractButton* stop,
                                     std::function<void()> showTable)
    : window_(window), form_(form), stopButton_(stop), showTable_(std::move(showTable)) {
  if (stopButton_) connect(stopButton_, &QAbstractButton::clicked, this, [this] { RequestStop(); });
}

BackgroundCommand::~BackgroundCommand() {
  worker_.Stop();
}

void BackgroundCommand::Run(const std::function<void(OperationHost&)>& work) {
  QEventLoop loop;
  QTimer progress;
  progress.setInterval(kProgressMs);
  connect(&progress, &QTimer::timeout, this, [this] { ShowProgress(); });
  progress.start();
  QCoreApplication::instance()->installEventFilter(this);
  std::exception_ptr failure;
  worker_.Start([&](std::stop_token stop) {
    stop_ = std::move(stop);
    try {
      work(*this);
    } catch (...) {
      failure = std::current_exception();
    }
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  worker_.Wait();
  QCoreApplication::instance()->removeEventFilter(this);
  progress.stop();
  ShowProgress();
  if (showTable_) showTable_();
  if (failure) std::rethrow_exception(failure);
}

void BackgroundCommand::RequestStop() {
  worker_.RequestStop();
}

bool BackgroundCommand::eventFilter(QObject* watched, QEvent* event) {
  // While the work runs only the Stop button and Esc take input in the window; boxes and
  // dialogs the work shows are windows of their own and take theirs.
  if (!IsInput(event->type()) || !worker_.Started()) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != form_) return false;
  if (event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    RequestStop();
    return true;
  }
  if (event->type() == QEvent::ShortcutOverride) {
    // Taken here, so none of the window's shortcuts fires.
    event->accept();
    return true;
  }
  return widget != stopButton_;
}

void BackgroundCommand::ShowProgress() {
  std::optional<int> min, max, position;
  {
    std::lock_guard lock(mutex_);
    min = std::exchange(min_, std::nullopt);
    max = std::exchange(max_, std::nullopt);
    position = std::exchange(position_, std::nullopt);
  }
  if (min) window_.SetProgressMin(*min);
  if (max) window_.SetProgressMax(*max);
  if (position) window_.SetProgressPosition(*position);
}

void BackgroundCommand::InOrder(const std::function<void()>& call, bool showTable) {
  OnWindowThread([&] {
    ShowProgress();
    if (showTable && showTable_) showTable_();
    call();
  });
}

void BackgroundCommand::SetProgressMin(int value) {
  See("progress.min", value);
  std::lock_guard lock(mutex_);
  min_ = value;
}

void BackgroundCommand::SetProgressMax(int value) {
  See("progress.max", value);
  std::lock_guard lock(mutex_);
  max_ = value;
}

void BackgroundCommand::SetProgressPosition(int value) {
  See("progress.position", value);
  std::lock_guard lock(mutex_);
  position_ = value;
}

void BackgroundCommand::SetStatusText(int panel, const std::string& text) {
  See("status", panel);
  InOrder([&] { window_.SetStatusText(panel, text); });
}

void BackgroundCommand::SetToolbarAndGridEnabled(bool enabled) {
  See("toolbar", enabled);
  InOrder([&] { window_.SetToolbarAndGridEnabled(enabled); }, true);
}

void BackgroundCommand::SetWindowEnabled(bool enabled) {
  See("window", enabled);
  InOrder([&] { window_.SetWindowEnabled(enabled); }, true);
}

void BackgroundCommand::Repaint() {
  // The operations ask for repaints at fixed points and some once per entry; the table is shown
  // at most a few times a second, the window paints itself meanwhile.
  const auto now = std::chrono::steady_clock::now();
  if (now - lastShown_ < kTableInterval) return;
  lastShown_ = now;
  InOrder([&] { window_.Repaint(); }, true);
}

void BackgroundCommand::UpdatePainting() {
  Repaint();
}

void BackgroundCommand::ShowMessage(MessageKind kind, const std::string& text) {
  See("message", static_cast<int>(kind));
  InOrder([&] { window_.ShowMessage(kind, text); }, true);
}

}  // namespace tessaly::ui
