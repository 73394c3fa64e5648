#pragma once
// The check of the statistics window: for the primary, then the backup server, whether it
// answers, its last update and the number of entries, each step shown in the window. It runs
// headless (tests) or on a worker thread of its own behind the window.
#include <memory>
#include <string>

#include "search/WorkerContext.h"
#include "search/WorkerPorts.h"

struct StatisticsCheckContext : WorkerContext {
  StatisticsPort* window = nullptr;  // touched inside the visits only
  // The most one server's check may take: the window has no Cancel, so a server that stalls
  // then reads as not answering and the check goes on. Long enough for an honest count.
  int serverSeconds = 30;
};

// The whole check on the calling thread. Once the run is stopped, the window hears nothing more
// and the check ends as soon as its current call returns.
void RunStatisticsCheck(const StatisticsCheckContext& context);

// Starts the check on a worker thread (StartDupesThread) and returns the run. Checks run one
// after the other in the order they were started: a check waits until every check started before
// it has ended. A run stopped while it waits leaves the queue without touching a server.
std::shared_ptr<WorkerRun> StartStatisticsCheck(StatisticsCheckContext context);
