#pragma once
// The one top-level window: a small fixed-size frame with no menu, tool or status bar, holding
// the search form as its only view and owning the tray icon. Minimising hides it into the tray,
// and the windows it owns with it.
#include <QColor>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include "app/TrayIcon.h"
#include "platform/Shell.h"

class CMainFrame : public QWidget, public ShellNotifySink {
  Q_OBJECT

 public:
  static constexpr int kFrameWidth = 460;
  static constexpr int kFrameHeight = 375;
  // The client area of the original frame; the least we give the view when the window manager's
  // decorations would leave less inside 460 x 375.
  static constexpr int kMinClientWidth = 454;
  static constexpr int kMinClientHeight = 350;
  static constexpr uint32_t kTrayIconId = 1;

  // Created hidden, placed by the centring rule, titled from string 57344.
  explicit CMainFrame(QWidget* parent = nullptr);
  ~CMainFrame() override;

  // Outer rectangle of the frame on the primary screen: 460 x 375, left = (width - 460) / 2 and
  // top = (height - 375) / 2 from the screen's top-left corner, halves truncated.
  static QRect FrameRect(const QRect& desktop);

  // The view fills the client area; the frame takes ownership. Commands go to it first.
  void SetView(QWidget* view);

  // Removes the tray icon, hides the frame, cancels the boxes and dialogs that wait for the user
  // and deletes the frame once control is back in the outermost event loop (the frame's
  // QObject::destroyed is the end of the program). Every way out ends here.
  bool DestroyWindow();

  CTrayIcon& TrayIcon() { return m_trayIcon; }
  bool IsTrayIconShown() const { return m_trayIcon.IsShown(); }
  // Whether minimising (or starting minimised) hides the frame, leaving the tray icon to bring it back.
  bool HidesIntoTray() const;
  const QIcon& FrameIcon() const { return m_icon; }

  // Tray notifications (WM_TRAYNOTIFY) go to the tray icon object unchanged.
  void OnShellNotify(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

  // A menu command: delivered to the view as a CCommandEvent; when the view does not take it,
  // "&Show Kestrel" and "&Exit Kestrel" are handled here (the form takes only the latter, to stop
  // its own work first), so the tray works without a form too.
  // True when someone handled the command.
  bool OnCommand(unsigned id);

  // Start-up's last step: the frame shown or left hidden, with its tray icon in place either way.
  void ShowWindow(bool visible);

  // Shows the frame in its normal state on top of the others.
  void ShowNormalOnTop();

 protected:
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void EnsureTrayIcon();
  void FitToDecorations();
  void HideOwnedWindows();
  void ShowOwnedWindows();
  static void EndModalLoops();
  void DeleteFromOutermostLoop();

  static constexpr int kDeleteRetryMs = 10;

  CTrayIcon m_trayIcon;
  QIcon m_icon;
  QColor m_clrBackground;
  QPointer<QWidget> m_pView;
  // The owned windows that were on screen when the frame hid: they come back with it.
  QList<QPointer<QWidget>> m_hiddenOwned;
  bool m_bDestroying = false;
};
