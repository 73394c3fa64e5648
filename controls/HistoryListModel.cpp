#include "controls/HistoryListModel.h"

#include <QString>

CHistoryListModel::CHistoryListModel(const CHistoryModel& history, QObject* parent)
    : QAbstractListModel(parent), m_history(history) {}

int CHistoryListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_history.Count();
}

QVariant CHistoryListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= m_history.Count()) return QVariant();
  if (role != Qt::DisplayRole && role != Qt::EditRole) return QVariant();
  const std::string& item = m_history.Items()[size_t(index.row())];
  return QString::fromUtf8(item.data(), qsizetype(item.size()));
}

void CHistoryListModel::Refresh() {
  beginResetModel();
  endResetModel();
}
