#pragma once
// The NFO worker: finds a server, asks NFOS whether the entry has an NFO, fetches its bytes from
// NFO_DATA and hands them to the run's viewer. It reaches the form and the viewer only through
// the visits of its UiLink.
#include <memory>
#include <string>

#include "db/DupesEndpoints.h"
#include "platform/UiLink.h"
#include "platform/WorkerRun.h"
#include "search/FormPort.h"
#include "search/NfoText.h"

// The viewer made for one retrieval, as the NFO worker reaches it: inside its UiLink's visits
// only, on the UI thread.
class NfoViewerPort {
 public:
  virtual ~NfoViewerPort() = default;

  // A message box owned by the (hidden) viewer, so the form stays usable; waits for the answer.
  virtual int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) = 0;
  // The viewer takes caption (the directory's bytes), is shown and repainted, then takes over
  // text (made from the stored bytes off the UI thread) and is repainted again.
  virtual void ShowNfo(const std::string& caption, NfoText&& text) = 0;
};

struct NfoWorkerContext {
  std::shared_ptr<UiLink> link;
  FormPort* form = nullptr;  // touched inside the link's visits only, like viewer
  NfoViewerPort* viewer = nullptr;
  std::shared_ptr<WorkerRun> run = WorkerRun::Create();
  DupesEndpoints endpoints;
  std::string loginId;
  std::string password;
  std::string dateText;       // the row's "Date" bytes, as the server sent them
  std::string directoryText;  // the row's "Directory" bytes, likewise
};

// The whole retrieval on the calling thread. Does not mark the run finished.
void NfoThreadProc(const NfoWorkerContext& context);

// Starts NfoThreadProc on a worker thread (StartDupesThread) and returns the run, which
// Cancel stops; null when no thread could be started.
std::shared_ptr<WorkerRun> StartNfoWorker(NfoWorkerContext context);
