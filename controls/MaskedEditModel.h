#pragma once
// The element list of a masked edit and every operation on it, without any window: the widget
// turns events into these calls and shows GetDisplayText().
#include <string>
#include <vector>

#include "controls/MaskData.h"
#include "platform/LocaleSeparators.h"

class CMaskedEditModel {
 public:
  // Where the caret goes after an edit (an empty selection), and whether it was refused.
  struct Outcome {
    bool rejected = false;
    int caret = 0;
  };

  explicit CMaskedEditModel(const char* mask = nullptr, const LocaleSeparators& separators = {});

  void SetMask(const char* mask);
  // False when ch cannot be a prompt (NUL, CR, LF, DEL) and nothing changed.
  bool SetPromptChar(char ch);
  char GetPromptChar() const { return m_chPrompt; }
  bool GetInsertMode() const { return m_bInsertMode; }
  void SetInsertMode(bool insert) { m_bInsertMode = insert; }
  bool IsMaskEmpty() const { return m_listElements.empty(); }
  int Length() const { return static_cast<int>(m_listElements.size()); }
  const std::vector<CMaskData>& Elements() const { return m_listElements; }

  std::string GetInputText() const;
  std::string GetDisplayText() const;
  bool SetInputText(const std::string& text, int nFirstInput = 0, bool bKeepPrompts = true);

  bool IsInputPosition(int p) const;
  int NextInputPosition(int p) const;
  int PreviousInputStop(int p) const;
  int FirstEmptyInputPosition(int p) const;
  int DeleteRange(int start, int end);
  int InsertChar(int p, char ch);
  int ReplaceChar(int p, char ch);

  // The user's edits; start and end are the selection (equal without one).
  Outcome DeleteKey(int start, int end);
  Outcome Backspace(int start, int end);
  Outcome TypeChar(int start, int end, char ch);
  // windowText is the display text after a standard paste into it.
  Outcome Paste(int start, const std::string& windowText);
  Outcome Cut(int start, int end);

 private:
  bool Takes(const CMaskData& element, char ch) const { return ch == m_chPrompt || element.Accepts(ch); }

  std::vector<CMaskData> m_listElements;
  bool m_bInsertMode = true;
  char m_chPrompt = ' ';
  char m_chDecimal = '.';
  char m_chThousands = ',';
  char m_chTime = ':';
  char m_chDate = '/';
};
