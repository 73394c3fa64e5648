#pragma once
// A menu command on its way to a window: what the command message of a menu choice was.
// Menus post it to the main frame, which routes it to its view.
#include <QEvent>

class QObject;

class CCommandEvent : public QEvent {
 public:
  explicit CCommandEvent(unsigned id) : QEvent(EventType()), m_nId(id) {}
  unsigned Id() const { return m_nId; }

  static QEvent::Type EventType();

  // Posts command id to target (the command arrives once the current event is done).
  static void Post(QObject* target, unsigned id);
  // Delivers command id to target now; true when the target handled it.
  static bool Send(QObject* target, unsigned id);

 private:
  unsigned m_nId;
};
