#pragma once
// The viewer's text field: a read-only, unwrapped view of one NFO that lays out only the lines and
// columns in sight. A 16 MiB text, one line or many, is drawn as fast as a short one, and nothing
// beyond the prepared text is kept for it. It selects and copies as a read-only edit does; a
// position is a line and an offset in it, so neither moving nor drawing walks the text before it.
#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QPoint>
#include <QString>
#include <cstdint>

#include "search/NfoText.h"

class CNfoTextView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  // A place between two characters: the line and the UTF-16 offset from its start.
  struct Position {
    size_t line = 0;
    size_t offset = 0;
    auto operator<=>(const Position&) const = default;
  };

  explicit CNfoTextView(QWidget* parent = nullptr);
  ~CNfoTextView() override;

  // Takes text over; the view then shows its first line and column, nothing selected.
  void SetText(NfoText&& text);
  // Frees the text.
  void Clear();

  // The text as shown, lines joined by LF.
  QString Text() const;
  const NfoText& Prepared() const { return m_text; }

  // Where the caret is; the selection runs from the anchor to it.
  Position Caret() const { return m_caret; }
  Position Anchor() const { return m_anchor; }
  bool HasSelection() const { return m_anchor != m_caret; }
  QString SelectedText() const;
  void SelectAll();
  // Puts the selection on the clipboard as plain text.
  void Copy() const;
  // Moves the caret, the anchor too unless extending, and scrolls the caret into sight.
  void SetCaret(Position p, bool extend);

  // Where in the characters a position lies, and the reverse for a character index.
  size_t Index(Position p) const;
  Position PositionOf(size_t index) const;
  // Characters [from, to) of the text.
  QString Slice(size_t from, size_t to) const;
  // The line at the point of the viewport, the offset nearest to it.
  Position PositionAt(QPoint point) const;
  // Where the character at p is drawn, in viewport coordinates.
  QRect CellRect(Position p) const;
  size_t LineStart(size_t line) const { return m_text.LineStart(line); }
  size_t LineLength(size_t line) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void UpdateScrollBars();
  // Columns [first, first + count) of the line that begins at start, tabs laid out.
  QString Columns(size_t start, size_t first, size_t count) const;
  // The column a line's offset is drawn at, and the offset nearest to a column.
  // Counting stops at limit: a column far out of sight is not worth walking to.
  size_t ColumnOf(size_t start, size_t offset, size_t limit = SIZE_MAX) const;
  size_t OffsetAt(size_t start, size_t column) const;
  void EnsureVisible(Position p);
  // Ctrl+Left and Ctrl+Right: the start of the word before or after p, looked for on p's line
  // and no more than a window away.
  Position WordLeft(Position p) const;
  Position WordRight(Position p) const;
  // One step of a drag held beyond an edge: scrolls towards the pointer and extends to it.
  void AutoScroll();
  int LineHeight() const;
  int Cell() const;

  NfoText m_text;
  Position m_anchor;
  Position m_caret;
  size_t m_goalColumn = 0;    // where Up and Down aim, as an edit keeps it across short lines
  bool m_bSelecting = false;  // a left-button drag began in the view
  QPoint m_dragPoint;         // where that drag's pointer is, in viewport coordinates
  QBasicTimer m_autoScroll;
};
