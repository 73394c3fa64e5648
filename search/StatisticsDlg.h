#pragma once
// The statistics window: checks both servers one after the other and shows, for each, whether
// it answers, its last update and the number of entries.
#include <QDialog>

#include "db/DupesEndpoints.h"

class CStatisticsDlg : public QDialog {
  Q_OBJECT

 public:
  // The "Database &Statistics" command: a new window, shown, OK disabled, the check one second
  // later. The window deletes itself when it is destroyed.
  static CStatisticsDlg* Open(const DupesEndpoints& endpoints, QWidget* owner);

  // (the rest is up to the implementation)
 protected:
  CStatisticsDlg(const DupesEndpoints& endpoints, QWidget* owner);
  DupesEndpoints m_endpoints;
};
