#pragma once
// One run of kestrel-dupe against the servers: the form's steps (connect with failover, count,
// retrieve within the cap, total) without its questions, the answer on standard output, the
// steps with -v and any failure as one "kestrel-dupe:" line on standard error.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/DupeOptions.h"
#include "db/ConnectionFeedback.h"
#include "db/DupesConnection.h"
#include "index/CopyCollation.h"

class DupeCheck : public ConnectionFeedback {
 public:
  // collations: how the local copies fold and match (DefaultCopyCollationSource in the programs).
  DupeCheck(const DupeOptions& options, const DupesEndpoints& servers, std::FILE* in, std::FILE* out,
            std::FILE* err, CopyCollationSource collations = DefaultCopyCollationSource());

  // The exit status: 0 something matched, 1 nothing did, 2 an error (its line written).
  int Run();

 private:
  void SetStatus(const std::string& text) override;
  // The connection's failures: the defined text and the failure lines naming server, step and
  // cause, in one line.
  int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) override;

  bool ReadNames();
  int Steps();
  // The copy of the server connected, brought up to date and asked; nothing when the statements
  // must answer (no copy, a collation or mask it cannot reproduce, a copy still being built).
  std::optional<int> LocalSteps();
  // --sync: the copy of the server connected built or caught up.
  int Sync();
  // --local: the first usable copy of the two servers, without a connection.
  int RunLocal();
  // The answer of a search from a copy, printed as the statements' answer is.
  // The matcher of the mask, or of the names with --exact; nothing when the server must answer.
  std::optional<LocalMatcher> LocalMatcherOf(const CopyCollation& collation) const;
  // The copy's query for the options' range, limit and order.
  LocalQuery LocalQueryOf(LocalMatcher matcher) const;
  int PrintLocal(const LocalAnswer& answer);
  int LocalFailed(const std::string& line);
  // The failure line of step and "Cannot execute SQL!", as one line; returns the status 2.
  int SqlFailed(const char* step);
  void Verbose(const std::string& text);

  const DupeOptions& m_options;
  DupesEndpoints m_servers;
  CopyCollationSource m_collations;
  std::FILE* m_in;
  std::FILE* m_out;
  std::FILE* m_err;
  DupesConnection m_connection;
  std::vector<std::string> m_names;
  std::vector<std::string> m_failureLines;  // from the connection, until they are written
  std::string m_summary;
  bool m_failed = false;
};
