#pragma once
// A worker's link to its window on the real UI thread: each call is carried there by the relay
// of platform/UiThread and waited for, and dropped once the window is gone.
#include <QObject>
#include <QPointer>

#include "db/UiLink.h"

class QtUiLink : public UiLink {
 public:
  explicit QtUiLink(QObject* window) : m_window(window) {}

 protected:
  bool Carry(const std::function<void()>& call) override;

 private:
  QPointer<QObject> m_window;  // read on the UI thread only
};
