#pragma once
// The session log: one appended block per retrieval (header, a line per row, the summary).
// The file is opened for appending (created only when missing, never truncated) and held under
// an exclusive advisory lock (flock) from the header to the summary, so a second writer is
// refused instead of interleaving its lines.
//
// Failures never stop the search. When the file cannot be opened, created or locked, or a write
// fails, the log closes the file, ignores every later call of the block and WritesSucceeded()
// turns false; the caller finishes the search, shows its summary, and then shows FailureText()
// once (caption "Kestrel Error", exclamation icon), with FailureLine() beside it.
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

  // Opens path and writes the header lines in one write. True when the header is in the file
  // and the file stays open for the rows; false when it could not be opened, locked or written.
  bool LogSearchHeader(const std::string& path, const SessionLogHeader& header);
  // Two blanks, date, one blank, directory, CR LF; the server's texts escaped
  // (EscapedServerText), so each row is one line. Does nothing while closed.
  void LogResultRow(const std::string& date, const std::string& directory);
  // The summary, then CR LF, then closes the file. Does nothing while closed.
  void LogSearchSummary(const std::string& summary);
  void Close();
  bool IsOpen() const { return m_fd >= 0; }
  // False once the open or a write of the current block failed; reset by the next header.
  bool WritesSucceeded() const { return m_writesOk; }
  // The path of the current (or last) block.
  const std::string& Path() const { return m_path; }

  // The header lines; the mask and dates escaped as the rows are.
  static std::string FormatHeader(const SessionLogHeader& header);
  // "Cannot write to log file " followed by the path.
  static std::string FailureText(const std::string& path);
  // What failed first in the current block, for the failure line:
  // "session log /home/u/kestrel.log: open failed: Permission denied (errno 13)".
  std::string FailureLine() const { return "session log " + m_path + ": " + m_failure; }

 private:
  bool Open(const std::string& path);
  void Write(const std::string& text);
  // Keeps the first failure of the block; error is an errno value, or 0 with reason. False, for
  // the step that ends there.
  bool Fail(const char* step, int error, const char* reason = "");

  int m_fd = -1;
  bool m_writesOk = true;
  std::string m_path;
  std::string m_failure;
};
