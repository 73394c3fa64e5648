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

bool ConnectTo(DupesConnection& c, const std::string& address) {
  CloseHandle(c);
  c.m_mysql =
      ConnectDupesServer(address, c.m_strLoginId, c.m_strPassword, c.m_endpoints.m_nConnectPort, c.m_pRun);
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
                          unsigned port, WorkerRun* run) {
  MYSQL* mysql = mysql_init(nullptr);
  if (!mysql) return nullptr;
  mysql_options(mysql, MYSQL_OPT_CONNECT_TIMEOUT, &kConnectTimeoutSeconds);
  mysql_options(mysql, MYSQL_OPT_READ_TIMEOUT, &kReadWriteTimeoutSeconds);
  mysql_options(mysql, MYSQL_OPT_WRITE_TIMEOUT, &kReadWriteTimeoutSeconds);
  if (!mysql_real_connect(mysql, address.c_str(), loginId.c_str(), password.c_str(), nullptr, port, nullptr,
                          0)) {
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

bool IsServerReachable(const std::string& address, int port, int seconds, int wakeFd) {
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(static_cast<uint16_t>(port));
  if (::inet_pton(AF_INET, address.c_str(), &target.sin_addr) != 1) return false;

  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool reachable = false;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0) {
    reachable = true;
  } else if (errno == EINPROGRESS) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd fds[2] = {{fd, POLLOUT, 0}, {wakeFd, POLLIN, 0}};
      int n = ::poll(fds, wakeFd >= 0 ? 2 : 1, static_cast<int>(left.count()));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      if (wakeFd >= 0 && (fds[1].revents & POLLIN)) break;
      if (fds[0].revents & (POLLOUT | POLLERR | POLLHUP)) {
        // A refused connect also makes the socket writable: only a clean SO_ERROR counts.
        int error = 0;
        socklen_t len = sizeof error;
        reachable = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
        break;
      }
    }
  }
  ::close(fd);
  return reachable;
}

bool OpenDupesDatabase(DupesConnection& c, ConnectionFeedback& feedback) {
  const DupesEndpoints& ends = c.m_endpoints;
  const int wakeFd = c.m_pRun ? c.m_pRun->WakeFd() : -1;
  bool useBackup = false;

  feedback.SetStatus("Testing Database Availability");
  if (!IsServerReachable(ends.m_strPrimary, ends.m_nPrimaryProbePort, ends.m_nProbeSeconds, wakeFd)) {
    if (Stopped(c)) return false;
    useBackup = true;
    feedback.SetStatus("Testing Backup Database Availability");
    if (!IsServerReachable(ends.m_strBackup, ends.m_nBackupProbePort, ends.m_nProbeSeconds, wakeFd)) {
      if (Stopped(c)) return false;
      Report(feedback, "Neither database available!");
      return false;
    }
  }
  if (Stopped(c)) return false;

  if (!useBackup) {
    feedback.SetStatus("Connecting to Database");
    if (!ConnectTo(c, ends.m_strPrimary)) useBackup = true;
    if (Stopped(c)) {
      c.m_bConnected = c.m_mysql != nullptr;
      return false;
    }
  }
  if (useBackup) {
    feedback.SetStatus("Connecting to Backup Database");
    if (!ConnectTo(c, ends.m_strBackup)) {
      if (Stopped(c)) return false;
      Report(feedback, "Cannot connect to either database server!");
      return false;
    }
  }
  c.m_bConnected = true;
  if (Stopped(c)) return false;

  if (mysql_select_db(c.m_mysql, kDatabase) != 0) {
    if (Stopped(c)) return false;
    Report(feedback, "Cannot access database!");
    return false;
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
