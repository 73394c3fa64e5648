#include "search/IndexCheckWorker.h"

#include <condition_variable>
#include <mutex>
#include <utility>

#include "db/ConnectionFeedback.h"
#include "db/DupesConnection.h"
#include "index/CheckPlan.h"
#include "index/IndexPaths.h"
#include "index/LocalIndex.h"
#include "platform/MessageBox.h"

namespace {

class Silent : public ConnectionFeedback {
 public:
  void SetStatus(const std::string&) override {}
  int ShowMessage(const std::string&, const std::string&, unsigned) override { return IDOK; }
};

class CheckRun {
 public:
  explicit CheckRun(const IndexCheckContext& context) : m_context(context), m_run(*context.run) {}

  void Run() {
    while (!m_run.IsStopped()) {
      if (!Wait(NextInterval())) return;
      CheckOneRange();
    }
  }

 private:
  // The plan's interval from the copy the last check reached (the primary's before any).
  std::chrono::seconds NextInterval() {
    std::string why;
    const std::string address = m_address.empty() ? m_context.endpoints.m_strPrimary : m_address;
    auto copy = LocalIndex::OpenExisting(IndexFilePath(m_context.folder, address), address, why);
    if (!copy) return CheckPlan::kPass / CheckPlan::kMostChecksPerHour;
    return CheckPlan::Next(copy->CheckCursor(), copy->Rows(), copy->HighestId()).interval;
  }

  // False once the run is stopped; Stop() ends the wait at once.
  bool Wait(std::chrono::seconds interval) {
    const std::chrono::milliseconds wait =
        m_context.pace ? m_context.pace(interval) : std::chrono::milliseconds(interval);
    std::mutex mutex;
    std::condition_variable woken;
    m_run.SetStopWake([&] {
      std::lock_guard<std::mutex> lock(mutex);
      woken.notify_all();
    });
    {
      std::unique_lock<std::mutex> lock(mutex);
      woken.wait_for(lock, wait, [&] { return m_run.IsStopped(); });
    }
    m_run.SetStopWake(nullptr);
    return !m_run.IsStopped();
  }

  // The next range of the copy of the server reached now: a copy never answers for another.
  void CheckOneRange() {
    Silent silent;
    DupesConnection connection(m_context.endpoints, m_context.loginId, m_context.password, &m_run);
    if (!m_context.collations.Usable() || !connection.Open(silent) || m_run.IsStopped()) return;
    m_address = connection.Address();
    std::string why;
    auto copy = LocalIndex::OpenExisting(IndexFilePath(m_context.folder, m_address), m_address, why);
    if (!copy) return;
    std::string key = copy->CollationKey();
    if (!m_context.collations.probe(connection, key, why) || key != copy->CollationKey()) return;
    const auto collation = m_context.collations.load(key);
    if (!collation) return;
    RangeCheck report;
    if (copy->CheckNextRange(connection, collation->fold, report, why) == LocalIndex::Result::Done &&
        m_context.checked)
      m_context.checked(report);
  }

  const IndexCheckContext& m_context;
  WorkerRun& m_run;
  std::string m_address;
};

}  // namespace

void IndexCheckThreadProc(const IndexCheckContext& context) {
  CheckRun(context).Run();
}

std::shared_ptr<WorkerRun> StartIndexCheck(IndexCheckContext context) {
  std::shared_ptr<WorkerRun> run = context.run;
  return StartDupesThread(std::move(run), [context = std::move(context)] { IndexCheckThreadProc(context); });
}
