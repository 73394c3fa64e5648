#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "db/DupesConnection.h"
#include "search/StatisticsCheck.h"
#include "tests/support/EventRecorder.h"
#include "tests/support/FailureLines.h"
#include "tests/support/FakeDbServer.h"
#include "tests/support/LoopbackAddress.h"
#include "tests/support/SharedDbServer.h"
#include "tests/support/SilentListener.h"

namespace {

using Texts = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

// Records every report as "status:<text>", "<control id>:<text>" or "done", optionally into a
// log shared by several checks (with a tag), so their interleaving can be read.
class RecordingSink : public StatisticsPort, public UiLink {
 public:
  explicit RecordingSink(std::shared_ptr<EventRecorder> log = std::make_shared<EventRecorder>(),
                         std::string tag = "")
      : m_log(std::move(log)), m_tag(std::move(tag)) {}

  void SetStatus(const std::string& text) override { Record("status:" + text); }
  void SetField(int id, const std::string& text) override { Record(std::to_string(id) + ":" + text); }
  void CheckDone() override { Record("done"); }

  // Called on the check's thread, inside the report, after it was recorded.
  std::function<void(const std::string&)> hook;

  Texts Events() { return m_log->Events(); }
  bool WaitFor(const std::string& event, int milliseconds) {
    return m_log->WaitFor(m_tag + event, milliseconds);
  }

 private:
  void Record(const std::string& event) {
    m_log->Record(m_tag + event);
    if (hook) hook(event);
  }

  std::shared_ptr<EventRecorder> m_log;
  std::string m_tag;
};

Texts Connected(const std::string& server, int firstId, const std::string& update, const std::string& count) {
  const std::string id = std::to_string(firstId);
  return {"status:Testing " + server + " Database",       id + ":YES",
          "status:Connecting to " + server + " Database", "status:Checking Last Update",
          std::to_string(firstId + 1) + ":" + update,     "status:Counting Entries",
          std::to_string(firstId + 2) + ":" + count};
}

Texts NoAnswer(const std::string& server, int firstId) {
  return {"status:Testing " + server + " Database", std::to_string(firstId) + ":NO",
          std::to_string(firstId + 1) + ":N/A", std::to_string(firstId + 2) + ":N/A"};
}

Texts LoginRefused(const std::string& server, int firstId) {
  return {"status:Testing " + server + " Database",       std::to_string(firstId) + ":YES",
          "status:Connecting to " + server + " Database", std::to_string(firstId) + ":NO",
          std::to_string(firstId + 1) + ":N/A",           std::to_string(firstId + 2) + ":N/A"};
}

Texts Join(std::initializer_list<Texts> parts) {
  Texts all;
  for (const Texts& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const Texts kDone = {"status:Done", "done"};

SharedDbServer sharedPrimary("primary", [](TestDbServer& s) {
  s.AddGeneratedDupes(42, "Primary");
  // Spaces and an "@" of their own: the texts must come through untouched.
  s.SetLastUpdate(" 2024-03-01 ", "@ 12:34:56 ");
});
SharedDbServer sharedBackup("backup", [](TestDbServer& s) {
  s.AddGeneratedDupes(7, "Backup");
  s.SetLastUpdate("Jan 5 2001", "23:59");
});

// Cases that turn the guest away, and one that stalls a server for a while.
SharedDbServer sharedRefusing("refusing", {}, TestDbServer::Guest::Missing);
SharedDbServer sharedNoRights("noRights", {}, TestDbServer::Guest::NoRights);
SharedDbServer sharedStalling("stalling");
// For a case that changes the tables.
SharedDbServer scratch("scratch");

struct Servers {
  TestDbServer& primary = *sharedPrimary;
  TestDbServer& backup = *sharedBackup;
};

Servers& S() {
  static Servers servers;
  return servers;
}

StatisticsCheckContext Context(const std::shared_ptr<RecordingSink>& sink, const DupesEndpoints& ends,
                               const std::string& login = "ZEBRANO") {
  StatisticsCheckContext context;
  context.link = sink;
  context.window = sink.get();
  context.endpoints = ends;
  context.loginId = context.password = login;
  return context;
}

Texts Check(const DupesEndpoints& ends, const std::string& login = "ZEBRANO") {
  auto sink = std::make_shared<RecordingSink>();
  RunStatisticsCheck(Context(sink, ends, login));
  return sink->Events();
}

class StatisticsCheckTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitDupesLibrary();
    S();
  }
};

TEST_F(StatisticsCheckTest, BothServersUpShowEachStepAndTheirOwnValues) {
  EXPECT_EQ(Check(TestEndpoints(S().primary.address(), S().backup.address())),
            Join({Connected("Primary", 1023, " 2024-03-01  @ @ 12:34:56 ", "42"),
                  Connected("Backup", 1029, "Jan 5 2001 @ 23:59", "7"), kDone}));
  // Each connection was closed at the end of its server's step.
  EXPECT_TRUE(S().primary.WaitGuestConnections(0, 2000));
  EXPECT_TRUE(S().backup.WaitGuestConnections(0, 2000));
}

TEST_F(StatisticsCheckTest, ServerThatDoesNotAnswerReadsNoAndTheCheckGoesOn) {
  LoopbackAddress refused;
  EXPECT_EQ(Check(TestEndpoints(S().primary.address(), refused.address())),
            Join({Connected("Primary", 1023, " 2024-03-01  @ @ 12:34:56 ", "42"), NoAnswer("Backup", 1029),
                  kDone}));
  EXPECT_EQ(Check(TestEndpoints(refused.address(), S().backup.address())),
            Join({NoAnswer("Primary", 1023), Connected("Backup", 1029, "Jan 5 2001 @ 23:59", "7"), kDone}));

  // The backup is probed on its own port, not the primary's.
  DupesEndpoints ends = TestEndpoints(S().primary.address(), S().backup.address());
  ends.m_nBackupProbePort = 6034;
  EXPECT_EQ(Check(ends), Join({Connected("Primary", 1023, " 2024-03-01  @ @ 12:34:56 ", "42"),
                               NoAnswer("Backup", 1029), kDone}));
}

TEST_F(StatisticsCheckTest, BothDownAfterBothProbes) {
  TestDbServer killed;
  killed.Kill();
  SilentListener silent(6033);
  const auto start = Clock::now();
  FailureLines lines;
  EXPECT_EQ(Check(TestEndpoints(killed.address(), silent.address())),
            Join({NoAnswer("Primary", 1023), NoAnswer("Backup", 1029), kDone}));
  EXPECT_EQ(lines.Take(), (Texts{"statistics: primary server " + killed.address() +
                                     ":3306: probe failed: Connection refused (errno 111)",
                                 "statistics: backup server " + silent.address() +
                                     ":6033: probe failed: no answer within 1 s"}));
  // The silent backup costs its whole probe time.
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(900));
}

TEST_F(StatisticsCheckTest, RefusedLoginReadsNoAfterYes) {
  TestDbServer& refusing = *sharedRefusing;
  FailureLines lines;
  EXPECT_EQ(
      Check(TestEndpoints(refusing.address(), S().backup.address())),
      Join({LoginRefused("Primary", 1023), Connected("Backup", 1029, "Jan 5 2001 @ 23:59", "7"), kDone}));
  const Texts got = lines.Take();
  ASSERT_EQ(got.size(), 1u);
  const std::string head =
      "statistics: primary server " + refusing.address() + ":3306: connect failed: MySQL error 1045: ";
  EXPECT_EQ(got[0].substr(0, head.size()), head) << got[0];
  // The login handed in is the one used, for both servers.
  EXPECT_EQ(Check(TestEndpoints(S().primary.address(), S().backup.address()), "NOBODY"),
            Join({LoginRefused("Primary", 1023), LoginRefused("Backup", 1029), kDone}));
}

TEST_F(StatisticsCheckTest, FieldsThatCannotBeReadShowNotAvailable) {
  // A guest without rights connects but cannot select the database: both statements fail.
  TestDbServer& noRights = *sharedNoRights;
  LoopbackAddress refused;
  FailureLines lines;
  EXPECT_EQ(Check(TestEndpoints(noRights.address(), refused.address())),
            Join({Connected("Primary", 1023, "N/A", "N/A"), NoAnswer("Backup", 1029), kDone}));
  // One line per server: the first step that failed on it.
  const Texts got = lines.Take();
  ASSERT_EQ(got.size(), 2u);
  const std::string head = "statistics: primary server " + noRights.address() +
                           ":3306: select database dupesnukes failed: MySQL error 1044: ";
  EXPECT_EQ(got[0].substr(0, head.size()), head) << got[0];
  EXPECT_TRUE(noRights.WaitGuestConnections(0, 2000));

  TestDbServer& server = scratch.Fresh();
  server.AddGeneratedDupes(3, "Few");
  // No LASTUPDATE row: only that field is lost.
  EXPECT_EQ(Check(TestEndpoints(server.address(), refused.address())),
            Join({Connected("Primary", 1023, "N/A", "3"), NoAnswer("Backup", 1029), kDone}));
  // A NULL column.
  server.Execute("ALTER TABLE LASTUPDATE MODIFY LASTUPDATE_TIME VARCHAR(32) NULL");
  server.Execute("INSERT INTO LASTUPDATE VALUES ('2024-01-01', NULL)");
  EXPECT_EQ(Check(TestEndpoints(server.address(), refused.address())),
            Join({Connected("Primary", 1023, "N/A", "3"), NoAnswer("Backup", 1029), kDone}));
  // A table of one column.
  server.Execute("DROP TABLE LASTUPDATE");
  server.Execute("CREATE TABLE LASTUPDATE (ONLY_ONE VARCHAR(32))");
  server.Execute("INSERT INTO LASTUPDATE VALUES ('2024-01-01')");
  EXPECT_EQ(Check(TestEndpoints(server.address(), refused.address())),
            Join({Connected("Primary", 1023, "N/A", "3"), NoAnswer("Backup", 1029), kDone}));
}

TEST_F(StatisticsCheckTest, StopDuringTheProbeEndsAtOnceAndReportsNothingMore) {
  SilentListener silent(3306);
  auto sink = std::make_shared<RecordingSink>();
  std::shared_ptr<WorkerRun> run =
      StartStatisticsCheck(Context(sink, TestEndpoints(silent.address(), S().backup.address(), 600)));
  ASSERT_TRUE(sink->WaitFor("status:Testing Primary Database", 5000));
  run->Stop();
  // The probe would wait ten minutes.
  ASSERT_TRUE(run->WaitFinished(60000));
  EXPECT_EQ(sink->Events(), Texts{"status:Testing Primary Database"});
  EXPECT_EQ(S().backup.GuestConnections(), 0);
}

TEST_F(StatisticsCheckTest, StopWhileTheServerStallsInAStatementEndsAtOnce) {
  TestDbServer& stalling = *sharedStalling;
  auto sink = std::make_shared<RecordingSink>();
  // The server stops answering right after the connection was made.
  sink->hook = [&](const std::string& event) {
    if (event == "status:Checking Last Update") stalling.Pause();
  };
  std::shared_ptr<WorkerRun> run =
      StartStatisticsCheck(Context(sink, TestEndpoints(stalling.address(), S().backup.address())));
  ASSERT_TRUE(sink->WaitFor("status:Checking Last Update", 5000));
  EXPECT_FALSE(run->IsFinished());
  run->Stop();
  // The read time-out is ten minutes.
  const bool finished = run->WaitFinished(60000);
  stalling.Resume();
  ASSERT_TRUE(finished);
  EXPECT_EQ(sink->Events(), Texts({"status:Testing Primary Database", "1023:YES",
                                   "status:Connecting to Primary Database", "status:Checking Last Update"}));
}

TEST_F(StatisticsCheckTest, ChecksRunOneAfterTheOtherInTheOrderStarted) {
  SilentListener silent(3306);
  auto log = std::make_shared<EventRecorder>();
  auto first = std::make_shared<RecordingSink>(log, "A ");
  auto skipped = std::make_shared<RecordingSink>(log, "B ");
  auto third = std::make_shared<RecordingSink>(log, "C ");
  const DupesEndpoints slow = TestEndpoints(silent.address(), S().backup.address());
  const DupesEndpoints quick = TestEndpoints(S().primary.address(), S().backup.address());
  auto runA = StartStatisticsCheck(Context(first, slow));
  auto runB = StartStatisticsCheck(Context(skipped, quick));
  auto runC = StartStatisticsCheck(Context(third, quick));

  // A check stopped while it waits its turn leaves the queue at once and touches nothing.
  ASSERT_TRUE(first->WaitFor("status:Testing Primary Database", 5000));
  runB->Stop();
  EXPECT_TRUE(runB->WaitFinished(60000));
  EXPECT_FALSE(runA->IsFinished());

  ASSERT_TRUE(runA->WaitFinished(10000));
  ASSERT_TRUE(runC->WaitFinished(10000));
  Texts expected;
  for (const std::string& event :
       Join({NoAnswer("Primary", 1023), Connected("Backup", 1029, "Jan 5 2001 @ 23:59", "7"), kDone}))
    expected.push_back("A " + event);
  for (const std::string& event : Join({Connected("Primary", 1023, " 2024-03-01  @ @ 12:34:56 ", "42"),
                                        Connected("Backup", 1029, "Jan 5 2001 @ 23:59", "7"), kDone}))
    expected.push_back("C " + event);
  EXPECT_EQ(first->Events(), expected);
}

}  // namespace

// No Cancel in this window: a stalled server reads as not answering once its time is up, and
// what a server could not honestly send never reaches a field.
TEST_F(StatisticsCheckTest, StalledOrForgingServersAreBoundedAndTheCheckGoesOn) {
  FakeDbServer stalling([](const std::string& query) {
    if (query == "SELECT * FROM LASTUPDATE") return FakeDbServer::Stall();
    return FakeDbServer::Rows({"c"}, {{"5"}});
  });
  FakeDbServer forging([](const std::string& query) {
    if (query == "SELECT * FROM LASTUPDATE")
      return FakeDbServer::Generated({"d", "t"}, 100000, [](size_t) { return FakeDbServer::Row{"d", "t"}; });
    return FakeDbServer::Rows({"c"}, {{"60000)<br><a href='http://x.example/'>update</a>"}});
  });
  DupesEndpoints ends = TestEndpoints(stalling.address(), forging.address());
  ends.m_nBackupProbePort = 3306;
  auto sink = std::make_shared<RecordingSink>();
  StatisticsCheckContext context = Context(sink, ends);
  context.serverSeconds = 2;
  FailureLines lines;
  RunStatisticsCheck(context);
  EXPECT_EQ(sink->Events(),
            Join({{"status:Testing Primary Database", "1023:YES", "status:Connecting to Primary Database",
                   "status:Checking Last Update", "1024:N/A", "status:Counting Entries", "1025:N/A"},
                  {"1023:NO", "1024:N/A", "1025:N/A"},
                  {"status:Testing Backup Database", "1029:YES", "status:Connecting to Backup Database",
                   "status:Checking Last Update", "1030:d @ t", "status:Counting Entries", "1031:N/A"},
                  kDone}));
  const Texts failures = lines.Take();
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(failures[0], "statistics: primary server " + stalling.address() +
                             ":3306: last update query failed: no answer within 2 s");
  EXPECT_EQ(failures[1], "statistics: backup server " + forging.address() +
                             ":3306: count query failed: the server sent a count that is not a number");
}
