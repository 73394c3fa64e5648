#pragma once
// The search worker's way to the real form: every call is carried to the UI thread and waited
// for, so the texts appear in exactly the worker's order, and the form is repainted at once after
// each status change. A form that is gone takes nothing.
#include <QPointer>

#include "search/KestrelView.h"
#include "search/SearchFormPort.h"

class QtSearchFormPort : public SearchFormPort {
 public:
  explicit QtSearchFormPort(CKestrelView* view) : m_pView(view) {}

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
  // Read on the UI thread only (inside Invoke).
  QPointer<CKestrelView> m_pView;
};
