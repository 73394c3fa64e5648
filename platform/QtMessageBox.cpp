#include "platform/QtMessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include "platform/MessageBox.h"

namespace {

int ShowOnUiThread(void* owner, const std::string& text, const std::string& caption, unsigned flags) {
  QMessageBox box(static_cast<QWidget*>(owner));
  // An owned box blocks its owner's window only, as an owned system box does: a box of a hidden
  // NFO viewer leaves the form usable.
  if (owner) box.setWindowModality(Qt::WindowModal);
  box.setWindowTitle(QString::fromStdString(caption));
  box.setText(QString::fromStdString(text));
  box.setAccessibleDescription(box.text());
  switch (flags & MB_ICONMASK) {
    case MB_ICONSTOP:
      box.setIcon(QMessageBox::Critical);
      break;
    case MB_ICONQUESTION:
      box.setIcon(QMessageBox::Question);
      break;
    case MB_ICONEXCLAMATION:
      box.setIcon(QMessageBox::Warning);
      break;
    case MB_ICONINFORMATION:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      break;
  }
  if ((flags & MB_TYPEMASK) == MB_YESNO) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  const int answer = box.exec();
  if (answer == QMessageBox::Yes) return IDYES;
  if (answer == QMessageBox::No) return IDNO;
  return IDOK;
}

}  // namespace

void InstallQtMessageBox() {
  SetMessageBoxHandler([](void* owner, const std::string& text, const std::string& caption, unsigned flags) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return (flags & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    if (QThread::currentThread() == app->thread()) return ShowOnUiThread(owner, text, caption, flags);
    int answer = IDOK;
    QMetaObject::invokeMethod(
        app, [&] { answer = ShowOnUiThread(owner, text, caption, flags); }, Qt::BlockingQueuedConnection);
    return answer;
  });
}
