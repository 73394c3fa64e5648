// The real program, started as a user starts it, ended by a signal as a desktop session ends it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

#include "tests/support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

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

  pid_t Launch() {
    const std::string binary = std::string(std::getenv("KESTREL_BINARY_DIR")) + "/kestrel";
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
      ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
      ::execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    return pid;
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

  // The form saves its inputs at the end; "GetAll" appears only then.
  std::string Settings() const { return ReadWholeFile(config.path() + "/Harrow/Kestrel.reg"); }

  TempDir config;
};

TEST_F(KestrelProcess, TermAndIntEndItAsQuitDoes) {
  for (int sig : {SIGTERM, SIGINT}) {
    WriteWholeFile(config.path() + "/Harrow/Kestrel.reg", kStoredSettings);
    const pid_t pid = Launch();
    ASSERT_GT(pid, 0);
    // Let it come up and settle into its event loop.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    const auto sent = Clock::now();
    ::kill(pid, sig);
    const int status = WaitExit(pid, 3000);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent);
    ASSERT_NE(status, -1) << "signal " << sig;
    EXPECT_TRUE(WIFEXITED(status)) << "signal " << sig;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_LT(took.count(), 500);
    const std::string settings = Settings();
    EXPECT_NE(settings.find("\"GetAll\"=dword:00000000"), std::string::npos) << settings;
    EXPECT_NE(settings.find("\"Limit\"=dword:0000002a"), std::string::npos) << settings;
  }
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

}  // namespace
