#pragma once
// The check of the statistics window: for the primary, then the backup server, whether it
// answers, its last update and the number of entries, each step reported to a sink. It runs
// headless (tests) or on a worker thread of its own behind the window.
#include <memory>
#include <string>

#include "db/DupesEndpoints.h"
#include "db/WorkerRun.h"

class StatisticsSink {
 public:
  virtual ~StatisticsSink() = default;
  // The window's status field.
  virtual void SetStatus(const std::string& text) = 0;
  // One of the fields 1023-1025 (primary) or 1029-1031 (backup) of template 153.
  virtual void SetField(int controlId, const std::string& text) = 0;
  // After "Done": the OK button may be enabled.
  virtual void CheckDone() = 0;
};

// The whole check on the calling thread. Once run (optional) is stopped, the sink hears nothing
// more and the check ends as soon as its current call returns.
void RunStatisticsCheck(const DupesEndpoints& endpoints, const std::string& loginId,
                        const std::string& password, StatisticsSink& sink, WorkerRun* run = nullptr);

struct StatisticsCheckContext {
  std::shared_ptr<StatisticsSink> sink;
  std::shared_ptr<WorkerRun> run;  // created by StartStatisticsCheck when empty
  DupesEndpoints endpoints;
  std::string loginId;
  std::string password;
};

// Starts the check on a detached thread (library thread init and end around it; the run is
// marked finished last) and returns the run. Checks run one after the other in the order they
// were started: a check waits until every check started before it has ended. A run stopped while
// it waits leaves the queue without touching a server.
std::shared_ptr<WorkerRun> StartStatisticsCheck(StatisticsCheckContext context);
