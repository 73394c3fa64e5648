#pragma once
// The session log: one appended block per retrieval (header, a line per row, the summary).
// The file is opened for appending (created only when missing, never truncated) and held under
// an exclusive advisory lock from the header to the summary.
#include <cstdint>
#include <string>

struct SessionLogHeader {
  std::string mask;  // as typed
  bool useBetween = false;
  std::string startDate;  // display texts of the date boxes
  std::string endDate;
  int32_t limit = 0;  // the limit the row query was built with
  int32_t order = 1;  // selected index of the order list
};

class SessionLog {
 public:
  SessionLog() = default;
  ~SessionLog();
  SessionLog(const SessionLog&) = delete;
  SessionLog& operator=(const SessionLog&) = delete;

  // Opens path and writes the header lines in one write. False when the file could not be
  // opened or locked; the search goes on without a log then.
  bool LogSearchHeader(const std::string& path, const SessionLogHeader& header);
  // Two blanks, date, one blank, directory, CR LF. Does nothing while closed.
  void LogResultRow(const std::string& date, const std::string& directory);
  // The summary, then CR LF, then closes the file. Does nothing while closed.
  void LogSearchSummary(const std::string& summary);
  void Close();
  bool IsOpen() const { return m_fd >= 0; }
  // False once a write failed (disk full, file gone read-only); the search still completes.
  bool WritesSucceeded() const { return m_writesOk; }

  static std::string FormatHeader(const SessionLogHeader& header);

 private:
  void Write(const std::string& text);

  int m_fd = -1;
  bool m_writesOk = true;
};
