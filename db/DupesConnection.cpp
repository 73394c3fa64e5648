#include "db/DupesConnection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "db/WorkerRun.h"
#include "platform/Diagnostics.h"
#include "platform/MessageBox.h"

namespace {

constexpr const char* kDatabase = "dupesnukes";
constexpr unsigned kConnectTimeoutSeconds = 10;
// Long enough never to cut an honest slow query; Cancel is the way out of a dead one.
constexpr unsigned kReadWriteTimeoutSeconds = 600;

bool Stopped(const DupesConnection& c) {
  return c.m_pRun && c.m_pRun->IsStopped();
}

void Report(ConnectionFeedback& feedback, const std::string& text) {
  feedback.ShowMessage(text, "Kestrel Error", MB_OK | MB_ICONEXCLAMATION);
}

void CloseHandle(DupesConnection& c) {
  if (!c.m_mysql) return;
  if (c.m_pRun) c.m_pRun->SetConnected(false);
  CloseDupesServer(c.m_mysql, c.m_pRun);
  c.m_mysql = nullptr;
}

bool ConnectTo(DupesConnection& c, const char* role, const std::string& address, std::string& why) {
  CloseHandle(c);
  c.m_strServer = DescribeServer(role, address, c.m_endpoints.m_nConnectPort);
  c.m_mysql = ConnectDupesServer(address, c.m_strLoginId, c.m_strPassword, c.m_endpoints.m_nConnectPort,
                                 c.m_pRun, &why);
  if (!c.m_mysql) return false;
  if (c.m_pRun) c.m_pRun->SetConnected(true);
  return true;
}

}  // namespace

DupesConnection::DupesConnection(DupesEndpoints endpoints, std::string loginId, std::string password,
                                 WorkerRun* run)
    : m_endpoints(std::move(endpoints)),
      m_strLoginId(std::move(loginId)),
      m_strPassword(std::move(password)),
      m_pRun(run) {}

DupesConnection::~DupesConnection() {
  ReleaseResult();
  CloseHandle(*this);
}

void DupesConnection::ReleaseResult() {
  if (m_pResult) mysql_free_result(m_pResult);
  m_pResult = nullptr;
  m_row = nullptr;
}

MYSQL* ConnectDupesServer(const std::string& address, const std::string& loginId, const std::string& password,
                          unsigned port, WorkerRun* run, std::string* why) {
  MYSQL* mysql = mysql_init(nullptr);
  if (!mysql) {
    if (why) *why = "no memory for a client handle";
    return nullptr;
  }
  mysql_options(mysql, MYSQL_OPT_CONNECT_TIMEOUT, &kConnectTimeoutSeconds);
  mysql_options(mysql, MYSQL_OPT_READ_TIMEOUT, &kReadWriteTimeoutSeconds);
  mysql_options(mysql, MYSQL_OPT_WRITE_TIMEOUT, &kReadWriteTimeoutSeconds);
  if (!mysql_real_connect(mysql, address.c_str(), loginId.c_str(), password.c_str(), nullptr, port, nullptr,
                          0)) {
    if (why) *why = DescribeServerError(mysql);
    mysql_close(mysql);
    return nullptr;
  }
  if (run) run->PublishSocket(mysql_get_socket(mysql));
  return mysql;
}

void CloseDupesServer(MYSQL* mysql, WorkerRun* run) {
  if (!mysql) return;
  if (run) run->WithdrawSocket();
  mysql_close(mysql);
}

void InitDupesLibrary() {
  mysql_library_init(0, nullptr, nullptr);
}

bool IsServerReachable(const std::string& address, int port, int seconds, int wakeFd, std::string* why) {
  std::string reason;
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(static_cast<uint16_t>(port));
  if (::inet_pton(AF_INET, address.c_str(), &target.sin_addr) != 1) {
    if (why) *why = "not an IPv4 address";
    return false;
  }

  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    if (why) *why = "no socket: " + ErrnoText(errno);
    return false;
  }
  bool reachable = false;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0) {
    reachable = true;
  } else if (errno == EINPROGRESS) {
    reason = "no answer within " + std::to_string(seconds) + " s";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd fds[2] = {{fd, POLLOUT, 0}, {wakeFd, POLLIN, 0}};
      int n = ::poll(fds, wakeFd >= 0 ? 2 : 1, static_cast<int>(left.count()));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) reason = "poll: " + ErrnoText(errno);
      if (n <= 0) break;
      if (wakeFd >= 0 && (fds[1].revents & POLLIN)) {
        reason = "stopped";
        break;
      }
      if (fds[0].revents & (POLLOUT | POLLERR | POLLHUP)) {
        // A refused connect also makes the socket writable: only a clean SO_ERROR counts.
        int error = 0;
        socklen_t len = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0) error = errno;
        reachable = error == 0;
        if (!reachable) reason = ErrnoText(error);
        break;
      }
    }
  } else {
    reason = ErrnoText(errno);
  }
  ::close(fd);
  if (!reachable && why) *why = reason;
  return reachable;
}

bool OpenDupesDatabase(DupesConnection& c, ConnectionFeedback& feedback) {
  const DupesEndpoints& ends = c.m_endpoints;
  const int wakeFd = c.m_pRun ? c.m_pRun->WakeFd() : -1;
  bool useBackup = false;
  // Every step that failed on the way, so the one failure line tells the whole failover.
  std::string trail;
  std::string why;
  auto note = [&](const std::string& server, const char* step) {
    trail += (trail.empty() ? "" : "; ") + server + ": " + step + " failed: " + why;
  };
  auto fail = [&](const std::string& text) {
    ReportFailure(trail);
    Report(feedback, text);
    return false;
  };

  feedback.SetStatus("Testing Database Availability");
  if (!IsServerReachable(ends.m_strPrimary, ends.m_nPrimaryProbePort, ends.m_nProbeSeconds, wakeFd, &why)) {
    if (Stopped(c)) return false;
    note(DescribeServer("primary", ends.m_strPrimary, unsigned(ends.m_nPrimaryProbePort)), "probe");
    useBackup = true;
    feedback.SetStatus("Testing Backup Database Availability");
    if (!IsServerReachable(ends.m_strBackup, ends.m_nBackupProbePort, ends.m_nProbeSeconds, wakeFd, &why)) {
      if (Stopped(c)) return false;
      note(DescribeServer("backup", ends.m_strBackup, unsigned(ends.m_nBackupProbePort)), "probe");
      return fail("Neither database available!");
    }
  }
  if (Stopped(c)) return false;

  if (!useBackup) {
    feedback.SetStatus("Connecting to Database");
    if (!ConnectTo(c, "primary", ends.m_strPrimary, why)) {
      useBackup = true;
      note(c.m_strServer, "connect");
    }
    if (Stopped(c)) {
      c.m_bConnected = c.m_mysql != nullptr;
      return false;
    }
  }
  if (useBackup) {
    feedback.SetStatus("Connecting to Backup Database");
    if (!ConnectTo(c, "backup", ends.m_strBackup, why)) {
      if (Stopped(c)) return false;
      note(c.m_strServer, "connect");
      return fail("Cannot connect to either database server!");
    }
  }
  c.m_bConnected = true;
  if (Stopped(c)) return false;

  if (mysql_select_db(c.m_mysql, kDatabase) != 0) {
    if (Stopped(c)) return false;
    why = DescribeServerError(c.m_mysql);
    note(c.m_strServer, "select database dupesnukes");
    return fail("Cannot access database!");
  }
  return true;
}

void CloseDupesDatabase(DupesConnection& c, ConnectionFeedback& feedback) {
  if (!c.m_bConnected) return;
  feedback.SetStatus("Disconnecting from database");
  CloseHandle(c);
  c.m_bConnected = false;
}

bool QuerySingleValue(MYSQL* mysql, const std::string& sql, std::string& value) {
  if (!mysql || mysql_query(mysql, sql.c_str()) != 0) return false;
  MYSQL_RES* result = mysql_store_result(mysql);
  if (!result) return false;
  MYSQL_ROW row = mysql_fetch_row(result);
  if (row) value = row[0] ? row[0] : "";
  mysql_free_result(result);
  return row != nullptr;
}

bool QuerySingleValue(DupesConnection& c, const std::string& sql, std::string& value) {
  return QuerySingleValue(c.m_mysql, sql, value);
}

bool QueryIntoResult(DupesConnection& c, const std::string& sql) {
  c.ReleaseResult();
  if (!c.m_mysql || mysql_query(c.m_mysql, sql.c_str()) != 0) return false;
  c.m_pResult = mysql_store_result(c.m_mysql);
  return c.m_pResult != nullptr;
}

std::string DescribeServer(const char* role, const std::string& address, unsigned port) {
  return std::string(role) + " server " + address + ":" + std::to_string(port ? port : MYSQL_PORT);
}

std::string DescribeServerError(MYSQL* mysql) {
  if (!mysql) return "not connected";
  const unsigned error = mysql_errno(mysql);
  if (error == 0) return "no result row, and no error from the server";
  return "MySQL error " + std::to_string(error) + ": " + mysql_error(mysql);
}

void ReportServerFailure(const DupesConnection& c, const std::string& step) {
  ReportFailure(c.m_strServer + ": " + step + " failed: " + DescribeServerError(c.m_mysql));
}
