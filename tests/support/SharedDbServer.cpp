#include "tests/support/SharedDbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<SharedDbServer*>& Registry() {
  static std::vector<SharedDbServer*> all;
  return all;
}

struct Entry {
  std::string name, address, folder, socket;
  int pid = -1;
};

// "keeper <pid>", then "server <name> <address> <folder> <socket> <pid>" a line, tab-separated
// since a clone's path may hold spaces.
struct State {
  int keeper = -1;
  std::vector<Entry> servers;
};

State ReadState(const std::string& path) {
  State state;
  std::istringstream in(ReadWholeFile(path));
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
    if (f.size() == 2 && f[0] == "keeper") state.keeper = std::stoi(f[1]);
    if (f.size() == 6 && f[0] == "server") state.servers.push_back({f[1], f[2], f[3], f[4], std::stoi(f[5])});
  }
  return state;
}

// Whether pid is still the process the state file named, not a new one under a reused id.
bool CommandLineHolds(int pid, const std::string& marker) {
  std::string line = ReadWholeFile("/proc/" + std::to_string(pid) + "/cmdline");
  std::replace(line.begin(), line.end(), '\0', ' ');
  return line.find(marker) != std::string::npos;
}

int PidFd(int pid) {
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

// Until the process has ended; it need not be our child.
void WaitForEnd(int pid) {
  const int fd = PidFd(pid);
  if (fd < 0) return;  // already gone
  pollfd p{fd, POLLIN, 0};
  while (::poll(&p, 1, -1) < 0 && errno == EINTR) {
  }
  ::close(fd);
}

void Say(int fd, const std::string& text) {
  ssize_t ignored = ::write(fd, text.data(), text.size());
  (void)ignored;
}

// The keeper: starts and loads the servers, tells the setup, then holds them until the cleanup
// signals or the watched process (ctest) ends, however it ends. Its servers die with it.
int Keep(const std::string& stateFile, int watched, int report) {
  sigset_t stops;
  sigemptyset(&stops);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stops, s);
  ::sigprocmask(SIG_BLOCK, &stops, nullptr);
  ::signal(SIGPIPE, SIG_IGN);  // a setup killed by its timeout must not kill us before the cleanup
  const int signals = ::signalfd(-1, &stops, SFD_CLOEXEC);
  const int parent = PidFd(watched);
  if (parent < 0 && errno == ESRCH) {
    Say(report, "the process that started the shared test servers is gone");
    return 1;
  }

  std::vector<std::unique_ptr<TestDbServer>> servers;
  const std::string base = fs::path(stateFile).parent_path().string();
  std::string state = "keeper\t" + std::to_string(::getpid()) + "\n";
  try {
    for (SharedDbServer* shared : Registry()) {
      servers.push_back(shared->MakeForFixture(base));
      const TestDbServer& s = *servers.back();
      state += "server\t" + shared->name() + "\t" + s.address() + "\t" + s.folder() + "\t" + s.socket() +
               "\t" + std::to_string(s.pid()) + "\n";
    }
    WriteWholeFile(stateFile + ".new", state);
    fs::rename(stateFile + ".new", stateFile);
  } catch (const std::exception& e) {
    servers.clear();
    Say(report, std::string("starting the shared test servers failed: ") + e.what());
    return 1;
  }
  // Nothing of ctest's output stays open here, or it would wait for this process.
  const int null = ::open("/dev/null", O_RDWR);
  for (int fd : {0, 1, 2}) ::dup2(null, fd);
  Say(report, "ready");
  ::close(report);

  pollfd fds[2] = {{signals, POLLIN, 0}, {parent, POLLIN, 0}};
  while (::poll(fds, parent >= 0 ? 2 : 1, -1) < 0 && errno == EINTR) {
  }
  servers.clear();  // each killed and reaped: nothing is left to a parent that never reaps
  return 0;
}

int StopSharedServers(const std::string& stateFile) {
  const State state = ReadState(stateFile);
  if (state.keeper > 0 && CommandLineHolds(state.keeper, stateFile)) {
    ::kill(state.keeper, SIGTERM);
    WaitForEnd(state.keeper);
  }
  // A keeper that died by itself took its servers along; make sure.
  for (const Entry& e : state.servers) {
    if (CommandLineHolds(e.pid, e.folder)) {
      ::kill(e.pid, SIGKILL);
      WaitForEnd(e.pid);
    }
    std::error_code ec;
    fs::remove_all(e.folder, ec);
    fs::remove_all(fs::path(e.socket).parent_path(), ec);
  }
  fs::remove(stateFile);
  return 0;
}

}  // namespace

namespace {

int StartSharedServers(const std::string& stateFile) {
  fs::create_directories(fs::path(stateFile).parent_path());
  fs::remove(stateFile);
  const int watched = ::getppid();
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return 1;
  const pid_t keeper = ::fork();
  if (keeper < 0) return 1;
  if (keeper == 0) {
    ::close(report[0]);
    ::_exit(Keep(stateFile, watched, report[1]));
  }
  ::close(report[1]);
  std::string said;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(report[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    said.append(buffer, static_cast<size_t>(n));
  }
  ::close(report[0]);
  if (said == "ready") return 0;
  ::waitpid(keeper, nullptr, 0);
  std::fprintf(stderr, "%s\n", said.empty() ? "the test server keeper ended without a word" : said.c_str());
  return 1;
}

}  // namespace

SharedDbServer::SharedDbServer(std::string name, Load load, TestDbServer::Guest guest)
    : m_name(std::move(name)), m_load(std::move(load)), m_guest(guest) {
  Registry().push_back(this);
}

SharedDbServer::~SharedDbServer() = default;

std::unique_ptr<TestDbServer> SharedDbServer::MakeForFixture(const std::string& base) const {
  auto server = base.empty() ? std::make_unique<TestDbServer>(m_guest)
                             : std::make_unique<TestDbServer>(m_guest, base + "/" + m_name);
  if (m_load) m_load(*server);
  return server;
}

TestDbServer& SharedDbServer::get() {
  if (m_server) return *m_server;
  const char* path = std::getenv("KESTREL_TEST_SERVERS");
  if (path && fs::exists(path)) {
    for (const Entry& e : ReadState(path).servers) {
      if (e.name != m_name) continue;
      m_server = TestDbServer::Attach(e.address, e.folder, e.socket, e.pid);
      // A case that failed while it had the server paused must not stall the next one, and the
      // sessions of the case before are gone before this one counts any.
      m_server->Resume();
      if (!m_server->WaitGuestConnections(0, 60000))
        throw std::runtime_error("shared test server " + m_name + ": guest sessions of an earlier case stay");
      return *m_server;
    }
    throw std::runtime_error("no shared test server " + m_name + " in " + path);
  }
  m_server = MakeForFixture("");
  return *m_server;
}

TestDbServer& SharedDbServer::Fresh() {
  TestDbServer& server = get();
  server.Reset(m_guest);
  if (m_load) m_load(server);
  return server;
}

int RunServerFixture(int argc, char** argv) {
  if (argc != 3) return -1;
  const std::string command = argv[1];
  if (command == "--start-servers") return StartSharedServers(argv[2]);
  if (command == "--stop-servers") return StopSharedServers(argv[2]);
  return -1;
}
