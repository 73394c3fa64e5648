// The store shared by real processes: concurrent writers, writers killed at random moments, and
// a user without write access.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <sstream>
#include <vector>

#include "platform/SettingsFile.h"
#include "tests/support/SettingsFixture.h"
#include "tests/support/UnprivilegedProgram.h"

namespace {

const char kKestrel[] = "SOFTWARE\\Harrow\\Kestrel";

void WriteNumberValue(const std::string& name, uint32_t value) {
  if (!SettingsFile::Shared().Write(kKestrel, {{name, value}})) _exit(4);
}

bool ReadNumberValue(const std::string& name, uint32_t& value) {
  const std::optional<uint32_t> n = SettingsFile::Shared().Read().Number(kKestrel, name);
  value = n.value_or(value);
  return n.has_value();
}

}  // namespace

using SettingsProcesses = SettingsFixture;

TEST_F(SettingsProcesses, TwoWritersAtOnceLoseNothing) {
  const int kEach = 150;
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      char byte;
      close(go[1]);
      if (read(go[0], &byte, 1) != 0) _exit(5);  // both start when the pipe closes
      for (int i = 0; i < kEach; ++i) WriteNumberValue((c ? "B" : "A") + std::to_string(i), uint32_t(i));
      _exit(0);
    }
  }
  close(go[0]);
  close(go[1]);
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  int missing = 0;
  for (int i = 0; i < kEach; ++i) {
    for (const char* prefix : {"A", "B"}) {
      uint32_t v = 99999;
      if (!ReadNumberValue(prefix + std::to_string(i), v) || v != uint32_t(i)) ++missing;
    }
  }
  EXPECT_EQ(missing, 0);
}

TEST_F(SettingsProcesses, AWriterKilledAtAnyMomentLeavesAWholeFile) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> delay(0, 4000);
  uint32_t lastSeen = 0;
  for (int round = 0; round < 60; ++round) {
    int started[2];
    ASSERT_EQ(pipe(started), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Rewrites a block of values over and over so the kill lands mid-write often; says so once
      // the first value is in, so a slow machine still gets writes to interrupt.
      for (uint32_t n = 1;; ++n) {
        WriteNumberValue("Counter", n);
        if (n == 1) (void)!write(started[1], "1", 1);
        WriteNumberValue("Pad" + std::to_string(n % 40), n);
      }
    }
    char byte;
    (void)!read(started[0], &byte, 1);
    close(started[0]);
    close(started[1]);
    usleep(useconds_t(delay(random)));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    // The file is missing (the first write was cut) or whole.
    SettingsText text;
    ASSERT_TRUE(!std::filesystem::exists(RegFile()) || text.Parse(FileText())) << "round " << round << ":\n"
                                                                               << FileText();
    uint32_t counter = 0;
    if (ReadNumberValue("Counter", counter)) lastSeen = counter;
  }
  EXPECT_EQ(CountFiles("Kestrel.reg.bad-"), 0);
  EXPECT_GT(lastSeen, 0u);
  // The lock died with its holder: the next writer is not held up.
  WriteNumberValue("After", 1);
  uint32_t after = 0;
  EXPECT_TRUE(ReadNumberValue("After", after));
}

class SettingsReadOnly : public SettingsFixture {
 protected:
  void SetUp() override {
    SettingsFixture::SetUp();
    // The store must be reachable by the unprivileged user.
    chmod(m_dir.path().c_str(), 0755);
    std::filesystem::create_directories(m_dir.path() + "/Harrow");
  }
  // The probe's answer to words separated by spaces, without the line end. Its failure lines
  // ("kestrel: ...") go to failures when asked for, and are left out otherwise.
  std::string Probe(const std::string& words, std::vector<std::string>* failures = nullptr) {
    std::vector<std::string> args{RegFile()};
    std::istringstream in(words);
    for (std::string word; in >> word;) args.push_back(word);
    std::istringstream lines(m_probe.Run(args));
    std::string out;
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("kestrel: ", 0) != 0)
        out += line + "\n";
      else if (failures)
        failures->push_back(line);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
  }

  UnprivilegedProgram m_probe{SETTINGS_PROBE};
};

TEST_F(SettingsReadOnly, AStoreThatCannotBeWrittenDoesNotOpenButStillReads) {
  const std::string harrow = m_dir.path() + "/Harrow";
  PutFile(
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel]\r\n"
      "\"LOGFILE\"=\"kept.log\"\r\n");
  const std::string original = FileText();
  if (geteuid() == 0) {
    chmod(harrow.c_str(), 0755);  // owned by root: folder and file read-only to nobody
    chmod(RegFile().c_str(), 0644);
  } else {
    chmod(harrow.c_str(), 0555);
    chmod(RegFile().c_str(), 0444);
  }
  EXPECT_EQ(Probe("open"), "0");
  EXPECT_EQ(Probe("get LOGFILE"), "1 kept.log");
  EXPECT_EQ(Probe("set LOGFILE other.log"), "0");

  // A writable folder does not make a read-only file writable.
  chmod(harrow.c_str(), 0777);
  EXPECT_EQ(Probe("open"), "0");
  EXPECT_EQ(Probe("set LOGFILE other.log"), "0");
  EXPECT_EQ(FileText(), original);

  // And the same user can write once the file is writable: the refusals above were real.
  if (geteuid() == 0)
    chown(RegFile().c_str(), 65534, 65534);
  else
    chmod(RegFile().c_str(), 0644);
  EXPECT_EQ(Probe("open"), "1");
  EXPECT_EQ(Probe("set LOGFILE other.log"), "1");
  EXPECT_EQ(Probe("get LOGFILE"), "1 other.log");
  chmod(harrow.c_str(), 0755);
}

TEST_F(SettingsReadOnly, StartUpWithoutWriteAccessShowsBothNoticesEveryTime) {
  const std::string harrow = m_dir.path() + "/Harrow";
  chmod(harrow.c_str(), geteuid() == 0 ? 0755 : 0555);
  // Silent to the user, but one line on standard error says which file and why.
  std::vector<std::string> failures;
  EXPECT_EQ(Probe("startup", &failures), "first upgrade hidden=0");
  EXPECT_EQ(failures,
            std::vector<std::string>{"kestrel: settings file " + RegFile() + ": write access to folder " +
                                     harrow + " failed: Permission denied (errno 13)"});
  EXPECT_EQ(Probe("startup"), "first upgrade hidden=0");
  EXPECT_FALSE(std::filesystem::exists(RegFile()));
  chmod(harrow.c_str(), 0755);
}
