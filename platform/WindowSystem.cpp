#include "platform/WindowSystem.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <QWindowStateChangeEvent>
#include <cstdint>
#include <cstdlib>

bool IsWaylandSession() {
  return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void SetWindowDecorations(QWidget* window, unsigned decorations, unsigned functions) {
  // The offscreen platform answers as X11 too, without a connection.
  if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb")) return;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (!connection || !window || !window->windowHandle()) return;
  static constexpr char kName[] = "_MOTIF_WM_HINTS";
  xcb_intern_atom_reply_t* atom =
      xcb_intern_atom_reply(connection, xcb_intern_atom(connection, false, sizeof kName - 1, kName), nullptr);
  if (!atom) return;
  // flags (functions and decorations given), functions, decorations, input mode, status.
  const uint32_t hints[5] = {1u | 2u, functions, decorations, 0, 0};
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE,
                      static_cast<xcb_window_t>(window->windowHandle()->winId()), atom->atom, atom->atom, 32,
                      5, hints);
  xcb_flush(connection);
  std::free(atom);
}

namespace {

constexpr char kOwnerProperty[] = "kestrelOwner";
constexpr char kHeldSizeProperty[] = "kestrelHeldSize";
constexpr char kWatchedProperty[] = "kestrelWatched";

QWidget* OwnerOf(const QWidget* window) {
  if (QWidget* parent = window->parentWidget()) return parent->window();
  const auto owner = window->property(kOwnerProperty).value<QPointer<QWidget>>();
  return owner ? owner->window() : nullptr;
}

class Unmaximiser : public QObject {
 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (!object->isWidgetType()) return false;
    auto* window = static_cast<QWidget*>(object);
    if (!window->isWindow()) return false;
    switch (event->type()) {
      case QEvent::Show:
        if (IsWaylandSession()) WatchRequests(window);
        break;
      case QEvent::WindowStateChange:
        if (window->windowState() & Qt::WindowMaximized) {
          // Still fixed: taken back at once. One that WatchRequests freed goes back once drawn.
          if (window->minimumSize() == window->maximumSize()) TakeBack(window);
        }
        break;
      case QEvent::Resize:
        // Back at its size from the window system, not from the program's own state change:
        // drawn at the fixed size before the compositor's answer, it would end the connection.
        if (event->spontaneous() && !(window->windowState() & Qt::WindowMaximized) &&
            window->property(kHeldSizeProperty).toSize() == window->size()) {
          window->setFixedSize(window->size());
          window->setProperty(kHeldSizeProperty, QVariant());
        }
        break;
      case QEvent::Paint:
        if ((window->windowState() & Qt::WindowMaximized) && window->property(kHeldSizeProperty).isValid())
          TakeBack(window);
        break;
      default:
        break;
    }
    return false;
  }

 private:
  static void TakeBack(QWidget* window) {
    QMetaObject::invokeMethod(
        window, [window] { window->setWindowState(window->windowState() & ~Qt::WindowMaximized); },
        Qt::QueuedConnection);
  }

  // A Wayland compositor's maximised size must be drawn once acknowledged, and Qt acknowledges it
  // by itself: a fixed-size window that asked to be maximised (its decoration's button) may take
  // that size for one frame, then goes back, or the connection ends with a protocol error.
  static void WatchRequests(QWidget* window) {
    QWindow* handle = window->windowHandle();
    if (!handle || handle->property(kWatchedProperty).toBool()) return;
    handle->setProperty(kWatchedProperty, true);
    QObject::connect(handle, &QWindow::windowStateChanged, window, [window](Qt::WindowState state) {
      if (state != Qt::WindowMaximized || window->minimumSize() != window->maximumSize()) return;
      window->setProperty(kHeldSizeProperty, window->size());
      window->setMinimumSize(0, 0);
      window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    });
  }
};

}  // namespace

void SetWindowOwner(QWidget* window, QWidget* owner) {
  if (window) window->setProperty(kOwnerProperty, QVariant::fromValue(QPointer<QWidget>(owner)));
}

QList<QWidget*> OwnedWindows(const QWidget* owner) {
  QList<QWidget*> owned;
  if (!owner) return owned;
  const QWidget* ownerWindow = owner->window();
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window != ownerWindow && OwnerOf(window) == ownerWindow) owned.append(window);
  }
  return owned;
}

void KeepFixedSizeWindowsUnmaximised() {
  static QPointer<QObject> unmaximiser;
  if (unmaximiser || !qApp) return;
  unmaximiser = new Unmaximiser;
  unmaximiser->setParent(qApp);
  qApp->installEventFilter(unmaximiser);
}
