#include "search/SearchWorker.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "db/SearchRequest.h"
#include "db/Statements.h"
#include "platform/AsciiText.h"
#include "platform/Diagnostics.h"
#include "platform/MessageBox.h"
#include "res/Texts.h"
#include "search/FormRun.h"
#include "search/LocalSearch.h"
#include "search/RetrievalRules.h"
#include "search/SessionLog.h"

namespace {

constexpr int32_t kWarningThreshold = 1000;
constexpr int kCompleteDateDigits = 8;
constexpr size_t kRowBatch = 200;

class SearchRun : public FormRun {
 public:
  explicit SearchRun(const SearchWorkerContext& context)
      : FormRun(context, *context.form),
        m_form(*context.form),
        m_endpoints(context.endpoints),
        m_keepLocalIndex(context.keepLocalIndex) {}

  void Run() {
    Steps();
    End();
  }

 private:
  using RowText = std::pair<std::string, std::string>;  // date, directory

  // IDCANCEL when the call was dropped.
  int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) override {
    int answer = IDCANCEL;
    Visit([&] { answer = m_form.ShowMessage(text, caption, flags); });
    return answer;
  }
  // The form through its data exchange.
  bool ReadRequest() {
    return Visit([&] { m_request = m_form.ReadRequest(); });
  }

  // The stop notice of text; false, for the validation that ends there.
  bool Refuse(const char* text) {
    ShowMessage(text, kCaptionError, MB_OK | MB_ICONSTOP);
    return false;
  }

  bool Validate() {
    const SearchRequest& request = m_request;
    if (request.m_strMask.empty()) return Refuse(kTextNoMask);
    if (!request.m_bGetAll && request.m_nLimit <= 0) return Refuse(kTextNotPositive);
    if (!request.m_bUseBetween) return true;
    if (CountDigits(request.m_strStartDate) < kCompleteDateDigits) return Refuse(kTextStartIncomplete);
    if (CountDigits(request.m_strEndDate) < kCompleteDateDigits) return Refuse(kTextEndIncomplete);
    if (!IsValidMonthDay(request.m_strStartDate)) return Refuse(kTextStartInvalid);
    if (!IsValidMonthDay(request.m_strEndDate)) return Refuse(kTextEndInvalid);
    m_startBound = ToSqlDate(request.m_strStartDate);
    m_endBound = ToSqlDate(request.m_strEndDate);
    return true;
  }

  void Steps() {
    m_connection.ReleaseResult();
    if (!ReadRequest()) return;
    Visit([&] { m_form.Repaint(); });
    m_mask = m_request.m_strMask;
    m_startBound = m_request.m_strStartBound;
    m_endBound = m_request.m_strEndBound;
    if (!Validate() || Stopped()) return;
    if (!m_connection.Open(*this)) {
      if (!Stopped() && m_keepLocalIndex && OfferLocalCopy()) Answer();
      return;
    }
    if (Stopped()) return;
    // The copy answers where it can give the statements' very answer; they answer otherwise.
    if (m_keepLocalIndex) m_local.Prepare(m_connection, m_mask);
    Answer();
  }

  void Answer() {
    if (Count() && Confirm() && Fetch()) Summarise();
  }

  // Both servers down, after their message: the local copy, if one can answer, when the user
  // takes it, knowing how old it is.
  bool OfferLocalCopy() {
    if (!m_local.PrepareOffline(m_endpoints, m_mask)) return false;
    m_offline = true;
    return ShowMessage(LocalCopyQuestionText(m_local.CaughtUpText()), kCaptionKestrel,
                       MB_YESNO | MB_ICONQUESTION) == IDYES &&
           !Stopped();
  }

  // The copy failed in the middle of a search: connected, the statements take over; without a
  // server the search ends as a failed statement would.
  bool LocalFailed() {
    if (!m_offline) return false;
    if (!Stopped()) {
      ReportFailure("local index: " + m_local.Why());
      ShowMessage(kTextCannotExecute, kCaptionError, MB_OK | MB_ICONEXCLAMATION);
    }
    return true;
  }

  // A word with a letter the names cannot hold matches nothing.
  std::function<bool(const std::string&)> CanHold() const {
    return [this](const std::string& word) { return m_connection.LiteralsCanHold(word); };
  }

  // The number of entries matching; false when there is nothing to retrieve.
  bool Count() {
    SetStatus(kStatusFinding);
    const std::optional<long long> local =
        m_local.IsActive() ? m_local.Count(m_startBound, m_endBound, m_request.m_nOrder) : std::nullopt;
    if (local) {
      m_countText = std::to_string(*local);
    } else if (LocalFailed()) {
      return false;
    } else if (!m_connection.QueryCount(BuildDupesQuery(m_mask, m_startBound, m_endBound, m_request.m_nLimit,
                                                        m_request.m_nOrder, true, CanHold()),
                                        m_countText)) {
      SqlFailed("count query");
      return false;
    }
    if (Stopped()) return false;
    m_count = LeadingNumber(m_countText);
    if (m_count > 0) return true;
    ShowMessage(kTextNothingFound, kCaptionKestrel, MB_OK | MB_ICONEXCLAMATION);
    return false;
  }

  // The limit to retrieve with: capped, and confirmed when it is large.
  bool Confirm() {
    // A limit, a tick or the order changed while the count ran counts from here on; the range
    // stays the one counted.
    if (!ReadRequest()) return false;
    const RetrievalLimit limit = ChooseRetrievalLimit(m_request.m_nLimit, m_request.m_bGetAll, m_count);
    m_limit = limit.limit;
    if (limit.capped)
      ShowMessage(RetrievalCapText(kRetrievalCap), kCaptionWarning, MB_OK | MB_ICONEXCLAMATION);
    Visit([&] { m_form.WriteLimitAndBounds(m_limit, m_startBound, m_endBound); });
    if (m_count >= kWarningThreshold && m_limit >= kWarningThreshold) {
      const std::string question = LargeRetrievalText(std::min<long long>(m_count, m_limit));
      if (ShowMessage(question, kCaptionWarning, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) return false;
    }
    return !Stopped();
  }

  // The rows into the list (and the log).
  bool Fetch() {
    SetStatus(kStatusRetrievingEntries);
    std::vector<LocalEntry> local;
    if (m_local.IsActive() && m_local.Rows(m_startBound, m_endBound, m_limit, m_request.m_nOrder, local)) {
      Visit([&] { m_form.DeleteAllRows(); });
      OpenLog();
      std::vector<RowText> batch;
      for (const LocalEntry& entry : local) {
        batch.emplace_back(entry.dateStr, entry.dir);
        if (batch.size() == kRowBatch) InsertRows(batch);
      }
      if (!batch.empty()) InsertRows(batch);
      return !Stopped();
    }
    if (LocalFailed()) return false;
    if (!m_connection.Query(
            BuildDupesQuery(m_mask, m_startBound, m_endBound, m_limit, m_request.m_nOrder, false, CanHold()),
            DupeRowBounds(m_limit))) {
      SqlFailed("row query");
      return false;
    }
    if (Stopped()) return false;
    Visit([&] { m_form.DeleteAllRows(); });
    OpenLog();
    // The rows go to the list in batches: one visit to the form per batch rather than per row
    // keeps the form from laying itself out two thousand times.
    std::vector<RowText> batch;
    while (!Stopped() && m_connection.FetchRow()) {
      batch.emplace_back(m_connection.FieldText(2), m_connection.FieldText(3));
      if (batch.size() == kRowBatch) InsertRows(batch);
    }
    if (!batch.empty()) InsertRows(batch);
    if (Stopped()) return false;
    // A result cut by the server, or one it could not honestly send, ends the search here.
    if (m_connection.HasError()) {
      SqlFailed("row query");
      return false;
    }
    m_connection.ReleaseResult();
    return !Stopped();
  }

  // Opens the log while logging is on, in the same visit as the test.
  void OpenLog() {
    Visit([&] {
      if (!m_form.IsLogging()) return;
      const std::string path = m_form.LogFilePath();
      m_logTried = true;
      SessionLogHeader header;
      header.mask = m_mask;
      header.useBetween = m_request.m_bUseBetween;
      header.startDate = m_request.m_strStartDate;
      header.endDate = m_request.m_strEndDate;
      header.limit = m_limit;
      header.order = m_request.m_nOrder;
      m_logging = m_log.LogSearchHeader(path, header);
    });
  }

  // One visit: each row, then its log line while logging is on (off for good once switched
  // off); stops at the row where the run was stopped.
  void InsertRows(std::vector<RowText>& batch) {
    Visit([&] {
      for (const RowText& row : batch) {
        if (Stopped()) return;
        m_form.InsertRow(m_rows++, row.first, row.second);
        if (Stopped()) return;
        if (m_logging && !m_form.IsLogging()) m_logging = false;
        if (m_logging) m_log.LogResultRow(row.first, row.second);
      }
    });
    batch.clear();
  }

  void Summarise() {
    SetStatus(kStatusCountingTotal);
    std::string totalText;
    if (m_local.IsActive()) {
      totalText = std::to_string(m_local.Total());
    } else if (!m_connection.QueryCount(kTotalCountQuery, totalText)) {
      return SqlFailed("total count query");
    }
    if (Stopped()) return;

    SetStatus(kStatusCompleted);
    std::string summary = SummaryText(m_rows, m_countText, totalText);
    if (m_offline) summary = LocalCopySummaryText(summary, m_local.CaughtUpText());
    if (m_logging) {
      Visit([&] {
        if (m_form.IsLogging()) m_log.LogSearchSummary(summary);
      });
    }
    m_summary = summary;
    ShowMessage(summary, kCaptionSuccess, MB_OK | MB_ICONINFORMATION);
    // The search went on without its log; say so once, after the summary.
    if (m_logTried && !m_log.WritesSucceeded()) {
      if (!Stopped()) ReportFailure(m_log.FailureLine());
      ShowMessage(SessionLog::FailureText(m_log.Path()), kCaptionError, MB_OK | MB_ICONEXCLAMATION);
    }
  }

  void End() {
    m_connection.ReleaseResult();
    m_log.Close();
    m_connection.Close(*this);
    SetStatus(m_summary.empty() ? kTextIdle : m_summary);
    SetCaption(kTextDupe);
  }

  SearchFormPort& m_form;
  const DupesEndpoints m_endpoints;
  const bool m_keepLocalIndex;
  LocalSearch m_local;
  bool m_offline = false;  // answering from the copy, both servers being down
  SessionLog m_log;
  SearchRequest m_request;  // as last read from the form
  std::string m_mask;
  std::string m_startBound;  // the range this search counts and retrieves
  std::string m_endBound;
  std::string m_countText;
  long long m_count = 0;
  int32_t m_limit = 0;
  int m_rows = 0;
  bool m_logTried = false;
  bool m_logging = false;
  std::string m_summary;
};

}  // namespace

void SearchThreadProc(const SearchWorkerContext& context) {
  SearchRun(context).Run();
}

std::shared_ptr<WorkerRun> StartSearchWorker(SearchWorkerContext context) {
  std::shared_ptr<WorkerRun> run = context.run;
  return StartDupesThread(std::move(run), [context = std::move(context)] { SearchThreadProc(context); });
}
