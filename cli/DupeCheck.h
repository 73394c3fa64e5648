#pragma once
// One run of kestrel-dupe against the servers: the form's steps (connect with failover, count,
// retrieve within the cap, total) without its questions, the answer on standard output, the
// steps with -v and any failure as one "kestrel-dupe:" line on standard error.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/DupeOptions.h"
#include "db/ConnectionFeedback.h"
#include "db/DupesConnection.h"

class DupeCheck : public ConnectionFeedback {
 public:
  DupeCheck(const DupeOptions& options, const DupesEndpoints& servers, std::FILE* in, std::FILE* out,
            std::FILE* err);

  // The exit status: 0 something matched, 1 nothing did, 2 an error (its line written).
  int Run();

 private:
  void SetStatus(const std::string& text) override;
  // The connection's failures: the defined text and the failure lines naming server, step and
  // cause, in one line.
  int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) override;

  bool ReadNames();
  int Steps();
  // The failure line of step and "Cannot execute SQL!", as one line; returns the status 2.
  int SqlFailed(const char* step);
  void Verbose(const std::string& text);

  const DupeOptions& m_options;
  std::FILE* m_in;
  std::FILE* m_out;
  std::FILE* m_err;
  DupesConnection m_connection;
  std::vector<std::string> m_names;
  std::vector<std::string> m_failureLines;  // from the connection, until they are written
  std::string m_summary;
  bool m_failed = false;
};
