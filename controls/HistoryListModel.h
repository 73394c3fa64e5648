#pragma once
// The history list as the combo's drop-down shows it: a read-only view of the combo's
// CHistoryModel, so the items are kept in one place only.
#include <QAbstractListModel>

#include "controls/HistoryModel.h"

class CHistoryListModel : public QAbstractListModel {
 public:
  CHistoryListModel(const CHistoryModel& history, QObject* parent);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  // Tells the views that the history changed.
  void Refresh();

 private:
  const CHistoryModel& m_history;
};
