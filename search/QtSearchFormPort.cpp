#include "search/QtSearchFormPort.h"

#include <QTreeWidgetItem>
#include <algorithm>

#include "platform/MessageBox.h"
#include "platform/UiThread.h"
#include "search/ResultListCtrl.h"

void QtSearchFormPort::Invoke(const std::function<void()>& call) {
  RunOnUiThread([&] {
    if (m_pView) call();
  });
}

void QtSearchFormPort::SetStatus(const std::string& text) {
  m_pView->SetStatusText(text);
}

void QtSearchFormPort::Repaint() {
  m_pView->repaint();
}

void QtSearchFormPort::SetCaption(const std::string& text) {
  m_pView->SetButtonCaption(text);
}

SearchRequest QtSearchFormPort::ReadRequest(bool exchange) {
  return m_pView->ReadRequest(exchange);
}

void QtSearchFormPort::WriteLimitAndBounds(int32_t limit, const std::string& startBound,
                                           const std::string& endBound) {
  m_pView->WriteLimitAndBounds(limit, startBound, endBound);
}

void QtSearchFormPort::DeleteAllRows() {
  m_pView->ResultList()->clear();
}

void QtSearchFormPort::InsertRow(int index, const std::string& date, const std::string& directory) {
  auto* item = new QTreeWidgetItem;
  item->setText(0, QString::fromStdString(date));
  item->setText(1, QString::fromStdString(directory));
  // "Clear List" may have emptied the list while the run went on: its rows then go to the end,
  // where the list takes them, rather than past it, where it would drop them.
  CResultListCtrl* list = m_pView->ResultList();
  list->insertTopLevelItem(std::min(index, list->topLevelItemCount()), item);
}

int QtSearchFormPort::ShowMessage(const std::string& text, const std::string& caption, unsigned flags) {
  return ShowMessageBox(m_pView.data(), text, caption, flags);
}

bool QtSearchFormPort::IsLogging() {
  return m_pView->IsLogging();
}

std::string QtSearchFormPort::LogFilePath() {
  return m_pView->LogFilePath();
}
