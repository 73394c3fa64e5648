#include "search/NfoTextView.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QTimerEvent>
#include <algorithm>
#include <climits>

#include "res/Texts.h"

namespace {

constexpr int kMargin = 4;  // pixels left of the first column, as an edit field keeps
// What a screen reader gets as the value, and around an offset it asks about: enough to read,
// never the whole of a 16 MiB text.
constexpr size_t kAccessibleValue = 64 * 1024;
constexpr size_t kAccessibleWindow = 4096;

bool IsWordChar(char16_t c) {
  return QChar(c).isLetterOrNumber() || c == u'_';
}

// A word move steps over a run of one kind, then over the blanks after it: a word, a stretch of
// text art or punctuation, each a stop of its own.
enum class CharKind { Blank, Word, Other };

// The kind of the character at i of a line of length characters; both halves of a surrogate
// pair are of their pair's kind, so no move stops between them.
CharKind KindAt(const char16_t* line, size_t i, size_t length) {
  char32_t c = line[i];
  if (QChar::isHighSurrogate(c) && i + 1 < length && QChar::isLowSurrogate(line[i + 1]))
    c = QChar::surrogateToUcs4(line[i], line[i + 1]);
  else if (QChar::isLowSurrogate(c) && i > 0 && QChar::isHighSurrogate(line[i - 1]))
    c = QChar::surrogateToUcs4(line[i - 1], line[i]);
  if (QChar::isSpace(c)) return CharKind::Blank;
  if (QChar::isLetterOrNumber(c) || c == U'_') return CharKind::Word;
  return CharKind::Other;
}

// How often a drag held beyond an edge scrolls, as an edit's selection does.
constexpr int kAutoScrollInterval = 50;

// A screen reader reads the field as a read-only edit; offsets are the text's characters.
class NfoTextAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit NfoTextAccessible(CNfoTextView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.multiLine = true;
    s.editable = false;
    s.selectableText = true;
    return s;
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return View()->Slice(0, kAccessibleValue);
    return QAccessibleWidget::text(t);
  }

  void selection(int n, int* start, int* end) const override {
    *start = *end = 0;
    if (n != 0 || !View()->HasSelection()) return;
    const size_t a = View()->Index(View()->Anchor()), c = View()->Index(View()->Caret());
    *start = static_cast<int>(std::min(a, c));
    *end = static_cast<int>(std::max(a, c));
  }
  int selectionCount() const override { return View()->HasSelection() ? 1 : 0; }
  void addSelection(int start, int end) override { setSelection(0, start, end); }
  void removeSelection(int) override { setCursorPosition(cursorPosition()); }
  void setSelection(int, int start, int end) override {
    setCursorPosition(start);
    Select(end, true);
  }
  int cursorPosition() const override { return static_cast<int>(View()->Index(View()->Caret())); }
  void setCursorPosition(int position) override { Select(position, false); }
  QString text(int start, int end) const override {
    return View()->Slice(static_cast<size_t>(std::max(0, start)), static_cast<size_t>(std::max(0, end)));
  }
  int characterCount() const override { return static_cast<int>(View()->Prepared().characters.size()); }
  QRect characterRect(int offset) const override {
    const QRect r = View()->CellRect(View()->PositionOf(static_cast<size_t>(std::max(0, offset))));
    return QRect(View()->viewport()->mapToGlobal(r.topLeft()), r.size());
  }
  int offsetAtPoint(const QPoint& point) const override {
    return static_cast<int>(View()->Index(View()->PositionAt(View()->viewport()->mapFromGlobal(point))));
  }
  void scrollToSubstring(int start, int) override { setCursorPosition(start); }
  QString attributes(int offset, int* start, int* end) const override {
    *start = *end = offset;
    return {};
  }
  // Read from the offset's line, at most a window around it, so no question walks the text.
  QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start, int* end) const override {
    const CNfoTextView* view = View();
    const size_t size = view->Prepared().characters.size();
    const size_t at = std::min(static_cast<size_t>(std::max(0, offset)), size);
    const CNfoTextView::Position p = view->PositionOf(at);
    const size_t lineStart = view->LineStart(p.line);
    const size_t lineEnd = lineStart + view->LineLength(p.line);
    const size_t from = std::max(lineStart, at > kAccessibleWindow ? at - kAccessibleWindow : 0);
    const size_t to = std::min(lineEnd, at + kAccessibleWindow);
    size_t first = from, last = to;
    if (type == QAccessible::NoBoundary) {
      first = 0;
      last = size;
    } else if (type == QAccessible::LineBoundary || type == QAccessible::ParagraphBoundary) {
      last = std::min(size, to + 1);  // with its line end
    } else if (at < to) {
      const QString window = view->Slice(from, to);
      QTextBoundaryFinder::BoundaryType kind = QTextBoundaryFinder::Grapheme;
      if (type == QAccessible::WordBoundary) kind = QTextBoundaryFinder::Word;
      if (type == QAccessible::SentenceBoundary) kind = QTextBoundaryFinder::Sentence;
      QTextBoundaryFinder finder(kind, window);
      finder.setPosition(static_cast<qsizetype>(at - from));
      if (!finder.isAtBoundary()) finder.toPreviousBoundary();
      const qsizetype b = std::max<qsizetype>(0, finder.position());
      const qsizetype e = finder.toNextBoundary();
      first = from + static_cast<size_t>(b);
      last = from + static_cast<size_t>(e < 0 ? window.size() : e);
    } else {
      first = last = at;
    }
    *start = static_cast<int>(first);
    *end = static_cast<int>(last);
    return view->Slice(first, last);
  }
  QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                           int* end) const override {
    int s = 0, e = 0;
    textAtOffset(offset, type, &s, &e);
    if (s <= 0) {
      *start = *end = 0;
      return {};
    }
    return textAtOffset(s - 1, type, start, end);
  }
  QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                          int* end) const override {
    int s = 0, e = 0;
    textAtOffset(offset, type, &s, &e);
    if (e >= characterCount() || e <= offset) {
      *start = *end = characterCount();
      return {};
    }
    return textAtOffset(e, type, start, end);
  }

 private:
  CNfoTextView* View() const { return static_cast<CNfoTextView*>(widget()); }
  void Select(int index, bool extend) {
    CNfoTextView* view = View();
    const size_t size = view->Prepared().characters.size();
    const CNfoTextView::Position p =
        view->PositionOf(std::min(static_cast<size_t>(std::max(0, index)), size));
    view->SetCaret(p, extend);
  }
};

QAccessibleInterface* NfoTextAccessibleFactory(const QString& className, QObject* object) {
  if (className == QLatin1String("CNfoTextView") && object && object->isWidgetType())
    return new NfoTextAccessible(static_cast<CNfoTextView*>(object));
  return nullptr;
}

}  // namespace

CNfoTextView::CNfoTextView(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  viewport()->setCursor(Qt::IBeamCursor);
  static const bool installed = (QAccessible::installFactory(NfoTextAccessibleFactory), true);
  (void)installed;
  Clear();
}

CNfoTextView::~CNfoTextView() = default;

void CNfoTextView::SetText(NfoText&& text) {
  // Freed first: a string moved onto another keeps that one's buffer when it is short itself.
  std::u16string().swap(m_text.characters);
  m_text = std::move(text);
  if (m_text.marks.empty()) m_text = PrepareNfoText({});
  m_anchor = m_caret = {};
  m_goalColumn = 0;
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
  const size_t last = first + count;
  auto [i, column] = m_text.WalkFromColumn(start, first);
  for (; i < end && column < last; ++i) {
    const size_t next = NfoText::NextColumn(chars[i], column);
    if (chars[i] == u'\t') {
      for (; column < next; ++column)
        if (column >= first) out += QLatin1Char(' ');
    } else {
      if (column >= first) out += QChar(chars[i]);
      column = next;
    }
  }
  return out;
}

void CNfoTextView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::Text));
  const QFontMetrics metrics(font());
  const int lineHeight = LineHeight();
  const int cell = Cell();
  const int x0 = horizontalScrollBar()->value();
  const size_t firstColumn = static_cast<size_t>(std::max(0, x0 - kMargin) / cell);
  const size_t columns = static_cast<size_t>(viewport()->width() / cell + 2);
  const int left = kMargin + static_cast<int>(static_cast<long long>(firstColumn) * cell - x0);
  const Position from = std::min(m_anchor, m_caret), to = std::max(m_anchor, m_caret);

  size_t line = static_cast<size_t>(verticalScrollBar()->value());
  if (line >= m_text.lineCount) return;
  size_t start = m_text.LineStart(line);
  for (int y = 0; y < viewport()->height() && line < m_text.lineCount; y += lineHeight, ++line) {
    const QString text = Columns(start, firstColumn, columns);
    if (!text.isEmpty()) painter.drawText(left, y + metrics.ascent(), text);
    const size_t end = m_text.LineEnd(start);
    if (from != to && from.line <= line && line <= to.line) {
      // The line end counts as one cell, as an edit shows a selection going on to the next line.
      const size_t limit = firstColumn + columns;
      const size_t c0 = line == from.line ? ColumnOf(start, from.offset, limit) : 0;
      const size_t c1 =
          line == to.line ? ColumnOf(start, to.offset, limit) : ColumnOf(start, end - start, limit) + 1;
      const long long a = std::max(c0, firstColumn) - firstColumn, b = std::min(c1, limit) - firstColumn;
      if (c1 > firstColumn && c0 < limit && b > a) {
        const QRect band(left + static_cast<int>(a * cell), y, static_cast<int>((b - a) * cell), lineHeight);
        painter.fillRect(band, palette().brush(QPalette::Highlight));
        painter.save();
        painter.setClipRect(band);
        painter.setPen(palette().color(QPalette::HighlightedText));
        if (!text.isEmpty()) painter.drawText(left, y + metrics.ascent(), text);
        painter.restore();
      }
    }
    start = end + 1;
  }
  if (hasFocus() && m_caret.line >= static_cast<size_t>(verticalScrollBar()->value())) {
    const QRect caret = CellRect(m_caret);
    if (caret.intersects(viewport()->rect()))
      painter.fillRect(caret.x(), caret.y(), 1, caret.height(), palette().text());
  }
}

void CNfoTextView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void CNfoTextView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::SelectAll)) return SelectAll();
  if (event->matches(QKeySequence::Copy)) return Copy();
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  const size_t last = m_text.lineCount - 1;
  const size_t page = static_cast<size_t>(std::max(1, verticalScrollBar()->pageStep()));
  Position p = m_caret;
  auto vertical = [&](size_t line) {
    p.line = line;
    p.offset = OffsetAt(m_text.LineStart(line), m_goalColumn);
    SetCaret(p, shift);
  };
  const size_t goal = m_goalColumn;
  switch (event->key()) {
    case Qt::Key_Up:
      if (p.line > 0)
        vertical(p.line - 1);
      else
        SetCaret({0, 0}, shift);
      m_goalColumn = goal;
      return;
    case Qt::Key_Down:
      if (p.line < last)
        vertical(p.line + 1);
      else
        SetCaret({last, LineLength(last)}, shift);
      m_goalColumn = goal;
      return;
    case Qt::Key_PageUp:
      verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
      vertical(p.line > page ? p.line - page : 0);
      m_goalColumn = goal;
      return;
    case Qt::Key_PageDown:
      verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
      vertical(std::min(last, p.line + page));
      m_goalColumn = goal;
      return;
    case Qt::Key_Left:
      if (ctrl) return SetCaret(WordLeft(p), shift);
      if (p.offset > 0) {
        --p.offset;
        if (p.offset > 0 && QChar::isLowSurrogate(m_text.characters[Index(p)])) --p.offset;
      } else if (p.line > 0) {
        p = {p.line - 1, LineLength(p.line - 1)};
      }
      return SetCaret(p, shift);
    case Qt::Key_Right:
      if (ctrl) return SetCaret(WordRight(p), shift);
      if (p.offset < LineLength(p.line)) {
        ++p.offset;
        if (p.offset < LineLength(p.line) && QChar::isLowSurrogate(m_text.characters[Index(p)])) ++p.offset;
      } else if (p.line < last) {
        p = {p.line + 1, 0};
      }
      return SetCaret(p, shift);
    case Qt::Key_Home:
      return SetCaret(ctrl ? Position{} : Position{p.line, 0}, shift);
    case Qt::Key_End:
      return SetCaret(ctrl ? Position{last, LineLength(last)} : Position{p.line, LineLength(p.line)}, shift);
    default:
      QAbstractScrollArea::keyPressEvent(event);
  }
}

void CNfoTextView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    m_bSelecting = true;
    m_dragPoint = event->position().toPoint();
    SetCaret(PositionAt(m_dragPoint), event->modifiers() & Qt::ShiftModifier);
  } else if (event->button() != Qt::RightButton) {
    QAbstractScrollArea::mousePressEvent(event);
  }
}

void CNfoTextView::mouseMoveEvent(QMouseEvent* event) {
  if (!m_bSelecting || !(event->buttons() & Qt::LeftButton)) return;
  m_dragPoint = event->position().toPoint();
  if (viewport()->rect().contains(m_dragPoint)) {
    m_autoScroll.stop();
    SetCaret(PositionAt(m_dragPoint), true);
  } else if (!m_autoScroll.isActive()) {
    // The first step at once; then the timer goes on while the pointer stays out.
    AutoScroll();
    m_autoScroll.start(kAutoScrollInterval, this);
  }
}

void CNfoTextView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mouseReleaseEvent(event);
  m_bSelecting = false;
  m_autoScroll.stop();
  // A mouse selection is offered to a middle click, wherever the desktop has one.
  QClipboard* clipboard = QApplication::clipboard();
  if (HasSelection() && clipboard->supportsSelection())
    clipboard->setText(SelectedText(), QClipboard::Selection);
}

void CNfoTextView::hideEvent(QHideEvent* event) {
  // A drag the window went from gets no release.
  m_bSelecting = false;
  m_autoScroll.stop();
  QAbstractScrollArea::hideEvent(event);
}

void CNfoTextView::timerEvent(QTimerEvent* event) {
  if (event->timerId() != m_autoScroll.timerId()) return QAbstractScrollArea::timerEvent(event);
  AutoScroll();
}

void CNfoTextView::AutoScroll() {
  const QRect area = viewport()->rect();
  const int lineHeight = LineHeight(), cell = Cell();
  const int rows = std::max(1, area.height() / lineHeight);
  const int columns = std::max(1, area.width() / cell);
  // The further beyond the edge, the faster, at most a page a step.
  const auto steps = [](int beyond, int unit, int most) { return std::clamp(beyond / unit + 1, 1, most); };
  QScrollBar* v = verticalScrollBar();
  QScrollBar* h = horizontalScrollBar();
  const QPoint at = m_dragPoint;
  if (at.y() < 0)
    v->setValue(v->value() - steps(-at.y(), lineHeight, rows));
  else if (at.y() >= area.height())
    v->setValue(v->value() + steps(at.y() - area.height(), lineHeight, rows));
  if (at.x() < 0)
    h->setValue(h->value() - steps(-at.x(), cell, columns) * cell);
  else if (at.x() >= area.width())
    h->setValue(h->value() + steps(at.x() - area.width(), cell, columns) * cell);
  // The selection reaches the edge the pointer is beyond, on the last whole row.
  const QPoint edge(std::clamp(at.x(), 0, std::max(0, area.width() - 1)),
                    std::clamp(at.y(), 0, rows * lineHeight - 1));
  SetCaret(PositionAt(edge), true);
}

void CNfoTextView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  m_bSelecting = true;  // a drag from here goes on from the word
  // The word under the pointer, looked for no further than its own line and a window around it.
  const Position p = PositionAt(event->position().toPoint());
  const size_t start = m_text.LineStart(p.line), length = LineLength(p.line);
  const char16_t* chars = m_text.characters.data() + start;
  size_t a = p.offset, b = p.offset;
  if (b < length && !IsWordChar(chars[b]) && (a == 0 || !IsWordChar(chars[a - 1]))) ++b;
  const size_t floor = a > kAccessibleWindow ? a - kAccessibleWindow : 0;
  const size_t ceiling = std::min(length, b + kAccessibleWindow);
  while (a > floor && IsWordChar(chars[a - 1])) --a;
  while (b < ceiling && IsWordChar(chars[b])) ++b;
  SetCaret({p.line, a}, false);
  SetCaret({p.line, b}, true);
}

void CNfoTextView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* copy = menu.addAction(QString::fromUtf8(kTextNfoCopy), this, &CNfoTextView::Copy);
  copy->setShortcut(QKeySequence::Copy);
  copy->setEnabled(HasSelection());
  menu.addAction(QString::fromUtf8(kTextNfoSelectAll), this, &CNfoTextView::SelectAll)
      ->setShortcut(QKeySequence::SelectAll);
  menu.exec(event->globalPos());
}

int CNfoTextView::LineHeight() const {
  return std::max(1, QFontMetrics(font()).lineSpacing());
}

int CNfoTextView::Cell() const {
  return std::max(1, QFontMetrics(font()).horizontalAdvance(QLatin1Char('x')));
}

size_t CNfoTextView::LineLength(size_t line) const {
  const size_t start = m_text.LineStart(line);
  return m_text.LineEnd(start) - start;
}

size_t CNfoTextView::Index(Position p) const {
  return m_text.LineStart(p.line) + p.offset;
}

CNfoTextView::Position CNfoTextView::PositionOf(size_t index) const {
  // The nearest mark at or before index, then at most a mark's worth of lines.
  const auto mark = std::upper_bound(m_text.marks.begin(), m_text.marks.end(), static_cast<uint32_t>(index));
  const size_t m = static_cast<size_t>(mark - m_text.marks.begin()) - 1;
  Position p{m * NfoText::kLinesPerMark, 0};
  size_t start = m_text.marks[m];
  for (;;) {
    const size_t end = m_text.LineEnd(start);
    if (index <= end || p.line + 1 >= m_text.lineCount) {
      p.offset = std::min(index, end) - start;
      return p;
    }
    start = end + 1;
    ++p.line;
  }
}

QString CNfoTextView::Slice(size_t from, size_t to) const {
  to = std::min(to, m_text.characters.size());
  if (from >= to) return {};
  return QString::fromUtf16(m_text.characters.data() + from, static_cast<qsizetype>(to - from));
}

QString CNfoTextView::SelectedText() const {
  const size_t a = Index(m_anchor), c = Index(m_caret);
  return Slice(std::min(a, c), std::max(a, c));
}

void CNfoTextView::SelectAll() {
  const size_t last = m_text.lineCount - 1;
  m_anchor = {};
  m_caret = {last, LineLength(last)};
  viewport()->update();
}

void CNfoTextView::Copy() const {
  if (HasSelection()) QApplication::clipboard()->setText(SelectedText());
}

void CNfoTextView::SetCaret(Position p, bool extend) {
  p.line = std::min(p.line, m_text.lineCount - 1);
  p.offset = std::min(p.offset, LineLength(p.line));
  m_caret = p;
  if (!extend) m_anchor = p;
  m_goalColumn = ColumnOf(m_text.LineStart(p.line), p.offset);
  EnsureVisible(p);
  viewport()->update();
}

CNfoTextView::Position CNfoTextView::WordLeft(Position p) const {
  if (p.offset == 0) return p.line > 0 ? Position{p.line - 1, LineLength(p.line - 1)} : p;
  const size_t length = LineLength(p.line);
  const char16_t* chars = m_text.characters.data() + m_text.LineStart(p.line);
  // A run longer than the window is crossed a window at a time: a key press stays short.
  const size_t floor = p.offset > kAccessibleWindow ? p.offset - kAccessibleWindow : 0;
  size_t i = p.offset;
  while (i > floor && KindAt(chars, i - 1, length) == CharKind::Blank) --i;
  if (i > floor) {
    const CharKind kind = KindAt(chars, i - 1, length);
    while (i > floor && KindAt(chars, i - 1, length) == kind) --i;
  }
  if (i > 0 && QChar::isLowSurrogate(chars[i]) && QChar::isHighSurrogate(chars[i - 1])) --i;
  return {p.line, i};
}

CNfoTextView::Position CNfoTextView::WordRight(Position p) const {
  const size_t length = LineLength(p.line);
  if (p.offset >= length) return p.line + 1 < m_text.lineCount ? Position{p.line + 1, 0} : p;
  const char16_t* chars = m_text.characters.data() + m_text.LineStart(p.line);
  const size_t ceiling = std::min(length, p.offset + kAccessibleWindow);
  size_t i = p.offset;
  const CharKind kind = KindAt(chars, i, length);
  if (kind != CharKind::Blank)
    while (i < ceiling && KindAt(chars, i, length) == kind) ++i;
  while (i < ceiling && KindAt(chars, i, length) == CharKind::Blank) ++i;
  if (i < length && QChar::isLowSurrogate(chars[i]) && QChar::isHighSurrogate(chars[i - 1])) ++i;
  return {p.line, i};
}

void CNfoTextView::EnsureVisible(Position p) {
  QScrollBar* v = verticalScrollBar();
  const int rows = std::max(1, viewport()->height() / LineHeight());
  const long long line = static_cast<long long>(p.line);
  if (line < v->value())
    v->setValue(static_cast<int>(line));
  else if (line >= v->value() + rows)
    v->setValue(static_cast<int>(std::min<long long>(line - rows + 1, INT_MAX)));
  QScrollBar* h = horizontalScrollBar();
  const long long x = kMargin + static_cast<long long>(m_goalColumn) * Cell();
  if (x - kMargin < h->value())
    h->setValue(static_cast<int>(std::max<long long>(0, x - kMargin)));
  else if (x + Cell() > h->value() + viewport()->width())
    h->setValue(static_cast<int>(std::min<long long>(x + Cell() + kMargin - viewport()->width(), INT_MAX)));
}

CNfoTextView::Position CNfoTextView::PositionAt(QPoint point) const {
  const long long row = verticalScrollBar()->value() + std::max(0, point.y()) / LineHeight();
  const size_t line =
      static_cast<size_t>(std::min<long long>(row, static_cast<long long>(m_text.lineCount) - 1));
  const long long x = std::max<long long>(0, point.x() + horizontalScrollBar()->value() - kMargin);
  const size_t column = static_cast<size_t>((x + Cell() / 2) / Cell());
  return {line, OffsetAt(m_text.LineStart(line), column)};
}

QRect CNfoTextView::CellRect(Position p) const {
  const long long row = static_cast<long long>(p.line) - verticalScrollBar()->value();
  const long long x = kMargin +
                      static_cast<long long>(ColumnOf(m_text.LineStart(p.line), p.offset)) * Cell() -
                      horizontalScrollBar()->value();
  return QRect(static_cast<int>(std::clamp<long long>(x, INT_MIN / 2, INT_MAX / 2)),
               static_cast<int>(std::clamp<long long>(row * LineHeight(), INT_MIN / 2, INT_MAX / 2)), Cell(),
               LineHeight());
}

size_t CNfoTextView::ColumnOf(size_t start, size_t offset, size_t limit) const {
  if (!m_text.hasTabs) return std::min(offset, limit);
  const char16_t* chars = m_text.characters.data();
  auto [i, column] = m_text.WalkFromIndex(start, start + offset);
  for (; i < start + offset && column < limit; ++i) column = NfoText::NextColumn(chars[i], column);
  return std::min(column, limit);
}

size_t CNfoTextView::OffsetAt(size_t start, size_t column) const {
  const size_t end = m_text.LineEnd(start);
  if (!m_text.hasTabs) return std::min(column, end - start);
  const char16_t* chars = m_text.characters.data();
  auto [i, at] = m_text.WalkFromColumn(start, column);
  for (; i < end; ++i) {
    const size_t next = NfoText::NextColumn(chars[i], at);
    // The nearer side of the character under the column.
    if (next > column) return i - start + (column - at > (next - at) / 2 ? 1 : 0);
    at = next;
  }
  return end - start;
}
