#include "search/NfoTextView.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <climits>

namespace {

constexpr int kTabStop = 8;
constexpr int kMargin = 4;  // pixels left of the first column, as an edit field keeps

}  // namespace

CNfoTextView::CNfoTextView(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  Clear();
}

CNfoTextView::~CNfoTextView() = default;

void CNfoTextView::SetText(NfoText&& text) {
  // Freed first: a string moved onto another keeps that one's buffer when it is short itself.
  std::u16string().swap(m_text.characters);
  m_text = std::move(text);
  if (m_text.marks.empty()) m_text = PrepareNfoText({});
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
  UpdateScrollBars();
  viewport()->update();
}

void CNfoTextView::Clear() {
  SetText(PrepareNfoText({}));
}

QString CNfoTextView::Text() const {
  return QString::fromUtf16(m_text.characters.data(), static_cast<qsizetype>(m_text.characters.size()));
}

void CNfoTextView::UpdateScrollBars() {
  const QFontMetrics metrics(font());
  const int lineHeight = std::max(1, metrics.lineSpacing());
  const int cell = std::max(1, metrics.horizontalAdvance(QLatin1Char('x')));
  const int rows = std::max(1, viewport()->height() / lineHeight);
  const long long lines = static_cast<long long>(m_text.lineCount);
  verticalScrollBar()->setRange(0, static_cast<int>(std::clamp<long long>(lines - rows, 0, INT_MAX)));
  verticalScrollBar()->setPageStep(rows);
  verticalScrollBar()->setSingleStep(1);
  const long long width = static_cast<long long>(m_text.widestLine) * cell + 2 * kMargin;
  horizontalScrollBar()->setRange(
      0, static_cast<int>(std::clamp<long long>(width - viewport()->width(), 0, INT_MAX)));
  horizontalScrollBar()->setPageStep(viewport()->width());
  horizontalScrollBar()->setSingleStep(cell);
}

QString CNfoTextView::Columns(size_t start, size_t first, size_t count) const {
  const size_t end = m_text.LineEnd(start);
  const char16_t* chars = m_text.characters.data();
  QString out;
  if (!m_text.hasTabs) {
    if (start + first >= end) return out;
    size_t from = start + first;
    // Never begin inside a surrogate pair.
    if (from > start && QChar::isLowSurrogate(chars[from])) --from;
    const size_t to = std::min(end, start + first + count + 1);
    return QString::fromUtf16(chars + from, static_cast<qsizetype>(to - from));
  }
  size_t column = 0;
  const size_t last = first + count;
  for (size_t i = start; i < end && column < last; ++i) {
    if (chars[i] == u'\t') {
      const size_t next = column + kTabStop - column % kTabStop;
      for (; column < next; ++column)
        if (column >= first) out += QLatin1Char(' ');
    } else {
      if (column >= first) out += QChar(chars[i]);
      ++column;
    }
  }
  return out;
}

void CNfoTextView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::Text));
  const QFontMetrics metrics(font());
  const int lineHeight = std::max(1, metrics.lineSpacing());
  const int cell = std::max(1, metrics.horizontalAdvance(QLatin1Char('x')));
  const int x0 = horizontalScrollBar()->value();
  const size_t firstColumn = static_cast<size_t>(std::max(0, x0 - kMargin) / cell);
  const size_t columns = static_cast<size_t>(viewport()->width() / cell + 2);
  const int left = kMargin + static_cast<int>(static_cast<long long>(firstColumn) * cell - x0);

  size_t line = static_cast<size_t>(verticalScrollBar()->value());
  if (line >= m_text.lineCount) return;
  size_t start = m_text.LineStart(line);
  for (int y = 0; y < viewport()->height() && line < m_text.lineCount; y += lineHeight, ++line) {
    const QString text = Columns(start, firstColumn, columns);
    if (!text.isEmpty()) painter.drawText(left, y + metrics.ascent(), text);
    start = m_text.LineEnd(start) + 1;
  }
}

void CNfoTextView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void CNfoTextView::keyPressEvent(QKeyEvent* event) {
  QScrollBar* v = verticalScrollBar();
  QScrollBar* h = horizontalScrollBar();
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  switch (event->key()) {
    case Qt::Key_Up:
      return v->triggerAction(QAbstractSlider::SliderSingleStepSub);
    case Qt::Key_Down:
      return v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    case Qt::Key_PageUp:
      return v->triggerAction(QAbstractSlider::SliderPageStepSub);
    case Qt::Key_PageDown:
      return v->triggerAction(QAbstractSlider::SliderPageStepAdd);
    case Qt::Key_Left:
      return h->triggerAction(QAbstractSlider::SliderSingleStepSub);
    case Qt::Key_Right:
      return h->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    case Qt::Key_Home:
      return (ctrl ? v : h)->triggerAction(QAbstractSlider::SliderToMinimum);
    case Qt::Key_End:
      return (ctrl ? v : h)->triggerAction(QAbstractSlider::SliderToMaximum);
    default:
      QAbstractScrollArea::keyPressEvent(event);
  }
}
