#pragma once
// The NFO worker: finds a server, asks NFOS whether the entry has an NFO, fetches its bytes from
// NFO_DATA and hands them to the run's viewer. It reaches the form and the viewer only through
// the visits of its UiLink.
#include <memory>
#include <string>

#include "search/WorkerContext.h"
#include "search/WorkerPorts.h"

struct NfoWorkerContext : WorkerContext {
  FormPort* form = nullptr;  // touched inside the visits only, like viewer
  NfoViewerPort* viewer = nullptr;
  std::string dateText;       // the row's "Date" bytes, as the server sent them
  std::string directoryText;  // the row's "Directory" bytes, likewise
};

// The whole retrieval on the calling thread. Does not mark the run finished.
void NfoThreadProc(const NfoWorkerContext& context);

// Starts NfoThreadProc on a worker thread (StartDupesThread) and returns the run, which
// Cancel stops; null when no thread could be started.
std::shared_ptr<WorkerRun> StartNfoWorker(NfoWorkerContext context);
