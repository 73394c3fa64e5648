#include "platform/UiThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <mutex>

bool IsUiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

bool RunOnUiThread(const std::function<void()>& call) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return false;
  if (QThread::currentThread() == app->thread()) {
    call();
    return true;
  }
  // A queued call and a handshake of our own rather than a blocking queued call: the same wait,
  // but on a mutex that a thread checker can see.
  std::mutex mutex;
  std::condition_variable ran;
  bool done = false;
  QMetaObject::invokeMethod(
      app,
      [&] {
        call();
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        ran.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock<std::mutex> lock(mutex);
  ran.wait(lock, [&] { return done; });
  return true;
}
