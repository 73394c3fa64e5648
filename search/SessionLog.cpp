#include "search/SessionLog.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

SessionLog::~SessionLog() {
  Close();
}

std::string SessionLog::FormatHeader(const SessionLogHeader& header) {
  std::string text = "-------------------------------------\r\n";
  text += "Log Open\r\n";
  text += "Search Mask: " + header.mask + "\r\n";
  if (header.useBetween) text += "Between Dates: " + header.startDate + " and " + header.endDate + "\r\n";
  text += "Items to Return: " + std::to_string(header.limit) + "\r\n";
  text += "Order: ";
  text += header.order == 0 ? "First to Last\r\n" : "Last to First\r\n";
  return text;
}

bool SessionLog::LogSearchHeader(const std::string& path, const SessionLogHeader& header) {
  Close();
  m_writesOk = true;
  // Append to what is there; create only a missing file. Never truncate a log that exists.
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  m_fd = fd;
  Write(FormatHeader(header));
  return true;
}

void SessionLog::LogResultRow(const std::string& date, const std::string& directory) {
  if (!IsOpen()) return;
  Write("  " + date + " " + directory + "\r\n");
}

void SessionLog::LogSearchSummary(const std::string& summary) {
  if (!IsOpen()) return;
  Write(summary);
  Write("\r\n");
  Close();
}

void SessionLog::Close() {
  if (m_fd < 0) return;
  ::flock(m_fd, LOCK_UN);
  ::close(m_fd);
  m_fd = -1;
}

void SessionLog::Write(const std::string& text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(m_fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      m_writesOk = false;
      return;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
}
