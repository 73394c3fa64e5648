#pragma once
// The connection of one worker run and the steps that reach a server: the TCP probe, the failover
// from the primary to the backup, the closing step and the statements. The client library stays
// behind it: callers run a statement, fetch a row and read its fields.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/ConnectionFeedback.h"
#include "db/DupesEndpoints.h"

class WorkerRun;
struct st_mysql;
struct st_mysql_res;

// What an honest server can send for a statement: rows are read one at a time, and a row or a
// field past these bounds ends the result at once (the rest is never read) with an error.
struct ResultBounds {
  unsigned long long maxRows = ~0ULL;
  // Per column, the most bytes the schema lets it hold; 0 or a missing entry: unbounded.
  std::vector<unsigned long> maxFieldBytes;
};

class DupesConnection {
 public:
  // run may be null (no cancel); it must outlive the connection.
  DupesConnection(DupesEndpoints endpoints, std::string loginId, std::string password,
                  WorkerRun* run = nullptr);
  ~DupesConnection();  // releases the result and closes, silently
  DupesConnection(const DupesConnection&) = delete;
  DupesConnection& operator=(const DupesConnection&) = delete;

  // The failover sequence: probe, connect, select dupesnukes. False after a failure that was
  // already reported (message box, and one failure line naming every server step that failed),
  // or when the run was stopped (then nothing is reported).
  bool Open(ConnectionFeedback& feedback);
  // "Disconnecting from database" and close, when connected.
  void Close(ConnectionFeedback& feedback);
  // One server, no probe and no failover; the library's error in why on failure. With a run,
  // the socket is published.
  bool Connect(const char* role, const std::string& address, std::string& why);
  bool SelectDatabase();
  // Before Connect: the largest packet accepted from the server (default 1 MiB).
  void SetPacketLimit(unsigned long bytes) { m_nPacketLimit = bytes; }
  // Every wait on the server from now on ends by then; a wait that reaches it fails.
  void SetDeadline(std::chrono::steady_clock::time_point deadline) { m_deadline = deadline; }
  bool IsConnected() const { return m_mysql != nullptr; }
  // The address of the server connected last (its local copy is kept under that name).
  const std::string& Address() const { return m_strAddress; }
  // Whether the literals of a statement hold every letter of text: the names' character set, as
  // the server reported it when connecting, has them all. True when the server did not say.
  bool LiteralsCanHold(const std::string& text) const;

  // The statement alone; false when it fails.
  bool Execute(const std::string& sql);
  // The statement; its result, read row by row within bounds, replaces the one held. False when
  // the statement fails or gives no result set.
  bool Query(const std::string& sql, const ResultBounds& bounds = {});
  // Column 0 of the one row. False when the statement fails, gives no result set, no row or more.
  bool QueryValue(const std::string& sql, std::string& value);
  // QueryValue, and false too when the value is not a decimal count.
  bool QueryCount(const std::string& sql, std::string& value);
  // The next row of the result held; false at its end, on a read error or past the bounds
  // (HasError tells these from the end).
  bool FetchRow();
  unsigned FieldCount() const;
  // Field column of the row fetched, as sent; null for SQL NULL. length (optional) gets its
  // size: a binary column may hold NULs.
  const char* Field(unsigned column, unsigned long* length = nullptr) const;
  // Field column's bytes as sent, NULs included; NULL reads as empty.
  std::string FieldText(unsigned column) const;
  void ReleaseResult();

  // Whether the last statement ended with a server error or broke its bounds.
  bool HasError() const;
  // "MySQL error 1142: SELECT command denied ..." of the last statement.
  std::string LastError() const;
  // The failure line of a statement: "<server>: <step> failed: <error>".
  void ReportFailure(const std::string& step) const;

 private:
  bool Stopped() const;
  void CloseHandle();
  // A result the server could not honestly send: the socket goes down so that nothing more of
  // it is read, not even by the release of the result. False, for the fetch that ends there.
  bool Reject(const char* why);

  st_mysql* m_mysql = nullptr;
  st_mysql_res* m_pResult = nullptr;
  char** m_row = nullptr;
  ResultBounds m_bounds;
  unsigned long long m_nRows = 0;
  std::string m_strRejected;
  std::string m_strLiteralCharset;  // empty: not reported
  unsigned long m_nPacketLimit = 1UL << 20;
  std::chrono::steady_clock::time_point m_deadline = std::chrono::steady_clock::time_point::max();

  DupesEndpoints m_endpoints;
  std::string m_strLoginId;
  std::string m_strPassword;
  WorkerRun* m_pRun = nullptr;
  // The server the handle talks to, as failure lines name it: "backup server 127.0.0.72:3306".
  std::string m_strServer;
  std::string m_strAddress;
};

// Once in main, before any thread starts.
void InitDupesLibrary();

// WorkerRun::StartThread with the client library's thread set-up around body.
std::shared_ptr<WorkerRun> StartDupesThread(std::shared_ptr<WorkerRun> run, std::function<void()> body);

// True when address:port accepted a TCP connection within seconds. A refused connection answers
// false at once. wakeFd (optional) ends the wait early, with false, once it is readable.
// why (optional) receives the reason of a false answer.
bool IsServerReachable(const std::string& address, int port, int seconds, int wakeFd = -1,
                       std::string* why = nullptr);

// "primary server 127.0.0.71:3306"; port 0 is the client library's default.
std::string DescribeServer(const char* role, const std::string& address, unsigned port);
