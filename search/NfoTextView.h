#pragma once
// The viewer's text field: a read-only, unwrapped view of one NFO that lays out only the lines and
// columns in sight. A 16 MiB text, one line or many, is drawn as fast as a short one, and nothing
// beyond the prepared text is kept for it.
#include <QAbstractScrollArea>
#include <QString>

#include "search/NfoText.h"

class CNfoTextView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit CNfoTextView(QWidget* parent = nullptr);
  ~CNfoTextView() override;

  // Takes text over; the view then shows its first line and column.
  void SetText(NfoText&& text);
  // Frees the text.
  void Clear();

  // The text as shown, lines joined by LF.
  QString Text() const;
  const NfoText& Prepared() const { return m_text; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void UpdateScrollBars();
  // Columns [first, first + count) of the line that begins at start, tabs laid out.
  QString Columns(size_t start, size_t first, size_t count) const;

  NfoText m_text;
};
