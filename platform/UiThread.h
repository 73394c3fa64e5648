#pragma once
// Runs a call on the UI thread and waits for it: the way workers and worker-side dialogs reach
// windows. On the UI thread itself the call runs at once. Without a running application the call
// is dropped, so a worker left behind at exit cannot touch a window that is gone.
#include <QObject>
#include <QPointer>
#include <functional>

#include "platform/UiLink.h"

// True when call ran.
bool RunOnUiThread(const std::function<void()>& call);

// A worker's link to its window: each call is carried to the UI thread and waited for, and
// dropped once the window is gone.
class QtUiLink : public UiLink {
 public:
  explicit QtUiLink(QObject* window) : m_window(window) {}

 protected:
  bool Carry(const std::function<void()>& call) override;

 private:
  QPointer<QObject> m_window;  // read on the UI thread only
};
