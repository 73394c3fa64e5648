#include "controls/MaskedEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>

#include "platform/LocaleSeparators.h"

namespace {

// The control holds single-byte characters (Latin-1). Anything wider becomes DEL, which no input
// position accepts and which can never be the prompt, so it is refused like any unfit character.
char ToByte(char32_t ch) {
  return ch <= 0xFF ? static_cast<char>(ch) : '\x7f';
}

std::string ToBytes(const QString& text) {
  std::string bytes;
  for (char32_t ch : text.toUcs4()) bytes += ToByte(ch);
  return bytes;
}

QString FromBytes(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

bool IsMoveKey(int key) {
  return key == Qt::Key_Home || key == Qt::Key_Left || key == Qt::Key_Up || key == Qt::Key_Right ||
         key == Qt::Key_Down;
}

// Standard sequences that would change the text behind the element list's back.
bool IsBypassingSequence(QKeyEvent* e) {
  return e->matches(QKeySequence::Undo) || e->matches(QKeySequence::Redo) ||
         e->matches(QKeySequence::DeleteEndOfLine) || e->matches(QKeySequence::DeleteStartOfWord) ||
         e->matches(QKeySequence::DeleteEndOfWord) || e->matches(QKeySequence::DeleteCompleteLine);
}

}  // namespace

CMaskedEdit::CMaskedEdit(const char* mask, QWidget* parent)
    : QLineEdit(parent), m_model(nullptr, LocaleSeparators::FromUserLocale()) {
  // Whatever sets the window text from outside (setText, insert, undo), the picture comes back.
  connect(this, &QLineEdit::textChanged, this, &CMaskedEdit::KeepPicture);
  SetMask(mask);
}

void CMaskedEdit::SetMask(const char* mask) {
  m_model.SetMask(mask);
  UpdatePlainMode();
  Refresh(0);
}

void CMaskedEdit::SetPromptChar(char ch) {
  m_model.SetPromptChar(ch);
  Refresh(-1);
}

bool CMaskedEdit::GetInsertMode() const {
  return m_model.GetInsertMode();
}
void CMaskedEdit::SetInsertMode(bool insert) {
  m_model.SetInsertMode(insert);
}
QString CMaskedEdit::GetInputText() const {
  return FromBytes(m_model.GetInputText());
}
QString CMaskedEdit::GetDisplayText() const {
  return FromBytes(m_model.GetDisplayText());
}

bool CMaskedEdit::SetInputText(const QString& text, int nFirstInput, bool bKeepPrompts) {
  bool result = m_model.SetInputText(ToBytes(text), nFirstInput, bKeepPrompts);
  Refresh(0);
  return result;
}

void CMaskedEdit::OnInputRejected() {
  QApplication::beep();
}
bool CMaskedEdit::IsContentValid() {
  return true;
}

void CMaskedEdit::UpdatePlainMode() {
  // Drops and undo would bypass the element list; a plain edit keeps them.
  setAcceptDrops(m_model.IsMaskEmpty());
  setDragEnabled(false);
}

void CMaskedEdit::Refresh(int p) {
  if (m_model.IsMaskEmpty() && p < 0) return;
  const QString display = GetDisplayText();
  if (text() != display) {
    int caret = cursorPosition();
    m_bRefreshing = true;
    setText(display);
    m_bRefreshing = false;
    if (p < 0) setCursorPosition(std::min(caret, static_cast<int>(display.size())));
  }
  if (p >= 0) MoveCaretForward(p);
}

void CMaskedEdit::MoveCaretForward(int p) {
  setCursorPosition(m_model.NextInputPosition(p));
}
void CMaskedEdit::MoveCaretBack(int p) {
  setCursorPosition(m_model.PreviousInputStop(p));
}

void CMaskedEdit::Selection(int& start, int& end) const {
  if (hasSelectedText()) {
    start = selectionStart();
    end = selectionEnd();
  } else {
    start = end = cursorPosition();
  }
}

void CMaskedEdit::Apply(const CMaskedEditModel::Outcome& outcome) {
  Refresh(-1);
  if (outcome.rejected) OnInputRejected();
  setCursorPosition(outcome.caret);
}

void CMaskedEdit::KeepPicture() {
  if (m_bRefreshing || m_model.IsMaskEmpty()) return;
  Refresh(-1);
}

void CMaskedEdit::OnChar(char32_t ch) {
  int start, end;
  Selection(start, end);
  if (ch == 0x08) {
    Apply(m_model.Backspace(start, end));
  } else {
    Apply(m_model.TypeChar(start, end, ToByte(ch)));
  }
}

void CMaskedEdit::PasteText(const QString& clip) {
  int start, end;
  Selection(start, end);
  const QString pasted = text().left(start) + clip + text().mid(end);
  Apply(m_model.Paste(start, ToBytes(pasted)));
}

void CMaskedEdit::OnPaste() {
  if (m_model.IsMaskEmpty()) return paste();
  PasteText(QApplication::clipboard()->text());
}

void CMaskedEdit::OnCut() {
  if (m_model.IsMaskEmpty()) return cut();
  // Cut keeps what it removes on the clipboard, as users expect of it.
  if (hasSelectedText()) QApplication::clipboard()->setText(selectedText());
  OnClear();
}

void CMaskedEdit::OnClear() {
  if (m_model.IsMaskEmpty()) return del();
  int start, end;
  Selection(start, end);
  Apply(m_model.Cut(start, end));
}

bool CMaskedEdit::event(QEvent* e) {
  if (e->type() == QEvent::ShortcutOverride && !m_model.IsMaskEmpty()) {
    // Shift+Insert and Ctrl+Insert are ours (they toggle the mode), not Paste and Copy shortcuts.
    auto* ke = static_cast<QKeyEvent*>(e);
    if (ke->key() == Qt::Key_Insert || ke->key() == Qt::Key_Delete || ke->key() == Qt::Key_Backspace) {
      e->accept();
      return true;
    }
  }
  return QLineEdit::event(e);
}

// Key event dispatch with a mask. A Qt key event carries the key and its text at once; the first
// matching row takes the event and no other row sees it.
//   Insert, any modifiers            toggle insert mode
//   Delete, any modifiers            DeleteKey (its "\x7f" text never reaches the character path)
//   Backspace, any modifiers         character path as 0x08
//   Paste sequence (Ctrl+V)          OnPaste
//   Cut sequence (Ctrl+X)            OnCut
//   Copy sequence (Ctrl+C)           standard copy
//   Undo, Redo, word/line deletions  swallowed: they would bypass the element list
//   Home, Left/Up, Right/Down        standard move, then the caret to an input stop unless Shift
//   text from 0x20 up, no Ctrl       character path, one call per character
//   anything else                    standard handling (Tab, Enter, End, Ctrl+A, ...)
void CMaskedEdit::keyPressEvent(QKeyEvent* e) {
  if (m_model.IsMaskEmpty()) return QLineEdit::keyPressEvent(e);
  const int key = e->key();
  const Qt::KeyboardModifiers mods = e->modifiers();
  const bool shift = mods & Qt::ShiftModifier;
  e->accept();
  if (key == Qt::Key_Insert) {
    m_model.SetInsertMode(!m_model.GetInsertMode());
  } else if (key == Qt::Key_Delete) {
    int start, end;
    Selection(start, end);
    Apply(m_model.DeleteKey(start, end));
  } else if (key == Qt::Key_Backspace) {
    OnChar(0x08);
  } else if (e->matches(QKeySequence::Paste)) {
    OnPaste();
  } else if (e->matches(QKeySequence::Cut)) {
    OnCut();
  } else if (e->matches(QKeySequence::Copy)) {
    copy();
  } else if (IsBypassingSequence(e)) {
    // nothing
  } else if (IsMoveKey(key)) {
    // A single-line edit moves on Up and Down as on Left and Right.
    if (key == Qt::Key_Up) {
      cursorBackward(shift, 1);
    } else if (key == Qt::Key_Down) {
      cursorForward(shift, 1);
    } else {
      QLineEdit::keyPressEvent(e);
    }
    if (!shift) {
      int start, end;
      Selection(start, end);
      if (key == Qt::Key_Left || key == Qt::Key_Up) {
        MoveCaretBack(start);
      } else {
        MoveCaretForward(start);
      }
    }
  } else if (!e->text().isEmpty() && e->text().at(0).unicode() >= 0x20 &&
             (!(mods & Qt::ControlModifier) || (mods & Qt::AltModifier))) {
    for (char32_t ch : e->text().toUcs4()) OnChar(ch);
  } else {
    QLineEdit::keyPressEvent(e);
    KeepPicture();
  }
}

void CMaskedEdit::inputMethodEvent(QInputMethodEvent* e) {
  if (m_model.IsMaskEmpty()) return QLineEdit::inputMethodEvent(e);
  // Composition is not shown; what the input method commits is typed character by character.
  for (char32_t ch : e->commitString().toUcs4()) OnChar(ch);
  e->accept();
}

void CMaskedEdit::focusInEvent(QFocusEvent* e) {
  QLineEdit::focusInEvent(e);
  if (m_model.IsMaskEmpty()) return;
  int start, end;
  Selection(start, end);
  if (start == 0 && end == static_cast<int>(text().size())) MoveCaretForward(0);
}

void CMaskedEdit::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  if (!IsContentValid()) {
    setFocus();
    OnInputRejected();
    MoveCaretForward(0);
  }
}

void CMaskedEdit::contextMenuEvent(QContextMenuEvent* e) {
  if (m_model.IsMaskEmpty()) return QLineEdit::contextMenuEvent(e);
  // The standard menu's entries call the base slots directly; ours go through the handlers.
  QMenu menu(this);
  const bool selected = hasSelectedText();
  menu.addAction(tr("Cu&t"), this, &CMaskedEdit::OnCut)->setEnabled(selected && !isReadOnly());
  menu.addAction(tr("&Copy"), this, [this] { copy(); })->setEnabled(selected);
  menu.addAction(tr("&Paste"), this, &CMaskedEdit::OnPaste)
      ->setEnabled(!isReadOnly() && !QApplication::clipboard()->text().isEmpty());
  menu.addAction(tr("Delete"), this, &CMaskedEdit::OnClear)->setEnabled(selected && !isReadOnly());
  menu.addSeparator();
  menu.addAction(tr("Select All"), this, [this] { selectAll(); })->setEnabled(!text().isEmpty());
  menu.setObjectName("maskedEditContextMenu");
  menu.exec(e->globalPos());
}

void CMaskedEdit::mousePressEvent(QMouseEvent* e) {
  if (!m_model.IsMaskEmpty() && e->button() == Qt::MiddleButton) return e->accept();
  QLineEdit::mousePressEvent(e);
}

void CMaskedEdit::mouseReleaseEvent(QMouseEvent* e) {
  if (!m_model.IsMaskEmpty() && e->button() == Qt::MiddleButton) {
    // The selection clipboard goes through Paste, at the clicked position.
    QClipboard* clipboard = QApplication::clipboard();
    if (clipboard->supportsSelection() && !isReadOnly()) {
      setCursorPosition(cursorPositionAt(e->position().toPoint()));
      PasteText(clipboard->text(QClipboard::Selection));
    }
    return e->accept();
  }
  QLineEdit::mouseReleaseEvent(e);
}
