#include "search/SearchWorker.h"

#include <mysql.h>

#include <algorithm>

#include "db/DupesConnection.h"
#include "db/SearchRequest.h"
#include "platform/Diagnostics.h"
#include "platform/MessageBox.h"
#include "search/SearchPortGuard.h"
#include "search/SessionLog.h"

namespace {

constexpr int32_t kRetrievalCap = 2000;
constexpr int32_t kWarningThreshold = 1000;
constexpr int kCompleteDateDigits = 8;
constexpr size_t kRowBatch = 200;

// Leading decimal number of a count the server sent; no number is 0.
long long LeadingCount(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value < 1000000000000LL) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

class SearchRun {
 public:
  explicit SearchRun(const SearchWorkerContext& context)
      : m_guard(*context.port, *context.run),
        m_connection(context.endpoints, context.loginId, context.password, context.run.get()) {}

  void Run() {
    Steps();
    End();
  }

 private:
  bool Stopped() const { return m_guard.IsStopped(); }

  void Refuse(const std::string& text) { m_guard.ShowMessage(text, "Kestrel Error", MB_OK | MB_ICONSTOP); }
  // A failed statement of a stopped run is the stop's doing, not the server's: no message then.
  void SqlFailed(const char* step) {
    if (Stopped()) return;
    ReportServerFailure(m_connection, step);
    m_guard.ShowMessage("Cannot execute SQL!", "Kestrel Error", MB_OK | MB_ICONEXCLAMATION);
  }

  bool Validate(SearchRequest& request) {
    if (request.m_strMask.empty()) return Refuse("You must specify a search mask!"), false;
    if (!request.m_bGetAll && request.m_nLimit <= 0)
      return Refuse("Amount to search for must be positive!"), false;
    if (!request.m_bUseBetween) return true;
    if (CountDigits(request.m_strStartDate) < kCompleteDateDigits)
      return Refuse("Start Date Incomplete!"), false;
    if (CountDigits(request.m_strEndDate) < kCompleteDateDigits) return Refuse("End Date Incomplete!"), false;
    if (!IsValidMonthDay(request.m_strStartDate)) return Refuse("Start Date Invalid"), false;
    if (!IsValidMonthDay(request.m_strEndDate)) return Refuse("End Date Invalid"), false;
    request.m_strStartBound = ToSqlDate(request.m_strStartDate);
    request.m_strEndBound = ToSqlDate(request.m_strEndDate);
    m_guard.WriteLimitAndBounds(request.m_nLimit, request.m_strStartBound, request.m_strEndBound);
    return true;
  }

  void Steps() {
    m_connection.ReleaseResult();
    SearchRequest request;
    if (!m_guard.ReadRequest(true, request)) return;
    m_guard.Repaint();
    const std::string mask = request.m_strMask;
    if (!Validate(request) || Stopped()) return;

    if (!OpenDupesDatabase(m_connection, m_guard) || Stopped()) return;

    m_guard.SetStatus("Finding number of entries matching mask");
    std::string countText;
    if (!QuerySingleValue(m_connection,
                          BuildDupesQuery(mask, request.m_strStartBound, request.m_strEndBound,
                                          request.m_nLimit, request.m_nOrder, true),
                          countText)) {
      return SqlFailed("count query");
    }
    if (Stopped()) return;
    const long long count = LeadingCount(countText);
    if (count <= 0) {
      m_guard.ShowMessage("Nothing matching your search mask was found", "Kestrel",
                          MB_OK | MB_ICONEXCLAMATION);
      return;
    }

    // A limit or a tick changed while the count ran counts from here on.
    if (!m_guard.ReadRequest(true, request)) return;
    int32_t limit = request.m_nLimit;
    if (request.m_bGetAll) limit = static_cast<int32_t>(std::min<long long>(count, INT32_MAX));
    if (limit > kRetrievalCap && count > kRetrievalCap) {
      m_guard.ShowMessage("Only retrieving up to " + std::to_string(kRetrievalCap) + " entries",
                          "Kestrel Warning", MB_OK | MB_ICONEXCLAMATION);
      limit = kRetrievalCap;
    }
    m_guard.WriteLimitAndBounds(limit, request.m_strStartBound, request.m_strEndBound);
    if (count >= kWarningThreshold && limit >= kWarningThreshold) {
      const long long n = std::min<long long>(count, limit);
      const std::string question = "The number of entries that will be retrieved is greater than 1000 (" +
                                   std::to_string(n) +
                                   " to be exact).\nThis may take some time depending on the speed of your "
                                   "connection.\nAre you sure you want to do this?";
      if (m_guard.ShowMessage(question, "Kestrel Warning", MB_YESNO | MB_ICONEXCLAMATION) != IDYES) return;
    }
    if (Stopped()) return;

    m_guard.SetStatus("Retrieving requested entries");
    SearchRequest now;
    if (!m_guard.ReadRequest(false, now)) return;
    const int order = now.m_nOrder;
    if (!QueryIntoResult(m_connection, BuildDupesQuery(mask, request.m_strStartBound, request.m_strEndBound,
                                                       limit, order, false))) {
      return SqlFailed("row query");
    }
    if (Stopped()) return;

    m_guard.DeleteAllRows();
    bool logTried = false;
    bool logging = m_guard.OpenLogIfOn([&](const std::string& path) {
      logTried = true;
      SessionLogHeader header;
      header.mask = mask;
      header.useBetween = now.m_bUseBetween;
      header.startDate = now.m_strStartDate;
      header.endDate = now.m_strEndDate;
      header.limit = limit;
      header.order = order;
      return m_log.LogSearchHeader(path, header);
    });

    // The rows go to the list in batches: one visit to the form per batch rather than per row
    // keeps the form from laying itself out two thousand times.
    int rows = 0;
    std::vector<SearchPortGuard::RowText> batch;
    auto flush = [&] {
      rows +=
          static_cast<int>(m_guard.InsertRows(rows, batch, logging, [&](const SearchPortGuard::RowText& row) {
            m_log.LogResultRow(row.first, row.second);
          }));
      batch.clear();
    };
    while (!Stopped() && (m_connection.m_row = mysql_fetch_row(m_connection.m_pResult)) != nullptr) {
      batch.emplace_back(m_connection.m_row[2] ? m_connection.m_row[2] : "",
                         m_connection.m_row[3] ? m_connection.m_row[3] : "");
      if (batch.size() == kRowBatch) flush();
    }
    if (!batch.empty()) flush();
    m_connection.ReleaseResult();
    if (Stopped()) return;

    m_guard.SetStatus("Counting total entries in database");
    std::string totalText;
    if (!QuerySingleValue(m_connection, "SELECT COUNT(*) FROM DUPES", totalText))
      return SqlFailed("total count query");
    if (Stopped()) return;

    m_guard.SetStatus("Query Completed");
    const std::string summary =
        std::to_string(rows) + " of " + countText + " items retrieved (" + totalText + " total)";
    if (logging) m_guard.WriteLogIfOn([&] { m_log.LogSearchSummary(summary); });
    m_summary = summary;
    m_guard.ShowMessage(summary, "Dupe Successful", MB_OK | MB_ICONINFORMATION);
    // The search went on without its log; say so once, after the summary.
    if (logTried && !m_log.WritesSucceeded()) {
      if (!Stopped()) ReportFailure(m_log.FailureLine());
      m_guard.ShowMessage(SessionLog::FailureText(m_log.Path()), "Kestrel Error", MB_OK | MB_ICONEXCLAMATION);
    }
  }

  void End() {
    m_connection.ReleaseResult();
    m_log.Close();
    CloseDupesDatabase(m_connection, m_guard);
    m_guard.SetStatus(m_summary.empty() ? "Idle" : m_summary);
    m_guard.SetCaption("Dupe!");
  }

  SearchPortGuard m_guard;
  DupesConnection m_connection;
  SessionLog m_log;
  std::string m_summary;
};

}  // namespace

unsigned SearchThreadProc(const SearchWorkerContext& context) {
  SearchRun(context).Run();
  return 0;
}

std::shared_ptr<WorkerRun> StartSearchWorker(SearchWorkerContext context) {
  if (!context.run) context.run = WorkerRun::Create();
  std::shared_ptr<WorkerRun> run = context.run;
  if (!WorkerRun::StartThread(run, [context = std::move(context)] { SearchThreadProc(context); }))
    return nullptr;
  return run;
}
