#include "search/StatisticsCheck.h"

#include <mysql.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <utility>

#include "db/DupesConnection.h"
#include "platform/Diagnostics.h"
#include "res/ResourceIds.h"

namespace {

constexpr const char* kDatabase = "dupesnukes";
// Shown in a field the check could not read: the database could not be selected, a statement
// failed or gave no row, or a column came back NULL. The original has no rule for these cases.
constexpr const char* kNotAvailable = "N/A";

struct ServerSteps {
  const char* name;  // "Primary" / "Backup"
  const char* role;  // "primary" / "backup", for the failure line
  const std::string& address;
  int probePort;
  int activeId, updateId, countId;
};

class CheckRun {
 public:
  CheckRun(const DupesEndpoints& endpoints, const std::string& loginId, const std::string& password,
           StatisticsSink& sink, WorkerRun* run)
      : m_endpoints(endpoints), m_loginId(loginId), m_password(password), m_sink(sink), m_run(run) {}

  void Run() {
    Check({"Primary", "primary", m_endpoints.m_strPrimary, m_endpoints.m_nPrimaryProbePort,
           IDC_PRIMARY_ACTIVE, IDC_PRIMARY_UPDATE, IDC_PRIMARY_COUNT});
    if (Stopped()) return;
    Check({"Backup", "backup", m_endpoints.m_strBackup, m_endpoints.m_nBackupProbePort, IDC_BACKUP_ACTIVE,
           IDC_BACKUP_UPDATE, IDC_BACKUP_COUNT});
    Status("Done");
    if (!Stopped()) m_sink.CheckDone();
  }

 private:
  bool Stopped() const { return m_run && m_run->IsStopped(); }
  void Status(const std::string& text) {
    if (!Stopped()) m_sink.SetStatus(text);
  }
  void Field(int id, const std::string& text) {
    if (!Stopped()) m_sink.SetField(id, text);
  }

  void Down(const ServerSteps& s) {
    Field(s.activeId, "NO");
    Field(s.updateId, kNotAvailable);
    Field(s.countId, kNotAvailable);
  }

  // One line per server, for the first step that failed on it; none once stopped.
  void Failed(const ServerSteps& s, unsigned port, const std::string& step, const std::string& why) {
    if (Stopped()) return;
    ReportFailure("statistics: " + DescribeServer(s.role, s.address, port) + ": " + step + " failed: " + why);
  }

  void Check(const ServerSteps& s) {
    Status(std::string("Testing ") + s.name + " Database");
    const int wakeFd = m_run ? m_run->WakeFd() : -1;
    std::string why;
    if (!IsServerReachable(s.address, s.probePort, m_endpoints.m_nProbeSeconds, wakeFd, &why)) {
      Failed(s, unsigned(s.probePort), "probe", why);
      return Down(s);
    }
    if (Stopped()) return;
    Field(s.activeId, "YES");
    Status(std::string("Connecting to ") + s.name + " Database");
    const unsigned port = m_endpoints.m_nConnectPort;
    MYSQL* mysql = ConnectDupesServer(s.address, m_loginId, m_password, port, m_run, &why);
    if (!mysql) {
      Failed(s, port, "connect", why);
      return Down(s);
    }
    // A database that cannot be selected makes both statements fail: the fields read "N/A".
    bool reported = mysql_select_db(mysql, kDatabase) != 0;
    if (reported) Failed(s, port, "select database dupesnukes", DescribeServerError(mysql));
    if (!Stopped()) {
      Status("Checking Last Update");
      const std::string update = LastUpdate(mysql);
      if (update == kNotAvailable && mysql_errno(mysql) && !std::exchange(reported, true))
        Failed(s, port, "last update query", DescribeServerError(mysql));
      Field(s.updateId, update);
    }
    if (!Stopped()) {
      Status("Counting Entries");
      std::string count;
      const bool counted = QuerySingleValue(mysql, "SELECT COUNT(*) FROM DUPES", count);
      if (!counted && mysql_errno(mysql) && !reported)
        Failed(s, port, "count query", DescribeServerError(mysql));
      Field(s.countId, counted ? count : kNotAvailable);
    }
    CloseDupesServer(mysql, m_run);
  }

  // The first two columns of the first row, as sent, joined by " @ ".
  static std::string LastUpdate(MYSQL* mysql) {
    if (mysql_query(mysql, "SELECT * FROM LASTUPDATE") != 0) return kNotAvailable;
    MYSQL_RES* result = mysql_store_result(mysql);
    if (!result) return kNotAvailable;
    std::string text = kNotAvailable;
    // A table of one column would otherwise be read past its row.
    MYSQL_ROW row = mysql_num_fields(result) >= 2 ? mysql_fetch_row(result) : nullptr;
    if (row && row[0] && row[1]) text = std::string(row[0]) + " @ " + row[1];
    mysql_free_result(result);
    return text;
  }

  const DupesEndpoints& m_endpoints;
  const std::string& m_loginId;
  const std::string& m_password;
  StatisticsSink& m_sink;
  WorkerRun* m_run;
};

// Checks in the order they were started, one at a time.
class CheckQueue {
 public:
  void Join(const WorkerRun* run) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_waiting.push_back(run);
  }

  // Blocks until run heads the queue (true), or until it is stopped (false; it has left then).
  bool WaitTurn(const WorkerRun* run) {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (m_waiting.front() != run) {
      if (run->IsStopped()) {
        Remove(run);
        return false;
      }
      // Stop() does not know this queue; a short wait notices it soon enough.
      m_turn.wait_for(lock, std::chrono::milliseconds(20));
    }
    return true;
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

void RunStatisticsCheck(const DupesEndpoints& endpoints, const std::string& loginId,
                        const std::string& password, StatisticsSink& sink, WorkerRun* run) {
  CheckRun(endpoints, loginId, password, sink, run).Run();
}

std::shared_ptr<WorkerRun> StartStatisticsCheck(StatisticsCheckContext context) {
  if (!context.run) context.run = WorkerRun::Create();
  std::shared_ptr<WorkerRun> run = context.run;
  // The place in the queue is taken here, on the caller's thread, so the order is the callers'.
  Queue().Join(run.get());
  const bool started = WorkerRun::StartThread(run, [context = std::move(context)] {
    WorkerRun* run = context.run.get();
    if (!Queue().WaitTurn(run)) return;
    RunStatisticsCheck(context.endpoints, context.loginId, context.password, *context.sink, run);
    Queue().Leave(run);
  });
  // No thread: the check never runs, and must not hold up the ones after it.
  if (!started) Queue().Leave(run.get());
  return run;
}
