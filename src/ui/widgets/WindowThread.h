// Calls that must run on the window's thread, from work that runs on another.
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <functional>

namespace tessaly::ui {

// True on the application's (the window's) thread.
inline bool OnWindowThreadNow() {
  QCoreApplication* application = QCoreApplication::instance();
  return !application || QThread::currentThread() == application->thread();
}

// Runs `call` on the window's thread and returns when it has run: at once when called there,
// otherwise queued to it while the calling thread waits.
inline void OnWindowThread(const std::function<void()>& call) {
  if (OnWindowThreadNow()) {
    call();
    return;
  }
  QMetaObject::invokeMethod(QCoreApplication::instance(), call, Qt::BlockingQueuedConnection);
}

}  // namespace tessaly::ui
