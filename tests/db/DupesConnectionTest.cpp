#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "db/DupesConnection.h"
#include "db/SearchRequest.h"
#include "platform/MessageBox.h"
#include "platform/WorkerRun.h"
#include "tests/support/FailureLines.h"
#include "tests/support/FakeDbServer.h"
#include "tests/support/LoopbackAddress.h"
#include "tests/support/SharedDbServer.h"
#include "tests/support/SilentListener.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

SharedDbServer sharedGood("good", [](TestDbServer& s) {
  s.AddDupes({{"1998-02-05", "020598", "O'Neil.Tools-GRP"},
              {"1998-02-06", "020698", "Back\\Slash-GRP"},
              {"1998-02-07", "020798", "Plain.Release-GRP"},
              {"1998-02-08", "020898", "Ends.With\\"}});
});
SharedDbServer sharedOther("other");
SharedDbServer sharedNoLogin("noLogin", {}, TestDbServer::Guest::Missing);
SharedDbServer sharedNoRights("noRights", {}, TestDbServer::Guest::NoRights);

struct Servers {
  TestDbServer& good = *sharedGood;
  TestDbServer& other = *sharedOther;
  TestDbServer& noLogin = *sharedNoLogin;
  TestDbServer& noRights = *sharedNoRights;
  LoopbackAddress refused;
  SilentListener silent;
};

Servers& S() {
  static Servers servers;
  return servers;
}

struct Recorder : ConnectionFeedback {
  std::vector<std::string> statuses;
  std::vector<std::string> messages;
  void SetStatus(const std::string& text) override { statuses.push_back(text); }
  int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) override {
    messages.push_back(caption + "|" + std::to_string(flags) + "|" + text);
    return IDOK;
  }
};

const std::string kError = "Kestrel Error|" + std::to_string(MB_OK | MB_ICONEXCLAMATION) + "|";

using Texts = std::vector<std::string>;

class DupesConnectionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitDupesLibrary();
    S();
  }
};

}  // namespace

TEST_F(DupesConnectionTest, ProbeTellsOpenRefusedAndSilentPortsApart) {
  EXPECT_TRUE(IsServerReachable(S().good.address(), 3306, 3));
  EXPECT_TRUE(IsServerReachable(S().good.address(), 6033, 3));  // the backup's probe port

  // A refused connect answers at once: waiting out ten minutes would end at the test's time-out.
  EXPECT_FALSE(IsServerReachable(S().refused.address(), 3306, 600));

  const auto start = Clock::now();
  EXPECT_FALSE(IsServerReachable(S().silent.address(), 3306, 1));
  EXPECT_GE(SecondsSince(start), 0.95);

  EXPECT_FALSE(IsServerReachable("not an address", 3306, 1));
  EXPECT_FALSE(IsServerReachable("", 3306, 1));
}

TEST_F(DupesConnectionTest, StopWakesABlockedProbe) {
  auto run = WorkerRun::Create();
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    run->Stop();
  });
  // Probes of ten minutes: one that waited its time out would end at the test's time-out.
  EXPECT_FALSE(IsServerReachable(S().silent.address(), 3306, 600, run->WakeFd()));
  stopper.join();
  // Once stopped, a probe gives up at once.
  EXPECT_FALSE(IsServerReachable(S().silent.address(), 3306, 600, run->WakeFd()));
}

TEST_F(DupesConnectionTest, PrimaryUpConnectsSelectsAndCloses) {
  DupesConnection c(DupesEndpoints{S().good.address(), S().other.address()}, "ZEBRANO", "ZEBRANO");
  Recorder r;
  ASSERT_TRUE(c.Open(r));
  EXPECT_TRUE(c.IsConnected());
  EXPECT_EQ(r.statuses, (Texts{"Testing Database Availability", "Connecting to Database"}));
  std::string value;
  ASSERT_TRUE(c.QueryValue("SELECT COUNT(*) FROM DUPES", value));
  EXPECT_EQ(value, "4");
  EXPECT_FALSE(c.QueryValue("SELECT DUPES_DIR FROM DUPES WHERE DUPES_ID < 0", value)) << "no row";
  EXPECT_FALSE(c.QueryValue("SELEKT 1", value));
  EXPECT_FALSE(c.QueryValue("DELETE FROM DUPES", value)) << "the guest may only read";
  EXPECT_EQ(S().good.GuestConnections(), 1);
  c.Close(r);
  EXPECT_FALSE(c.IsConnected());
  EXPECT_EQ(r.statuses.back(), "Disconnecting from database");
  EXPECT_TRUE(S().good.WaitGuestConnections(0, 3000));
  EXPECT_TRUE(r.messages.empty());
}

TEST_F(DupesConnectionTest, SilentPrimaryCostsTheFullProbeThenBackup) {
  DupesConnection c(DupesEndpoints{S().silent.address(), S().good.address()}, "ZEBRANO", "ZEBRANO");
  Recorder r;
  const auto start = Clock::now();
  ASSERT_TRUE(c.Open(r));
  EXPECT_GE(SecondsSince(start), 2.9);
  EXPECT_EQ(r.statuses, (Texts{"Testing Database Availability", "Testing Backup Database Availability",
                               "Connecting to Backup Database"}));
  c.Close(r);
}

TEST_F(DupesConnectionTest, RefusedPrimaryFailsOverAtOnce) {
  // A probe of ten minutes: waiting it out would end at the test's time-out.
  DupesEndpoints ends{S().refused.address(), S().good.address()};
  ends.m_nProbeSeconds = 600;
  DupesConnection c(ends, "ZEBRANO", "ZEBRANO");
  Recorder r;
  FailureLines lines;
  ASSERT_TRUE(c.Open(r));
  EXPECT_EQ(r.statuses, (Texts{"Testing Database Availability", "Testing Backup Database Availability",
                               "Connecting to Backup Database"}));
  EXPECT_EQ(lines.Take(), Texts{}) << "a failover that worked is no failure";
  c.Close(r);
}

TEST_F(DupesConnectionTest, LoginRefusedByPrimaryConnectsBackupWithoutProbe) {
  // The backup's probe port is refused: only an unprobed connect can reach it.
  DupesEndpoints ends{S().noLogin.address(), S().good.address()};
  ends.m_nBackupProbePort = 1;
  DupesConnection c(ends, "ZEBRANO", "ZEBRANO");
  Recorder r;
  ASSERT_TRUE(c.Open(r));
  EXPECT_EQ(r.statuses, (Texts{"Testing Database Availability", "Connecting to Database",
                               "Connecting to Backup Database"}));
  EXPECT_TRUE(r.messages.empty());
  c.Close(r);
}

TEST_F(DupesConnectionTest, FailuresShowTheirOneMessageAndOneLineNamingEveryFailedStep) {
  FailureLines lines;
  // Each failed step: "<role> server <address>:<port>: <step> failed: MySQL error <number>: ...".
  auto step = [](const char* role, const TestDbServer& server, const std::string& what, unsigned error) {
    return std::string(role) + " server " + server.address() + ":3306: " + what + " failed: MySQL error " +
           std::to_string(error) + ": ";
  };
  {
    DupesConnection c(DupesEndpoints{S().refused.address(), S().refused.address()}, "ZEBRANO", "ZEBRANO");
    Recorder r;
    EXPECT_FALSE(c.Open(r));
    EXPECT_EQ(r.messages, (Texts{kError + "Neither database available!"}));
    EXPECT_FALSE(c.IsConnected());
    c.Close(r);
    EXPECT_EQ(r.statuses, (Texts{"Testing Database Availability", "Testing Backup Database Availability"}));
    const std::string refused = "probe failed: Connection refused (errno 111)";
    EXPECT_EQ(lines.Take(), Texts{"primary server " + S().refused.address() + ":3306: " + refused +
                                  "; backup server " + S().refused.address() + ":6033: " + refused});
  }
  {
    DupesConnection c(DupesEndpoints{S().noLogin.address(), S().noLogin.address()}, "ZEBRANO", "ZEBRANO");
    Recorder r;
    EXPECT_FALSE(c.Open(r));
    EXPECT_EQ(r.messages, (Texts{kError + "Cannot connect to either database server!"}));
    c.Close(r);
    EXPECT_EQ(r.statuses.back(), "Connecting to Backup Database");
    const Texts got = lines.Take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].find(step("primary", S().noLogin, "connect", 1045)), 0u) << got[0];
    EXPECT_NE(got[0].find("; " + step("backup", S().noLogin, "connect", 1045)), std::string::npos) << got[0];
  }
  {
    DupesConnection c(DupesEndpoints{S().good.address(), S().good.address()}, "ZEBRANO", "wr0ng-Secret");
    Recorder r;
    EXPECT_FALSE(c.Open(r));
    EXPECT_EQ(r.messages, (Texts{kError + "Cannot connect to either database server!"}));
    const Texts got = lines.Take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].find(step("primary", S().good, "connect", 1045)), 0u) << got[0];
    EXPECT_EQ(got[0].find("wr0ng-Secret"), std::string::npos) << "never the password";
  }
  {
    DupesConnection c(DupesEndpoints{S().noRights.address(), S().good.address()}, "ZEBRANO", "ZEBRANO");
    Recorder r;
    EXPECT_FALSE(c.Open(r));
    EXPECT_EQ(r.messages, (Texts{kError + "Cannot access database!"}));
    EXPECT_TRUE(c.IsConnected()) << "the caller's closing step must still run";
    c.Close(r);
    EXPECT_EQ(r.statuses, (Texts{"Testing Database Availability", "Connecting to Database",
                                 "Disconnecting from database"}));
    EXPECT_TRUE(S().noRights.WaitGuestConnections(0, 3000));
    const Texts got = lines.Take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].find(step("primary", S().noRights, "select database dupesnukes", 1044)), 0u) << got[0];
  }
}

TEST_F(DupesConnectionTest, QuotesAndBackslashesInAMaskNeverChangeTheStatement) {
  DupesConnection c(DupesEndpoints{S().good.address(), S().good.address()}, "ZEBRANO", "ZEBRANO");
  Recorder r;
  ASSERT_TRUE(c.Open(r));
  auto count = [&](const std::string& mask) {
    std::string value;
    if (!c.QueryValue(BuildDupesQuery(mask, "", "", 20, 1, true), value)) return std::string("error");
    return value;
  };
  struct Case {
    const char* mask;
    const char* count;
  } cases[] = {
      {"O'Neil", "1"},   {"Back\\Slash", "1"}, {"With\\", "1"},        {"\\", "2"},
      {"'", "1"},        {"' OR 'a'='a", "0"}, {"x' OR 1=1 -- ", "0"}, {"\\' OR 1=1 #", "0"},
      {"''OR''='", "0"}, {"Plain", "1"},       {"*GRP", "3"},
  };
  for (const auto& k : cases) EXPECT_EQ(count(k.mask), k.count) << k.mask;

  // With backslashes taken literally a word may match nothing, but the statement stays whole.
  ASSERT_TRUE(c.Execute("SET SESSION sql_mode = 'NO_BACKSLASH_ESCAPES'"));
  for (const auto& k : cases) {
    const std::string n = count(k.mask);
    EXPECT_NE(n, "error") << k.mask;
    EXPECT_NE(n, "4") << k.mask << " matched every row";
  }
  c.Close(r);
}

// A greeting dripped a byte at a time: the whole handshake is bounded by the connect time-out,
// and a Cancel ends it at once, before the socket was ever published.
TEST_F(DupesConnectionTest, ADrippingHandshakeIsBoundedAndCancelEndsIt) {
  auto ok = [](const std::string&) { return FakeDbServer::Rows({"c"}, {{"1"}}); };
  {
    // 200 ms a byte: each wait is short, the whole greeting takes longer than 10 s.
    FakeDbServer dripping(ok, 200);
    DupesConnection c(TestEndpoints(dripping.address(), S().refused.address()), "ZEBRANO", "ZEBRANO");
    std::string why;
    EXPECT_FALSE(c.Connect("primary", dripping.address(), why));
  }
  FakeDbServer dripping(ok, 1000);
  auto run = WorkerRun::Create();
  bool connected = true;
  std::thread worker([&] {
    DupesConnection c(TestEndpoints(dripping.address(), S().refused.address()), "ZEBRANO", "ZEBRANO",
                      run.get());
    std::string why;
    connected = c.Connect("primary", dripping.address(), why);
  });
  dripping.WaitGreetings(1);
  run->Stop();
  worker.join();
  EXPECT_FALSE(connected);
}

namespace {

// Standard input as a terminal leaves it to a program started from one: open, and here already
// holding a line, so that a read of it returns at once instead of blocking the test.
class AnswerOnStdin {
 public:
  explicit AnswerOnStdin(const std::string& line) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    m_writeFd = fds[1];
    [[maybe_unused]] ssize_t n = ::write(m_writeFd, line.data(), line.size());
    m_savedFd = ::dup(STDIN_FILENO);
    ::dup2(fds[0], STDIN_FILENO);
    ::close(fds[0]);
  }
  ~AnswerOnStdin() {
    ::dup2(m_savedFd, STDIN_FILENO);
    ::close(m_savedFd);
    ::close(m_writeFd);
  }
  AnswerOnStdin(const AnswerOnStdin&) = delete;
  AnswerOnStdin& operator=(const AnswerOnStdin&) = delete;
  int Unread() const {
    int n = -1;
    ::ioctl(STDIN_FILENO, FIONREAD, &n);
    return n;
  }

 private:
  int m_writeFd = -1;
  int m_savedFd = -1;
};

}  // namespace

// A server picks the login plugin. One that asks the terminal (`dialog`), one that wants the
// password as it is (`mysql_clear_password`), a name that merely resembles an allowed one or is a
// path, or an endless chain of switches: each is a login refused, reported as one.
TEST_F(DupesConnectionTest, OnlyTheGuestsLoginPluginsRunWhateverTheServerAsks) {
  const std::string typed = "typed-answer\n";
  AnswerOnStdin terminal(typed);
  const std::string scramble = std::string("01234567890123456789") + '\0';
  struct Case {
    const char* plugin;
    std::string data;
    int times;
  } cases[] = {
      {"dialog", "\x03Your answer: ", 1},
      {"dialog", "\x05Password: ", 1},
      {"mysql_clear_password", "", 1},
      {"sha256_password", scramble, 1},
      {"native_password", scramble, 1},
      {"../../../../../../tmp/plugin", scramble, 1},
      {"mysql_native_password", scramble, 100000},
      {"dialog", "", 0},
      {"mysql_clear_password", "", 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.plugin) + " x" + std::to_string(k.times));
    FakeDbServer server([](const std::string&) { return FakeDbServer::Rows({"c"}, {{"1"}}); });
    // Zero times: the greeting itself names the plugin.
    if (k.times == 0) server.GreetWith(k.plugin);
    server.SwitchLogin(k.plugin, k.data, k.times);
    FailureLines lines;
    DupesConnection c(TestEndpoints(server.address(), server.address()), "ZEBRANO", "ZEBRANO");
    Recorder r;
    EXPECT_FALSE(c.Open(r));
    EXPECT_EQ(r.messages, (Texts{kError + "Cannot connect to either database server!"}));
    const Texts got = lines.Take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].find("primary server " + server.address() + ":3306: connect failed: MySQL error "), 0u)
        << got[0];
    // A refused plugin is told in plain words, never with the library's stray bytes. A name the
    // library has no file for fails to load instead; a chain is cut off.
    if (k.times < 1000 && std::string(k.plugin) != "native_password") {
      EXPECT_NE(got[0].find(": the server asks for a login plugin other than mysql_native_password, "
                            "caching_sha2_password or client_ed25519; backup server "),
                std::string::npos)
          << got[0];
    }
    EXPECT_EQ(terminal.Unread(), int(typed.size())) << "standard input was read";
    for (const std::string& login : server.Logins()) {
      // The login names the user, ZEBRANO; a second time would be the password.
      EXPECT_EQ(login.find("ZEBRANO", login.find("ZEBRANO") + 1), std::string::npos) << "password in clear";
      EXPECT_EQ(login.find("typed-answer"), std::string::npos);
    }
    for (const std::string& answer : server.SwitchAnswers()) {
      EXPECT_EQ(answer.find("ZEBRANO"), std::string::npos) << "the password went out as it is";
      EXPECT_EQ(answer.find("typed-answer"), std::string::npos);
    }
    // Two logins (primary, then backup), each cut off long before the chain's end.
    EXPECT_LT(server.Switches(), 1000) << "a chain of switches answered";
  }
}

// A server may answer a statement with a request for a file of the client (LOAD DATA LOCAL):
// nothing of it is sent, whatever the client library would do by default.
TEST_F(DupesConnectionTest, NoServerReadsALocalFile) {
  FakeDbServer server([](const std::string&) { return FakeDbServer::LocalFile("/etc/passwd"); });
  DupesConnection c(TestEndpoints(server.address(), server.address()), "ZEBRANO", "ZEBRANO");
  std::string why;
  ASSERT_TRUE(c.Connect("primary", server.address(), why)) << why;
  EXPECT_FALSE(c.Query("SELECT 1"));
  EXPECT_EQ(server.LocalFileBytes(), "");
}
