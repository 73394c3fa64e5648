#include "controls/MaskedEditModel.h"

CMaskedEditModel::CMaskedEditModel(const char* mask, const LocaleSeparators& separators)
    : m_chDecimal(separators.decimal),
      m_chThousands(separators.thousands),
      m_chTime(separators.time),
      m_chDate(separators.date) {
  SetMask(mask);
}

void CMaskedEditModel::SetMask(const char* mask) {
  m_listElements.clear();
  if (!mask) return;
  for (const char* p = mask; *p; ++p) {
    CMaskData element;
    switch (*p) {
      case '#':
        element = {CMaskData::Digit, m_chPrompt};
        break;
      case 'A':
        element = {CMaskData::AlphaNumeric, m_chPrompt};
        break;
      case '?':
        element = {CMaskData::Alphabetic, m_chPrompt};
        break;
      case '>':
        element = {CMaskData::AlphabeticUpper, m_chPrompt};
        break;
      case '<':
        element = {CMaskData::AlphabeticLower, m_chPrompt};
        break;
      case '&':
        element = {CMaskData::AnyCharacter, m_chPrompt};
        break;
      case '.':
        element = {CMaskData::DecimalSeparator, m_chDecimal};
        break;
      case ',':
        element = {CMaskData::ThousandsSeparator, m_chThousands};
        break;
      case ':':
        element = {CMaskData::TimeSeparator, m_chTime};
        break;
      case '/':
        element = {CMaskData::DateSeparator, m_chDate};
        break;
      case '\\':
        // A lone backslash at the end shows itself.
        if (p[1]) {
          ++p;
          element = {CMaskData::EscapedLiteral, *p};
        } else {
          element = {CMaskData::Literal, '\\'};
        }
        break;
      default:
        element = {CMaskData::Literal, *p};
        break;
    }
    m_listElements.push_back(element);
  }
}

bool CMaskedEditModel::SetPromptChar(char ch) {
  if (ch == '\0' || ch == '\r' || ch == '\n' || ch == '\x7f') return false;
  for (CMaskData& element : m_listElements) {
    if (element.IsInputPosition() && element.m_chValue == m_chPrompt) element.m_chValue = ch;
  }
  m_chPrompt = ch;
  return true;
}

std::string CMaskedEditModel::GetInputText() const {
  std::string text;
  for (const CMaskData& element : m_listElements) {
    if (element.IsInputPosition()) text += element.m_chValue;
  }
  return text;
}

std::string CMaskedEditModel::GetDisplayText() const {
  std::string text;
  text.reserve(m_listElements.size());
  for (const CMaskData& element : m_listElements) text += element.m_chValue;
  return text;
}

bool CMaskedEditModel::SetInputText(const std::string& text, int nFirstInput, bool bKeepPrompts) {
  std::string data;
  if (nFirstInput > 0) data = GetInputText().substr(0, static_cast<size_t>(nFirstInput));
  for (char ch : text) {
    if (bKeepPrompts || ch != m_chPrompt) data += ch;
  }
  bool result = true;
  size_t next = 0;
  for (CMaskData& element : m_listElements) {
    if (!element.IsInputPosition()) continue;
    element.m_chValue = m_chPrompt;
    while (next < data.size()) {
      char ch = data[next++];
      if (Takes(element, ch)) {
        element.m_chValue = element.Convert(ch);
        break;
      }
      result = false;
    }
  }
  return result;
}

bool CMaskedEditModel::IsInputPosition(int p) const {
  return p >= 0 && p < Length() && m_listElements[static_cast<size_t>(p)].IsInputPosition();
}

int CMaskedEditModel::NextInputPosition(int p) const {
  if (p < 0) p = 0;
  if (p >= Length()) return p;
  for (int i = p; i < Length(); ++i) {
    if (IsInputPosition(i)) return i;
  }
  return Length();
}

int CMaskedEditModel::PreviousInputStop(int p) const {
  if (p < 0) p = 0;
  if (p >= Length()) return p;
  if (IsInputPosition(p)) return p;
  for (int j = p - 1; j >= 0; --j) {
    if (IsInputPosition(j)) return j + 1;
  }
  return NextInputPosition(p);
}

int CMaskedEditModel::FirstEmptyInputPosition(int p) const {
  if (p < 0) p = 0;
  if (p >= Length()) return p;
  for (int i = p; i < Length(); ++i) {
    if (IsInputPosition(i) && m_listElements[static_cast<size_t>(i)].m_chValue == m_chPrompt) return i;
  }
  return Length();
}

int CMaskedEditModel::DeleteRange(int start, int end) {
  std::string data;
  int count = 0;
  for (int i = 0; i < Length(); ++i) {
    const CMaskData& element = m_listElements[static_cast<size_t>(i)];
    if (!element.IsInputPosition()) continue;
    if (i >= start && i < end) {
      ++count;
    } else {
      data += element.m_chValue;
    }
  }
  SetInputText(data, 0, true);
  return count;
}

int CMaskedEditModel::InsertChar(int p, char ch) {
  const std::string old = GetInputText();
  std::string data;
  int at = -1;
  for (int i = 0; i < Length(); ++i) {
    const CMaskData& element = m_listElements[static_cast<size_t>(i)];
    if (!element.IsInputPosition()) continue;
    if (at < 0 && i >= p) {
      at = i;
      data += ch;
    }
    data += element.m_chValue;
  }
  if (at < 0) return -1;
  if (SetInputText(data, 0, true)) return at;
  SetInputText(old, 0, true);
  return -1;
}

int CMaskedEditModel::ReplaceChar(int p, char ch) {
  if (!IsInputPosition(p)) return p;
  CMaskData& element = m_listElements[static_cast<size_t>(p)];
  if (!Takes(element, ch)) return -1;
  element.m_chValue = element.Convert(ch);
  return p;
}

CMaskedEditModel::Outcome CMaskedEditModel::DeleteKey(int start, int end) {
  if (end == start) end = start + 1;
  bool deleted = DeleteRange(start, end) > 0;
  return {!deleted, NextInputPosition(start)};
}

CMaskedEditModel::Outcome CMaskedEditModel::Backspace(int start, int end) {
  if (start == end) --start;
  if (start < 0) return {true, NextInputPosition(0)};
  bool deleted = DeleteRange(start, end) > 0;
  return {!deleted, NextInputPosition(start)};
}

CMaskedEditModel::Outcome CMaskedEditModel::TypeChar(int start, int end, char ch) {
  int r;
  if (start == end) {
    if (!IsInputPosition(start)) return {true, NextInputPosition(start)};
    r = m_bInsertMode ? InsertChar(start, ch) : ReplaceChar(start, ch);
  } else {
    // A refused character must not cost the user the selected text: keep it to put back.
    const std::string old = GetInputText();
    if (DeleteRange(start, end) == 0) return {true, NextInputPosition(start)};
    r = InsertChar(start, ch);
    if (r < 0) SetInputText(old, 0, true);
  }
  if (r >= 0) return {false, NextInputPosition(r + 1)};
  return {true, NextInputPosition(start)};
}

CMaskedEditModel::Outcome CMaskedEditModel::Paste(int start, const std::string& windowText) {
  SetInputText(windowText, 0, false);
  return {false, FirstEmptyInputPosition(start)};
}

CMaskedEditModel::Outcome CMaskedEditModel::Cut(int start, int end) {
  DeleteRange(start, end);
  return {false, NextInputPosition(start)};
}
