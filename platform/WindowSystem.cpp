#include "platform/WindowSystem.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
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
