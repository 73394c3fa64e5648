// The real kestrel-dupe and its checker, built for two addresses where nothing listens, started by
// a shell.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "res/Version.h"
#include "tests/support/TempDir.h"

namespace {

// What the shell command prints on standard output, and its exit status.
std::string Output(const std::string& command, int& status) {
  std::FILE* pipe = ::popen(command.c_str(), "r");
  std::string text;
  for (int c; pipe && (c = std::fgetc(pipe)) != EOF;) text += char(c);
  const int end = pipe ? ::pclose(pipe) : -1;
  status = WIFEXITED(end) ? WEXITSTATUS(end) : -1;
  return text;
}

TEST(DupeProcess, AnswersAndFailsAsTheManualSaysAndWritesNothing) {
  TempDir home;
  const std::string run = "HOME=" + home.path() + " XDG_CONFIG_HOME=" + home.path() +
                          " XDG_CACHE_HOME=" + home.path() + " " KESTREL_DUPE_BINARY " ";
  const std::string err = " 2>" + home.file("err");
  int status = -1;
  EXPECT_EQ(Output(run + "--version" + err, status),
            "kestrel-dupe " KESTREL_VERSION "\nprimary server " TEST_PRIMARY
            " (probed on port 3306)\nbackup server " TEST_BACKUP " (probed on port 6033)\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Output(run + "-o" + err, status), "");
  EXPECT_EQ(status, 2);
  EXPECT_EQ(ReadWholeFile(home.file("err")),
            "kestrel-dupe: option -o needs a value; see kestrel-dupe --help\n");
  // A check: the checker runs, finds no server and says so in one line.
  EXPECT_EQ(Output(run + "--json Some Release" + err, status), "");
  EXPECT_EQ(status, 2);
  const std::string down = ReadWholeFile(home.file("err"));
  EXPECT_EQ(down.rfind("kestrel-dupe: Neither database available! primary server " TEST_PRIMARY
                       ":3306: probe failed: ",
                       0),
            0u)
      << down;
  EXPECT_NE(down.find("; backup server " TEST_BACKUP ":6033: probe failed: "), std::string::npos);
  EXPECT_EQ(down.find('\n'), down.size() - 1);
  // Nothing written but the test's own file: no settings, no cache.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home.path()), {}), 1);
}

// No Qt in either; the answers that need no server load no client library either.
TEST(DupeProcess, LinksNoQtAndAnswersWithoutTheClientLibrary) {
  int status = -1;
  const std::string front = Output("ldd " KESTREL_DUPE_BINARY, status);
  const std::string checker = Output("ldd " KESTREL_DUPE_CHECKER, status);
  EXPECT_EQ(front.find("Qt"), std::string::npos) << front;
  EXPECT_EQ(front.find("libmariadb"), std::string::npos) << front;
  EXPECT_EQ(checker.find("Qt"), std::string::npos) << checker;
  EXPECT_NE(checker.find("libmariadb"), std::string::npos) << checker;
}

// The completion the package installs, as bash runs it: options, the two orders, nothing for
// values, dates, masks or anything after "--".
TEST(DupeProcess, BashCompletesOptionsAndOrders) {
  const std::pair<const char*, const char*> cases[] = {
      {"kestrel-dupe --ex", "--exact"},        {"kestrel-dupe -o \"\"", "first last"},
      {"kestrel-dupe --order l", "last"},      {"kestrel-dupe -n \"\"", ""},
      {"kestrel-dupe -b 01/01/1998 \"\"", ""}, {"kestrel-dupe -- --", ""},
      {"kestrel-dupe Some --co", "--count"},
  };
  for (const auto& [words, expected] : cases) {
    int status = -1;
    const std::string offered =
        Output("bash -c 'source " KESTREL_DUPE_COMPLETION "; COMP_WORDS=(" + std::string(words) +
                   "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _kestrel_dupe; "
                   "echo -n \"${COMPREPLY[*]}\"'",
               status);
    EXPECT_EQ(status, 0) << words;
    EXPECT_EQ(offered, expected) << words;
  }
}

}  // namespace
