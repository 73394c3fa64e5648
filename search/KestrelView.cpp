#include "search/KestrelView.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTreeWidgetItem>
#include <algorithm>

#include "app/CommandEvent.h"
#include "app/Settings.h"
#include "controls/HistoryCombo.h"
#include "controls/MaskedEdit.h"
#include "index/IndexPaths.h"
#include "platform/DataExchange.h"
#include "platform/LocaleSeparators.h"
#include "platform/MessageBox.h"
#include "platform/ServerText.h"
#include "platform/UiThread.h"
#include "res/Artwork.h"
#include "res/DialogBuilder.h"
#include "res/MenuBuilder.h"
#include "res/ResourceIds.h"
#include "res/Strings.h"
#include "res/Texts.h"
#include "search/IndexBuildBadge.h"
#include "search/IndexCheckWorker.h"
#include "search/LogSessionCommand.h"
#include "search/NfoCommand.h"
#include "search/ResultListCtrl.h"
#include "search/SearchWorker.h"
#include "search/StatisticsDlg.h"

namespace {

constexpr char kDateMask[] = "##/##/####";
constexpr int kDateLength = 10;
constexpr unsigned kMaxHistory = 20;
constexpr int kHistoryToolbarPosition = 12;  // right of the combo, centred vertically
const char* const kOrders[] = {"FIRST->LAST", "LAST->FIRST"};

QString ToQ(const std::string& text) {
  return QString::fromStdString(text);
}

// 1234567 as "1,234,567", with the user's separator.
std::string Grouped(long long number) {
  std::string digits = std::to_string(number < 0 ? 0 : number);
  const char separator = LocaleSeparators::FromUserLocale().thousands;
  if (separator == '\0') return digits;
  for (auto at = static_cast<long>(digits.size()) - 3; at > 0; at -= 3)
    digits.insert(size_t(at), 1, separator);
  return digits;
}

template <typename T>
T* Control(QWidget* form, int id) {
  return qobject_cast<T*>(GetDlgItem(form, id));
}

}  // namespace

CKestrelView::CKestrelView(const DupesEndpoints& endpoints, QWidget* parent)
    : QWidget(parent), m_endpoints(endpoints), m_background(LoadBitmapResource(IDB_BACKGROUND)) {
  BuildControls();
}

CKestrelView::~CKestrelView() {
  OnDestroy(true);
  // A running worker must not outlive the form it reports to.
  if (m_pRunningWorker) m_pRunningWorker->Stop();
  StopIndexBuild();
}

void CKestrelView::BuildControls() {
  const DialogTemplate* form = LoadDialogTemplate(IDD_KESTREL_FORM);
  DialogBuilder builder(*form);
  builder.SetFactory(IDC_MASK, [](const DialogControl&, QWidget* parent) {
    return new CHistoryCombo(kHistoryToolbarPosition, false, IDR_HISTORY_TOOLBAR, parent);
  });
  auto dateEdit = [](const DialogControl&, QWidget* parent) { return new CMaskedEdit(nullptr, parent); };
  builder.SetFactory(IDC_START_DATE, dateEdit);
  builder.SetFactory(IDC_END_DATE, dateEdit);
  builder.SetFactory(IDC_RESULTS,
                     [](const DialogControl&, QWidget* parent) { return new CResultListCtrl(parent); });
  builder.SetAccessibleName(IDC_START_DATE, "Start date");
  builder.SetAccessibleName(IDC_END_DATE, "End date");
  builder.SetAccessibleName(IDC_RESULTS, "Results");
  builder.SetAccessibleName(IDC_STATUS, "Status");
  builder.Build(this);
  setMinimumSize(builder.DialogSize());

  m_pMask = Control<CHistoryCombo>(this, IDC_MASK);
  m_pStartDate = Control<CMaskedEdit>(this, IDC_START_DATE);
  m_pEndDate = Control<CMaskedEdit>(this, IDC_END_DATE);
  m_pBetween = Control<QCheckBox>(this, IDC_BETWEEN);
  m_pGetAll = Control<QCheckBox>(this, IDC_GET_ALL);
  m_pQuit = Control<QPushButton>(this, IDC_QUIT);
  m_pDupe = Control<QPushButton>(this, IDC_DUPE);
  m_pLimit = Control<QLineEdit>(this, IDC_LIMIT);
  m_pStatus = Control<QLineEdit>(this, IDC_STATUS);
  m_pOrder = Control<QListWidget>(this, IDC_ORDER);
  m_pList = Control<CResultListCtrl>(this, IDC_RESULTS);
  m_pMask->CreateToolbar(this);
  UseArtworkPalette(this);
  m_pIndexBadge = new IndexBuildBadge(m_pList->viewport());
  m_pList->PopupMenu()->setToolTipsVisible(true);

  connect(m_pDupe, &QPushButton::clicked, this, &CKestrelView::OnDupe);
  connect(m_pQuit, &QPushButton::clicked, this, &CKestrelView::OnQuit);
  connect(m_pGetAll, &QCheckBox::clicked, this, &CKestrelView::OnGetAll);
  connect(m_pBetween, &QCheckBox::clicked, this, &CKestrelView::OnBetween);
  connect(m_pList, &CResultListCtrl::commandIssued, this, [this](unsigned id) { OnCommand(id); });
  connect(m_pList->PopupMenu(), &QMenu::aboutToShow, this, &CKestrelView::UpdateNfoCommand);

  // Enter anywhere on the form presses the default button, as in a dialog.
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
  setFocusProxy(m_pMask);
}

void CKestrelView::OnInitialUpdate() {
  if (m_bInitialised) return;
  m_bInitialised = true;
  UpdateData(false);

  for (CMaskedEdit* date : {m_pStartDate, m_pEndDate}) {
    date->SetMask(kDateMask);
    date->SetPromptChar('_');
    date->setEnabled(false);
  }

  // Only the Delete button of the history toolbar is shown.
  m_pMask->ShowButton(0, false);
  m_pMask->ShowButton(1, true);
  m_pMask->ShowButton(2, false);
  m_pMask->RefreshToolbar();
  m_pMask->SetMaxHistoryCount(kMaxHistory);

  m_pList->SetHighlightType(2);

  for (const char* order : kOrders) m_pOrder->addItem(order);
  m_pOrder->setCurrentRow(1);

  SetStatusText(kTextIdle);
  Repaint();

  m_bLog = false;
  m_strLogFile = "kestrel.log";
  OpenSettingsKey();
  m_bLog = ReadLog();
  m_pList->SetLogCheck(m_bLog);
  m_strLogFile = ReadLogFile();
  m_bStartMinimized = ReadStartMinimized();
  m_pList->SetStartMinimizedCheck(m_bStartMinimized);
  m_bLocalIndex = ReadLocalIndex();
  m_pList->SetLocalIndexCheck(m_bLocalIndex);
  SetIndexTip(kTextIndexOff);
  // A copy left half built goes on from where it stopped; a ready one is left to the searches.
  if (m_bLocalIndex) StartIndexBuild(true);
  UpdateData(true);

  m_pGetAll->setChecked(ReadGetAll());
  OnGetAll();
  int32_t limit = 0;
  if (ReadLimit(limit)) m_pLimit->setText(QString::number(limit));
  const std::string startDate = ReadStartDate();
  if (startDate.size() == kDateLength) m_pStartDate->SetInputText(ToQ(startDate));
  const std::string endDate = ReadEndDate();
  if (endDate.size() == kDateLength) m_pEndDate->SetInputText(ToQ(endDate));
  m_pBetween->setChecked(ReadUseBetween());
  OnBetween();
  int32_t order = 0;
  // A stored order the list cannot show keeps the default rather than selecting nothing.
  if (ReadOrder(order) && order >= 0 && order < m_pOrder->count()) m_pOrder->setCurrentRow(order);
  UpdateData(true);
  CloseSettingsKey();

  m_pMask->RestoreHistory("MaskHistory", "Harrow", "Kestrel", true);
  WSADATA wsaData;
  WSAStartup(MAKEWORD(1, 1), &wsaData);
  m_pMask->setFocus();
}

bool CKestrelView::UpdateData(bool bSaveAndValidate, bool quiet) {
  if (!bSaveAndValidate) {
    m_pLimit->setText(QString::number(m_nLimit));
    m_pGetAll->setChecked(m_bGetAll != 0);
    m_pBetween->setChecked(m_bUseBetween != 0);
    return true;
  }
  int32_t limit = 0;
  if (!ScanWholeNumber(m_pLimit->text().toStdString(), limit)) {
    if (!quiet) {
      ShowMessageBox(this, kTextEnterInteger, LoadResString(AFX_IDS_APP_TITLE), MB_OK | MB_ICONEXCLAMATION);
      m_pLimit->setFocus();
      m_pLimit->selectAll();
    }
    return false;
  }
  m_nLimit = limit;
  m_bGetAll = m_pGetAll->isChecked() ? 1 : 0;
  m_bUseBetween = m_pBetween->isChecked() ? 1 : 0;
  return true;
}

void CKestrelView::OnDestroy(bool quiet) {
  if (m_bDestroyed || !m_bInitialised) return;
  m_bDestroyed = true;
  UpdateData(true, quiet);
  // The inputs and the history reach the file in one write.
  HoldSettingsWrites();
  OpenSettingsKey();
  WriteGetAll(m_bGetAll != 0);
  WriteLimit(m_nLimit);
  WriteStartDate(m_pStartDate->GetDisplayText().toStdString());
  WriteEndDate(m_pEndDate->GetDisplayText().toStdString());
  WriteUseBetween(m_bUseBetween != 0);
  WriteOrder(m_pOrder->currentRow());
  CloseSettingsKey();
  m_pMask->SaveHistory("MaskHistory", "Harrow", "Kestrel", false);
  WriteHeldSettings();
}

void CKestrelView::OnDupe() {
  if (IsBusy()) {
    CancelWork();
  } else {
    StartSearch();
  }
}

void CKestrelView::StartSearch() {
  m_pMask->AddToHistory();
  SetButtonCaption(kTextCancel);
  SearchWorkerContext context;
  context.loginId = context.password = ReadGuestLogin();
  context.link = std::make_shared<QtUiLink>(this);
  context.form = this;
  context.endpoints = m_endpoints;
  context.keepLocalIndex = m_bLocalIndex;
  m_pRunningWorker = StartSearchWorker(std::move(context));
  // Out of threads: the form stays usable rather than waiting for a search that never began.
  if (!m_pRunningWorker) SetButtonCaption(kTextDupe);
}

void CKestrelView::CancelWork() {
  // The run is stopped on this thread, between two of its visits here, so nothing of it shows
  // from now on; it closes its own connection once it lets go of the library.
  std::shared_ptr<WorkerRun> run = std::move(m_pRunningWorker);
  const bool connected = run && run->IsConnected();
  if (run) run->Stop();
  SetButtonCaption(kTextDupe);
  if (connected) {
    SetStatusText(kStatusDisconnecting);
    Repaint();
  }
  SetStatusText(kTextIdle);
  Repaint();
}

void CKestrelView::OnQuit() {
  StopIndexBuild();
  // The frame decides how the program ends.
  emit quitRequested();
}

void CKestrelView::OnGetAll() {
  UpdateData(true);
  m_pLimit->setEnabled(m_bGetAll == 0);
}

void CKestrelView::OnBetween() {
  UpdateData(true);
  const bool use = m_bUseBetween != 0;
  m_pStartDate->setEnabled(use);
  m_pEndDate->setEnabled(use);
  if (!use) {
    m_strStartBound.clear();
    m_strEndBound.clear();
  }
}

bool CKestrelView::OnCommand(unsigned id) {
  switch (id) {
    case ID_COPY_ALL:
      m_pList->CopyAll();
      return true;
    case ID_COPY_SELECTED:
      m_pList->CopySelected();
      return true;
    case ID_CLEAR_LIST:
      ClearList();
      return true;
    case ID_LOG_SESSION:
      LogSession();
      return true;
    case ID_DATABASE_STATISTICS:
      CStatisticsDlg::Open(m_endpoints, window());
      return true;
    case ID_START_MINIMIZED:
      ToggleStartMinimized();
      return true;
    case ID_KEEP_LOCAL_INDEX:
      ToggleLocalIndex();
      return true;
    case ID_RETRIEVE_NFO:
      RetrieveNfo();
      return true;
    case ID_EXIT_KESTREL:
      OnQuit();
      return true;
    default:
      return false;
  }
}

void CKestrelView::ClearList() {
  m_pList->clear();
  SetStatusText(kTextIdle);
  Repaint();
}

void CKestrelView::LogSession() {
  RunLogSessionCommand(m_bLog, m_strLogFile, window(), [this](bool on) { m_pList->SetLogCheck(on); });
}

void CKestrelView::ToggleStartMinimized() {
  m_bStartMinimized = !m_bStartMinimized;
  OpenSettingsKey();
  WriteStartMinimized(m_bStartMinimized);
  CloseSettingsKey();
  m_pList->SetStartMinimizedCheck(m_bStartMinimized);
}

void CKestrelView::ToggleLocalIndex() {
  m_bLocalIndex = !m_bLocalIndex;
  OpenSettingsKey();
  WriteLocalIndex(m_bLocalIndex);
  CloseSettingsKey();
  m_pList->SetLocalIndexCheck(m_bLocalIndex);
  if (m_bLocalIndex) {
    StartIndexBuild(false);
  } else {
    // The copy stays as the last batch left it, for the next time.
    StopIndexBuild();
    m_pIndexBadge->Clear();
    SetIndexTip(kTextIndexOff);
  }
}

void CKestrelView::StartIndexBuild(bool onlyWhenNotReady) {
  IndexBuildContext context;
  context.loginId = context.password = ReadGuestLogin();
  context.link = std::make_shared<QtUiLink>(this);
  context.port = this;
  context.endpoints = m_endpoints;
  context.folder = IndexFolder();
  context.onlyWhenNotReady = onlyWhenNotReady;
  context.batch = m_nIndexBatch;
  context.after = std::move(m_pIndexBuild);
  if (context.after) context.after->Stop();
  m_indexProgress = {};
  m_pIndexBuild = ::StartIndexBuild(std::move(context));
}

void CKestrelView::StopIndexBuild() {
  // Stopped here, between two of its visits, so it shows nothing more; it ends after its batch.
  if (m_pIndexBuild) m_pIndexBuild->Stop();
  if (m_pIndexCheck) m_pIndexCheck->Stop();
  m_pIndexCheck.reset();
}

void CKestrelView::StartIndexCheck() {
  if (m_pIndexCheck) return;
  IndexCheckContext context;
  context.loginId = context.password = ReadGuestLogin();
  context.endpoints = m_endpoints;
  context.folder = IndexFolder();
  m_pIndexCheck = ::StartIndexCheck(std::move(context));
}

void CKestrelView::IndexBuildAdvanced(const IndexBuildProgress& progress) {
  m_indexProgress = progress;
  // Rows added since the count make the copy pass it: the total then follows the copy.
  const std::string text =
      IndexBuildingText(Grouped(progress.rows), Grouped(std::max(progress.rows, progress.serverRows)));
  m_pIndexBadge->ShowText(ToQ(text));
  SetIndexTip(text);
  emit indexBuildChanged();
}

void CKestrelView::IndexBuildReady(long long rows) {
  // From now on rows deleted or changed on the server are looked for, spread over each hour.
  StartIndexCheck();
  m_indexProgress.rows = rows;
  m_pIndexBadge->Clear();
  SetIndexTip(IndexReadyText(Grouped(rows)));
  emit indexBuildChanged();
}

void CKestrelView::IndexBuildFailed(const std::string& reason) {
  const std::string text = IndexFailedText(reason);
  m_pIndexBadge->ShowText(ToQ(text));
  SetIndexTip(text);
  emit indexBuildChanged();
}

QString CKestrelView::IndexNote() const {
  return m_pIndexBadge->isHidden() ? QString() : m_pIndexBadge->text();
}

void CKestrelView::SetIndexTip(const std::string& text) {
  if (QAction* action = FindMenuAction(m_pList->PopupMenu(), ID_KEEP_LOCAL_INDEX)) {
    action->setStatusTip(ToQ(text));
    action->setToolTip(ToQ(text));
  }
}

void CKestrelView::RetrieveNfo() {
  // One worker at a time: the NFO worker would share the caption and the running-worker slot.
  if (IsBusy()) return;
  if (std::shared_ptr<WorkerRun> run = RetrieveNfoFile(this, *this, m_pList, m_endpoints)) {
    m_pRunningWorker = std::move(run);
  }
}

void CKestrelView::UpdateNfoCommand() {
  if (QAction* action = FindMenuAction(m_pList->PopupMenu(), ID_RETRIEVE_NFO)) action->setEnabled(!IsBusy());
}

void CKestrelView::SetStatusText(const std::string& text) {
  m_pStatus->setText(ToQ(text));
}

void CKestrelView::SetButtonCaption(const std::string& text) {
  m_pDupe->setText(ToQ(text));
}

QString CKestrelView::StatusText() const {
  return m_pStatus->text();
}

QString CKestrelView::ButtonCaption() const {
  return m_pDupe->text();
}

bool CKestrelView::IsBusy() const {
  return m_pDupe->text() == QLatin1String(kTextCancel);
}

SearchRequest CKestrelView::ReadRequest() {
  UpdateData(true);
  SearchRequest request;
  request.m_strMask = m_pMask->currentText().toStdString();
  request.m_bUseBetween = m_bUseBetween != 0;
  request.m_strStartDate = m_pStartDate->GetDisplayText().toStdString();
  request.m_strEndDate = m_pEndDate->GetDisplayText().toStdString();
  request.m_strStartBound = m_strStartBound;
  request.m_strEndBound = m_strEndBound;
  request.m_bGetAll = m_bGetAll != 0;
  request.m_nLimit = m_nLimit;
  request.m_nOrder = m_pOrder->currentRow();
  return request;
}

void CKestrelView::WriteLimitAndBounds(int32_t limit, const std::string& startBound,
                                       const std::string& endBound) {
  m_nLimit = limit;
  // Unticked while the run counted, the box has emptied the range already: the next search
  // must run without it, as the form shows.
  if (!m_pBetween->isChecked()) return;
  m_strStartBound = startBound;
  m_strEndBound = endBound;
}

void CKestrelView::DeleteAllRows() {
  m_pList->clear();
}

void CKestrelView::InsertRow(int index, const std::string& date, const std::string& directory) {
  // Shown so that every byte is seen; kept as sent, for the NFO lookup.
  auto* item = new QTreeWidgetItem;
  item->setText(0, ToQ(ShownServerText(date)));
  item->setText(1, ToQ(ShownServerText(directory)));
  item->setData(0, Qt::UserRole, QByteArray(date.data(), static_cast<qsizetype>(date.size())));
  item->setData(1, Qt::UserRole, QByteArray(directory.data(), static_cast<qsizetype>(directory.size())));
  // "Clear List" may have emptied the list while the run went on: its rows then go to the end,
  // where the list takes them, rather than past it, where it would drop them.
  m_pList->insertTopLevelItem(std::min(index, m_pList->topLevelItemCount()), item);
}

int CKestrelView::ShowMessage(const std::string& text, const std::string& caption, unsigned flags) {
  return ShowMessageBox(this, text, caption, flags);
}

bool CKestrelView::event(QEvent* event) {
  if (event->type() == CCommandEvent::EventType()) {
    return OnCommand(static_cast<CCommandEvent*>(event)->Id());
  }
  return QWidget::event(event);
}

bool CKestrelView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    // The keypad's Enter carries the keypad modifier; it is the same key to the user.
    const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (enter && plain && m_pDupe->isEnabled()) {
      // A focused push button takes Enter itself; an open drop-down list picks its item first.
      if (auto* button = qobject_cast<QPushButton*>(watched)) {
        button->click();
        return true;
      }
      if (m_pMask->view() && m_pMask->view()->isVisible()) return false;
      m_pDupe->click();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void CKestrelView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && IsBusy()) {
    m_pDupe->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void CKestrelView::paintEvent(QPaintEvent*) {
  // Sharp on any screen: drawn again when the window's pixel density changes.
  const qreal ratio = devicePixelRatioF();
  if (m_background.devicePixelRatio() != ratio) m_background = LoadBitmapResource(IDB_BACKGROUND, ratio);
  if (m_background.isNull()) return;
  QPainter(this).drawPixmap(0, 0, m_background);
}

void CKestrelView::closeEvent(QCloseEvent* event) {
  StopIndexBuild();
  OnDestroy();
  QWidget::closeEvent(event);
}
