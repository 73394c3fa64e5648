#include "tests/support/TestDbServer.h"

#include <fcntl.h>
#include <mysql.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace {

const char* kServerOptions[] = {"--skip-log-bin", "--innodb-buffer-pool-size=32M",
                                "--innodb-log-file-size=8M", "--skip-name-resolve", "--max-connections=200"};

int Run(const std::string& command) {
  return std::system(command.c_str());
}

// One installed, never started data folder per build folder, copied for every server.
std::string TemplateDir() {
  const char* binary = std::getenv("KESTREL_BINARY_DIR");
  const std::string base = binary ? std::string(binary) : "/tmp/kestrel-" + std::to_string(::getuid());
  fs::create_directories(base);
  const std::string dir = base + "/test-db-template";
  int lock = ::open((dir + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (lock >= 0) ::flock(lock, LOCK_EX);
  if (!fs::exists(dir + "/done")) {
    fs::remove_all(dir);
    std::string cmd = "mariadb-install-db --no-defaults --datadir=" + dir +
                      " --auth-root-authentication-method=normal --skip-test-db";
    if (::getuid() == 0) cmd += " --user=root";
    for (const char* option : kServerOptions) cmd += std::string(" ") + option;
    cmd += " >" + base + "/test-db-template.log 2>&1";
    if (Run(cmd) != 0) {
      if (lock >= 0) ::close(lock);
      throw std::runtime_error("mariadb-install-db failed, see " + base + "/test-db-template.log");
    }
    WriteWholeFile(dir + "/done", "");
  }
  if (lock >= 0) ::close(lock);
  return dir;
}

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'' || c == '\\') out += '\\';
    if (c == '\0') {
      out += "\\0";
      continue;
    }
    out += c;
  }
  return out + "'";
}

class RootSession {
 public:
  explicit RootSession(const std::string& socket) : m_mysql(mysql_init(nullptr)) {
    unsigned timeout = 30;
    mysql_options(m_mysql, MYSQL_OPT_READ_TIMEOUT, &timeout);
    m_ok = mysql_real_connect(m_mysql, nullptr, "root", "", nullptr, 0, socket.c_str(), 0) != nullptr;
  }
  ~RootSession() { mysql_close(m_mysql); }
  bool ok() const { return m_ok; }
  MYSQL* get() { return m_mysql; }

 private:
  MYSQL* m_mysql;
  bool m_ok = false;
};

void Exec(RootSession& session, const std::string& sql) {
  if (mysql_real_query(session.get(), sql.data(), sql.size()) != 0)
    throw std::runtime_error("test server: " + std::string(mysql_error(session.get())) + " in " +
                             sql.substr(0, 200));
  if (MYSQL_RES* result = mysql_store_result(session.get())) mysql_free_result(result);
}

}  // namespace

TestDbServer::TestDbServer(Guest guest) : m_ownFolder(std::make_unique<TempDir>()) {
  m_folder = m_ownFolder->path();
  m_socket = file("sock");
  Start();
  LoadSchema(guest);
}

TestDbServer::TestDbServer(Guest guest, const std::string& folder)
    : m_socketFolder(std::make_unique<TempDir>()), m_folder(folder) {
  fs::remove_all(m_folder);
  fs::create_directories(m_folder);
  m_socket = m_socketFolder->file("sock");
  Start();
  LoadSchema(guest);
}

std::unique_ptr<TestDbServer> TestDbServer::Attach(const std::string& address, const std::string& folder,
                                                   const std::string& socket, int pid) {
  std::unique_ptr<TestDbServer> server(new TestDbServer(Attached{}));
  server->m_addressText = address;
  server->m_folder = folder;
  server->m_socket = socket;
  server->m_pid = pid;
  server->m_attached = true;
  return server;
}

TestDbServer::~TestDbServer() {
  if (!m_attached) Kill();
}

void TestDbServer::Start() {
  m_address = std::make_unique<LoopbackAddress>();
  m_addressText = m_address->address();
  fs::copy(TemplateDir(), file("data"), fs::copy_options::recursive);
  // Temporary tables in a folder of the server's own, which goes with it: a server killed in the
  // middle of a statement leaves nothing in /tmp for another one to meet.
  fs::create_directory(file("tmp"));
  std::vector<std::string> args = {"/usr/sbin/mariadbd",
                                   "--no-defaults",
                                   "--datadir=" + file("data"),
                                   "--bind-address=" + address(),
                                   "--port=3306",
                                   "--extra-port=6033",
                                   "--socket=" + m_socket,
                                   "--pid-file=" + file("pid"),
                                   "--log-error=" + file("error.log"),
                                   "--tmpdir=" + file("tmp")};
  if (::getuid() == 0) args.push_back("--user=root");
  for (const char* option : kServerOptions) args.push_back(option);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  const pid_t parent = ::getpid();
  m_pid = ::fork();
  if (m_pid < 0) throw std::runtime_error("fork failed");
  if (m_pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(1);
    int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    // The server itself holds the address's claim, for as long as it lives.
    ::fcntl(m_address->fd(), F_SETFD, 0);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_pid = -1;
      throw std::runtime_error("mariadbd exited: " + ReadWholeFile(file("error.log")));
    }
    if (fs::exists(m_socket) && RootSession(m_socket).ok()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  throw std::runtime_error("mariadbd did not start: " + ReadWholeFile(file("error.log")));
}

void TestDbServer::LoadSchema(Guest guest) {
  RootSession root(m_socket);
  const char* statements[] = {
      "CREATE DATABASE dupesnukes",
      "CREATE TABLE dupesnukes.DUPES (DUPES_ID INT NOT NULL AUTO_INCREMENT PRIMARY KEY, DUPES_DATE DATE NOT "
      "NULL, "
      "DUPES_DATE_STR VARCHAR(16) NOT NULL, DUPES_DIR VARCHAR(255) NOT NULL, KEY (DUPES_DATE))",
      "CREATE TABLE dupesnukes.NFOS (NFOS_DATE_STR VARCHAR(16) NOT NULL, NFOS_DIR VARCHAR(255) NOT NULL, "
      "KEY (NFOS_DATE_STR, NFOS_DIR))",
      "CREATE TABLE dupesnukes.NFO_DATA (NFO_DATA_DATE_STR VARCHAR(16) NOT NULL, NFO_DATA_DIR VARCHAR(255) "
      "NOT NULL, "
      "NFO_DATA_INFO MEDIUMBLOB, KEY (NFO_DATA_DATE_STR, NFO_DATA_DIR))",
      "CREATE TABLE dupesnukes.LASTUPDATE (LASTUPDATE_DATE VARCHAR(32) NOT NULL, LASTUPDATE_TIME VARCHAR(32) "
      "NOT NULL)",
  };
  for (const char* sql : statements) Exec(root, sql);
  if (guest != Guest::Missing) Exec(root, "CREATE USER 'ZEBRANO'@'%' IDENTIFIED BY 'ZEBRANO'");
  if (guest == Guest::Select) Exec(root, "GRANT SELECT ON dupesnukes.* TO 'ZEBRANO'@'%'");
}

void TestDbServer::Reset(Guest guest) {
  {
    RootSession root(m_socket);
    Exec(root, "DROP DATABASE IF EXISTS dupesnukes");
    Exec(root, "DROP USER IF EXISTS 'ZEBRANO'@'%'");
  }
  LoadSchema(guest);
}

void TestDbServer::Execute(const std::string& sql) {
  RootSession root(m_socket);
  if (!root.ok()) throw std::runtime_error("test server: root session failed");
  Exec(root, "USE dupesnukes");
  Exec(root, sql);
}

std::string TestDbServer::QueryValue(const std::string& sql) {
  RootSession root(m_socket);
  Exec(root, "USE dupesnukes");
  if (mysql_query(root.get(), sql.c_str()) != 0) throw std::runtime_error(mysql_error(root.get()));
  MYSQL_RES* result = mysql_store_result(root.get());
  if (!result) throw std::runtime_error("test server: no result for " + sql + ": " + mysql_error(root.get()));
  MYSQL_ROW row = mysql_fetch_row(result);
  std::string value = row && row[0] ? row[0] : "";
  mysql_free_result(result);
  return value;
}

void TestDbServer::AddDupes(const std::vector<DupeSample>& rows) {
  RootSession root(m_socket);
  Exec(root, "USE dupesnukes");
  Exec(root, "START TRANSACTION");
  for (size_t first = 0; first < rows.size(); first += 5000) {
    std::string sql = "INSERT INTO DUPES (DUPES_DATE, DUPES_DATE_STR, DUPES_DIR) VALUES ";
    for (size_t i = first; i < rows.size() && i < first + 5000; ++i) {
      if (i > first) sql += ',';
      sql += "(" + Quote(rows[i].date) + "," + Quote(rows[i].dateStr) + "," + Quote(rows[i].dir) + ")";
    }
    Exec(root, sql);
  }
  Exec(root, "COMMIT");
}

void TestDbServer::AddGeneratedDupes(int count, const std::string& prefix) {
  std::vector<DupeSample> rows;
  rows.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const int day = i % 1826;  // five years of days from 1996-01-01
    const int year = 1996 + day / 365;
    const int month = 1 + (day % 365) / 31 % 12;
    const int dom = 1 + (day % 365) % 28;
    char date[16], dateStr[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", year > 2000 ? 2000 : year, month, dom);
    std::snprintf(dateStr, sizeof dateStr, "%02d%02d%02d", month, dom, (year > 2000 ? 2000 : year) % 100);
    rows.push_back({date, dateStr, prefix + "." + std::to_string(i) + "-GRP"});
  }
  AddDupes(rows);
}

void TestDbServer::ClearDupes() {
  Execute("DELETE FROM DUPES");
}

void TestDbServer::AddNfo(const std::string& dateStr, const std::string& dir, const std::string* info) {
  Execute("INSERT INTO NFOS VALUES (" + Quote(dateStr) + "," + Quote(dir) + ")");
  if (info)
    Execute("INSERT INTO NFO_DATA VALUES (" + Quote(dateStr) + "," + Quote(dir) + "," + Quote(*info) + ")");
}

void TestDbServer::SetLastUpdate(const std::string& first, const std::string& second) {
  Execute("DELETE FROM LASTUPDATE");
  Execute("INSERT INTO LASTUPDATE VALUES (" + Quote(first) + "," + Quote(second) + ")");
}

int TestDbServer::GuestConnections() {
  return std::stoi(QueryValue("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE USER = 'ZEBRANO'"));
}

bool TestDbServer::WaitGuestConnections(int expected, int milliseconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    if (GuestConnections() == expected) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void TestDbServer::Pause() {
  if (m_pid <= 0) return;
  ::kill(m_pid, SIGSTOP);
  // The signal is only queued when kill returns; wait until the server has really stopped.
  if (!m_attached) {
    int status = 0;
    ::waitpid(m_pid, &status, WUNTRACED);
    return;
  }
  // Not our child: its state in /proc says when it has stopped.
  const std::string stat = "/proc/" + std::to_string(m_pid) + "/stat";
  for (;;) {
    const std::string text = ReadWholeFile(stat);
    const size_t end = text.rfind(')');
    if (end == std::string::npos || end + 2 >= text.size() || text[end + 2] == 'T') return;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void TestDbServer::Resume() {
  if (m_pid > 0) ::kill(m_pid, SIGCONT);
}

void TestDbServer::Kill() {
  if (m_attached) throw std::logic_error("test server: a shared server is stopped by its fixture");
  if (m_pid <= 0) return;
  // A server that died on its own explains the failures before this: say so, with the end of
  // its log, which goes with its folder.
  int status = 0;
  if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
    const std::string log = ReadWholeFile(file("error.log"));
    std::fprintf(stderr, "test server %s ended by itself (%s %d); the end of its log:\n%s\n",
                 address().c_str(), WIFSIGNALED(status) ? "signal" : "status",
                 WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status),
                 log.substr(log.size() > 6000 ? log.size() - 6000 : 0).c_str());
    m_pid = -1;
    return;
  }
  ::kill(m_pid, SIGKILL);
  ::waitpid(m_pid, nullptr, 0);
  m_pid = -1;
}

DupesEndpoints TestEndpoints(const std::string& primary, const std::string& backup, int probeSeconds) {
  DupesEndpoints ends;
  ends.m_strPrimary = primary;
  ends.m_strBackup = backup;
  ends.m_nProbeSeconds = probeSeconds;
  return ends;
}
