// The fixture's servers: started once, reached by the cases, gone after the cleanup or as soon as
// the process that started them (ctest) ends, however the cases ended.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/SharedDbServer.h"

namespace {

SharedDbServer shared("probe", [](TestDbServer& s) { s.AddDupes({{"1998-02-05", "020598", "Probe-GRP"}}); });

std::string Self() {
  return std::filesystem::read_symlink("/proc/self/exe").string();
}

// Runs this program with args as our own child and waits for it.
int RunSelf(const std::vector<std::string>& args) {
  std::vector<std::string> all = {Self()};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The server's pid and folder from the state file.
std::pair<int, std::string> ServerIn(const std::string& state) {
  std::istringstream in(ReadWholeFile(state));
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
    if (f.size() == 6 && f[0] == "server") return {std::stoi(f[5]), f[3]};
  }
  return {-1, ""};
}

bool EndsWithin(int pid, int milliseconds) {
  const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (fd < 0) return true;
  pollfd p{fd, POLLIN, 0};
  const bool ended = ::poll(&p, 1, milliseconds) == 1;
  ::close(fd);
  return ended;
}

TEST(SharedDbServer, CasesReachTheFixturesServerWhichTheCleanupStops) {
  TempDir dir;
  const std::string state = dir.file("servers/state");
  ASSERT_EQ(RunSelf({"--start-servers", state}), 0);
  const auto [pid, folder] = ServerIn(state);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(folder, dir.file("servers/probe"));

  ::setenv("KESTREL_TEST_SERVERS", state.c_str(), 1);
  EXPECT_EQ(shared->QueryValue("SELECT DUPES_DIR FROM DUPES"), "Probe-GRP");
  EXPECT_EQ(shared->pid(), pid);
  // What a case changed is gone for the next one that asks for it fresh.
  shared->AddDupes({{"1999-01-01", "010199", "Left.Behind-GRP"}});
  shared->Execute("ALTER TABLE DUPES CONVERT TO CHARACTER SET utf8mb4");
  shared.Fresh().AddDupes({{"1999-01-01", "010199", "Own-GRP"}});
  EXPECT_EQ(shared->QueryValue("SELECT GROUP_CONCAT(DUPES_DIR ORDER BY DUPES_ID) FROM DUPES"),
            "Probe-GRP,Own-GRP");
  EXPECT_EQ(shared->QueryValue("SELECT CCSA.CHARACTER_SET_NAME FROM information_schema.TABLES T JOIN "
                               "information_schema.COLLATION_CHARACTER_SET_APPLICABILITY CCSA ON "
                               "CCSA.COLLATION_NAME = T.TABLE_COLLATION WHERE T.TABLE_NAME = 'DUPES'"),
            "latin1");
  ::unsetenv("KESTREL_TEST_SERVERS");

  ASSERT_EQ(RunSelf({"--stop-servers", state}), 0);
  EXPECT_TRUE(EndsWithin(pid, 0));
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_FALSE(std::filesystem::exists(state));
}

TEST(SharedDbServer, TheServersGoWithTheProcessThatStartedThemWithoutACleanup) {
  TempDir dir;
  const std::string state = dir.file("state");
  // The shell stands for ctest: it ends right after the start (the "true" keeps it from handing
  // its process over to the program).
  ASSERT_EQ(std::system(("'" + Self() + "' --start-servers '" + state + "'; true").c_str()), 0);
  const int pid = ServerIn(state).first;
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(EndsWithin(pid, 60000));
  EXPECT_EQ(RunSelf({"--stop-servers", state}), 0);
}

}  // namespace
