#include "app/TrayIcon.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QPointer>
#include <QWidget>
#include <cstring>

#include "app/CommandEvent.h"
#include "platform/QtShell.h"
#include "res/MenuBuilder.h"
#include "res/ResourceIds.h"

CTrayIcon::CTrayIcon() = default;

CTrayIcon::~CTrayIcon() {
  if (m_bShown) RemoveIcon();
}

void CTrayIcon::Create(QWidget* owner, const QIcon* icon, uint32_t id, const char* tip) {
  m_bShown = false;
  m_pOwner = owner;
  m_hOwner = dynamic_cast<ShellNotifySink*>(owner);
  m_pIcon = icon;
  m_nId = id;
  if (tip) {
    std::strncpy(m_szTip, tip, sizeof m_szTip - 1);
    m_szTip[sizeof m_szTip - 1] = '\0';
  }
  m_bCreated = true;
}

void CTrayIcon::SetVisible(bool visible) {
  if (!m_bCreated) return;
  if (visible == m_bShown) return;
  if (visible) {
    if (AddIcon()) m_bShown = true;
  } else {
    if (RemoveIcon()) m_bShown = false;
  }
}

void CTrayIcon::FillRecord() {
  m_nid = NOTIFYICONDATA();
  m_nid.cbSize = kNotifyIconDataSize;
  m_nid.hWnd = m_hOwner;
  m_nid.uID = m_nId;
  m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  m_nid.uCallbackMessage = WM_TRAYNOTIFY;
  m_nid.hIcon = m_pIcon;
  std::memcpy(m_nid.szTip, m_szTip, sizeof m_nid.szTip);
}

bool CTrayIcon::AddIcon() {
  FillRecord();
  if (!Shell_NotifyIcon(NIM_ADD, m_nid)) return false;
  GiveMenuToDesktop();
  return true;
}

bool CTrayIcon::RemoveIcon() {
  if (!Shell_NotifyIcon(NIM_DELETE, m_nid)) return false;
  m_bDesktopDrawsMenu = false;
  return true;
}

void CTrayIcon::GiveMenuToDesktop() {
  if (!m_pOwner) return;
  if (!m_pDesktopMenu) {
    m_pDesktopMenu.reset(BuildMenu(IDR_TRAY_MENU));
    const QPointer<QWidget> owner(m_pOwner);
    for (QAction* action : m_pDesktopMenu->actions()) {
      const unsigned command = CommandOf(action);
      if (!command) continue;
      // The command goes to the top-level window, which the owner may be a child of.
      QObject::connect(action, &QAction::triggered, m_pDesktopMenu.get(), [owner, command] {
        if (owner) CCommandEvent::Post(owner->window(), command);
      });
    }
  }
  m_bDesktopDrawsMenu = SetTrayContextMenu(m_hOwner, m_nId, m_pDesktopMenu.get());
}

void CTrayIcon::OnTrayNotification(uintptr_t wParam, intptr_t lParam) {
  if (wParam != m_nId) return;
  const QPoint cursor = QCursor::pos();
  switch (lParam) {
    case WM_LBUTTONDOWN:
      OnIconLButtonDown(cursor.x(), cursor.y());
      break;
    case WM_LBUTTONDBLCLK:
      OnIconLButtonDblClk(cursor.x(), cursor.y());
      break;
    case WM_RBUTTONDOWN:
      OnIconRButtonDown(cursor.x(), cursor.y());
      break;
    default:
      break;
  }
}

void CTrayIcon::OnIconLButtonDown(int, int) {
  if (!m_pOwner) return;
  m_pOwner->showNormal();
  m_pOwner->raise();
  m_pOwner->activateWindow();
  m_pOwner->repaint();
}

void CTrayIcon::OnIconLButtonDblClk(int, int) {}

void CTrayIcon::OnIconRButtonDown(int x, int y) {
  if (!m_pOwner || m_bDesktopDrawsMenu) return;
  // The command goes to the top-level window, which the owner may be a child of.
  QWidget* target = m_pOwner->window();
  QMenu* menu = BuildMenu(IDR_TRAY_MENU);
  const unsigned command = CommandOf(menu->exec(QPoint(x, y)));
  delete menu;
  if (command) CCommandEvent::Post(target, command);
}
