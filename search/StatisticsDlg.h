#pragma once
// The statistics window: checks both servers one after the other and shows, for each, whether
// it answers, its last update and the number of entries.
#include <QDialog>
#include <memory>

#include "db/DupesEndpoints.h"
#include "search/WorkerPorts.h"

class QLineEdit;
class QPushButton;
class WorkerRun;

class CStatisticsDlg : public QDialog, public StatisticsPort {
  Q_OBJECT

 public:
  static constexpr int kCheckDelay = 1000;  // milliseconds from the showing to the check
  // The modal frame drawn around the template's client area, in pixels on each side: the
  // window manager draws none around a window without a caption bar.
  static constexpr int kFrameWidth = 3;

  // The "Database &Statistics" command: a new window, shown, OK disabled, the check one second
  // later. The window deletes itself when it is destroyed.
  static CStatisticsDlg* Open(const DupesEndpoints& endpoints, QWidget* owner);
  ~CStatisticsDlg() override;

  // The run of this window's check; null until the check has started.
  std::shared_ptr<WorkerRun> CheckRun() const { return m_pRun; }

  // The check's reports, on the UI thread.
  void SetStatus(const std::string& text) override;
  void SetField(int controlId, const std::string& text) override;
  void CheckDone() override;

 protected:
  CStatisticsDlg(const DupesEndpoints& endpoints, QWidget* owner);

  void timerEvent(QTimerEvent* event) override;
  // Esc and the window manager's close end the window once the check is done; asked for during
  // the check, they take effect as it ends.
  void reject() override;
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

  DupesEndpoints m_endpoints;

 private:
  void Centre();
  void StartCheck();

  QPushButton* m_pOk = nullptr;
  QLineEdit* m_pStatus = nullptr;
  int m_nTimer = 0;
  bool m_bRejectWhenDone = false;
  std::shared_ptr<WorkerRun> m_pRun;
};
