#include "platform/WindowSystem.h"

#include <QGuiApplication>

bool IsWaylandSession() {
  return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}
