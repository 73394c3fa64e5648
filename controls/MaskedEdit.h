#pragma once
// A single-line edit that takes text only through a fixed mask. Every change goes to the element
// list first; the window text is only ever a picture of it.
#include <QLineEdit>
#include <QString>

#include "controls/MaskedEditModel.h"

class CMaskedEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit CMaskedEdit(const char* mask = nullptr, QWidget* parent = nullptr);

  void SetMask(const char* mask);
  void SetPromptChar(char ch);
  bool GetInsertMode() const;
  void SetInsertMode(bool insert);
  QString GetInputText() const;
  QString GetDisplayText() const;
  bool SetInputText(const QString& text, int nFirstInput = 0, bool bKeepPrompts = true);

  // Called on every refused key or character. Default: a beep.
  virtual void OnInputRejected();
  // Asked when the control loses the focus; false keeps the focus here. Default: true.
  virtual bool IsContentValid();

  // The handlers the keys, the context menu, middle-click and input methods reach.
  void OnPaste();
  void OnCut();
  void OnClear();

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  void Refresh(int p);
  void MoveCaretForward(int p);
  void MoveCaretBack(int p);
  void Selection(int& start, int& end) const;
  void Apply(const CMaskedEditModel::Outcome& outcome);
  void OnChar(char32_t ch);
  void PasteText(const QString& clip);
  void KeepPicture();
  void UpdatePlainMode();

  CMaskedEditModel m_model;
  bool m_bRefreshing = false;
};
