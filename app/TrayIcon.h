#pragma once
// The frame's icon in the notification area. A holder, not a window: it fills the notification
// record, asks the shell to add or delete it, and turns the owner's notifications into the three
// mouse handlers. Where the desktop draws the icon's menu itself, it gets menu 130 as the icon's
// context menu, and the right click opens nothing more.
#include <cstdint>
#include <memory>

#include "platform/Shell.h"

class QIcon;
class QMenu;
class QWidget;

// The callback message of the tray icon.
constexpr uint32_t WM_TRAYNOTIFY = WM_USER + 1;

class CTrayIcon {
 public:
  CTrayIcon();
  CTrayIcon(const CTrayIcon&) = delete;
  CTrayIcon& operator=(const CTrayIcon&) = delete;
  virtual ~CTrayIcon();

  // Remembers owner, icon, id and tip (at most 63 characters); adds nothing yet. The owner
  // receives the notifications when it is a ShellNotifySink.
  void Create(QWidget* owner, const QIcon* icon, uint32_t id, const char* tip);
  // Adds or removes the icon; nothing before Create. The state changes only when the shell agrees.
  void SetVisible(bool visible);
  bool AddIcon();
  bool RemoveIcon();
  // wParam: icon id, lParam: mouse message.
  void OnTrayNotification(uintptr_t wParam, intptr_t lParam);

  void OnIconLButtonDown(int x, int y);
  void OnIconLButtonDblClk(int x, int y);
  void OnIconRButtonDown(int x, int y);

  bool IsShown() const { return m_bShown; }

 private:
  void FillRecord();
  // Menu 130 to the desktop, its commands going where the right click's would.
  void GiveMenuToDesktop();

  bool m_bShown = false;
  bool m_bCreated = false;
  QWidget* m_pOwner = nullptr;
  ShellNotifySink* m_hOwner = nullptr;
  const QIcon* m_pIcon = nullptr;
  uint32_t m_nId = 0;
  char m_szTip[64] = {};
  NOTIFYICONDATA m_nid;
  std::unique_ptr<QMenu> m_pDesktopMenu;
  bool m_bDesktopDrawsMenu = false;
};
