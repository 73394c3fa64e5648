#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "db/DupesConnection.h"
#include "platform/MessageBox.h"
#include "search/NfoWorker.h"
#include "tests/support/EventRecorder.h"
#include "tests/support/FailureLines.h"
#include "tests/support/FakeDbServer.h"
#include "tests/support/LoopbackAddress.h"
#include "tests/support/SharedDbServer.h"
#include "tests/support/SilentListener.h"

namespace {

using Texts = std::vector<std::string>;

// A headless form and viewer: records each call that reaches it (see EventRecorder). Events:
// "status:", "repaint", "caption:", "show:<caption>", "message:<caption>|<flags hex>|<text>",
// "cancel".
class RecordingNfoPort : public FormPort, public NfoViewerPort, public UiLink, public EventRecorder {
 public:
  bool Carry(const std::function<void()>& call) override {
    RunAsForm(call);
    return true;
  }
  void SetStatusText(const std::string& text) override { Record("status:" + text); }
  void Repaint() override { Record("repaint"); }
  void SetButtonCaption(const std::string& text) override { Record("caption:" + text); }
  int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) override {
    RecordMessage(text, caption, flags);
    return IDOK;
  }
  void ShowNfo(const std::string& caption, NfoText&& text) override {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_shown.push_back(std::move(text.characters));
    }
    Record("show:" + caption);
  }

  std::vector<std::u16string> Shown() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_shown;
  }

 private:
  std::mutex m_mutex;
  std::vector<std::u16string> m_shown;
};

const std::string kArt =
    "\xc9\xcd\xcd\xcd\xcd\xbb\r\n\xba\xdb\xdb\xb2\xb1\xba\r\n\xba\xdf\xdc\xb0 "
    "\xba\r\n\xc8\xcd\xcd\xcd\xcd\xbc\r\n"
    "  Art.Release-GRP \xae\xaf\r\n";
const std::string kNulInside("before\0after\r\n\0", 15);

struct Entry {
  std::string date, dir, info;
};

// Entries whose NFO is found; the directories and dates hold the characters a statement built
// by plain concatenation would trip over.
const Entry kFound[] = {
    {"020598", "Art.Release-GRP", kArt},
    {"030598", "Nul.Inside-GRP", kNulInside},
    {"080598", "It's.Quoted-GRP", "quoted\n"},
    {"080598", "Back\\Slash-GRP", "one backslash\n"},
    {"080598", "Back\\\\Slash-GRP", "two backslashes\n"},
    {"080598", "Trailing\\", "trailing backslash\n"},
    {"09'598", "Odd.Date-GRP", "odd date\n"},
};

SharedDbServer sharedPrimary("primary", [](TestDbServer& s) {
  for (const Entry& e : kFound) s.AddNfo(e.date, e.dir, &e.info);
  // Near misses of the backslash entries, which a wrong escaping would find instead.
  const std::string decoy = "decoy\n";
  s.AddNfo("080598", "BackSlash-GRP", &decoy);
  s.AddNfo("080598", "Back\\\\\\\\Slash-GRP", &decoy);
  s.AddNfo("040598", "No.Data-GRP", nullptr);
  s.AddNfo("050598", "Null.Info-GRP", nullptr);
  s.Execute("INSERT INTO NFO_DATA VALUES ('050598', 'Null.Info-GRP', NULL)");
  const std::string empty;
  s.AddNfo("060598", "Empty.Info-GRP", &empty);
  s.Execute("INSERT INTO NFO_DATA VALUES ('070598', 'Data.Without.Index-GRP', 'never read')");
});

SharedDbServer sharedNoRights("noRights", {}, TestDbServer::Guest::NoRights);
// For a case that changes the guest's rights.
SharedDbServer scratch("scratch");

struct Servers {
  TestDbServer& primary = *sharedPrimary;
  LoopbackAddress refused;
  SilentListener silent;
};

Servers& S() {
  static Servers servers;
  return servers;
}

const std::string kNoNfo = "Kestrel|" + FlagsHex(MB_OK | MB_ICONEXCLAMATION) +
                           "|There is no NFO Data\r\n(NFO data only available from 02-05-1998 on)";

std::string Failure(const std::string& text) {
  return "Kestrel Error|" + FlagsHex(MB_OK | MB_ICONEXCLAMATION) + "|" + text;
}

class NfoWorkerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitDupesLibrary();
    S();
  }

  void SetUp() override { port = std::make_shared<RecordingNfoPort>(); }

  NfoWorkerContext Context(const std::string& date, const std::string& dir, const std::string& primary = "",
                           const std::string& backup = "") {
    NfoWorkerContext c;
    c.link = port;
    c.form = port.get();
    c.viewer = port.get();
    c.endpoints.m_strPrimary = primary.empty() ? S().primary.address() : primary;
    c.endpoints.m_strBackup = backup.empty() ? S().refused.address() : backup;
    c.loginId = "ZEBRANO";
    c.password = "ZEBRANO";
    c.dateText = date;
    c.directoryText = dir;
    return c;
  }

  void Retrieve(const std::string& date, const std::string& dir) { NfoThreadProc(Context(date, dir)); }

  Texts Statuses() { return port->EventsOf("status:"); }
  Texts Messages() { return port->EventsOf("message:"); }

  std::shared_ptr<RecordingNfoPort> port;
};

}  // namespace

TEST_F(NfoWorkerTest, FoundNfoReachesTheViewerByteForByteBetweenTheDefinedSteps) {
  for (const Entry& e : kFound) {
    port = std::make_shared<RecordingNfoPort>();
    Retrieve(e.date, e.dir);
    EXPECT_EQ(port->Events(), (Texts{"caption:Cancel", "status:Testing Database Availability", "repaint",
                                     "status:Connecting to Database", "repaint", "status:Retrieving NFO Data",
                                     "repaint", "show:" + e.dir, "status:Disconnecting from database",
                                     "repaint", "caption:Dupe!", "status:Idle", "repaint"}))
        << e.dir;
    EXPECT_EQ(port->Shown(), std::vector{PrepareNfoText(e.info).characters}) << e.dir;
  }
  EXPECT_TRUE(S().primary.WaitGuestConnections(0, 3000));
}

TEST_F(NfoWorkerTest, MissingNfoShowsOneNoticeOwnedByTheViewerAndNothingElse) {
  struct Case {
    std::string date, dir;
    bool indexed;  // has an NFOS row, so the data is asked for
  };
  const Case cases[] = {
      {"040598", "No.Data-GRP", true},      {"050598", "Null.Info-GRP", true},
      {"060598", "Empty.Info-GRP", true},   {"070598", "Data.Without.Index-GRP", false},
      {"020599", "Art.Release-GRP", false},  // right directory, other day
      {"020598", "Art.Release", false},      // no prefix matching
  };
  for (const Case& k : cases) {
    port = std::make_shared<RecordingNfoPort>();
    Retrieve(k.date, k.dir);
    EXPECT_EQ(Messages(), Texts{kNoNfo}) << k.dir;
    EXPECT_TRUE(port->EventsOf("show:").empty()) << k.dir;
    Texts expected = {"Testing Database Availability", "Connecting to Database"};
    if (k.indexed) expected.push_back("Retrieving NFO Data");
    expected.insert(expected.end(), {"Disconnecting from database", "Idle"});
    EXPECT_EQ(Statuses(), expected) << k.dir;
    EXPECT_EQ(port->EventsOf("caption:"), (Texts{"Cancel", "Dupe!"}));
    // The notice comes before the run lets go of the server.
    const Texts events = port->Events();
    EXPECT_LT(std::find(events.begin(), events.end(), "message:" + kNoNfo),
              std::find(events.begin(), events.end(), "status:Disconnecting from database"));
  }
}

TEST_F(NfoWorkerTest, PrimaryDownBackupUpWalksTheFailoverTexts) {
  NfoThreadProc(Context("020598", "Art.Release-GRP", S().refused.address(), S().primary.address()));
  EXPECT_EQ(Statuses(), (Texts{"Testing Database Availability", "Testing Backup Database Availability",
                               "Connecting to Backup Database", "Retrieving NFO Data",
                               "Disconnecting from database", "Idle"}));
  EXPECT_EQ(port->Shown(), std::vector{PrepareNfoText(kArt).characters});
  EXPECT_TRUE(Messages().empty());
}

TEST_F(NfoWorkerTest, ServerAndStatementFailuresEachShowTheirMessage) {
  // Neither server answers: nothing to close.
  NfoThreadProc(Context("020598", "Art.Release-GRP", S().refused.address(), S().refused.address()));
  EXPECT_EQ(Messages(), Texts{Failure("Neither database available!")});
  EXPECT_EQ(Statuses(),
            (Texts{"Testing Database Availability", "Testing Backup Database Availability", "Idle"}));
  EXPECT_EQ(port->EventsOf("caption:"), (Texts{"Cancel", "Dupe!"}));

  // The guest may read the index but not the data: the second statement fails.
  {
    TestDbServer& indexOnly = scratch.Fresh();
    const std::string info = "x";
    indexOnly.AddNfo("020598", "Art.Release-GRP", &info);
    indexOnly.Execute("REVOKE SELECT ON dupesnukes.* FROM 'ZEBRANO'@'%'");
    indexOnly.Execute("GRANT SELECT ON dupesnukes.NFOS TO 'ZEBRANO'@'%'");
    port = std::make_shared<RecordingNfoPort>();
    FailureLines lines;
    NfoThreadProc(Context("020598", "Art.Release-GRP", indexOnly.address()));
    EXPECT_EQ(Messages(), Texts{Failure("Cannot execute SQL!")});
    const Texts got = lines.Take();
    ASSERT_EQ(got.size(), 1u);
    const std::string head =
        "primary server " + indexOnly.address() + ":3306: NFO data query failed: MySQL error 1142: ";
    EXPECT_EQ(got[0].substr(0, head.size()), head) << got[0];
    EXPECT_EQ(Statuses(), (Texts{"Testing Database Availability", "Connecting to Database",
                                 "Retrieving NFO Data", "Disconnecting from database", "Idle"}));
    EXPECT_TRUE(port->Shown().empty());
    EXPECT_TRUE(indexOnly.WaitGuestConnections(0, 3000));
  }
  // No rights on the database: connected, not selected, closed at the end.
  {
    TestDbServer& noRights = *sharedNoRights;
    port = std::make_shared<RecordingNfoPort>();
    NfoThreadProc(Context("020598", "Art.Release-GRP", noRights.address()));
    EXPECT_EQ(Messages(), Texts{Failure("Cannot access database!")});
    EXPECT_EQ(Statuses(), (Texts{"Testing Database Availability", "Connecting to Database",
                                 "Disconnecting from database", "Idle"}));
  }
}

// Cancel handled between two port calls, at each step: nothing reaches the form or the viewer
// afterwards and the run's connection is gone.
TEST_F(NfoWorkerTest, CancelAtEveryStepEndsTheRunSilently) {
  struct Step {
    std::string event;
    std::string dir;
  };
  const Step steps[] = {
      {"caption:Cancel", "Art.Release-GRP"},
      {"status:Testing Database Availability", "Art.Release-GRP"},
      {"status:Connecting to Database", "Art.Release-GRP"},
      {"status:Retrieving NFO Data", "Art.Release-GRP"},
      {"show:Art.Release-GRP", "Art.Release-GRP"},
      {"message:" + kNoNfo, "No.Data-GRP"},
  };
  ASSERT_TRUE(S().primary.WaitGuestConnections(0, 3000));
  for (const Step& step : steps) {
    port = std::make_shared<RecordingNfoPort>();
    auto context = Context(step.dir == "No.Data-GRP" ? "040598" : "020598", step.dir);
    auto run = context.run;
    bool cancelled = false;
    port->OnEvent([&, raw = port.get()](const std::string& e) {
      if (!cancelled && e == step.event) {
        cancelled = true;
        raw->Cancel(*run);
      }
    });
    StartNfoWorker(context);
    ASSERT_TRUE(run->WaitFinished(20000)) << step.event;
    EXPECT_TRUE(cancelled) << step.event;
    const Texts events = port->Events();
    const auto cancel = std::find(events.begin(), events.end(), "cancel");
    ASSERT_NE(cancel, events.end()) << step.event;
    // Only the rest of the visit in progress (a status line's repaint) may follow.
    const Texts after(cancel + 1, events.end());
    EXPECT_TRUE(after.empty() || after == Texts{"repaint"}) << step.event << ": " << events.back();
    EXPECT_FALSE(run->IsConnected()) << step.event;
    EXPECT_TRUE(S().primary.WaitGuestConnections(0, 3000)) << step.event;
    port->OnEvent(nullptr);
  }
}

TEST_F(NfoWorkerTest, CancelWakesAWorkerBlockedInTheProbeOrInAStatement) {
  {
    // A probe that would wait ten minutes: finishing within a minute is the wake-up at work.
    NfoWorkerContext context = Context("020598", "Art.Release-GRP", S().silent.address());
    context.endpoints.m_nProbeSeconds = 600;
    auto run = StartNfoWorker(std::move(context));
    ASSERT_TRUE(port->WaitFor("status:Testing Database Availability", 5000));
    port->Cancel(*run);
    EXPECT_TRUE(run->WaitFinished(60000));
    EXPECT_EQ(port->Events().back(), "cancel");
  }
  {
    port = std::make_shared<RecordingNfoPort>();
    port->OnEvent([&](const std::string& e) {
      if (e == "status:Retrieving NFO Data") S().primary.Pause();
    });
    auto run = StartNfoWorker(Context("020598", "Art.Release-GRP"));
    ASSERT_TRUE(port->WaitFor("status:Retrieving NFO Data", 5000));
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

// One text per entry: a server that sends more NFO_DATA rows, or a blob larger than the column
// holds, ends the retrieval with the SQL message; further NFOS rows are harmless.
TEST_F(NfoWorkerTest, MoreThanOneNfoOrOneTooLargeEndsWithTheSqlMessage) {
  std::atomic<size_t> dataRows{3000};
  std::atomic<size_t> blobBytes{16 << 10};
  FakeDbServer fake([&](const std::string& query) {
    if (query.rfind("SELECT * FROM NFOS", 0) == 0)
      return FakeDbServer::Generated({"d", "n"}, 50, [](size_t) { return FakeDbServer::Row{"d", "n"}; });
    const size_t bytes = blobBytes;
    return FakeDbServer::Generated({"i"}, dataRows,
                                   [bytes](size_t) { return FakeDbServer::Row{std::string(bytes, 'N')}; });
  });
  for (size_t rows : {3000u, 1u}) {
    dataRows = rows;
    blobBytes = rows == 1 ? (17u << 20) - 64 : 16u << 10;  // past 16 MiB, in one packet
    port = std::make_shared<RecordingNfoPort>();
    FailureLines lines;
    NfoThreadProc(Context("010101", "n", fake.address()));
    EXPECT_EQ(Messages(), Texts{Failure("Cannot execute SQL!")}) << rows;
    EXPECT_TRUE(port->Shown().empty());
    EXPECT_EQ(lines.Take().size(), 1u);
  }
}
