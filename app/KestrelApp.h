#pragma once
// The application object: brings Kestrel up (sockets, the first-run and upgrade notices, the
// splash screen, the frame with its form and tray icon) and takes it down again.
#include <QObject>
#include <QPointer>
#include <QStringList>

#include "app/KestrelDoc.h"
#include "app/MainFrame.h"
#include "db/DupesEndpoints.h"
#include "search/KestrelView.h"

class CKestrelApp : public QObject {
  Q_OBJECT

 public:
  // splashPeriod: how long the splash screen stays without a click (milliseconds).
  explicit CKestrelApp(DupesEndpoints endpoints, int splashPeriod = 4000);
  ~CKestrelApp() override;

  // Start-up, once. False ends the program at once (sockets could not be started).
  bool InitInstance();

  // SIGTERM and SIGINT: as Quit, with the inputs saved without any message box. Before the
  // frame exists it makes start-up stop as soon as the box or splash on screen is gone.
  void QuitQuietly();
  bool QuitRequested() const { return m_bQuitRequested; }

  // The documents named among arguments (the command line without the program's name and Qt's
  // own options): false, after its message, when one cannot be opened.
  bool OpenCommandLineDocument(const QStringList& arguments);

  CMainFrame* MainFrame() const { return m_pMainWnd; }

 signals:
  // The main frame is gone: the message loop should end.
  void mainWindowDestroyed();

 private:
  // The frame shown after all where hiding it would leave it out of reach.
  void ShowInsteadOfHiding(CMainFrame& frame) const;

  DupesEndpoints m_endpoints;
  int m_nSplashPeriod;
  bool m_bStartHidden = false;
  bool m_bQuitRequested = false;
  CKestrelDoc m_document;
  QPointer<CMainFrame> m_pMainWnd;
  QPointer<CKestrelView> m_pView;
};
