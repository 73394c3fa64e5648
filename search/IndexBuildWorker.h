#pragma once
// The build of the local copy behind the form: it reaches a server, then builds the copy of that
// server (or fetches what is new), a batch at a time, and tells its port how far it got. It never
// shows a message box: a server that cannot be reached is a reason like any other. Once its run
// is stopped it ends after the current batch, and the port hears nothing more.
#include <memory>
#include <string>

#include "index/CopyCollation.h"
#include "search/WorkerContext.h"

struct IndexBuildProgress {
  long long rows = 0;             // in the copy so far
  long long highestId = 0;        // the copy's highest id
  long long serverRows = 0;       // SELECT COUNT(*) FROM DUPES, once at the start
  long long serverHighestId = 0;  // SELECT MAX(DUPES_ID), likewise
};

// The window as the build reaches it: inside the build's UiLink visits only.
class IndexBuildPort {
 public:
  virtual ~IndexBuildPort() = default;
  // Before the first batch and after each one.
  virtual void IndexBuildAdvanced(const IndexBuildProgress& progress) = 0;
  // The copy has reached the end of the table; rows it holds.
  virtual void IndexBuildReady(long long rows) = 0;
  virtual void IndexBuildFailed(const std::string& reason) = 0;
};

struct IndexBuildContext : WorkerContext {
  IndexBuildPort* port = nullptr;  // touched inside the visits only
  std::string folder;              // IndexFolder(), read by the caller
  // At start-up: a copy of either server that is ready already is left as it is, unasked.
  bool onlyWhenNotReady = false;
  // The build before this one (stopped, maybe not yet ended): the copy is its until it ends.
  std::shared_ptr<WorkerRun> after;
  int batch = 50000;
  CopyCollationSource collations = DefaultCopyCollationSource();
};

// The whole build on the calling thread. Does not mark the run finished.
void IndexBuildThreadProc(const IndexBuildContext& context);

// Starts IndexBuildThreadProc on a worker thread (StartDupesThread) and returns the run; null
// when no thread could be started.
std::shared_ptr<WorkerRun> StartIndexBuild(IndexBuildContext context);
