#include "platform/UiThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

// Carries calls to the UI thread. The call itself travels through our own queue, under our own
// mutex, and only a bare wake-up goes through Qt's event queue: the hand-over is then one a thread
// checker can follow, which Qt's own locks are not.
class UiRelay : public QObject {
  Q_OBJECT

 public:
  struct Call {
    const std::function<void()>* call = nullptr;
    std::mutex mutex;
    std::condition_variable ran;
    bool done = false;
  };

  void Run(const std::function<void()>& call) {
    Call pending;
    pending.call = &call;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_queue.push_back(&pending);
    }
    QMetaObject::invokeMethod(this, "Drain", Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(pending.mutex);
    pending.ran.wait(lock, [&] { return pending.done; });
  }

  Q_INVOKABLE void Drain() {
    for (;;) {
      Call* next = nullptr;
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_queue.empty()) return;
        next = m_queue.front();
        m_queue.pop_front();
      }
      (*next->call)();
      std::lock_guard<std::mutex> lock(next->mutex);
      next->done = true;
      next->ran.notify_all();
    }
  }

 private:
  std::mutex m_mutex;
  std::deque<Call*> m_queue;
};

// Lives on the UI thread for the rest of the process, so a waiting worker always has a receiver.
UiRelay* Relay(QCoreApplication* app) {
  static UiRelay* relay = [app] {
    auto* r = new UiRelay;
    r->moveToThread(app->thread());
    return r;
  }();
  return relay;
}

}  // namespace

bool RunOnUiThread(const std::function<void()>& call) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return false;
  if (QThread::currentThread() == app->thread()) {
    call();
    return true;
  }
  Relay(app)->Run(call);
  return true;
}

bool QtUiLink::Carry(const std::function<void()>& call) {
  bool ran = false;
  RunOnUiThread([&] {
    if (!m_window) return;
    call();
    ran = true;
  });
  return ran;
}

#include "UiThread.moc"
