#include "search/SessionLog.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Diagnostics.h"
#include "platform/ServerText.h"

SessionLog::~SessionLog() {
  Close();
}

std::string SessionLog::FormatHeader(const SessionLogHeader& header) {
  std::string text = "-------------------------------------\r\n";
  text += "Log Open\r\n";
  text += "Search Mask: " + EscapedServerText(header.mask) + "\r\n";
  if (header.useBetween) {
    text += "Between Dates: " + EscapedServerText(header.startDate) + " and " +
            EscapedServerText(header.endDate) + "\r\n";
  }
  text += "Items to Return: " + std::to_string(header.limit) + "\r\n";
  text += "Order: ";
  text += header.order == 0 ? "First to Last\r\n" : "Last to First\r\n";
  return text;
}

std::string SessionLog::FailureText(const std::string& path) {
  return "Cannot write to log file " + path;
}

bool SessionLog::Fail(const char* step, int error, const char* reason) {
  m_writesOk = false;
  if (m_failure.empty())
    m_failure = std::string(step) + " failed: " + (error ? ErrnoText(error) : std::string(reason));
  return false;
}

bool SessionLog::Open(const std::string& path) {
  if (path.empty()) return Fail("open", 0, "no file name");
  if (path.find('\0') != std::string::npos) return Fail("open", 0, "a NUL byte in the file name");
  // Append to what is there; create only a missing file; never truncate a log that exists.
  // O_NONBLOCK only for the open itself, so a FIFO without a reader fails instead of hanging.
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (fd < 0) return Fail("open", errno);
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    Fail("open", errno);
    ::close(fd);
    return false;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    // EWOULDBLOCK: another writer holds the file.
    Fail("lock", errno);
    ::close(fd);
    return false;
  }
  m_fd = fd;
  return true;
}

bool SessionLog::LogSearchHeader(const std::string& path, const SessionLogHeader& header) {
  Close();
  m_path = path;
  m_failure.clear();
  m_writesOk = true;
  if (!Open(path)) return false;
  Write(FormatHeader(header));
  return IsOpen();
}

void SessionLog::LogResultRow(const std::string& date, const std::string& directory) {
  if (!IsOpen()) return;
  Write("  " + EscapedServerText(date) + " " + EscapedServerText(directory) + "\r\n");
}

void SessionLog::LogSearchSummary(const std::string& summary) {
  if (!IsOpen()) return;
  Write(EscapedServerText(summary) + "\r\n");
  Close();
}

void SessionLog::Close() {
  if (m_fd < 0) return;
  ::flock(m_fd, LOCK_UN);
  if (::close(m_fd) != 0 && errno != EINTR) Fail("close", errno);  // a deferred write error
  m_fd = -1;
}

void SessionLog::Write(const std::string& text) {
  if (!IsOpen()) return;
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(m_fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // Stop the block here: later lines after a lost one would misrepresent the search.
      if (n < 0)
        Fail("write", errno);
      else
        Fail("write", 0, "nothing written");
      Close();
      return;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
}
