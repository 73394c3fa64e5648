// The real program, started as a user starts it, ended by a signal as a desktop session ends it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "res/Version.h"
#include "tests/support/FakeDbServer.h"
#include "tests/support/LoopbackAddress.h"
#include "tests/support/SilentListener.h"
#include "tests/support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

// A child's environment: this one with some names set (or, given nullptr, removed). Built before
// the fork, as the child of a threaded process may make no call that takes a lock until it execs:
// another thread may have held that lock (the allocator's, the environment's) at the fork.
class ChildEnvironment {
 public:
  ChildEnvironment(std::initializer_list<std::pair<std::string, const char*>> changes) {
    for (char** entry = environ; *entry; ++entry) {
      const std::string text = *entry;
      const std::string name = text.substr(0, text.find('='));
      if (std::none_of(changes.begin(), changes.end(), [&](const auto& c) { return c.first == name; }))
        m_texts.push_back(text);
    }
    for (const auto& [name, value] : changes)
      if (value) m_texts.push_back(name + "=" + value);
    for (std::string& text : m_texts) m_pointers.push_back(text.data());
    m_pointers.push_back(nullptr);
  }
  char** envp() { return m_pointers.data(); }

 private:
  std::vector<std::string> m_texts;
  std::vector<char*> m_pointers;
};

const char kStoredSettings[] =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel]\r\n"
    "\"Version\"=dword:0000004b\r\n"
    "\"STARTMINIMIZED\"=dword:00000001\r\n"
    "\"Limit\"=dword:0000002a\r\n";

class KestrelProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    ::mkdir((config.path() + "/Harrow").c_str(), 0700);
    WriteWholeFile(config.path() + "/Harrow/Kestrel.reg", kStoredSettings);
  }

  // program: the real one, or the one that opens a modal loop (KESTREL_TEST_LOOP) and says "open"
  // on *output when the loop waits. input: standard input is a pipe, its writing end in *input
  // (open as a terminal is, for as long as the test holds it).
  pid_t Launch(std::string binary = "", int* output = nullptr, int* input = nullptr) {
    if (binary.empty()) binary = std::string(std::getenv("KESTREL_BINARY_DIR")) + "/kestrel";
    int pipeFds[2] = {-1, -1};
    int inFds[2] = {-1, -1};
    if (output && ::pipe(pipeFds) != 0) return -1;
    if (input && ::pipe2(inFds, O_CLOEXEC) != 0) return -1;
    ChildEnvironment env({{"XDG_CONFIG_HOME", config.path().c_str()}, {"QT_QPA_PLATFORM", "offscreen"}});
    char* argv[] = {binary.data(), nullptr};
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (output) ::dup2(pipeFds[1], STDOUT_FILENO);
      if (input) ::dup2(inFds[0], STDIN_FILENO);
      ::execve(binary.c_str(), argv, env.envp());
      ::_exit(127);
    }
    if (output) {
      ::close(pipeFds[1]);
      *output = pipeFds[0];
    }
    if (input) {
      ::close(inFds[0]);
      *input = inFds[1];
    }
    return pid;
  }

  // Whether a line starting with word came on fd (from pid) before it closed. No time limit: a
  // start-up under the sanitizers on a busy machine may take long, and one that hangs meets
  // ctest's. Each minute without an answer says where pid is, for that case's log.
  static bool WaitLine(int fd, pid_t pid, const std::string& word) {
    std::string text;
    while (text.find(word) == std::string::npos) {
      pollfd ready{fd, POLLIN, 0};
      if (::poll(&ready, 1, 60000) == 0) {
        const std::string proc = "/proc/" + std::to_string(pid);
        const std::string status = ReadWholeFile(proc + "/status");
        std::fprintf(stderr, "still waiting for \"%s\" from %d: %s, in %s\n", word.c_str(), int(pid),
                     status.substr(0, status.find('\n', status.find("State:"))).c_str(),
                     ReadWholeFile(proc + "/wchan").c_str());
        continue;
      }
      char buffer[256];
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      text.append(buffer, size_t(n));
    }
    return true;
  }

  // Whether pid has not ended yet; it stays to be waited for.
  static bool Running(pid_t pid) {
    siginfo_t info{};
    return ::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
  }

  // Waits for the exit; the status, or -1 after milliseconds (the process is then killed).
  static int WaitExit(pid_t pid, int milliseconds) {
    const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (Clock::now() > end) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return status;
  }

  // Whether pid catches sig yet (its SigCgt mask in /proc); false after three seconds.
  static bool WaitCaught(pid_t pid, int sig) {
    const auto end = Clock::now() + std::chrono::seconds(3);
    while (Clock::now() < end) {
      const std::string status = ReadWholeFile("/proc/" + std::to_string(pid) + "/status");
      const size_t at = status.find("SigCgt:\t");
      if (at != std::string::npos) {
        const unsigned long long mask = std::stoull(status.substr(at + 8, 16), nullptr, 16);
        if (mask & (1ULL << (sig - 1))) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }

  // Whether the main thread of pid waits in poll, as an idle event loop does; false after ten
  // seconds. Start-up itself does not wait in poll: no notice or splash screen shows here.
  static bool WaitIdle(pid_t pid) {
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < end) {
      const std::string call = ReadWholeFile("/proc/" + std::to_string(pid) + "/syscall");
      const long number = call.empty() || call[0] == 'r' ? -1 : std::atol(call.c_str());
#ifdef SYS_poll
      if (number == SYS_poll) return true;
#endif
      if (number == SYS_ppoll) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }

  struct Answer {
    int status = -1;
    std::string out, err;
  };

  // The real program with args and no window system but display (DISPLAY, or none), to its end.
  Answer RunWithout(std::vector<std::string> args, const char* display = nullptr) {
    int outFds[2], errFds[2];
    if (::pipe(outFds) != 0 || ::pipe(errFds) != 0) return {};
    const std::string binary = std::string(std::getenv("KESTREL_BINARY_DIR")) + "/kestrel";
    args.insert(args.begin(), binary);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ChildEnvironment env({{"XDG_CONFIG_HOME", config.path().c_str()},
                          {"QT_QPA_PLATFORM", nullptr},
                          {"WAYLAND_DISPLAY", nullptr},
                          {"DISPLAY", display}});
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(outFds[1], STDOUT_FILENO);
      ::dup2(errFds[1], STDERR_FILENO);
      ::execve(binary.c_str(), argv.data(), env.envp());
      ::_exit(127);
    }
    ::close(outFds[1]);
    ::close(errFds[1]);
    Answer answer;
    for (auto [fd, text] : {std::pair{outFds[0], &answer.out}, std::pair{errFds[0], &answer.err}}) {
      char buffer[4096];
      for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text->append(buffer, size_t(n));
      ::close(fd);
    }
    answer.status = WaitExit(pid, 10000);
    return answer;
  }

  // The form saves its inputs at the end; "GetAll" appears only then.
  std::string Settings() const {
    return ReadWholeFile(config.path() + "/Harrow/Kestrel.reg");
  }

  TempDir config;
};

TEST_F(KestrelProcess, TermAndIntEndItAsQuitDoes) {
  for (int sig : {SIGTERM, SIGINT}) {
    WriteWholeFile(config.path() + "/Harrow/Kestrel.reg", kStoredSettings);
    const pid_t pid = Launch();
    ASSERT_GT(pid, 0);
    // Up, with its form, and idle in its event loop.
    ASSERT_TRUE(WaitIdle(pid)) << "signal " << sig;
    const auto sent = Clock::now();
    ::kill(pid, sig);
    const int status = WaitExit(pid, 10000);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent);
    ASSERT_NE(status, -1) << "signal " << sig;
    EXPECT_TRUE(WIFEXITED(status)) << "signal " << sig;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // At once, not after some wait of its own (the probe's or a worker's seconds).
    EXPECT_LT(took.count(), 5000);
    const std::string settings = Settings();
    EXPECT_NE(settings.find("\"GetAll\"=dword:00000000"), std::string::npos) << settings;
    EXPECT_NE(settings.find("\"Limit\"=dword:0000002a"), std::string::npos) << settings;
  }
}

// From a terminal, without a display: the two answers on standard output, otherwise one line
// on standard error and 1, as the manual says; the settings file stays as it was.
TEST_F(KestrelProcess, AnswersHelpAndVersionWithoutADisplayAndSaysWhenItCannotStart) {
  for (const char* option : {"--version", "--help", "-h"}) {
    const Answer answer = RunWithout({"somefile", option});
    ASSERT_TRUE(WIFEXITED(answer.status)) << option << ": " << answer.err;
    EXPECT_EQ(WEXITSTATUS(answer.status), 0) << option;
    EXPECT_EQ(answer.err, "") << option;
    const bool version = option == std::string("--version");
    EXPECT_EQ(answer.out.rfind(version ? "Kestrel " KESTREL_VERSION : "Usage: kestrel ", 0), 0u)
        << answer.out;
    // The addresses this build was given, whatever they are.
    EXPECT_NE(answer.out.find(version ? "primary server " KESTREL_PRIMARY_SERVER : "kestrel(1)"),
              std::string::npos)
        << answer.out;
    if (version) {
      EXPECT_NE(answer.out.find("backup server " KESTREL_BACKUP_SERVER), std::string::npos) << answer.out;
    }
  }
  // A file named "--help" after "--" is a document, not a question.
  for (const char* display : {static_cast<const char*>(nullptr), ":7391"}) {
    const Answer answer = RunWithout({"--", "--help"}, display);
    ASSERT_TRUE(WIFEXITED(answer.status)) << answer.err;
    EXPECT_EQ(WEXITSTATUS(answer.status), 1);
    EXPECT_EQ(answer.out, "");
    EXPECT_EQ(std::count(answer.err.begin(), answer.err.end(), '\n'), 1) << answer.err;
    EXPECT_EQ(answer.err.rfind("kestrel: cannot start: ", 0), 0u) << answer.err;
  }
  EXPECT_EQ(Settings(), kStoredSettings);
}

// An option nobody takes is a usage error before any window: one line, status 2. The toolkit's own
// options (and the values they take) are not ours to refuse: the program goes on to its display.
TEST_F(KestrelProcess, RefusesAnUnknownOptionInOneLineWithoutStarting) {
  for (const char* display : {static_cast<const char*>(nullptr), ":7391"}) {
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"--bogus"}, {"-bogus"}, {"somefile", "-x"}, {"-style", "fusion", "--bogus=1"}}) {
      const std::string unknown = args.back();
      SCOPED_TRACE(unknown);
      const Answer answer = RunWithout(args, display);
      ASSERT_TRUE(WIFEXITED(answer.status)) << answer.err;
      EXPECT_EQ(WEXITSTATUS(answer.status), 2);
      EXPECT_EQ(answer.out, "");
      EXPECT_EQ(answer.err, "kestrel: unknown option '" + unknown + "' (kestrel --help lists the options)\n");
    }
  }
  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{{"-reverse"},
                                                                             {"--style=fusion"},
                                                                             {"-title", "--bogus"},
                                                                             {"-display", ":7391"},
                                                                             {"--", "--bogus"},
                                                                             {"-"}}) {
    SCOPED_TRACE(args.front());
    const Answer answer = RunWithout(args);
    ASSERT_TRUE(WIFEXITED(answer.status)) << answer.err;
    EXPECT_EQ(WEXITSTATUS(answer.status), 1);
    EXPECT_EQ(answer.err.rfind("kestrel: cannot start: ", 0), 0u) << answer.err;
  }
  EXPECT_EQ(Settings(), kStoredSettings);
}

// A session that ends while Kestrel is still coming up, or just came up.
TEST_F(KestrelProcess, SignalsAtRandomMomentsOfStartUpEndItCleanly) {
  std::mt19937 random(8122026);
  std::uniform_int_distribution<int> delay(0, 400);
  for (int i = 0; i < 30; ++i) {
    WriteWholeFile(config.path() + "/Harrow/Kestrel.reg", kStoredSettings);
    const pid_t pid = Launch();
    ASSERT_GT(pid, 0);
    // Before main a process cannot catch anything; from there on any moment will do.
    ASSERT_TRUE(WaitCaught(pid, SIGTERM)) << "round " << i;
    std::this_thread::sleep_for(std::chrono::milliseconds(delay(random)));
    ::kill(pid, i % 2 ? SIGTERM : SIGINT);
    const int status = WaitExit(pid, 3000);
    ASSERT_NE(status, -1) << "round " << i << ": still running";
    ASSERT_TRUE(WIFEXITED(status)) << "round " << i << ": died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "round " << i;
    // Whatever the moment, the store reads back whole.
    EXPECT_EQ(Settings().rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u) << "round " << i;
  }
}

// Logging out while a box or dialog of Kestrel waits for the user: each loop ends, and so does the
// program, as Quit would end it, with the inputs and the history saved.
TEST_F(KestrelProcess, ASignalInAModalLoopEndsItAsQuitDoes) {
  // The statistics check waits in its probe then; the NFO worker meets a refused server.
  SilentListener silent(3306);
  LoopbackAddress refused;
  int round = 0;
  for (const char* loop :
       {"save", "create", "open", "integer", "quit-integer", "nfo", "statistics", "notice"}) {
    SCOPED_TRACE(loop);
    const bool firstRun = std::string(loop) == "notice";
    if (firstRun) {
      ::unlink((config.path() + "/Harrow/Kestrel.reg").c_str());
    } else {
      WriteWholeFile(config.path() + "/Harrow/Kestrel.reg", kStoredSettings);
    }
    ::setenv("KESTREL_TEST_LOOP", loop, 1);
    const bool statistics = std::string(loop) == "statistics";
    ::setenv("KESTREL_TEST_SERVER", (statistics ? silent.address() : refused.address()).c_str(), 1);
    ::setenv("KESTREL_TEST_NEW_FILE", (config.path() + "/new.log").c_str(), 1);
    int output = -1;
    const pid_t pid = Launch(MODAL_LOOP_APP, &output);
    ASSERT_GT(pid, 0);
    const bool open = WaitLine(output, pid, "open");
    ::close(output);
    ::kill(pid, round++ % 2 ? SIGINT : SIGTERM);
    // A splash screen after the first-run notice would stay four seconds.
    const int status = WaitExit(pid, 3000);
    ASSERT_TRUE(open);
    ASSERT_NE(status, -1) << "still running";
    ASSERT_TRUE(WIFEXITED(status)) << "died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string settings = Settings();
    if (firstRun) {
      EXPECT_NE(settings.find("\"Version\"=dword:0000004b"), std::string::npos) << settings;
      continue;
    }
    EXPECT_NE(settings.find("\"GetAll\"=dword:0000000"), std::string::npos) << settings;
    EXPECT_NE(settings.find("\"Limit\"=dword:0000002a"), std::string::npos) << settings;
    EXPECT_NE(settings.find("\"MaskHistory\"=\"quit-mask"), std::string::npos) << settings;
  }
}

// Started from a terminal, standard input stays open. A worker blocked reading it holds the
// stream's lock: Quit and the signals still end the program at once, with the inputs saved. So
// does a server that asks the login for the terminal (the statistics check meets it).
TEST_F(KestrelProcess, StandardInputHeldByAWorkerOrAskedForByAServerNeverHoldsTheWayOut) {
  FakeDbServer asking([](const std::string&) { return FakeDbServer::Rows({"c"}, {{"1"}}); });
  asking.SwitchLogin("dialog", "\x03Your answer: ");
  for (const char* loop : {"stdin", "stdin-quit", "statistics"}) {
    SCOPED_TRACE(loop);
    WriteWholeFile(config.path() + "/Harrow/Kestrel.reg", kStoredSettings);
    ::setenv("KESTREL_TEST_LOOP", loop, 1);
    ::setenv("KESTREL_TEST_SERVER", asking.address().c_str(), 1);
    int output = -1, input = -1;
    const pid_t pid = Launch(MODAL_LOOP_APP, &output, &input);
    ASSERT_GT(pid, 0);
    const bool open = WaitLine(output, pid, "open");
    ::close(output);
    const bool statistics = std::string(loop) == "statistics";
    // The check has reached its login and been asked (or the program is gone, as the checks
    // below will say).
    while (statistics && asking.Switches() < 1 && Running(pid))
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (std::string(loop) != "stdin-quit") ::kill(pid, statistics ? SIGINT : SIGTERM);
    const int status = WaitExit(pid, 3000);
    ::close(input);
    ASSERT_TRUE(open);
    ASSERT_NE(status, -1) << "still running";
    ASSERT_TRUE(WIFEXITED(status)) << "died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string settings = Settings();
    EXPECT_NE(settings.find("\"Limit\"=dword:0000002a"), std::string::npos) << settings;
    EXPECT_NE(settings.find("\"MaskHistory\"=\"quit-mask"), std::string::npos) << settings;
  }
}

}  // namespace
