#include "platform/QtShell.h"

#include <QIcon>
#include <QMap>
#include <QMenu>
#include <QPair>
#include <QPointer>
#include <QSystemTrayIcon>

#include "platform/Shell.h"

namespace {

using Key = QPair<ShellNotifySink*, uint32_t>;

QMap<Key, QPointer<QSystemTrayIcon>>& Icons() {
  static QMap<Key, QPointer<QSystemTrayIcon>> icons;
  return icons;
}

uint32_t MouseMessage(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      return WM_LBUTTONDOWN;
    case QSystemTrayIcon::DoubleClick:
      return WM_LBUTTONDBLCLK;
    case QSystemTrayIcon::Context:
      return WM_RBUTTONDOWN;
    case QSystemTrayIcon::MiddleClick:
      return WM_MBUTTONDOWN;
    default:
      return WM_MOUSEMOVE;
  }
}

void Apply(QSystemTrayIcon* tray, const NOTIFYICONDATA& data) {
  if ((data.uFlags & NIF_ICON) && data.hIcon) tray->setIcon(*static_cast<const QIcon*>(data.hIcon));
  if (data.uFlags & NIF_TIP) tray->setToolTip(QString::fromLocal8Bit(data.szTip, qstrnlen(data.szTip, 64)));
}

bool Notify(uint32_t message, const NOTIFYICONDATA& data) {
  const Key key(data.hWnd, data.uID);
  auto& icons = Icons();
  switch (message) {
    case NIM_ADD: {
      if (!data.hWnd || icons.value(key) || !QSystemTrayIcon::isSystemTrayAvailable()) return false;
      auto* tray = new QSystemTrayIcon();
      Apply(tray, data);
      ShellNotifySink* sink = data.hWnd;
      const uint32_t id = data.uID;
      const uint32_t callback = (data.uFlags & NIF_MESSAGE) ? data.uCallbackMessage : 0;
      if (callback) {
        QObject::connect(tray, &QSystemTrayIcon::activated, tray,
                         [sink, id, callback](QSystemTrayIcon::ActivationReason reason) {
                           sink->OnShellNotify(callback, id, MouseMessage(reason));
                         });
      }
      tray->show();
      icons.insert(key, tray);
      return true;
    }
    case NIM_MODIFY: {
      QSystemTrayIcon* tray = icons.value(key);
      if (!tray) return false;
      Apply(tray, data);
      return true;
    }
    case NIM_DELETE: {
      QSystemTrayIcon* tray = icons.take(key);
      if (!tray) return false;
      tray->hide();
      delete tray;
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

bool SetTrayContextMenu(ShellNotifySink* sink, uint32_t id, QMenu* menu) {
  QSystemTrayIcon* tray = Icons().value(Key(sink, id));
  if (!tray) return false;
  tray->setContextMenu(menu);
  return true;
}

void InstallQtShell() {
  SetShellNotifyHandler(Notify);
}
