#pragma once
// The connection state of one worker run and the steps that reach a server: the TCP probe, the
// failover from the primary to the backup, the closing step and single-value queries.
#include <mysql.h>

#include <string>

#include "db/ConnectionFeedback.h"
#include "db/DupesEndpoints.h"

class WorkerRun;

class DupesConnection {
 public:
  // run may be null (no cancel); it must outlive the connection.
  DupesConnection(DupesEndpoints endpoints, std::string loginId, std::string password,
                  WorkerRun* run = nullptr);
  ~DupesConnection();  // releases the result and closes, silently
  DupesConnection(const DupesConnection&) = delete;
  DupesConnection& operator=(const DupesConnection&) = delete;

  void ReleaseResult();

  MYSQL* m_mysql = nullptr;
  bool m_bConnected = false;
  MYSQL_RES* m_pResult = nullptr;
  MYSQL_ROW m_row = nullptr;

  DupesEndpoints m_endpoints;
  std::string m_strLoginId;
  std::string m_strPassword;
  WorkerRun* m_pRun = nullptr;
  // The server the handle talks to, as failure lines name it: "backup server 127.0.0.72:3306".
  std::string m_strServer;
};

// Once in main, before any thread starts.
void InitDupesLibrary();

// True when address:port accepted a TCP connection within seconds. A refused connection answers
// false at once. wakeFd (optional) ends the wait early, with false, once it is readable.
// why (optional) receives the reason of a false answer.
bool IsServerReachable(const std::string& address, int port, int seconds, int wakeFd = -1,
                       std::string* why = nullptr);

// mysql_init and mysql_real_connect (no database, no socket, no flags) with the connect and
// read/write time-outs every caller uses; null on failure, with the library's error in why
// (optional). With run, the socket is published.
MYSQL* ConnectDupesServer(const std::string& address, const std::string& loginId, const std::string& password,
                          unsigned port, WorkerRun* run, std::string* why = nullptr);
// Withdraws the published socket, then closes. Null is allowed.
void CloseDupesServer(MYSQL* mysql, WorkerRun* run);

// The failover sequence: probe, connect, select dupesnukes. False after a failure that was
// already reported (message box, and one failure line naming every server step that failed),
// or when the run was stopped (then nothing is reported).
bool OpenDupesDatabase(DupesConnection& connection, ConnectionFeedback& feedback);
// "Disconnecting from database" and close, when connected.
void CloseDupesDatabase(DupesConnection& connection, ConnectionFeedback& feedback);

// Column 0 of the first row. False when the statement fails, gives no result set or no row.
bool QuerySingleValue(MYSQL* mysql, const std::string& sql, std::string& value);
bool QuerySingleValue(DupesConnection& connection, const std::string& sql, std::string& value);

// mysql_query, then the whole result into m_pResult. False when either fails.
bool QueryIntoResult(DupesConnection& connection, const std::string& sql);

// "primary server 127.0.0.71:3306"; port 0 is the client library's default.
std::string DescribeServer(const char* role, const std::string& address, unsigned port);
// "MySQL error 1142: SELECT command denied ..." of the handle's last statement.
std::string DescribeServerError(MYSQL* mysql);
// The failure line of a statement on the connection's server: "<server>: <step> failed: <error>".
void ReportServerFailure(const DupesConnection& connection, const std::string& step);
