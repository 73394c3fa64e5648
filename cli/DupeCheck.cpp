#include "cli/DupeCheck.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/Settings.h"
#include "cli/DupeOutput.h"
#include "db/SearchRequest.h"
#include "db/Statements.h"
#include "index/CheckPlan.h"
#include "index/IndexPaths.h"
#include "index/LocalIndex.h"
#include "platform/AsciiText.h"
#include "platform/Diagnostics.h"
#include "platform/MessageBox.h"
#include "res/Texts.h"
#include "search/RetrievalRules.h"

namespace {

struct Entry {
  std::string id, date, dateStr, dir;
};

// The failure lines of the connection, caught while it lives, for the run's one error line.
class CatchFailureLines {
 public:
  explicit CatchFailureLines(std::vector<std::string>& lines) {
    SetFailureSink([&lines](const std::string& line) { lines.push_back(line); });
  }
  ~CatchFailureLines() { SetFailureSink({}); }
  CatchFailureLines(const CatchFailureLines&) = delete;
  CatchFailureLines& operator=(const CatchFailureLines&) = delete;
};

}  // namespace

DupeCheck::DupeCheck(const DupeOptions& options, const DupesEndpoints& servers, std::FILE* in, std::FILE* out,
                     std::FILE* err, CopyCollationSource collations)
    : m_options(options),
      m_servers(servers),
      m_collations(std::move(collations)),
      m_in(in),
      m_out(out),
      m_err(err),
      m_connection(servers, GetDefaultLogin(), GetDefaultLogin()) {}

void DupeCheck::SetStatus(const std::string& text) {
  Verbose(text);
}

void DupeCheck::Verbose(const std::string& text) {
  if (!m_options.verbose) return;
  std::fprintf(m_err, "%s\n", DupeOutput::Shown(text).c_str());
  std::fflush(m_err);
}

int DupeCheck::ShowMessage(const std::string& text, const std::string&, unsigned) {
  std::string line = text;
  for (size_t i = 0; i < m_failureLines.size(); ++i) line += (i ? "; " : " ") + m_failureLines[i];
  m_failureLines.clear();
  // One line a run, whatever else went wrong after the first failure.
  if (!m_failed) DupeOutput::ErrorLine(m_err, line);
  m_failed = true;
  return IDOK;
}

int DupeCheck::SqlFailed(const char* step) {
  m_connection.ReportFailure(step);
  ShowMessage(kTextCannotExecute, kCaptionError, MB_OK | MB_ICONEXCLAMATION);
  return 2;
}

// The names of the arguments, each "-" replaced by the lines of standard input (LF or CR LF;
// empty lines name nothing).
bool DupeCheck::ReadNames() {
  bool readInput = false;
  for (const std::string& name : m_options.names) {
    if (name != "-") {
      m_names.push_back(name);
      continue;
    }
    if (readInput) continue;
    readInput = true;
    std::string line;
    for (int c; (c = std::fgetc(m_in)) != EOF;) {
      if (c != '\n') {
        line += static_cast<char>(c);
        continue;
      }
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) m_names.push_back(line);
      line.clear();
    }
    if (std::ferror(m_in)) {
      DupeOutput::ErrorLine(m_err, "standard input: read failed: " + ErrnoText(errno));
      return false;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) m_names.push_back(line);
  }
  return true;
}

int DupeCheck::Run() {
  if (m_options.exact && !ReadNames()) return 2;
  if (m_options.source == DupeOptions::Source::Local) return RunLocal();
  int status = 2;
  {
    CatchFailureLines catcher(m_failureLines);
    if (m_connection.Open(*this)) status = Steps();
    m_connection.ReleaseResult();
    m_connection.Close(*this);
  }
  if (m_failed) return 2;
  // The form's last status line.
  if (!m_summary.empty()) Verbose(m_summary);
  return status;
}

int DupeCheck::Steps() {
  const DupeOptions& o = m_options;
  if (o.source == DupeOptions::Source::Sync) return Sync();
  if (o.source == DupeOptions::Source::Auto)
    if (const auto status = LocalSteps()) return *status;
  // A word or name with a letter the names cannot hold would reach the server as '?': it matches
  // nothing, as in the form.
  auto canHold = [this](const std::string& text) { return m_connection.LiteralsCanHold(text); };
  std::vector<std::string> names;
  for (const std::string& name : m_names)
    if (canHold(name)) names.push_back(name);
  auto query = [&](int limit, bool countOnly) {
    return o.exact ? BuildExactDupesQuery(names, limit, o.order, countOnly)
                   : BuildDupesQuery(o.mask, o.startBound, o.endBound, limit, o.order, countOnly, canHold);
  };
  DupeOutput output(m_out, o.json);
  auto flushed = [&] {
    if (output.Flush()) return true;
    const int error = errno;
    DupeOutput::ErrorLine(m_err, "standard output: write failed: " + ErrnoText(error));
    m_failed = true;
    return false;
  };

  SetStatus(kStatusFinding);
  std::string countText;
  if (!m_connection.QueryCount(query(o.limit, true), countText)) return SqlFailed("count query");
  const long long count = LeadingNumber(countText);
  std::string totalText;
  if (o.count) {
    if (o.json) {
      SetStatus(kStatusCountingTotal);
      if (!m_connection.QueryCount(kTotalCountQuery, totalText)) return SqlFailed("total count query");
    }
    output.Count(countText, totalText);
    return !flushed() ? 2 : count > 0 ? 0 : 1;
  }
  if (count <= 0) {
    Verbose(kTextNothingFound);
    return 1;
  }

  const RetrievalLimit limit = ChooseRetrievalLimit(o.limit, o.all, count);
  if (limit.capped) Verbose(RetrievalCapText(kRetrievalCap));
  SetStatus(kStatusRetrievingEntries);
  if (!m_connection.Query(query(limit.limit, false), DupeRowBounds(limit.limit)))
    return SqlFailed("row query");
  // The whole answer first: a result the server cuts off prints nothing.
  std::vector<Entry> entries;
  while (m_connection.FetchRow()) {
    entries.push_back({m_connection.FieldText(0), m_connection.FieldText(1), m_connection.FieldText(2),
                       m_connection.FieldText(3)});
  }
  if (m_connection.HasError()) return SqlFailed("row query");
  m_connection.ReleaseResult();
  for (const Entry& e : entries) output.Entry(e.id, e.date, e.dateStr, e.dir);
  if (!flushed()) return 2;

  // The total is only shown in the summary.
  if (o.verbose) {
    SetStatus(kStatusCountingTotal);
    if (!m_connection.QueryCount(kTotalCountQuery, totalText)) return SqlFailed("total count query");
    SetStatus(kStatusCompleted);
    m_summary = SummaryText(static_cast<int>(entries.size()), countText, totalText);
  }
  return entries.empty() ? 1 : 0;
}

int DupeCheck::LocalFailed(const std::string& line) {
  if (!m_failed) DupeOutput::ErrorLine(m_err, line);
  m_failed = true;
  return 2;
}

std::optional<int> DupeCheck::LocalSteps() {
  const std::string& address = m_connection.Address();
  const std::string path = IndexFilePath(IndexFolder(), address);
  if (!m_collations.Usable() || IndexFolder().empty() || ::access(path.c_str(), F_OK) != 0)
    return std::nullopt;
  std::string why, key;
  auto fallBack = [&]() -> std::optional<int> {
    Verbose("Local copy not used: " + why);
    return std::nullopt;
  };
  // A first build takes minutes, and a broken copy is rebuilt: --sync does both, a check only
  // uses a whole, complete copy, and never removes one another process may be writing.
  auto copy = LocalIndex::OpenExisting(path, address, why);
  if (!copy) return fallBack();
  key = copy->CollationKey();
  if (!m_collations.probe(m_connection, key, why)) return fallBack();
  const auto collation = m_collations.load(key);
  if (!collation) {
    why = "the collation does not load";
    return fallBack();
  }
  SetStatus("Updating the local copy");
  if (copy->CatchUp(m_connection, key, collation->fold, why) != LocalIndex::Result::Done) return fallBack();
  auto matcher = LocalMatcherOf(*collation);
  if (!matcher) {
    why = m_options.exact ? "the names are answered by the server" : "the mask is answered by the server";
    return fallBack();
  }
  LocalAnswer answer;
  SetStatus(kStatusFinding);
  if (copy->Search(LocalQueryOf(std::move(*matcher)), answer, why) != LocalIndex::Result::Done)
    return fallBack();
  return PrintLocal(answer);
}

int DupeCheck::Sync() {
  const std::string& address = m_connection.Address();
  const std::string server =
      DescribeServer(m_connection.Address() == m_servers.m_strPrimary ? "primary" : "backup", address,
                     m_servers.m_nConnectPort);
  const std::string folder = IndexFolder();
  std::string why, key;
  auto failed = [&](const char* step) { return LocalFailed(server + ": " + step + " failed: " + why); };
  if (!MakeIndexFolder(folder, why)) return failed("local copy folder");
  auto copy = LocalIndex::Open(IndexFilePath(folder, address), address, why);
  if (!copy) return failed("local copy");
  if (!m_collations.Usable()) {
    why = "this build cannot reproduce the server's collation";
    return failed("collation probe");
  }
  key = copy->CollationKey();
  if (!m_collations.probe(m_connection, key, why)) return failed("collation probe");
  const auto collation = m_collations.load(key);
  if (!collation) {
    why = "the collation does not load";
    return failed("collation probe");
  }
  SetStatus("Updating the local copy");
  if (copy->CatchUp(m_connection, key, collation->fold, why) != LocalIndex::Result::Done)
    return failed("local copy update");
  // The checks due since the last one, as the form's background check runs them: a copy kept
  // fresh from cron also loses the rows deleted on the server and learns the changed ones.
  const long long due = CheckPlan::Due(copy->CheckedAt(), std::time(nullptr), copy->CheckCursor(),
                                       copy->Rows(), copy->HighestId());
  long long checked = 0, mended = 0;
  for (; checked < due; ++checked) {
    RangeCheck report;
    const LocalIndex::Result result = copy->CheckNextRange(m_connection, collation->fold, report, why);
    if (result == LocalIndex::Result::Failed) return failed("local copy check");
    if (result == LocalIndex::Result::Fallback) break;
    mended += report.mended;
  }
  Verbose("Local copy of " + server + ": " + std::to_string(copy->Rows()) + " entries; " +
          std::to_string(checked) + " ranges checked, " + std::to_string(mended) + " mended");
  return 0;
}

int DupeCheck::RunLocal() {
  const std::string folder = IndexFolder();
  std::string whyPrimary, whyBackup, why;
  std::unique_ptr<LocalIndex> copy;
  std::string server;
  for (const auto& [address, reason] :
       {std::pair{m_servers.m_strPrimary, &whyPrimary}, std::pair{m_servers.m_strBackup, &whyBackup}}) {
    if (folder.empty()) {
      *reason = "no cache folder (neither XDG_CACHE_HOME nor HOME is set)";
      break;
    }
    copy = LocalIndex::OpenExisting(IndexFilePath(folder, address), address, *reason);
    if (copy) {
      server = address;
      break;
    }
  }
  if (!copy) return LocalFailed("no usable local copy: " + whyPrimary + "; " + whyBackup);
  const auto collation = m_collations.load ? m_collations.load(copy->CollationKey()) : std::nullopt;
  if (!collation)
    return LocalFailed("local copy of " + server + ": its collation does not load in this build");
  auto matcher = LocalMatcherOf(*collation);
  if (!matcher)
    return LocalFailed("local copy of " + server + ": the " + (m_options.exact ? "names" : "mask") +
                       " cannot be answered without the server");
  LocalAnswer answer;
  SetStatus(kStatusFinding);
  if (copy->Search(LocalQueryOf(std::move(*matcher)), answer, why) != LocalIndex::Result::Done)
    return LocalFailed("local copy of " + server + ": search failed: " + why);
  const int status = PrintLocal(answer);
  if (!m_summary.empty()) Verbose(m_summary);
  return status;
}

std::optional<LocalMatcher> DupeCheck::LocalMatcherOf(const CopyCollation& collation) const {
  if (!m_options.exact) return collation.compile(m_options.mask);
  if (!collation.compileExact) return std::nullopt;
  return collation.compileExact(m_names);
}

LocalQuery DupeCheck::LocalQueryOf(LocalMatcher matcher) const {
  LocalQuery query;
  query.matcher = std::move(matcher);
  // The names' statement has no date range.
  if (!m_options.exact) {
    query.startBound = m_options.startBound;
    query.endBound = m_options.endBound;
  }
  query.limit = m_options.all ? kRetrievalCap : std::min(m_options.limit, kRetrievalCap);
  query.order = m_options.order;
  return query;
}

int DupeCheck::PrintLocal(const LocalAnswer& answer) {
  const DupeOptions& o = m_options;
  DupeOutput output(m_out, o.json);
  const std::string countText = std::to_string(answer.count);
  const std::string totalText = std::to_string(answer.total);
  if (o.count) {
    output.Count(countText, o.json ? totalText : std::string());
  } else if (answer.count <= 0) {
    Verbose(kTextNothingFound);
    return 1;
  } else {
    const RetrievalLimit limit = ChooseRetrievalLimit(o.limit, o.all, answer.count);
    if (limit.capped) Verbose(RetrievalCapText(kRetrievalCap));
    SetStatus(kStatusRetrievingEntries);
    const size_t shown = std::min(answer.rows.size(), static_cast<size_t>(std::max(limit.limit, 0)));
    for (size_t i = 0; i < shown; ++i) {
      const LocalEntry& e = answer.rows[i];
      output.Entry(e.id, e.date, e.dateStr, e.dir);
    }
    if (o.verbose) {
      SetStatus(kStatusCountingTotal);
      SetStatus(kStatusCompleted);
      m_summary = SummaryText(static_cast<int>(shown), countText, totalText);
    }
  }
  if (!output.Flush()) {
    DupeOutput::ErrorLine(m_err, "standard output: write failed: " + ErrnoText(errno));
    m_failed = true;
    return 2;
  }
  if (o.count) return answer.count > 0 ? 0 : 1;
  return answer.rows.empty() ? 1 : 0;
}
