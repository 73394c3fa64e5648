#pragma once
// The one place that keeps a stopped run silent: every call reaches the form port only while
// the run is not stopped, and the test is made inside the port's Invoke(), on the form's thread.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "db/ConnectionFeedback.h"
#include "db/SearchRequest.h"
#include "db/WorkerRun.h"
#include "search/SearchFormPort.h"

class SearchPortGuard : public ConnectionFeedback {
 public:
  SearchPortGuard(SearchFormPort& port, const WorkerRun& run) : m_port(port), m_run(run) {}

  bool IsStopped() const { return m_run.IsStopped(); }

  // Status line, then repaint, in one visit.
  void SetStatus(const std::string& text) override;
  // IDCANCEL when the call was dropped.
  int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) override;
  void Repaint();
  void SetCaption(const std::string& text);
  // False when dropped (request untouched).
  bool ReadRequest(bool exchange, SearchRequest& request);
  void WriteLimitAndBounds(int32_t limit, const std::string& startBound, const std::string& endBound);
  void DeleteAllRows();
  void InsertRow(int index, const std::string& date, const std::string& directory);
  // False when dropped or logging is off.
  bool IsLogging();
  std::string LogFilePath();
  // Runs write while logging is still on and the run not stopped; false otherwise. The write
  // happens in the same visit as the test, so no line follows a Cancel or a switch-off.
  bool WriteLogIfOn(const std::function<void()>& write);
  // Rows first, first + 1, ... in one visit, each followed by its log line while logging is on;
  // logging turns false for good once it was switched off. Stops at the row where the run was
  // stopped. Returns how many rows reached the list.
  using RowText = std::pair<std::string, std::string>;  // date, directory
  size_t InsertRows(int first, const std::vector<RowText>& rows, bool& logging,
                    const std::function<void(const RowText&)>& logRow);
  // Like WriteLogIfOn, for opening the log: open gets the log path and says whether it opened.
  bool OpenLogIfOn(const std::function<bool(const std::string& path)>& open);

 private:
  // Runs call on the form's thread unless the run is stopped; false when dropped.
  bool Visit(const std::function<void()>& call);

  SearchFormPort& m_port;
  const WorkerRun& m_run;
};
