#pragma once
// The search worker: one search from the form's request to the rows in its list, the summary
// and the end step. It talks to the form only through its SearchFormPort.
#include <memory>
#include <string>

#include "db/DupesEndpoints.h"
#include "db/WorkerRun.h"
#include "search/SearchFormPort.h"

struct SearchWorkerContext {
  std::shared_ptr<SearchFormPort> port;
  std::shared_ptr<WorkerRun> run;  // created by StartSearchWorker when empty
  DupesEndpoints endpoints;
  std::string loginId;
  std::string password;
};

// The whole search on the calling thread; returns 0. Does not mark the run finished.
unsigned SearchThreadProc(const SearchWorkerContext& context);

// Starts SearchThreadProc on a detached thread of its own (library thread init and end around
// it; the run is marked finished last) and returns the run, which Cancel stops; null when no
// thread could be started.
std::shared_ptr<WorkerRun> StartSearchWorker(SearchWorkerContext context);
