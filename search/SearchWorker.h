#pragma once
// The search worker: one search from the form's request to the rows in its list, the summary
// and the end step. It reaches the form only through visits of its UiLink.
#include <memory>
#include <string>

#include "search/WorkerContext.h"
#include "search/WorkerPorts.h"

struct SearchWorkerContext : WorkerContext {
  SearchFormPort* form = nullptr;  // touched inside the visits only
  // "Keep Local &Index": answers from the local copy where it can give the statements' answers.
  bool keepLocalIndex = false;
};

// The whole search on the calling thread. Does not mark the run finished.
void SearchThreadProc(const SearchWorkerContext& context);

// Starts SearchThreadProc on a worker thread (StartDupesThread) and returns the run, which
// Cancel stops; null when no thread could be started.
std::shared_ptr<WorkerRun> StartSearchWorker(SearchWorkerContext context);
