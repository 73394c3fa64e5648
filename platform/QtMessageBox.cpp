#include "platform/QtMessageBox.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "platform/MessageBox.h"
#include "platform/UiThread.h"

namespace {

// What a title bar needs for a caption: its text in the title font, which window managers mostly
// draw bold, beside the window icon and three buttons, each about as wide as the bar is high.
int CaptionWidth(const QString& caption) {
  QFont font = QApplication::font("QMdiSubWindowTitleBar");
  font.setBold(true);
  const QFontMetrics metrics(font);
  const int bar = metrics.height() + 2 * metrics.averageCharWidth();
  return metrics.horizontalAdvance(caption) + 4 * bar + 2 * metrics.averageCharWidth();
}

// The toolkit's box wraps any line wider than its own narrow limit; a box's lines are written as
// lines, so each stays whole unless it cannot fit on the screen at all.
class WholeLineBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent* event) override {
    for (QLabel* label : findChildren<QLabel*>()) {
      if (label->text() != text()) continue;
      int widest = 0;
      for (const QString& line : text().split('\n')) {
        widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
      }
      const int room = screen() ? screen()->availableGeometry().width() * 3 / 4 : widest;
      label->setMinimumWidth(std::min(widest + label->fontMetrics().averageCharWidth(), room));
    }
    QMessageBox::showEvent(event);
    KeepCaptionRoom();
  }

  bool event(QEvent* event) override {
    const bool handled = QMessageBox::event(event);
    if (event->type() == QEvent::LayoutRequest) KeepCaptionRoom();
    return handled;
  }

 private:
  // The toolkit sizes the box itself as it shows and again on each layout request, leaving a
  // short caption too little room: the window manager then cuts it short.
  void KeepCaptionRoom() {
    int caption = CaptionWidth(windowTitle());
    if (screen()) caption = std::min(caption, screen()->availableGeometry().width() * 3 / 4);
    if (width() < caption) setFixedSize(caption, height());
  }
};

int ShowOnUiThread(void* owner, const std::string& text, const std::string& caption, unsigned flags) {
  const bool question = (flags & MB_TYPEMASK) == MB_YESNO;
  // On the heap: the owner may go (Quit, a signal) while the box waits, and takes its children
  // with it.
  QPointer<QMessageBox> box = new WholeLineBox(static_cast<QWidget*>(owner));
  // An owned box blocks its owner's window only, as an owned system box does: a box of a hidden
  // NFO viewer leaves the form usable. The box's own setter would make it a sheet, which Wayland
  // draws without a caption bar.
  if (owner) box->QWidget::setWindowModality(Qt::WindowModal);
  box->setWindowTitle(QString::fromStdString(caption));
  // Texts may come from a server: never markup, never a live link.
  box->setTextFormat(Qt::PlainText);
  box->setText(QString::fromStdString(text));
  box->setAccessibleDescription(box->text());
  switch (flags & MB_ICONMASK) {
    case MB_ICONSTOP:
      box->setIcon(QMessageBox::Critical);
      break;
    case MB_ICONQUESTION:
      box->setIcon(QMessageBox::Question);
      break;
    case MB_ICONEXCLAMATION:
      box->setIcon(QMessageBox::Warning);
      break;
    case MB_ICONINFORMATION:
      box->setIcon(QMessageBox::Information);
      break;
    default:
      break;
  }
  if (question) {
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box->setDefaultButton(QMessageBox::Yes);
  } else {
    box->setStandardButtons(QMessageBox::Ok);
  }
  // A click on the blocked owner makes it the active window, yet the keys belong to the box.
  if (owner) {
    QWidget* blocked = static_cast<QWidget*>(owner)->window();
    QObject::connect(qApp, &QGuiApplication::focusWindowChanged, box,
                     [box = box.data(), blocked](QWindow* now) {
                       if (now && now == blocked->windowHandle() && box->isVisible()) box->activateWindow();
                     });
  }
  const int answer = box->exec();
  // A box that went with its owner was never answered: a question then counts as declined.
  if (!box) return question ? IDNO : IDOK;
  delete box;
  if (answer == QMessageBox::Yes) return IDYES;
  // No, or closed without an answer (Quit cancels the boxes that wait).
  if (question) return IDNO;
  return IDOK;
}

}  // namespace

void InstallQtMessageBox() {
  SetMessageBoxHandler([](void* owner, const std::string& text, const std::string& caption, unsigned flags) {
    int answer = (flags & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    RunOnUiThread([&] { answer = ShowOnUiThread(owner, text, caption, flags); });
    return answer;
  });
}
