#include "app/KestrelApp.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QStringList>

#include "app/MainFrame.h"
#include "app/Settings.h"
#include "app/SplashDlg.h"
#include "app/StartupSettings.h"
#include "platform/Diagnostics.h"
#include "platform/MessageBox.h"
#include "platform/SocketsStartup.h"
#include "res/Artwork.h"
#include "res/ResourceIds.h"
#include "res/Strings.h"
#include "res/Texts.h"
#include "search/KestrelView.h"

namespace {

void ShowNotice(StartupNotice notice) {
  if (notice == StartupNotice::FirstTimeUsage) {
    ShowMessageBox(nullptr,
                   "Thank you for using Kestrel!\nPlease read the help file (Kestrel.hlp) for information",
                   "First Time Usage", MB_OK | MB_ICONINFORMATION);
  } else {
    ShowMessageBox(nullptr,
                   "Thank you for upgrading to the latest version of Kestrel!\nPlease read the help file "
                   "(Kestrel.hlp) for updates",
                   "Upgrade Complete", MB_OK | MB_ICONINFORMATION);
  }
}

}  // namespace

CKestrelApp::CKestrelApp(DupesEndpoints endpoints, int splashPeriod)
    : m_endpoints(std::move(endpoints)), m_nSplashPeriod(splashPeriod) {}

CKestrelApp::~CKestrelApp() {
  delete m_pMainWnd.data();
}

bool CKestrelApp::InitInstance() {
  // Before the first window: a window without an icon of its own, a notice or a viewer, takes the
  // program's, where it would otherwise show the window manager's generic one.
  QGuiApplication::setWindowIcon(LoadIconResource(IDR_MAINFRAME));
  WSADATA wsaData;
  if (WSAStartup(MAKEWORD(1, 1), &wsaData) != 0 || wsaData.wVersion != MAKEWORD(1, 1)) {
    WSACleanup();
    ShowMessageBox(nullptr, LoadResString(IDS_SOCKETS_INIT_FAILED), LoadResString(AFX_IDS_APP_TITLE),
                   MB_OK | MB_ICONEXCLAMATION);
    return false;
  }

  // A signal during a notice leaves the settings work to finish, but shows nothing more: no
  // further notice, no splash screen. Start-up ends before any window exists.
  const StartupSettings startup = ApplyStartupSettings([this](StartupNotice notice) {
    if (!m_bQuitRequested) ShowNotice(notice);
  });
  m_bStartHidden = startup.startHidden;
  if (!m_bStartHidden && !m_bQuitRequested) {
    CSplashDlg splash(nullptr, m_nSplashPeriod);
    splash.exec();
  }
  if (m_bQuitRequested) return false;

  if (!OpenCommandLineDocument(QCoreApplication::arguments().mid(1))) return false;

  // The frame with its form; the form sets itself up at once, shown or not.
  auto* frame = new CMainFrame;
  auto* view = new CKestrelView(m_endpoints);
  frame->SetView(view);
  // The form asks; the frame decides how the program ends.
  connect(view, &CKestrelView::quitRequested, frame, &CMainFrame::DestroyWindow);
  view->OnInitialUpdate();
  m_pMainWnd = frame;
  m_pView = view;
  connect(frame, &QObject::destroyed, this, &CKestrelApp::mainWindowDestroyed);

  // Hidden only into a tray icon: without one the window would be out of reach.
  frame->ShowWindow(!m_bStartHidden);
  if (!frame->HidesIntoTray()) ShowInsteadOfHiding(*frame);
  if (frame->isVisible()) {
    frame->repaint();
    view->setFocus();
  }
  return true;
}

void CKestrelApp::ShowInsteadOfHiding(CMainFrame& frame) const {
  // Where hiding would lose the window, starting minimised is as near as it gets.
  if (m_bStartHidden && frame.IsTrayIconShown())
    frame.showMinimized();
  else
    frame.ShowWindow(true);
}

bool CKestrelApp::OpenCommandLineDocument(const QStringList& arguments) {
  // The document keeps nothing, so a file named on the command line only has to be readable.
  for (const QString& argument : arguments) {
    if (argument.startsWith('-')) continue;
    QFile document(argument);
    if (!document.open(QIODevice::ReadOnly)) {
      ReportFailure("document " + argument.toStdString() +
                    ": open failed: " + document.errorString().toStdString());
      ShowMessageBox(nullptr, kTextCannotOpenDocument, LoadResString(AFX_IDS_APP_TITLE),
                     MB_OK | MB_ICONEXCLAMATION);
      return false;
    }
  }
  return true;
}

void CKestrelApp::QuitQuietly() {
  m_bQuitRequested = true;
  if (!m_pMainWnd) {
    // Still starting: end the notice's or the splash screen's loop; start-up stops after it.
    QCoreApplication::exit(0);
    return;
  }
  if (m_pView) m_pView->OnDestroy(true);
  if (m_pMainWnd) m_pMainWnd->DestroyWindow();
}
