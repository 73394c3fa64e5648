#include "db/UiLink.h"

#include "db/WorkerRun.h"

bool UiLink::Visit(const WorkerRun* run, const std::function<void()>& call) {
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

bool UiLink::Carry(const std::function<void()>& call) {
  call();
  return true;
}
