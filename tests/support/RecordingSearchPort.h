#pragma once
// A headless search form for worker tests. It records every call that reaches it as one event
// text, answers message boxes from a script, and serialises Invoke() with Cancel() the way the
// UI thread does, so "no call after Cancel" can be checked exactly.
//
// Events: "status:<text>", "caption:<text>", "message:<caption>|<flags hex>|<text>", "clear",
// "row:<date> <dir>", "write:<limit>|<start>|<end>", "read", "exchange", "repaint",
// "logging?", "logpath?", and "cancel" for Cancel() itself.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "db/WorkerRun.h"
#include "search/SearchFormPort.h"

class RecordingSearchPort : public SearchFormPort {
 public:
  // The form's inputs as the worker will read them (the mask, dates, limit, ticks, order).
  void SetInputs(const SearchRequest& inputs);
  SearchRequest Inputs();
  // Answers for MB_YESNO boxes, in order; IDYES once the script is used up. OK boxes answer IDOK.
  void ScriptAnswers(std::deque<int> answers);
  void SetLogging(bool on, const std::string& path = "");
  // Called (on the worker's thread, inside the call) after each event is recorded.
  void OnEvent(std::function<void(const std::string& event)> hook);

  // Stops run as the form's Cancel does, between two port calls.
  void Cancel(WorkerRun& run);

  std::vector<std::string> Events();
  // Events starting with prefix, with the prefix removed.
  std::vector<std::string> EventsOf(const std::string& prefix);
  // Waits until an event equal to event was recorded; false after milliseconds.
  bool WaitFor(const std::string& event, int milliseconds);

  void Invoke(const std::function<void()>& call) override;
  void SetStatus(const std::string& text) override;
  void Repaint() override;
  void SetCaption(const std::string& text) override;
  SearchRequest ReadRequest(bool exchange) override;
  void WriteLimitAndBounds(int32_t limit, const std::string& startBound,
                           const std::string& endBound) override;
  void DeleteAllRows() override;
  void InsertRow(int index, const std::string& date, const std::string& directory) override;
  int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) override;
  bool IsLogging() override;
  std::string LogFilePath() override;

 private:
  void Record(const std::string& event);

  std::recursive_mutex m_formThread;  // held through each Invoke, like the UI thread
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::string> m_events;
  SearchRequest m_inputs;
  std::deque<int> m_answers;
  bool m_logging = false;
  std::string m_logPath;
  std::function<void(const std::string&)> m_hook;
};
