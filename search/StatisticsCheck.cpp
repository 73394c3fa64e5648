#include "search/StatisticsCheck.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

#include "db/DupesConnection.h"
#include "db/Statements.h"
#include "platform/Diagnostics.h"
#include "res/ResourceIds.h"
#include "res/Texts.h"

namespace {

struct ServerSteps {
  const char* name;  // "Primary" / "Backup"
  const char* role;  // "primary" / "backup", for the failure line
  const std::string& address;
  int probePort;
  int activeId, updateId, countId;
};

class CheckRun {
 public:
  explicit CheckRun(const StatisticsCheckContext& context)
      : m_context(context), m_endpoints(context.endpoints) {}

  void Run() {
    Check({"Primary", "primary", m_endpoints.m_strPrimary, m_endpoints.m_nPrimaryProbePort,
           IDC_PRIMARY_ACTIVE, IDC_PRIMARY_UPDATE, IDC_PRIMARY_COUNT});
    if (m_context.Stopped()) return;
    Check({"Backup", "backup", m_endpoints.m_strBackup, m_endpoints.m_nBackupProbePort, IDC_BACKUP_ACTIVE,
           IDC_BACKUP_UPDATE, IDC_BACKUP_COUNT});
    Status(kStatusDone);
    m_context.Visit([&] { m_context.window->CheckDone(); });
  }

 private:
  void Status(const std::string& text) {
    m_context.Visit([&] { m_context.window->SetStatus(text); });
  }
  void Field(int id, const std::string& text) {
    m_context.Visit([&] { m_context.window->SetField(id, text); });
  }

  void Down(const ServerSteps& s) {
    Field(s.activeId, kTextNo);
    Field(s.updateId, kTextNotAvailable);
    Field(s.countId, kTextNotAvailable);
  }

  bool Late() const { return std::chrono::steady_clock::now() >= m_deadline; }

  // One line per server, for the first step that failed on it; none once stopped.
  void Failed(const std::string& server, const std::string& step, const std::string& why) {
    if (m_context.Stopped()) return;
    const std::string reason =
        Late() ? "no answer within " + std::to_string(m_context.serverSeconds) + " s" : why;
    ReportFailure("statistics: " + server + ": " + step + " failed: " + reason);
  }

  void Check(const ServerSteps& s) {
    m_deadline = std::chrono::steady_clock::now() + std::chrono::seconds(m_context.serverSeconds);
    Status(TestingServerText(s.name));
    std::string why;
    if (!IsServerReachable(s.address, s.probePort, m_endpoints.m_nProbeSeconds, m_context.run->WakeFd(),
                           &why)) {
      Failed(DescribeServer(s.role, s.address, unsigned(s.probePort)), "probe", why);
      return Down(s);
    }
    if (m_context.Stopped()) return;
    Field(s.activeId, kTextYes);
    Status(ConnectingServerText(s.name));
    const std::string server = DescribeServer(s.role, s.address, m_endpoints.m_nConnectPort);
    DupesConnection c(m_endpoints, m_context.loginId, m_context.password, m_context.run.get());
    c.SetDeadline(m_deadline);
    if (!c.Connect(s.role, s.address, why)) {
      Failed(server, "connect", why);
      return Down(s);
    }
    // A database that cannot be selected makes both statements fail: the fields read "N/A".
    bool reported = !c.SelectDatabase();
    if (reported) Failed(server, "select database dupesnukes", c.LastError());
    if (!m_context.Stopped()) {
      Status(kStatusCheckingUpdate);
      const std::string update = LastUpdate(c);
      if (update == kTextNotAvailable && c.HasError() && !std::exchange(reported, true))
        Failed(server, "last update query", c.LastError());
      Field(s.updateId, update);
    }
    if (!m_context.Stopped()) {
      Status(kStatusCountingEntries);
      std::string count;
      const bool counted = c.QueryCount(kTotalCountQuery, count);
      if (!counted && c.HasError() && !std::exchange(reported, true))
        Failed(server, "count query", c.LastError());
      Field(s.countId, counted ? count : kTextNotAvailable);
    }
    // Out of time: the server reads as not answering, whatever it showed before.
    if (!m_context.Stopped() && Late()) {
      if (!reported) Failed(server, "check", "");
      Down(s);
    }
  }

  // The first two columns of the first row, as sent, joined by " @ ". Further rows are passed
  // over one at a time.
  static std::string LastUpdate(DupesConnection& c) {
    // Both columns are VARCHAR(32), at most four bytes a character.
    ResultBounds bounds;
    bounds.maxFieldBytes = {32 * 4, 32 * 4};
    // A table of one column would otherwise be read past its row.
    if (!c.Query(kLastUpdateQuery, bounds) || c.FieldCount() < 2 || !c.FetchRow()) {
      c.ReleaseResult();
      return kTextNotAvailable;
    }
    std::string text =
        c.Field(0) && c.Field(1) ? std::string(c.Field(0)) + " @ " + c.Field(1) : kTextNotAvailable;
    c.ReleaseResult();
    if (c.HasError()) return kTextNotAvailable;
    return text;
  }

  const StatisticsCheckContext& m_context;
  const DupesEndpoints& m_endpoints;
  std::chrono::steady_clock::time_point m_deadline;
};

// Checks in the order they were started, one at a time.
class CheckQueue {
 public:
  void Join(const WorkerRun* run) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_waiting.push_back(run);
  }

  // Blocks until run heads the queue (true), or until it is stopped (false; it has left then).
  bool WaitTurn(WorkerRun* run) {
    // Stop() wakes this wait; the lock makes its wake-up land after the test below.
    run->SetStopWake([this] {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_turn.notify_all();
    });
    bool turn = true;
    {
      std::unique_lock<std::mutex> lock(m_mutex);
      m_turn.wait(lock, [&] { return m_waiting.front() == run || run->IsStopped(); });
      if (m_waiting.front() != run) {
        Remove(run);
        turn = false;
      }
    }
    run->SetStopWake(nullptr);
    return turn;
  }

  void Leave(const WorkerRun* run) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Remove(run);
  }

 private:
  void Remove(const WorkerRun* run) {
    m_waiting.erase(std::remove(m_waiting.begin(), m_waiting.end(), run), m_waiting.end());
    m_turn.notify_all();
  }

  std::mutex m_mutex;
  std::condition_variable m_turn;
  std::deque<const WorkerRun*> m_waiting;
};

CheckQueue& Queue() {
  static CheckQueue* queue = new CheckQueue;  // never destroyed: a check may outlive main
  return *queue;
}

}  // namespace

void RunStatisticsCheck(const StatisticsCheckContext& context) {
  CheckRun(context).Run();
}

std::shared_ptr<WorkerRun> StartStatisticsCheck(StatisticsCheckContext context) {
  std::shared_ptr<WorkerRun> run = context.run;
  // The place in the queue is taken here, on the caller's thread, so the order is the callers'.
  Queue().Join(run.get());
  const bool started = StartDupesThread(run, [context = std::move(context)] {
                         WorkerRun* run = context.run.get();
                         if (!Queue().WaitTurn(run)) return;
                         RunStatisticsCheck(context);
                         Queue().Leave(run);
                       }) != nullptr;
  // No thread: the check never runs, and must not hold up the ones after it.
  if (!started) Queue().Leave(run.get());
  return run;
}
