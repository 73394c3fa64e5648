#pragma once
// The search form: the one window the user works in. It holds the inputs of a search, the
// results list, the status line and the button that starts a search or cancels the running
// work; it carries out the commands of the results list's pop-up and the tray's "&Exit Kestrel"
// (its own work stops first), loads its inputs from the settings store when it is created and
// saves them when it goes away.
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "db/DupesEndpoints.h"
#include "db/SearchRequest.h"
#include "platform/SocketsStartup.h"
#include "platform/WorkerRun.h"
#include "search/IndexBuildWorker.h"
#include "search/WorkerPorts.h"

class CHistoryCombo;
class IndexBuildBadge;
class CMaskedEdit;
class CResultListCtrl;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

class CKestrelView : public QWidget, public SearchFormPort, public IndexBuildPort {
  Q_OBJECT

 public:
  explicit CKestrelView(const DupesEndpoints& endpoints, QWidget* parent = nullptr);
  ~CKestrelView() override;

  // The set-up of the framework's first update; runs once, whether or not the form is shown.
  void OnInitialUpdate();
  // Data exchange. From the controls, a limit that is no whole number shows "Please enter an
  // integer." (unless quiet), puts the focus on the field and returns false with every field as
  // it was.
  bool UpdateData(bool bSaveAndValidate = true, bool quiet = false);
  // The destruction step: the inputs to the settings store, the mask history saved. Runs once;
  // quiet (SIGTERM) shows no message box.
  void OnDestroy(bool quiet = false);

  // Button 1002: start a search, or cancel the running work when the caption reads "Cancel".
  void OnDupe();
  // Button 1003 and "&Exit Kestrel": the main frame goes, at once (asked of the frame).
  void OnQuit();
  void OnGetAll();
  void OnBetween();
  // A menu command (ID_* of res/ResourceIds.h); true when the form handled it.
  bool OnCommand(unsigned id);

  // The status line and the main button, as the workers and the form set them.
  void SetStatusText(const std::string& text) override;
  void SetButtonCaption(const std::string& text) override;
  QString StatusText() const;
  QString ButtonCaption() const;
  bool IsBusy() const;  // the caption reads "Cancel"

  // The search request as the controls and fields hold it (exchange first, when asked).
  SearchRequest ReadRequest() override;
  void WriteLimitAndBounds(int32_t limit, const std::string& startBound,
                           const std::string& endBound) override;
  // The rest of what the search worker reaches (SearchFormPort).
  void Repaint() override { repaint(); }
  void DeleteAllRows() override;
  void InsertRow(int index, const std::string& date, const std::string& directory) override;
  int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) override;

  bool IsLogging() const override { return m_bLog; }
  std::string LogFilePath() const override { return m_strLogFile; }
  bool IsStartMinimized() const { return m_bStartMinimized; }
  bool KeepsLocalIndex() const { return m_bLocalIndex; }
  const std::shared_ptr<WorkerRun>& RunningWorker() const { return m_pRunningWorker; }
  // The local index's build, apart from the one search or NFO worker: the last one started
  // (stopped or not), how far it got, and the note at the foot of the list ("" when hidden).
  const std::shared_ptr<WorkerRun>& IndexBuildRun() const { return m_pIndexBuild; }
  const IndexBuildProgress& IndexProgress() const { return m_indexProgress; }
  QString IndexNote() const;
  // Rows a batch of the builds started from now on.
  void SetIndexBatch(int rows) { m_nIndexBatch = rows; }

  // What the build reaches (IndexBuildPort).
  void IndexBuildAdvanced(const IndexBuildProgress& progress) override;
  void IndexBuildReady(long long rows) override;
  void IndexBuildFailed(const std::string& reason) override;

  // Fields of the form as the last exchange with the controls left them.
  int32_t Limit() const { return m_nLimit; }
  bool RetrievesAll() const { return m_bGetAll != 0; }
  const std::string& StartBound() const { return m_strStartBound; }

 signals:
  // What the form asks of the frame around it, which start-up connects.
  void quitRequested();
  // Each word of the local index's build.
  void indexBuildChanged();

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Esc presses "Cancel" while work runs; idle, it is left to the rest of the window.
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Fields of the form, exchanged with the controls.
  int32_t m_nLimit = 20;
  int m_bGetAll = 0;
  int m_bUseBetween = 0;
  std::string m_strStartBound;
  std::string m_strEndBound;
  void BuildControls();
  void StartSearch();
  void CancelWork();
  void RetrieveNfo();
  void ToggleStartMinimized();
  void ToggleLocalIndex();
  void StartIndexBuild(bool onlyWhenNotReady);
  void StopIndexBuild();
  void StartIndexCheck();
  void SetIndexTip(const std::string& text);
  void LogSession();
  void ClearList();
  void UpdateNfoCommand();

  DupesEndpoints m_endpoints;
  QPixmap m_background;
  bool m_bInitialised = false;
  bool m_bDestroyed = false;

  bool m_bLog = false;
  bool m_bStartMinimized = false;
  bool m_bLocalIndex = false;
  std::string m_strLogFile = "kestrel.log";
  std::shared_ptr<WorkerRun> m_pRunningWorker;
  std::shared_ptr<WorkerRun> m_pIndexBuild;
  std::shared_ptr<WorkerRun> m_pIndexCheck;  // the copy's checks against the server, once it is ready
  IndexBuildProgress m_indexProgress;
  int m_nIndexBatch = 50000;

  CHistoryCombo* m_pMask = nullptr;
  CMaskedEdit* m_pStartDate = nullptr;
  CMaskedEdit* m_pEndDate = nullptr;
  QLineEdit* m_pLimit = nullptr;
  QCheckBox* m_pGetAll = nullptr;
  QCheckBox* m_pBetween = nullptr;
  QListWidget* m_pOrder = nullptr;
  CResultListCtrl* m_pList = nullptr;
  IndexBuildBadge* m_pIndexBadge = nullptr;
  QLineEdit* m_pStatus = nullptr;
  QPushButton* m_pDupe = nullptr;
  QPushButton* m_pQuit = nullptr;
};
