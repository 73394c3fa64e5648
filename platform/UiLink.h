#pragma once
// The one way a worker reaches its window. Visit() runs a call on the UI side only while the
// worker's run is not stopped; the stop is tested inside the visit, on the UI thread where Cancel
// runs, so a cancelled run changes nothing after the Cancel. The GUI carries the call to the UI
// thread and waits for it (QtUiLink of platform/UiThread), so texts appear in the worker's order;
// a headless link runs it in place.
#include <functional>

#include "platform/WorkerRun.h"

class UiLink {
 public:
  virtual ~UiLink() = default;

  // False when the call was dropped: run (optional) was stopped, or the window is gone.
  bool Visit(const WorkerRun* run, const std::function<void()>& call) {
    // Tested here to spare a trip to the UI thread, and again there, where Cancel runs.
    if (run && run->IsStopped()) return false;
    bool ran = false;
    Carry([&] {
      if (run && run->IsStopped()) return;
      call();
      ran = true;
    });
    return ran;
  }

 protected:
  // Runs call on the UI thread and returns once it has run; false when the window is gone.
  virtual bool Carry(const std::function<void()>& call) {
    call();
    return true;
  }
};
