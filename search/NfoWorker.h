#pragma once
// The NFO worker: finds a server, asks NFOS whether the entry has an NFO, fetches its bytes from
// NFO_DATA and hands them to the run's viewer. It talks to the form and the viewer only through
// its NfoPort.
#include <functional>
#include <memory>
#include <string>

#include "db/DupesEndpoints.h"
#include "db/WorkerRun.h"

// What the NFO worker needs from the form and from the viewer made for its run. The worker calls
// it always from inside Invoke() and only while the run is not stopped; the test is made inside
// Invoke(), so a Cancel handled on the UI thread is never followed by a change from the run.
//
// A GUI implementation marshals Invoke() onto the UI thread and waits for it; the other members
// then run on the UI thread. Headless implementations keep the default.
class NfoPort {
 public:
  virtual ~NfoPort() = default;

  virtual void Invoke(const std::function<void()>& call) { call(); }

  // The form's status line, its repaint and its main button's caption.
  virtual void SetStatus(const std::string& text) = 0;
  virtual void Repaint() = 0;
  virtual void SetCaption(const std::string& text) = 0;
  // A message box owned by the (hidden) viewer, so the form stays usable; waits for the answer.
  virtual int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) = 0;
  // The viewer takes caption, is shown and repainted, then gets bytes (as stored, NULs included)
  // and is repainted again.
  virtual void ShowNfo(const std::string& caption, const std::string& bytes) = 0;
};

struct NfoWorkerContext {
  std::shared_ptr<NfoPort> port;
  std::shared_ptr<WorkerRun> run;  // created by StartNfoWorker when empty
  DupesEndpoints endpoints;
  std::string loginId;
  std::string password;
  std::string dateText;       // the row's "Date" text
  std::string directoryText;  // the row's "Directory" text
};

// The whole retrieval on the calling thread; returns 0. Does not mark the run finished.
unsigned NfoThreadProc(const NfoWorkerContext& context);

// Starts NfoThreadProc on a detached thread of its own (library thread init and end around it;
// the run is marked finished last) and returns the run, which Cancel stops.
std::shared_ptr<WorkerRun> StartNfoWorker(NfoWorkerContext context);

// The two statements of a retrieval, with the texts escaped.
std::string BuildNfosQuery(const std::string& dateText, const std::string& directoryText);
std::string BuildNfoDataQuery(const std::string& dateText, const std::string& directoryText);
