#include "app/CommandEvent.h"

#include <QCoreApplication>

QEvent::Type CCommandEvent::EventType() {
  static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

void CCommandEvent::Post(QObject* target, unsigned id) {
  if (target) QCoreApplication::postEvent(target, new CCommandEvent(id));
}

bool CCommandEvent::Send(QObject* target, unsigned id) {
  if (!target) return false;
  CCommandEvent event(id);
  return QCoreApplication::sendEvent(target, &event);
}
