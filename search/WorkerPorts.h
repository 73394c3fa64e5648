#pragma once
// The windows as the workers reach them. Workers call these only inside a visit of their UiLink
// (WorkerContext::Visit), so they run on the UI thread and may use the widgets directly; a stopped
// run reaches none of them. The windows implement them, tests record them.
#include <cstdint>
#include <string>

#include "db/SearchRequest.h"
#include "search/NfoText.h"

// What every worker changes on the search form: its status line, its main button and a repaint.
class FormPort {
 public:
  virtual ~FormPort() = default;

  virtual void SetStatusText(const std::string& text) = 0;
  // The main button's caption, the form's state: "Cancel" while a worker runs.
  virtual void SetButtonCaption(const std::string& text) = 0;
  // Paints the form at once, so a status shows while the worker blocks in its next call.
  virtual void Repaint() = 0;
};

// What the search worker needs from its form besides the status line and caption.
class SearchFormPort : public FormPort {
 public:
  // The inputs: the mask box's text as typed, the two date display texts, the bounds, limit,
  // "Retrieve All", "Between:" and the order list's selected index, after the fields were updated
  // from the controls (an invalid limit shows "Please enter an integer." and leaves the fields as
  // they were).
  virtual SearchRequest ReadRequest() = 0;
  // Keeps the limit actually used and the range bounds in the form's fields.
  virtual void WriteLimitAndBounds(int32_t limit, const std::string& startBound,
                                   const std::string& endBound) = 0;

  // The results list.
  virtual void DeleteAllRows() = 0;
  virtual void InsertRow(int index, const std::string& date, const std::string& directory) = 0;

  // A message box owned by the form; waits for the answer (ID* of platform/MessageBox.h).
  virtual int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) = 0;

  // The session log switch and file, as they stand now.
  virtual bool IsLogging() const = 0;
  virtual std::string LogFilePath() const = 0;
};

// The viewer made for one NFO retrieval.
class NfoViewerPort {
 public:
  virtual ~NfoViewerPort() = default;

  // A message box owned by the (hidden) viewer, so the form stays usable; waits for the answer.
  virtual int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) = 0;
  // The viewer takes caption (the directory's bytes), is shown and repainted, then takes over
  // text (made from the stored bytes off the UI thread) and is repainted again.
  virtual void ShowNfo(const std::string& caption, NfoText&& text) = 0;
};

// The statistics window.
class StatisticsPort {
 public:
  virtual ~StatisticsPort() = default;
  // The window's status field.
  virtual void SetStatus(const std::string& text) = 0;
  // One of the fields 1023-1025 (primary) or 1029-1031 (backup) of template 153.
  virtual void SetField(int controlId, const std::string& text) = 0;
  // After "Done": the OK button may be enabled.
  virtual void CheckDone() = 0;
};
