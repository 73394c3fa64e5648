#pragma once
// A search's answers from the local copy of the server it reached, for as long as the copy can
// give exactly the statements' answers; the statements answer whenever it cannot.
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/DupesEndpoints.h"
#include "index/LocalIndex.h"

class DupesConnection;

class LocalSearch {
 public:
  LocalSearch();
  ~LocalSearch();

  // Connected: brings the copy of that server up to date and keeps it when it can answer for
  // mask. False, and nothing kept, while the copy is being built, when it cannot answer or it
  // could not be caught up: the statements then answer.
  bool Prepare(DupesConnection& connection, const std::string& mask);
  // Both servers down: the copy of either that was brought up to date last, when one is whole
  // and can answer for mask.
  bool PrepareOffline(const DupesEndpoints& endpoints, const std::string& mask);
  bool IsActive() const { return m_copy != nullptr; }
  // When the copy was last brought up to date, as the question and the summary give it.
  std::string CaughtUpText() const;

  // The entries matching within the range, or nothing when the copy failed (dropped then).
  std::optional<long long> Count(const std::string& startBound, const std::string& endBound, int order);
  // The first limit of them in order; false when the copy failed.
  bool Rows(const std::string& startBound, const std::string& endBound, int limit, int order,
            std::vector<LocalEntry>& rows);
  // The table's entries, as the copy holds them.
  long long Total() const { return m_answer.total; }
  // Why the copy does not answer or stopped answering.
  const std::string& Why() const { return m_why; }

 private:
  bool Answer(const std::string& startBound, const std::string& endBound, int limit, int order);
  bool Keep(std::unique_ptr<LocalIndex> copy, const std::string& mask);

  std::unique_ptr<LocalIndex> m_copy;
  std::optional<LocalMatcher> m_matcher;
  // The last answer and what it was asked: a count and the rows that follow it are one scan.
  LocalAnswer m_answer;
  std::string m_startBound, m_endBound;
  int m_order = -2;
  std::string m_why;
};
