#include "search/IndexBuildBadge.h"

#include <QEvent>

namespace {

constexpr int kMargin = 4;

}  // namespace

IndexBuildBadge::IndexBuildBadge(QWidget* viewport) : QLabel(viewport) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setWordWrap(true);
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // The list's own colours, a shade apart, so that it reads as a note and not as a row.
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::AlternateBase);
  setForegroundRole(QPalette::PlaceholderText);
  setContentsMargins(kMargin, 2, kMargin, 2);
  setFrameShape(QFrame::StyledPanel);
  viewport->installEventFilter(this);
  hide();
}

void IndexBuildBadge::ShowText(const QString& text) {
  if (text == this->text() && isVisible()) return;
  setText(text);
  Place();
  show();
  raise();
}

void IndexBuildBadge::Clear() {
  hide();
  clear();
}

bool IndexBuildBadge::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent() && event->type() == QEvent::Resize) Place();
  return QLabel::eventFilter(watched, event);
}

void IndexBuildBadge::Place() {
  const QWidget* viewport = parentWidget();
  const int width = viewport->width() - 2 * kMargin;
  const int height = heightForWidth(width) > 0 ? heightForWidth(width) : sizeHint().height();
  setGeometry(kMargin, viewport->height() - height - kMargin, width, height);
}
