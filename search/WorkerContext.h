#pragma once
// What every worker run is given: the link to its window, the run that Cancel stops, the servers
// and the login. Visit() is the one way a run reaches its window.
#include <functional>
#include <memory>
#include <string>

#include "db/DupesEndpoints.h"
#include "platform/UiLink.h"
#include "platform/WorkerRun.h"

struct WorkerContext {
  std::shared_ptr<UiLink> link;
  std::shared_ptr<WorkerRun> run = WorkerRun::Create();
  DupesEndpoints endpoints;
  std::string loginId;
  std::string password;

  bool Stopped() const { return run->IsStopped(); }
  // Runs call on the UI thread; false when it was dropped (run stopped, window gone).
  bool Visit(const std::function<void()>& call) const { return link->Visit(run.get(), call); }
};
