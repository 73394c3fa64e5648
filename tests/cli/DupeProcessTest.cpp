// The real kestrel-dupe and its checker, built for two addresses where nothing listens, started as
// a shell starts them.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "res/Version.h"
#include "tests/support/TempDir.h"

namespace {

struct Answer {
  int status = -1;
  std::string out, err;
};

Answer RunProgram(std::vector<std::string> args, const std::string& home) {
  int outFds[2], errFds[2];
  if (::pipe(outFds) != 0 || ::pipe(errFds) != 0) return {};
  args.insert(args.begin(), KESTREL_DUPE_BINARY);
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(outFds[1], STDOUT_FILENO);
    ::dup2(errFds[1], STDERR_FILENO);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
    ::execv(argv[0], argv.data());
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
  int status = 0;
  ::waitpid(pid, &status, 0);
  answer.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + status;
  return answer;
}

// Whether dir holds nothing.
bool Empty(const std::string& dir) {
  DIR* d = ::opendir(dir.c_str());
  int entries = 0;
  while (dirent* e = ::readdir(d)) entries += e->d_name[0] != '.';
  ::closedir(d);
  return entries == 0;
}

TEST(DupeProcess, AnswersAndFailsAsTheManualSaysAndLeavesNoFile) {
  TempDir home;
  const Answer version = RunProgram({"--version"}, home.path());
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "kestrel-dupe " KESTREL_VERSION "\nprimary server " TEST_PRIMARY
                         " (probed on port 3306)\nbackup server " TEST_BACKUP " (probed on port 6033)\n");
  EXPECT_EQ(version.err, "");

  const Answer usage = RunProgram({"-o"}, home.path());
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(usage.out, "");
  EXPECT_EQ(usage.err, "kestrel-dupe: option -o needs a value (see kestrel-dupe --help)\n");

  const Answer down = RunProgram({"--json", "Some", "Release"}, home.path());
  EXPECT_EQ(down.status, 2);
  EXPECT_EQ(down.out, "");
  EXPECT_EQ(down.err.rfind("kestrel-dupe: Neither database available! primary server " TEST_PRIMARY
                           ":3306: probe failed: ",
                           0),
            0u)
      << down.err;
  EXPECT_NE(down.err.find("; backup server " TEST_BACKUP ":6033: probe failed: "), std::string::npos);
  EXPECT_EQ(down.err.find('\n'), down.err.size() - 1);
  // Nothing written: neither settings nor anything else.
  EXPECT_TRUE(Empty(home.path()));
}

// What command prints, and its exit status.
std::string Output(const std::string& command, int& status) {
  std::FILE* pipe = ::popen(command.c_str(), "r");
  std::string text;
  char buffer[4096];
  for (size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  status = pipe ? ::pclose(pipe) : -1;
  return text;
}

// No Qt in either; the answers that need no server load no client library either.
TEST(DupeProcess, LinksNoQtAndAnswersWithoutTheClientLibrary) {
  int status = -1;
  const std::string front = Output("ldd " KESTREL_DUPE_BINARY, status);
  EXPECT_EQ(status, 0);
  const std::string checker = Output("ldd " KESTREL_DUPE_CHECKER, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(front.find("Qt"), std::string::npos) << front;
  EXPECT_EQ(front.find("libmariadb"), std::string::npos) << front;
  EXPECT_EQ(checker.find("Qt"), std::string::npos) << checker;
  EXPECT_NE(checker.find("libmariadb"), std::string::npos) << checker;
}

// The completion the package installs, as bash runs it: options, the two orders, nothing for
// values, dates, masks or anything after "--".
TEST(DupeProcess, BashCompletesOptionsAndOrders) {
  const std::pair<const char*, const char*> cases[] = {
      {"kestrel-dupe --ex", "--exact"},      {"kestrel-dupe -o ", "first last"},
      {"kestrel-dupe --order l", "last"},    {"kestrel-dupe -n ", ""},
      {"kestrel-dupe -b 01/01/1998 ", ""},   {"kestrel-dupe -- --", ""},
      {"kestrel-dupe Some --co", "--count"},
  };
  for (const auto& [line, expected] : cases) {
    const std::string words = std::string(line) + (std::string(line).back() == ' ' ? "\"\"" : "");
    int status = -1;
    const std::string offered =
        Output("bash -c 'source " KESTREL_DUPE_COMPLETION "; COMP_WORDS=(" + words +
                   "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _kestrel_dupe; echo -n \"${COMPREPLY[*]}\"'",
               status);
    EXPECT_EQ(status, 0) << line;
    EXPECT_EQ(offered, expected) << line;
  }
}

}  // namespace
