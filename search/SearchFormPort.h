#pragma once
// What the search worker needs from its form. The worker never touches widgets: it calls this
// interface, always from inside Invoke(), and only through SearchPortGuard, which drops every
// call once the run was stopped.
//
// A GUI implementation marshals Invoke() onto the UI thread and waits for it (blocking queued
// call); the other members then run on the UI thread and may use the widgets directly. Because
// the guard tests the stop flag inside Invoke(), a Cancel handled on the UI thread can never be
// followed by a change from the stopped run. Headless implementations keep the default.
#include <cstdint>
#include <functional>
#include <string>

#include "db/SearchRequest.h"

class SearchFormPort {
 public:
  virtual ~SearchFormPort() = default;

  // Runs call on the form's thread and returns once it has run.
  virtual void Invoke(const std::function<void()>& call) { call(); }

  // The status line; the worker follows each change with Repaint().
  virtual void SetStatus(const std::string& text) = 0;
  virtual void Repaint() = 0;
  // The main button's caption ("Dupe!" at the end of a run).
  virtual void SetCaption(const std::string& text) = 0;

  // The inputs: the mask box's text as typed, the two date display texts, the bounds, limit,
  // "Retrieve All", "Between:" and the order list's selected index. With exchange, first update
  // the fields from the controls (an invalid limit shows "Please enter an integer." and leaves
  // the fields as they were).
  virtual SearchRequest ReadRequest(bool exchange) = 0;
  // Keeps the limit actually used and the range bounds in the form's fields.
  virtual void WriteLimitAndBounds(int32_t limit, const std::string& startBound,
                                   const std::string& endBound) = 0;

  // The results list.
  virtual void DeleteAllRows() = 0;
  virtual void InsertRow(int index, const std::string& date, const std::string& directory) = 0;

  // A message box owned by the form; waits for the answer (ID* of platform/MessageBox.h).
  virtual int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) = 0;

  // The session log switch and file, as they stand now.
  virtual bool IsLogging() = 0;
  virtual std::string LogFilePath() = 0;
};
