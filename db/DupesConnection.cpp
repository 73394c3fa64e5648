#include "db/DupesConnection.h"

#include <arpa/inet.h>
#include <errmsg.h>
#include <fcntl.h>
#include <mysql.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <limits>
#include <string_view>
#include <utility>

#include "db/SqlText.h"
#include "platform/Diagnostics.h"
#include "platform/MessageBox.h"
#include "platform/WorkerRun.h"
#include "res/Texts.h"

namespace {

constexpr const char* kDatabase = "dupesnukes";
constexpr const char* kLiteralCharsetStatement =
    "SET character_set_connection = COALESCE((SELECT CHARACTER_SET_NAME FROM information_schema.COLUMNS "
    "WHERE TABLE_SCHEMA = 'dupesnukes' AND TABLE_NAME = 'DUPES' AND COLUMN_NAME = 'DUPES_DIR'), 'utf8mb4')";
// MariaDB's and MySQL 5's default, MySQL 8's default, MariaDB's ed25519.
constexpr const char* kGuestLoginPlugins = "mysql_native_password,caching_sha2_password,client_ed25519";
constexpr const char* kGuestLoginPluginsText =
    "mysql_native_password, caching_sha2_password or client_ed25519";
constexpr unsigned kConnectTimeoutSeconds = 10;
// An honest login and the setting after it take a handful of packets, a login plugin switch
// included; a server that switches plugins on and on is cut off here.
constexpr int kHandshakeReadWaits = 64;
// Long enough never to cut an honest slow query; Cancel is the way out of a dead one.
constexpr unsigned kReadWriteTimeoutSeconds = 600;

using Clock = std::chrono::steady_clock;

// What bounds the library's waits on this thread: the run's wake-up descriptor and a deadline.
// The library's wait hook has no argument of ours, hence the thread_local.
struct IoBounds {
  int wakeFd = -1;
  Clock::time_point deadline = Clock::time_point::max();
  // Waits for the server's next bytes still allowed; negative: any number.
  int readWaits = -1;
};
thread_local IoBounds* t_bounds = nullptr;

// The library calls this for every wait on its socket: a Cancel or a passed deadline ends the
// wait at once (the read or write then fails), whatever the library's own time-out.
int WaitIo(my_socket socket, my_bool isRead, int timeoutMs) {
  IoBounds* bounds = t_bounds;
  if (bounds && isRead && bounds->readWaits >= 0 && bounds->readWaits-- == 0) return 0;
  Clock::time_point limit = Clock::time_point::max();
  if (timeoutMs >= 0) limit = Clock::now() + std::chrono::milliseconds(timeoutMs);
  if (bounds && bounds->deadline < limit) limit = bounds->deadline;
  pollfd fds[2] = {{socket, short(isRead ? POLLIN : POLLOUT), 0}, {bounds ? bounds->wakeFd : -1, POLLIN, 0}};
  for (;;) {
    int wait = -1;
    if (limit != Clock::time_point::max()) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(limit - Clock::now()).count();
      if (left <= 0) return 0;
      wait = static_cast<int>(std::min<long long>(left, std::numeric_limits<int>::max()));
    }
    const int n = ::poll(fds, 2, wait);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) continue;
    if (fds[1].revents) return -1;
    return n;
  }
}

// Holds the bounds for the library calls of one scope.
class BoundedIo {
 public:
  BoundedIo(WorkerRun* run, Clock::time_point deadline, int readWaits = -1) : m_previous(t_bounds) {
    m_bounds.wakeFd = run ? run->WakeFd() : -1;
    m_bounds.deadline = deadline;
    m_bounds.readWaits = readWaits;
    t_bounds = &m_bounds;
  }
  ~BoundedIo() { t_bounds = m_previous; }
  BoundedIo(const BoundedIo&) = delete;
  BoundedIo& operator=(const BoundedIo&) = delete;

 private:
  IoBounds m_bounds;
  IoBounds* m_previous;
};

bool IsCount(const std::string& text) {
  if (text.empty() || text.size() > 20) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// A system variable as the server's last OK reported it (session tracking); empty when it did
// not. Only a short name is taken.
std::string TrackedVariable(MYSQL* mysql, std::string_view name) {
  const char* key = nullptr;
  size_t keyLength = 0;
  for (int more = mysql_session_track_get_first(mysql, SESSION_TRACK_SYSTEM_VARIABLES, &key, &keyLength);
       more == 0;
       more = mysql_session_track_get_next(mysql, SESSION_TRACK_SYSTEM_VARIABLES, &key, &keyLength)) {
    const char* value = nullptr;
    size_t valueLength = 0;
    if (mysql_session_track_get_next(mysql, SESSION_TRACK_SYSTEM_VARIABLES, &value, &valueLength) != 0) break;
    if (std::string_view(key, keyLength) == name && valueLength <= 64) return std::string(value, valueLength);
  }
  return {};
}

std::string DescribeError(MYSQL* mysql) {
  if (!mysql) return "not connected";
  const unsigned error = mysql_errno(mysql);
  if (error == 0) return "no result row, and no error from the server";
  // The library's own text for a refused plugin names it from a stale buffer (stray bytes,
  // sometimes an allowed name); the refusal is ours, so it is told in our words.
  const std::string text =
      error == CR_PLUGIN_NOT_ALLOWED
          ? std::string("the server asks for a login plugin other than ") + kGuestLoginPluginsText
          : mysql_error(mysql);
  return "MySQL error " + std::to_string(error) + ": " + text;
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
  CloseHandle();
}

bool DupesConnection::Stopped() const {
  return m_pRun && m_pRun->IsStopped();
}

void DupesConnection::CloseHandle() {
  if (!m_mysql) return;
  BoundedIo io(m_pRun, m_deadline);
  // The socket is withdrawn first, so a Cancel never shuts down a reused descriptor number.
  if (m_pRun) m_pRun->WithdrawSocket();
  mysql_close(m_mysql);
  m_mysql = nullptr;
}

bool DupesConnection::Connect(const char* role, const std::string& address, std::string& why) {
  ReleaseResult();
  CloseHandle();
  const unsigned port = m_endpoints.m_nConnectPort;
  m_strServer = DescribeServer(role, address, port);
  m_strAddress = address;
  MYSQL* mysql = mysql_init(nullptr);
  if (!mysql) {
    why = "no memory for a client handle";
    return false;
  }
  mysql_options(mysql, MYSQL_OPT_CONNECT_TIMEOUT, &kConnectTimeoutSeconds);
  mysql_options(mysql, MYSQL_OPT_READ_TIMEOUT, &kReadWriteTimeoutSeconds);
  mysql_options(mysql, MYSQL_OPT_WRITE_TIMEOUT, &kReadWriteTimeoutSeconds);
  // UTF-8 both ways, as the form holds its texts: every letter a table can hold arrives whole.
  mysql_options(mysql, MYSQL_SET_CHARSET_NAME, "utf8mb4");
  mysql_optionsv(mysql, MYSQL_OPT_MAX_ALLOWED_PACKET, &m_nPacketLimit);
  // The guest login needs only the plugins MySQL and MariaDB accounts log in with. Any other is
  // refused before it runs: `dialog` would read the terminal, `mysql_clear_password` would send
  // the password as it is.
  mysql_optionsv(mysql, MARIADB_OPT_RESTRICTED_AUTH, kGuestLoginPlugins);
  // No server may read our files, whatever the library's default.
  const unsigned int noLocalFiles = 0;
  mysql_options(mysql, MYSQL_OPT_LOCAL_INFILE, &noLocalFiles);
  // The connect time-out bounds each wait only; the deadline bounds the whole handshake, so a
  // server that drips its greeting cannot stretch it.
  mysql_optionsv(mysql, MARIADB_OPT_IO_WAIT, WaitIo);
  BoundedIo io(m_pRun, std::min(m_deadline, Clock::now() + std::chrono::seconds(kConnectTimeoutSeconds)),
               kHandshakeReadWaits);
  if (!mysql_real_connect(mysql, address.c_str(), m_strLoginId.c_str(), m_strPassword.c_str(), nullptr, port,
                          nullptr, 0)) {
    why = DescribeError(mysql);
    mysql_close(mysql);
    return false;
  }
  if (m_pRun) m_pRun->PublishSocket(mysql_get_socket(mysql));
  // A mask's literals take the character set of the names they are compared with: a latin1 table
  // refuses utf8mb4 literals outright (1267). Converted, a letter the table cannot hold would turn
  // into '?' and match names holding one: the set the server reports here tells the query builder
  // which words cannot match. Where the query fails, the literals stay utf8mb4 and the statements
  // that follow report as usual.
  // A setting answers with no rows; whatever a server sends instead is passed over, so the next
  // statement finds the connection in step.
  m_strLiteralCharset.clear();
  if (mysql_query(mysql, kLiteralCharsetStatement) == 0) {
    if (mysql_field_count(mysql) > 0) {
      if (MYSQL_RES* rest = mysql_use_result(mysql)) mysql_free_result(rest);
    } else {
      m_strLiteralCharset = TrackedVariable(mysql, "character_set_connection");
    }
  }
  m_mysql = mysql;
  return true;
}

bool DupesConnection::LiteralsCanHold(const std::string& text) const {
  return m_strLiteralCharset.empty() || CharsetCanHold(m_strLiteralCharset, text);
}

bool DupesConnection::SelectDatabase() {
  BoundedIo io(m_pRun, m_deadline);
  return m_mysql && mysql_select_db(m_mysql, kDatabase) == 0;
}

void InitDupesLibrary() {
  mysql_library_init(0, nullptr, nullptr);
}

std::shared_ptr<WorkerRun> StartDupesThread(std::shared_ptr<WorkerRun> run, std::function<void()> body) {
  return WorkerRun::StartThread(std::move(run), [body = std::move(body)] {
    mysql_thread_init();
    body();
    mysql_thread_end();
  });
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

bool DupesConnection::Open(ConnectionFeedback& feedback) {
  const DupesEndpoints& ends = m_endpoints;
  const int wakeFd = m_pRun ? m_pRun->WakeFd() : -1;
  bool useBackup = false;
  // Every step that failed on the way, so the one failure line tells the whole failover.
  std::string trail;
  std::string why;
  auto note = [&](const std::string& server, const char* step) {
    trail += (trail.empty() ? "" : "; ") + server + ": " + step + " failed: " + why;
  };
  auto fail = [&](const char* text) {
    ::ReportFailure(trail);
    feedback.ShowMessage(text, kCaptionError, MB_OK | MB_ICONEXCLAMATION);
    return false;
  };

  feedback.SetStatus(kStatusTesting);
  if (!IsServerReachable(ends.m_strPrimary, ends.m_nPrimaryProbePort, ends.m_nProbeSeconds, wakeFd, &why)) {
    if (Stopped()) return false;
    note(DescribeServer("primary", ends.m_strPrimary, unsigned(ends.m_nPrimaryProbePort)), "probe");
    useBackup = true;
    feedback.SetStatus(kStatusTestingBackup);
    if (!IsServerReachable(ends.m_strBackup, ends.m_nBackupProbePort, ends.m_nProbeSeconds, wakeFd, &why)) {
      if (Stopped()) return false;
      note(DescribeServer("backup", ends.m_strBackup, unsigned(ends.m_nBackupProbePort)), "probe");
      return fail(kTextNeitherAvailable);
    }
  }
  if (Stopped()) return false;

  if (!useBackup) {
    feedback.SetStatus(kStatusConnecting);
    if (!Connect("primary", ends.m_strPrimary, why)) {
      useBackup = true;
      note(m_strServer, "connect");
    }
    if (Stopped()) return false;
  }
  if (useBackup) {
    feedback.SetStatus(kStatusConnectingBackup);
    if (!Connect("backup", ends.m_strBackup, why)) {
      if (Stopped()) return false;
      note(m_strServer, "connect");
      return fail(kTextCannotConnect);
    }
  }
  if (Stopped()) return false;

  if (!SelectDatabase()) {
    if (Stopped()) return false;
    why = DescribeError(m_mysql);
    note(m_strServer, "select database dupesnukes");
    return fail(kTextCannotAccess);
  }
  return true;
}

void DupesConnection::Close(ConnectionFeedback& feedback) {
  if (!IsConnected()) return;
  feedback.SetStatus(kStatusDisconnecting);
  CloseHandle();
}

bool DupesConnection::Execute(const std::string& sql) {
  BoundedIo io(m_pRun, m_deadline);
  m_strRejected.clear();
  return m_mysql && mysql_query(m_mysql, sql.c_str()) == 0;
}

bool DupesConnection::Query(const std::string& sql, const ResultBounds& bounds) {
  ReleaseResult();
  if (!Execute(sql)) return false;
  BoundedIo io(m_pRun, m_deadline);
  m_pResult = mysql_use_result(m_mysql);
  m_bounds = bounds;
  m_nRows = 0;
  return m_pResult != nullptr;
}

bool DupesConnection::QueryValue(const std::string& sql, std::string& value) {
  ResultBounds one;
  one.maxRows = 1;
  bool found = Query(sql, one) && FetchRow();
  if (found) value = Field(0) ? Field(0) : "";
  // The end of the result must follow: a second row breaks the bounds.
  if (found) found = !FetchRow() && !HasError();
  ReleaseResult();
  return found;
}

bool DupesConnection::QueryCount(const std::string& sql, std::string& value) {
  if (!QueryValue(sql, value)) return false;
  if (IsCount(value)) return true;
  m_strRejected = "a count that is not a number";
  return false;
}

bool DupesConnection::Reject(const char* why) {
  m_strRejected = why;
  m_row = nullptr;
  if (m_mysql) ::shutdown(mysql_get_socket(m_mysql), SHUT_RDWR);
  return false;
}

bool DupesConnection::FetchRow() {
  m_row = nullptr;
  if (!m_pResult || !m_strRejected.empty()) return false;
  BoundedIo io(m_pRun, m_deadline);
  MYSQL_ROW row = mysql_fetch_row(m_pResult);
  if (!row) return false;
  if (++m_nRows > m_bounds.maxRows) return Reject("more rows than the statement asks for");
  const unsigned long* lengths = mysql_fetch_lengths(m_pResult);
  const size_t columns = std::min<size_t>(m_bounds.maxFieldBytes.size(), mysql_num_fields(m_pResult));
  for (size_t i = 0; i < columns; ++i) {
    const unsigned long most = m_bounds.maxFieldBytes[i];
    if (most && lengths[i] > most) return Reject("a field longer than its column holds");
  }
  m_row = row;
  return true;
}

unsigned DupesConnection::FieldCount() const {
  return m_pResult ? mysql_num_fields(m_pResult) : 0;
}

const char* DupesConnection::Field(unsigned column, unsigned long* length) const {
  if (!m_row || column >= FieldCount()) return nullptr;
  if (length) *length = mysql_fetch_lengths(m_pResult)[column];
  return m_row[column];
}

std::string DupesConnection::FieldText(unsigned column) const {
  unsigned long length = 0;
  const char* field = Field(column, &length);
  return field ? std::string(field, length) : std::string();
}

void DupesConnection::ReleaseResult() {
  BoundedIo io(m_pRun, m_deadline);
  // An unfinished result is read to its end here, row by row; a rejected one finds its socket
  // shut down and ends at once.
  if (m_pResult) mysql_free_result(m_pResult);
  m_pResult = nullptr;
  m_row = nullptr;
}

bool DupesConnection::HasError() const {
  return !m_strRejected.empty() || (m_mysql && mysql_errno(m_mysql) != 0);
}

std::string DupesConnection::LastError() const {
  if (!m_strRejected.empty()) return "the server sent " + m_strRejected;
  return DescribeError(m_mysql);
}

void DupesConnection::ReportFailure(const std::string& step) const {
  ::ReportFailure(m_strServer + ": " + step + " failed: " + LastError());
}

std::string DescribeServer(const char* role, const std::string& address, unsigned port) {
  return std::string(role) + " server " + address + ":" + std::to_string(port ? port : MYSQL_PORT);
}
