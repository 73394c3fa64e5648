#pragma once
// What the search worker needs from its form besides the status line and caption. Called inside
// the worker's UiLink visits only, on the form's thread; the form itself implements it, tests
// record it.
#include <cstdint>
#include <string>

#include "db/SearchRequest.h"
#include "search/FormPort.h"

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
