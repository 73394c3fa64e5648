#pragma once
// The local copy's check against its server, behind the form: once the copy is ready it goes
// through the copy range by range of ids, spread over the hour (index/CheckPlan.h), and mends
// the ranges whose rows were deleted or changed on the server. It shows nothing: each check is a
// connection of its own, and one that fails is tried again at the next range's time.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "db/DupesEndpoints.h"
#include "index/CopyCollation.h"
#include "platform/WorkerRun.h"

struct RangeCheck;

struct IndexCheckContext {
  std::shared_ptr<WorkerRun> run = WorkerRun::Create();
  DupesEndpoints endpoints;
  std::string loginId;
  std::string password;
  std::string folder;  // IndexFolder(), read by the caller
  CopyCollationSource collations = DefaultCopyCollationSource();
  // How long to wait for a check the plan puts interval after the last (tests wait less).
  std::function<std::chrono::milliseconds(std::chrono::seconds interval)> pace;
  // After each range checked (tests).
  std::function<void(const RangeCheck& report)> checked;
};

// The checks on the calling thread, until the run is stopped. Does not mark the run finished.
void IndexCheckThreadProc(const IndexCheckContext& context);

// Starts IndexCheckThreadProc on a worker thread (StartDupesThread); null when no thread could be
// started.
std::shared_ptr<WorkerRun> StartIndexCheck(IndexCheckContext context);
