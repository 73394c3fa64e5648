#include "platform/UiThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

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
  bool ran = false;
  QMetaObject::invokeMethod(
      app,
      [&] {
        call();
        ran = true;
      },
      Qt::BlockingQueuedConnection);
  return ran;
}
