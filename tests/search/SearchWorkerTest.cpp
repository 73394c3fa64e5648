#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "db/DupesConnection.h"
#include "platform/MessageBox.h"
#include "search/SearchWorker.h"
#include "tests/support/FailureLines.h"
#include "tests/support/FakeDbServer.h"
#include "tests/support/LoopbackAddress.h"
#include "tests/support/RecordingSearchPort.h"
#include "tests/support/SharedDbServer.h"
#include "tests/support/SilentListener.h"
#include "tests/support/TempDir.h"

namespace {

using Texts = std::vector<std::string>;

SharedDbServer sharedPrimary("primary", [](TestDbServer& s) {
  s.AddGeneratedDupes(57, "Alpha");
  s.AddGeneratedDupes(3000, "Bulk");
  s.AddGeneratedDupes(1500, "Mid");
  s.AddGeneratedDupes(1000, "Thousand");
  s.AddGeneratedDupes(999, "Under");
});

// For the cases that load rows of their own: a latin1 table and one to convert to utf8mb4.
SharedDbServer scratch("scratch");
SharedDbServer scratchUnicode("scratchUnicode");

struct Servers {
  TestDbServer& primary = *sharedPrimary;
  LoopbackAddress refused;
  SilentListener silent;
  std::string total = primary.QueryValue("SELECT COUNT(*) FROM DUPES");
};

Servers& S() {
  static Servers servers;
  return servers;
}

const std::string kStop = std::to_string(MB_OK | MB_ICONSTOP);

std::string Refusal(const std::string& text) {
  return "Kestrel Error|" + FlagsHex(MB_OK | MB_ICONSTOP) + "|" + text;
}

std::string Question(int n) {
  return "Kestrel Warning|" + FlagsHex(MB_YESNO | MB_ICONEXCLAMATION) +
         "|The number of entries that will be retrieved is greater than 1000 (" + std::to_string(n) +
         " to be exact).\nThis may take some time depending on the speed of your connection.\nAre you sure "
         "you "
         "want to do this?";
}

const std::string kCap =
    "Kestrel Warning|" + FlagsHex(MB_OK | MB_ICONEXCLAMATION) + "|Only retrieving up to 2000 entries";

std::string Success(const std::string& summary) {
  return "Dupe Successful|" + FlagsHex(MB_OK | MB_ICONINFORMATION) + "|" + summary;
}

SearchRequest Request(const std::string& mask, int limit = 20, bool all = false, int order = 1) {
  SearchRequest r;
  r.m_strMask = mask;
  r.m_nLimit = limit;
  r.m_bGetAll = all;
  r.m_nOrder = order;
  return r;
}

class SearchWorkerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitDupesLibrary();
    S();
  }

  void SetUp() override { port = std::make_shared<RecordingSearchPort>(); }

  SearchWorkerContext Context(const std::string& primary = "", const std::string& backup = "") {
    SearchWorkerContext c;
    c.link = port;
    c.form = port.get();
    c.endpoints.m_strPrimary = primary.empty() ? S().primary.address() : primary;
    c.endpoints.m_strBackup = backup.empty() ? S().refused.address() : backup;
    c.loginId = "ZEBRANO";
    c.password = "ZEBRANO";
    return c;
  }

  // The whole search on this thread.
  void RunSearch(const SearchRequest& request) {
    port->SetInputs(request);
    SearchThreadProc(Context());
  }

  // On a worker thread, as the form starts it; waits for its end.
  std::shared_ptr<WorkerRun> RunThreaded(SearchWorkerContext context, int milliseconds = 20000) {
    auto run = StartSearchWorker(std::move(context));
    EXPECT_TRUE(run->WaitFinished(milliseconds));
    return run;
  }

  Texts Statuses() { return port->EventsOf("status:"); }
  Texts Messages() { return port->EventsOf("message:"); }
  Texts Rows() { return port->EventsOf("row:"); }

  // A search for mask on server alone, with a fresh recording.
  void SearchOn(TestDbServer& server, const std::string& mask) {
    port = std::make_shared<RecordingSearchPort>();
    port->SetInputs(Request(mask));
    SearchThreadProc(Context(server.address()));
  }
  // rows on a latin1 and on a utf8mb4 table, and unicodeOnly on the second alone.
  static void LoadBothCharsets(TestDbServer& latin1, TestDbServer& unicode,
                               const std::vector<DupeSample>& rows, const DupeSample& unicodeOnly) {
    unicode.Execute("ALTER TABLE DUPES CONVERT TO CHARACTER SET utf8mb4");
    latin1.AddDupes(rows);
    unicode.AddDupes(rows);
    unicode.AddDupes({unicodeOnly});
  }
  static Texts NothingFound() {
    return {"Kestrel|" + FlagsHex(MB_OK | MB_ICONEXCLAMATION) +
            "|Nothing matching your search mask was found"};
  }

  std::shared_ptr<RecordingSearchPort> port;
};

}  // namespace

TEST_F(SearchWorkerTest, RefusedRequestsShowOneMessageAndTouchNoServer) {
  struct Case {
    SearchRequest request;
    std::string message;
  };
  auto between = [](const std::string& from, const std::string& to) {
    SearchRequest r = Request("Alpha.");
    r.m_bUseBetween = true;
    r.m_strStartDate = from;
    r.m_strEndDate = to;
    return r;
  };
  const Case cases[] = {
      {Request(""), "You must specify a search mask!"},
      {Request("Alpha.", 0), "Amount to search for must be positive!"},
      {Request("Alpha.", -5), "Amount to search for must be positive!"},
      // Every digit count comes before any validity check.
      {between("12/3_/1998", "13/01/1998"), "Start Date Incomplete!"},
      {between("12/31/1998", "__/__/____"), "End Date Incomplete!"},
      {between("13/01/1998", "00/01/1998"), "Start Date Invalid"},
      {between("02/30/1998", "10/32/1998"), "End Date Invalid"},
  };
  for (const Case& k : cases) {
    port = std::make_shared<RecordingSearchPort>();
    RunSearch(k.request);
    EXPECT_EQ(Messages(), Texts{Refusal(k.message)}) << k.message;
    EXPECT_EQ(Statuses(), Texts{"Idle"}) << k.message;
    EXPECT_EQ(port->EventsOf("caption:"), Texts{"Dupe!"});
    EXPECT_TRUE(port->EventsOf("write:").empty());
  }
  // "Retrieve All" skips the limit check: the run goes on to the servers.
  port = std::make_shared<RecordingSearchPort>();
  port->SetInputs(Request("Alpha.", 0, true));
  SearchThreadProc(Context(S().refused.address(), S().refused.address()));
  EXPECT_EQ(Messages(),
            Texts{"Kestrel Error|" + FlagsHex(MB_OK | MB_ICONEXCLAMATION) + "|Neither database available!"});
  EXPECT_EQ(Statuses(),
            (Texts{"Testing Database Availability", "Testing Backup Database Availability", "Idle"}));
}

TEST_F(SearchWorkerTest, SuccessfulSearchShowsEveryStepRowsInOrderAndTheSummary) {
  for (int order : {1, 0}) {
    port = std::make_shared<RecordingSearchPort>();
    RunSearch(Request("Alpha.", 20, false, order));
    const std::string summary = "20 of 57 items retrieved (" + S().total + " total)";
    EXPECT_EQ(Statuses(), (Texts{"Testing Database Availability", "Connecting to Database",
                                 "Finding number of entries matching mask", "Retrieving requested entries",
                                 "Counting total entries in database", "Query Completed",
                                 "Disconnecting from database", summary}));
    EXPECT_EQ(Messages(), Texts{Success(summary)});
    EXPECT_EQ(port->EventsOf("caption:"), Texts{"Dupe!"});
    const std::string expected = S().primary.QueryValue(
        "SELECT GROUP_CONCAT(CONCAT(i, ' ', DUPES_DATE_STR, ' ', DUPES_DIR) ORDER BY i SEPARATOR '|') FROM "
        "(SELECT ROW_NUMBER() OVER (ORDER BY " +
        std::string(order == 1 ? "DUPES_DATE DESC, DUPES_ID DESC" : "DUPES_DATE, DUPES_ID") +
        ") - 1 AS i, DUPES_DATE_STR, DUPES_DIR FROM DUPES WHERE DUPES_DIR LIKE '%Alpha.%') t WHERE i < 20");
    std::string got;
    for (const auto& row : Rows()) got += (got.empty() ? "" : "|") + row;
    EXPECT_EQ(got, expected) << "order " << order;
    // The list is emptied once, right before the rows.
    Texts events = port->Events();
    auto clear = std::find(events.begin(), events.end(), "clear");
    ASSERT_NE(clear, events.end());
    EXPECT_EQ(std::count(events.begin(), events.end(), "clear"), 1);
    EXPECT_EQ(std::find_if(events.begin(), events.end(),
                           [](const std::string& e) { return e.rfind("row:", 0) == 0; }),
              clear + 1 + std::count(clear, events.end(), "logging?"));
  }
  EXPECT_TRUE(S().primary.WaitGuestConnections(0, 3000));
}

TEST_F(SearchWorkerTest, CapAndQuestionFollowCountAndLimit) {
  struct Case {
    SearchRequest request;
    Texts messagesBefore;  // before the summary
    int rows;
    std::string countText;
  };
  const Case cases[] = {
      {Request("Bulk.", 20, true), {kCap, Question(2000)}, 2000, "3000"},
      {Request("Bulk.", 2500), {kCap, Question(2000)}, 2000, "3000"},
      {Request("Mid.", 5000), {Question(1500)}, 1500, "1500"},
      {Request("Thousand.", 1000), {Question(1000)}, 1000, "1000"},
      {Request("Under.", 5000), {}, 999, "999"},
      {Request("Bulk.", 999), {}, 999, "3000"},
  };
  for (const Case& k : cases) {
    port = std::make_shared<RecordingSearchPort>();
    RunSearch(k.request);
    Texts expected = k.messagesBefore;
    const std::string summary =
        std::to_string(k.rows) + " of " + k.countText + " items retrieved (" + S().total + " total)";
    expected.push_back(Success(summary));
    EXPECT_EQ(Messages(), expected) << k.request.m_strMask << " " << k.request.m_nLimit;
    EXPECT_EQ(Rows().size(), static_cast<size_t>(k.rows));
  }
}

TEST_F(SearchWorkerTest, RetrieveAllKeepsTheCountAsTheLimitUsed) {
  RunSearch(Request("Alpha.", 20, true));
  EXPECT_EQ(port->EventsOf("write:"), Texts{"57||"});
  EXPECT_EQ(Rows().size(), 57u);
}

TEST_F(SearchWorkerTest, AnsweringNoOrFindingNothingLeavesTheListAlone) {
  port->ScriptAnswers({IDNO});
  RunSearch(Request("Bulk.", 20, true));
  EXPECT_EQ(Messages(), (Texts{kCap, Question(2000)}));
  const Texts events = port->Events();
  EXPECT_EQ(std::count(events.begin(), events.end(), "clear"), 0);
  Texts statuses = Statuses();
  EXPECT_EQ(Texts(statuses.end() - 2, statuses.end()), (Texts{"Disconnecting from database", "Idle"}));

  port = std::make_shared<RecordingSearchPort>();
  RunSearch(Request("NoSuchRelease"));
  EXPECT_EQ(Messages(), Texts{"Kestrel|" + FlagsHex(MB_OK | MB_ICONEXCLAMATION) +
                              "|Nothing matching your search mask was found"});
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(Statuses().back(), "Idle");

  // Unbalanced brackets: the server rejects the count.
  port = std::make_shared<RecordingSearchPort>();
  RunSearch(Request("(Alpha."));
  EXPECT_EQ(Messages(),
            Texts{"Kestrel Error|" + FlagsHex(MB_OK | MB_ICONEXCLAMATION) + "|Cannot execute SQL!"});
  EXPECT_EQ(Statuses(),
            (Texts{"Testing Database Availability", "Connecting to Database",
                   "Finding number of entries matching mask", "Disconnecting from database", "Idle"}));
}

TEST_F(SearchWorkerTest, InputsAreReadAgainAfterTheCount) {
  port->OnEvent([&](const std::string& e) {
    if (e == "status:Finding number of entries matching mask") {
      SearchRequest r = port->Inputs();
      r.m_nLimit = 3;
      port->SetInputs(r);
    }
  });
  RunSearch(Request("Alpha.", 20));
  EXPECT_EQ(Rows().size(), 3u);
  EXPECT_EQ(Statuses().back(), "3 of 57 items retrieved (" + S().total + " total)");
}

TEST_F(SearchWorkerTest, DateRangeBoundsReachTheQueryAndTheForm) {
  SearchRequest r = Request("Bulk.", 2000);
  r.m_bUseBetween = true;
  r.m_strStartDate = "02/01/1997";
  r.m_strEndDate = "03/15/1997";
  RunSearch(r);
  const std::string count = S().primary.QueryValue(
      "SELECT COUNT(*) FROM DUPES WHERE DUPES_DIR LIKE '%Bulk.%' AND DUPES_DATE BETWEEN '1997-02-01' AND "
      "'1997-03-15'");
  ASSERT_NE(count, "0");
  EXPECT_EQ(port->EventsOf("write:"), Texts{"2000|1997-02/01|1997-03/15"});
  EXPECT_EQ(std::to_string(Rows().size()), count);
}

TEST_F(SearchWorkerTest, SessionLogGetsHeaderRowsAndSummaryAndStopsWhenSwitchedOff) {
  TempDir dir;
  const std::string path = dir.file("session.log");
  port->SetLogging(true, path);
  RunSearch(Request("Alpha.", 2));
  const Texts rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  auto line = [](const std::string& row) { return "  " + row.substr(row.find(' ') + 1) + "\r\n"; };
  const std::string summary = "2 of 57 items retrieved (" + S().total + " total)";
  EXPECT_EQ(ReadWholeFile(path),
            "-------------------------------------\r\nLog Open\r\nSearch Mask: Alpha.\r\n"
            "Items to Return: 2\r\nOrder: Last to First\r\n" +
                line(rows[0]) + line(rows[1]) + summary + "\r\n");

  // Switched off after the first row was listed: no further line, no summary.
  const std::string before = ReadWholeFile(path);
  port = std::make_shared<RecordingSearchPort>();
  port->SetLogging(true, path);
  port->OnEvent([&](const std::string& e) {
    if (e.rfind("row:0 ", 0) == 0) port->SetLogging(false);
  });
  RunSearch(Request("Alpha.", 5));
  EXPECT_EQ(Rows().size(), 5u);
  const std::string added = ReadWholeFile(path).substr(before.size());
  EXPECT_EQ(added,
            "-------------------------------------\r\nLog Open\r\nSearch Mask: Alpha.\r\n"
            "Items to Return: 5\r\nOrder: Last to First\r\n");

  // No match writes nothing.
  port = std::make_shared<RecordingSearchPort>();
  port->SetLogging(true, path);
  const std::string size = ReadWholeFile(path);
  RunSearch(Request("NoSuchRelease"));
  EXPECT_EQ(ReadWholeFile(path), size);
}

TEST_F(SearchWorkerTest, UnwritableLogStillListsAndSaysSoOnceAfterTheSummary) {
  TempDir dir;
  const std::string path = dir.file("missing-folder/session.log");
  port->SetLogging(true, path);
  FailureLines lines;
  RunSearch(Request("Alpha.", 3));
  EXPECT_EQ(lines.Take(),
            Texts{"session log " + path + ": open failed: No such file or directory (errno 2)"});
  EXPECT_EQ(Rows().size(), 3u);
  const Texts messages = port->EventsOf("message:");
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].substr(0, messages[0].find('|')), "Dupe Successful");
  EXPECT_EQ(messages[1],
            "Kestrel Error|" + FlagsHex(MB_OK | MB_ICONEXCLAMATION) + "|Cannot write to log file " + path);

  // Logging off: no such message.
  port = std::make_shared<RecordingSearchPort>();
  RunSearch(Request("Alpha.", 3));
  EXPECT_EQ(port->EventsOf("message:").size(), 1u);
}

// A letter the table's character set cannot hold matches nothing instead of failing the
// statement; the letters it can hold match and come back whole.
TEST_F(SearchWorkerTest, MasksMatchWhatTheTablesCharacterSetCanHold) {
  TestDbServer& latin1 = scratch.Fresh();
  TestDbServer& unicode = scratchUnicode.Fresh();
  LoadBothCharsets(latin1, unicode,
                   {{"1998-02-05", "020598", "Café.Straße-GRP"}, {"1998-02-06", "020698", "Plain-GRP"}},
                   {"1998-02-07", "020798", "Łódź.Дом.中文.😀-GRP"});
  for (const char* mask : {"łódź", "д", "中", "😀"}) {
    SearchOn(latin1, mask);
    EXPECT_EQ(Messages(), NothingFound()) << mask;
    SearchOn(unicode, mask);
    EXPECT_EQ(Rows(), Texts{"0 020798 Łódź.Дом.中文.😀-GRP"}) << mask;
  }
  SearchOn(latin1, "łódź | CAFÉ & straße");
  EXPECT_EQ(Rows(), Texts{"0 020598 Café.Straße-GRP"});
  SearchOn(unicode, "łódź | CAFÉ & straße");
  EXPECT_EQ(Rows(), (Texts{"0 020798 Łódź.Дом.中文.😀-GRP", "1 020598 Café.Straße-GRP"}));
}

// The server would turn such a letter into '?': the word must not then match the names that
// hold a real '?'. Letters of the table's set still match, a Unicode table's too.
TEST_F(SearchWorkerTest, AWordTheTableCannotHoldMatchesNoQuestionMark) {
  TestDbServer& latin1 = scratch.Fresh();
  TestDbServer& unicode = scratchUnicode.Fresh();
  LoadBothCharsets(
      latin1, unicode,
      {{"1998-02-05", "020598", "What?.Now-GRP"}, {"1998-02-06", "020698", "Price.\xe2\x82\xac.Only-GRP"}},
      {"1998-02-07", "020798", "\xc5\x81?dz-GRP"});
  for (const char* mask : {"\xc5\x82", "What\xc5\x82", "*\xc5\x82*", "What? \xc5\x82"}) {
    SearchOn(latin1, mask);
    EXPECT_EQ(Messages(), NothingFound()) << mask;
  }
  SearchOn(latin1, "\xc5\x82 | What?");
  EXPECT_EQ(Rows(), Texts{"0 020598 What?.Now-GRP"});
  SearchOn(latin1, "\xe2\x82\xac");
  EXPECT_EQ(Rows(), Texts{"0 020698 Price.\xe2\x82\xac.Only-GRP"});
  SearchOn(unicode, "\xc5\x82? | Price.\xe2\x82\xac");
  EXPECT_EQ(Rows(), (Texts{"0 020798 \xc5\x81?dz-GRP", "1 020698 Price.\xe2\x82\xac.Only-GRP"}));
}

TEST_F(SearchWorkerTest, ServerKilledWhileAnsweringGivesOneSqlMessage) {
  TestDbServer doomed;
  doomed.AddGeneratedDupes(50, "Doomed");
  std::thread killer;
  port->OnEvent([&](const std::string& e) {
    if (e == "status:Retrieving requested entries") {
      doomed.Pause();
      killer = std::thread([&] { doomed.Kill(); });
    }
  });
  port->SetInputs(Request("Doomed.", 20));
  FailureLines lines;
  RunThreaded(Context(doomed.address()));
  killer.join();
  EXPECT_EQ(Messages(),
            Texts{"Kestrel Error|" + FlagsHex(MB_OK | MB_ICONEXCLAMATION) + "|Cannot execute SQL!"});
  // The client library's own number for a lost server: 2006 or 2013.
  const Texts got = lines.Take();
  ASSERT_EQ(got.size(), 1u);
  const std::string head = "primary server " + doomed.address() + ":3306: row query failed: MySQL error 20";
  EXPECT_EQ(got[0].substr(0, head.size()), head) << got[0];
  EXPECT_TRUE(Rows().empty());
  Texts statuses = Statuses();
  EXPECT_EQ(Texts(statuses.end() - 2, statuses.end()), (Texts{"Disconnecting from database", "Idle"}));
}

// Cancel handled between two port calls, at each step: nothing reaches the form afterwards and
// the server's connection count returns to where it was.
TEST_F(SearchWorkerTest, CancelAtEveryStepEndsTheRunSilently) {
  const Texts steps = {"status:Testing Database Availability",
                       "status:Connecting to Database",
                       "exchange",
                       "status:Finding number of entries matching mask",
                       "message:" + kCap,
                       "message:" + Question(2000),
                       "status:Retrieving requested entries",
                       "clear",
                       "row:5",
                       "status:Counting total entries in database",
                       "status:Query Completed",
                       "message:Dupe Successful"};
  TempDir dir;
  const int baseline = S().primary.GuestConnections();
  FailureLines lines;
  for (const std::string& step : steps) {
    port = std::make_shared<RecordingSearchPort>();
    const std::string logPath = dir.file("cancel" + std::to_string(&step - &steps[0]) + ".log");
    port->SetLogging(true, logPath);
    auto context = Context();
    auto run = context.run;
    bool cancelled = false;
    port->OnEvent([&, raw = port.get()](const std::string& e) {
      if (!cancelled && e.rfind(step, 0) == 0) {
        cancelled = true;
        raw->Cancel(*run);
      }
    });
    port->SetInputs(Request("Bulk.", 20, true));
    RunThreaded(context);
    EXPECT_TRUE(cancelled) << step;
    // Only the rest of the visit in progress (a status line's repaint) may follow.
    const Texts events = port->Events();
    const auto cancel = std::find(events.begin(), events.end(), "cancel");
    ASSERT_NE(cancel, events.end()) << step;
    EXPECT_TRUE(Texts(cancel + 1, events.end()) == Texts{} ||
                Texts(cancel + 1, events.end()) == Texts{"repaint"})
        << step << ": " << events.back();
    EXPECT_TRUE(S().primary.WaitGuestConnections(baseline, 3000)) << step;
    port->OnEvent(nullptr);
    const std::string log = ReadWholeFile(logPath);
    if (step != "message:Dupe Successful") {
      EXPECT_EQ(log.find("items retrieved"), std::string::npos) << step;
    }
    if (step == "row:5") {
      EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 5 + 5) << "header and rows 0-4";
    }
    EXPECT_EQ(lines.Take(), Texts{}) << step << ": a stopped run reports no failure";
  }
}

TEST_F(SearchWorkerTest, CancelWakesAWorkerBlockedInTheProbeOrInAQuery) {
  {
    // A probe that would wait ten minutes: finishing within a minute is the wake-up at work.
    port->SetInputs(Request("Alpha."));
    SearchWorkerContext context = Context(S().silent.address());
    context.endpoints.m_nProbeSeconds = 600;
    auto run = StartSearchWorker(std::move(context));
    ASSERT_TRUE(port->WaitFor("status:Testing Database Availability", 5000));
    port->Cancel(*run);
    EXPECT_TRUE(run->WaitFinished(60000));
    EXPECT_EQ(port->Events().back(), "cancel");
  }
  {
    port = std::make_shared<RecordingSearchPort>();
    port->OnEvent([&](const std::string& e) {
      if (e == "status:Finding number of entries matching mask") S().primary.Pause();
    });
    port->SetInputs(Request("Alpha."));
    auto run = StartSearchWorker(Context());
    ASSERT_TRUE(port->WaitFor("status:Finding number of entries matching mask", 5000));
    EXPECT_TRUE(run->IsConnected());
    port->Cancel(*run);
    // The read time-out is ten minutes.
    const bool finished = run->WaitFinished(60000);
    S().primary.Resume();
    EXPECT_TRUE(finished);
    EXPECT_TRUE(run->WaitFinished(5000));
    EXPECT_FALSE(run->IsConnected());
    EXPECT_EQ(port->Events().back(), "cancel");
    EXPECT_TRUE(S().primary.WaitGuestConnections(0, 3000));
  }
}

TEST_F(SearchWorkerTest, StopAllWakesEveryWorker) {
  std::vector<std::shared_ptr<WorkerRun>> runs;
  std::vector<std::shared_ptr<RecordingSearchPort>> ports;
  for (int i = 0; i < 2; ++i) {
    ports.push_back(std::make_shared<RecordingSearchPort>());
    port = ports.back();
    port->SetInputs(Request("Alpha."));
    SearchWorkerContext context = Context(S().silent.address(), S().silent.address());
    context.endpoints.m_nProbeSeconds = 600;
    runs.push_back(StartSearchWorker(std::move(context)));
    ASSERT_TRUE(port->WaitFor("status:Testing Database Availability", 5000));
  }
  WorkerRun::StopAll();
  for (auto& run : runs) EXPECT_TRUE(run->WaitFinished(60000));
  for (auto& p : ports) EXPECT_EQ(p->EventsOf("message:").size(), 0u);
}

// A server that ignores the statement's bounds: the search ends with the SQL message as soon as
// a row or field breaks them, and no more rows than asked for reach the list or the log.
TEST_F(SearchWorkerTest, AServerSendingWhatNoHonestOneCouldEndsWithTheSqlMessage) {
  struct Case {
    const char* name;
    std::string count;  // the answer to both counts
    size_t rows;
    std::string directory;
    std::string failure;  // the end of the failure line
  };
  const std::vector<Case> cases = {
      {"flood", "3", 200000, "Flood",
       "row query failed: the server sent more rows than the statement asks for"},
      {"long name", "3", 3, std::string(2000, 'L'),
       "row query failed: the server sent a field longer than its column holds"},
      {"huge packet", "3", 3, std::string(2 << 20, 'H'), "row query failed: MySQL error "},
      {"markup count", "3<b>x</b>", 3, "Fine",
       "count query failed: the server sent a count that is not a number"},
  };
  // Read by the server's threads, which may still be sending a case the client has left.
  std::atomic<const Case*> now{&cases[0]};
  FakeDbServer fake([&](const std::string& query) {
    const Case* c = now;
    if (query.rfind("SELECT COUNT(*)", 0) == 0) return FakeDbServer::Rows({"c"}, {{c->count}});
    return FakeDbServer::Generated({"i", "d", "s", "n"}, c->rows, [c](size_t i) {
      return FakeDbServer::Row{std::to_string(i), "2001-01-01", "01-01-01", c->directory};
    });
  });
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    now = &c;
    port = std::make_shared<RecordingSearchPort>();
    port->SetLogging(true, dir.file("session.log"));
    port->SetInputs(Request("Flood", 20));
    FailureLines lines;
    SearchThreadProc(Context(fake.address()));
    EXPECT_LE(Rows().size(), 20u);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0],
              "Kestrel Error|" + FlagsHex(MB_OK | MB_ICONEXCLAMATION) + "|Cannot execute SQL!");
    const Texts failures = lines.Take();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find(c.failure), std::string::npos) << failures[0];
  }
  EXPECT_LT(ReadWholeFile(dir.file("session.log")).size(), 20000u);

  // A name cannot forge a line of the log or reach a terminal's controls: one row, one line.
  const Case forged{"forged", "3", 1, "Evil\x1b[31m\a\r\n  01-01-99 Forged.Log.Line-GRP", ""};
  now = &forged;
  port = std::make_shared<RecordingSearchPort>();
  port->SetLogging(true, dir.file("forged.log"));
  port->SetInputs(Request("Evil", 20));
  SearchThreadProc(Context(fake.address()));
  const std::string log = ReadWholeFile(dir.file("forged.log"));
  EXPECT_NE(
      log.find("\r\n  01-01-01 Evil\\x1b[31m\\x07\\x0d\\x0a  01-01-99 Forged.Log.Line-GRP\r\n1 of 3 items"),
      std::string::npos)
      << log;
}

TEST_F(SearchWorkerTest, AServersErrorTextReachesStandardErrorWithoutItsTerminalCommands) {
  // A terminal title, then hidden text to the end of the screen: both written out, neither obeyed.
  FakeDbServer fake(
      [](const std::string&) { return FakeDbServer::Error("Gone\x1b]0;owned\x07\x1b[8m\r\nhidden"); });
  port->SetInputs(Request("Evil", 20));
  FailureLines lines;
  SearchThreadProc(Context(fake.address()));
  const Texts failures = lines.Take();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("count query failed: "), std::string::npos) << failures[0];
  EXPECT_NE(failures[0].find("Gone\\x1b]0;owned\\x07\\x1b[8m\\x0d\\x0ahidden"), std::string::npos)
      << failures[0];
}
