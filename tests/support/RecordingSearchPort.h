#pragma once
// A headless search form for worker tests. It records every call that reaches it as one event
// text (see EventRecorder) and answers message boxes from a script.
//
// Events: "status:<text>", "caption:<text>", "message:<caption>|<flags hex>|<text>", "clear",
// "row:<date> <dir>", "write:<limit>|<start>|<end>", "exchange", "repaint",
// "logging?", "logpath?", and "cancel" for Cancel() itself.
#include <deque>
#include <mutex>
#include <string>

#include "platform/UiLink.h"
#include "search/WorkerPorts.h"
#include "tests/support/EventRecorder.h"

class RecordingSearchPort : public SearchFormPort, public UiLink, public EventRecorder {
 public:
  // The form's inputs as the worker will read them (the mask, dates, limit, ticks, order).
  void SetInputs(const SearchRequest& inputs);
  SearchRequest Inputs();
  // Answers for MB_YESNO boxes, in order; IDYES once the script is used up. OK boxes answer IDOK.
  void ScriptAnswers(std::deque<int> answers);
  void SetLogging(bool on, const std::string& path = "");

  bool Carry(const std::function<void()>& call) override;
  void SetStatusText(const std::string& text) override;
  void Repaint() override;
  void SetButtonCaption(const std::string& text) override;
  SearchRequest ReadRequest() override;
  void WriteLimitAndBounds(int32_t limit, const std::string& startBound,
                           const std::string& endBound) override;
  void DeleteAllRows() override;
  void InsertRow(int index, const std::string& date, const std::string& directory) override;
  int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) override;
  bool IsLogging() const override;
  std::string LogFilePath() const override;

 private:
  mutable std::mutex m_mutex;  // the inputs, answers and log settings
  SearchRequest m_inputs;
  std::deque<int> m_answers;
  bool m_logging = false;
  std::string m_logPath;
};
