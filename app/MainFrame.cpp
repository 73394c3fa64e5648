#include "app/MainFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <utility>

#include "app/CommandEvent.h"
#include "platform/WindowSystem.h"
#include "res/Artwork.h"
#include "res/ResourceIds.h"
#include "res/Strings.h"
#include "res/Texts.h"

CMainFrame::CMainFrame(QWidget* parent)
    : QWidget(parent, Qt::Window), m_icon(LoadIconResource(IDR_MAINFRAME)) {
  // Caption with system menu and minimise box only: no maximise box, no sizing border.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowTitle(QString::fromStdString(LoadResString(AFX_IDS_APP_TITLE)));
  setWindowIcon(m_icon);
  setAccessibleName(windowTitle());
  // The client area can be taller than the form's background bitmap: continue its bottom edge.
  const QImage background = LoadBitmapResource(IDB_BACKGROUND).toImage();
  if (!background.isNull()) m_clrBackground = background.pixelColor(0, background.height() - 1);

  QRect desktop(0, 0, kFrameWidth, kFrameHeight);
  if (QScreen* screen = QGuiApplication::primaryScreen()) desktop = screen->geometry();
  const QRect frame = FrameRect(desktop);
  setFixedSize(frame.size());
  move(frame.topLeft());
}

CMainFrame::~CMainFrame() {
  m_bDestroying = true;
  m_trayIcon.SetVisible(false);
}

QRect CMainFrame::FrameRect(const QRect& desktop) {
  // Measured from the screen's own corner: beside another monitor it need not be at 0, 0.
  return QRect(desktop.x() + (desktop.width() - kFrameWidth) / 2,
               desktop.y() + (desktop.height() - kFrameHeight) / 2, kFrameWidth, kFrameHeight);
}

void CMainFrame::SetView(QWidget* view) {
  if (m_pView == view) return;
  m_pView = view;
  if (!view) return;
  view->setParent(this);
  view->setGeometry(rect());
  view->show();
}

bool CMainFrame::DestroyWindow() {
  if (m_bDestroying) {
    // A second way out (a signal) while the first waits on a box of its own: the box goes.
    EndModalLoops();
    return false;
  }
  m_bDestroying = true;
  m_trayIcon.SetVisible(false);
  // The view saves its inputs while its controls still stand.
  if (m_pView) m_pView->close();
  hide();
  EndModalLoops();
  DeleteFromOutermostLoop();
  return true;
}

void CMainFrame::EndModalLoops() {
  // Each box or dialog waiting for the user is cancelled, as closing it would be. Guarded: one
  // that goes may take others with it.
  QList<QPointer<QDialog>> dialogs;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isModal() && dialog->isVisible())
      dialogs.append(dialog);
  }
  for (const QPointer<QDialog>& dialog : dialogs) {
    if (dialog) dialog->reject();
  }
}

void CMainFrame::DeleteFromOutermostLoop() {
  // A modal loop still running here has its caller, a handler of this window or its form, on the
  // stack: deleting from inside the loop would pull the window out from under it.
  if (QThread::currentThread()->loopLevel() > 1) {
    QTimer::singleShot(kDeleteRetryMs, this, &CMainFrame::DeleteFromOutermostLoop);
    return;
  }
  deleteLater();
}

void CMainFrame::OnShellNotify(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == WM_TRAYNOTIFY) m_trayIcon.OnTrayNotification(wParam, lParam);
}

void CMainFrame::ShowWindow(bool visible) {
  // Shown or hidden, the frame has its tray icon from the first time on.
  EnsureTrayIcon();
  setVisible(visible);
}

void CMainFrame::ShowNormalOnTop() {
  showNormal();
  raise();
  activateWindow();
}

bool CMainFrame::OnCommand(unsigned id) {
  if (m_pView && CCommandEvent::Send(m_pView, id)) return true;
  switch (id) {
    case ID_SHOW_KESTREL:
      ShowNormalOnTop();
      return true;
    case ID_EXIT_KESTREL:
      DestroyWindow();
      return true;
    default:
      return false;
  }
}

bool CMainFrame::event(QEvent* event) {
  if (event->type() == CCommandEvent::EventType()) {
    OnCommand(static_cast<CCommandEvent*>(event)->Id());
    return true;
  }
  if (event->type() == QEvent::Move) FitToDecorations();
  return QWidget::event(event);
}

void CMainFrame::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // Minimised, the frame leaves the task bar and lives on as the tray icon. Without a tray icon
  // it stays an ordinary minimised window, or nothing would bring it back.
  if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) &&
      HidesIntoTray() && !m_bDestroying)
    hide();
}

bool CMainFrame::HidesIntoTray() const {
  // A Wayland compositor may show a minimised window again without telling us: hidden, it would
  // be out of reach there, so it stays an ordinary minimised window.
  return m_trayIcon.IsShown() && !IsWaylandSession();
}

void CMainFrame::EnsureTrayIcon() {
  if (m_bDestroying || m_trayIcon.IsShown()) return;
  m_trayIcon.Create(this, &m_icon, kTrayIconId, kCaptionKestrel);
  m_trayIcon.SetVisible(true);
}

void CMainFrame::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Caption with system menu, minimise and close; moved, never sized or maximised.
  SetWindowDecorations(this, kDecorBorder | kDecorTitle | kDecorMenu | kDecorMinimize,
                       kFuncMove | kFuncMinimize | kFuncClose);
  EnsureTrayIcon();
  FitToDecorations();
  ShowOwnedWindows();
}

void CMainFrame::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  EnsureTrayIcon();
  if (!m_bDestroying) HideOwnedWindows();
}

void CMainFrame::HideOwnedWindows() {
  // As the system hides an owner's windows with it. A box waiting for an answer stays: hidden,
  // its wait would end as if answered.
  for (QWidget* window : OwnedWindows(this)) {
    if (!window->isVisible() || window->isModal()) continue;
    m_hiddenOwned.append(window);
    window->hide();
  }
}

void CMainFrame::ShowOwnedWindows() {
  // The window manager may have minimised them with the frame (transients go with their owner):
  // they come back normal, where they were.
  for (QWidget* window : OwnedWindows(this)) {
    if (window->isVisible() && (window->windowState() & Qt::WindowMinimized)) window->showNormal();
  }
  for (const QPointer<QWidget>& window : std::exchange(m_hiddenOwned, {})) {
    if (!window) continue;
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
  }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  event->ignore();
  DestroyWindow();
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (m_pView) m_pView->setGeometry(rect());
}

void CMainFrame::paintEvent(QPaintEvent*) {
  // Painted rather than set in the palette, which the view's controls would inherit.
  if (m_clrBackground.isValid()) QPainter(this).fillRect(rect(), m_clrBackground);
}

void CMainFrame::FitToDecorations() {
  // Qt sizes the client area; the frame's 460 x 375 is the outer size, so the window manager's
  // decorations come off it once they are known, down to the original client area.
  const QSize decorations = frameGeometry().size() - geometry().size();
  const QSize client(qMax(kMinClientWidth, kFrameWidth - decorations.width()),
                     qMax(kMinClientHeight, kFrameHeight - decorations.height()));
  if (client != size()) setFixedSize(client);
}
