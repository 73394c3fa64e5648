// Any mask, separators and prompt, then any run of typed characters, Delete, Backspace, pastes,
// cuts and direct input: the element list keeps its shape and every edit keeps its promises.
//
// Input: four separator bytes, a prompt byte, the mask up to a NUL, then operations.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "controls/MaskedEditModel.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"

namespace {

// Number of elements a mask makes: one per character, a backslash and the character it escapes
// counting once.
int MaskLength(const std::string& mask) {
  int n = 0;
  for (size_t i = 0; i < mask.size(); ++i, ++n) {
    if (mask[i] == '\\' && i + 1 < mask.size()) ++i;
  }
  return n;
}

class Checker {
 public:
  explicit Checker(CMaskedEditModel& model) : m(model) {}

  // After SetMask: remember what each position is and shows while it is not an input.
  void Capture(const std::string& mask) {
    FUZZ_CHECK(m.Length() == MaskLength(mask));
    m_shape = m.Elements();
    for (int p = 0; p < m.Length(); ++p) {
      if (m.IsInputPosition(p)) FUZZ_CHECK(m_shape[static_cast<size_t>(p)].m_chValue == m.GetPromptChar());
    }
  }

  void Invariants() const {
    const std::string display = m.GetDisplayText();
    const std::string input = m.GetInputText();
    FUZZ_CHECK(static_cast<int>(display.size()) == m.Length());
    FUZZ_CHECK(m.Elements().size() == m_shape.size());
    std::string fromDisplay;
    for (int p = 0; p < m.Length(); ++p) {
      const CMaskData& now = m.Elements()[static_cast<size_t>(p)];
      const CMaskData& was = m_shape[static_cast<size_t>(p)];
      FUZZ_CHECK(now.m_nType == was.m_nType);
      FUZZ_CHECK(now.m_chValue == display[static_cast<size_t>(p)]);
      if (!now.IsInputPosition()) {
        FUZZ_CHECK(now.m_chValue == was.m_chValue);
        continue;
      }
      fromDisplay += now.m_chValue;
      // An input position is empty or holds a character it takes, already converted.
      const char v = now.m_chValue;
      FUZZ_CHECK(v == m.GetPromptChar() || (now.Accepts(v) && now.Convert(v) == v));
    }
    FUZZ_CHECK(input == fromDisplay);
  }

  // An edit's caret: on an input position, or at the end of the text.
  void Caret(int caret) const {
    FUZZ_CHECK(caret >= 0 && caret <= m.Length());
    FUZZ_CHECK(caret == m.Length() || m.IsInputPosition(caret));
  }

  // Rewriting the text from its own input changes nothing, unless the prompt is a letter that a
  // case-converting position stores converted (as every character it takes).
  bool RewriteKeepsText() const {
    const char p = m.GetPromptChar();
    for (const CMaskData& e : m.Elements()) {
      if (e.IsInputPosition() && e.Convert(p) != p) return false;
    }
    return true;
  }

  int InputsIn(int start, int end) const {
    int n = 0;
    for (int p = start; p < end; ++p) n += m.IsInputPosition(p) ? 1 : 0;
    return n;
  }

 private:
  CMaskedEditModel& m;
  std::vector<CMaskData> m_shape;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  LocaleSeparators separators;
  separators.decimal = static_cast<char>(in.Byte());
  separators.thousands = static_cast<char>(in.Byte());
  separators.time = static_cast<char>(in.Byte());
  separators.date = static_cast<char>(in.Byte());
  const char prompt = static_cast<char>(in.Byte());
  std::string mask = in.UpToNul(48);

  CMaskedEditModel m(nullptr, separators);
  FUZZ_CHECK(m.IsMaskEmpty() && m.GetDisplayText().empty());
  const bool promptTaken = m.SetPromptChar(prompt);
  FUZZ_CHECK(promptTaken == (prompt != '\0' && prompt != '\r' && prompt != '\n' && prompt != '\x7f'));
  FUZZ_CHECK(m.GetPromptChar() == (promptTaken ? prompt : ' '));
  m.SetMask(mask.c_str());
  Checker check(m);
  check.Capture(mask);
  check.Invariants();

  for (int steps = 0; steps < 64 && !in.Done(); ++steps) {
    const int length = m.Length();
    const uint8_t op = in.Byte();
    int start = in.Byte() % (length + 1);
    int end = in.Byte() % (length + 1);
    if (start > end) std::swap(start, end);
    if (op % 4 == 0) end = start;  // most edits have no selection
    const std::string before = m.GetDisplayText();
    const bool stable = check.RewriteKeepsText();

    switch (op % 11) {
      case 0:
      case 1:
      case 2: {
        const char ch = static_cast<char>(in.Byte());
        if (static_cast<unsigned char>(ch) < 0x20) break;  // control characters never get here
        const auto out = m.TypeChar(start, end, ch);
        check.Caret(out.caret);
        if (out.rejected) {
          if (stable) FUZZ_CHECK(m.GetDisplayText() == before);
        } else if (start == end && !m.GetInsertMode()) {
          // Overwriting changes the one position and nothing else.
          const std::string after = m.GetDisplayText();
          const char stored = m.Elements()[static_cast<size_t>(start)].Convert(ch);
          FUZZ_CHECK(after[static_cast<size_t>(start)] == stored);
          FUZZ_CHECK(after.substr(0, static_cast<size_t>(start)) ==
                     before.substr(0, static_cast<size_t>(start)));
          FUZZ_CHECK(after.substr(static_cast<size_t>(start) + 1) ==
                     before.substr(static_cast<size_t>(start) + 1));
          FUZZ_CHECK(out.caret == m.NextInputPosition(start + 1));
        } else {
          FUZZ_CHECK(m.Length() > 0);
          FUZZ_CHECK(out.caret > start);
        }
        break;
      }
      case 3: {
        const auto out = m.DeleteKey(start, end);
        check.Caret(out.caret);
        const int wanted = check.InputsIn(start, start == end ? start + 1 : end);
        FUZZ_CHECK(out.rejected == (wanted == 0));
        if (out.rejected && stable) FUZZ_CHECK(m.GetDisplayText() == before);
        break;
      }
      case 4: {
        const auto out = m.Backspace(start, end);
        check.Caret(out.caret);
        const int from = start == end ? start - 1 : start;
        const int wanted = from < 0 ? 0 : check.InputsIn(from, end);
        FUZZ_CHECK(out.rejected == (wanted == 0));
        if (out.rejected && stable) FUZZ_CHECK(m.GetDisplayText() == before);
        break;
      }
      case 5: {
        // What a standard paste leaves in the window: the selection replaced by the clipboard.
        const std::string clip = in.Text(24);
        const std::string window =
            before.substr(0, static_cast<size_t>(start)) + clip + before.substr(static_cast<size_t>(end));
        const auto out = m.Paste(start, window);
        FUZZ_CHECK(!out.rejected);
        check.Caret(out.caret);
        FUZZ_CHECK(out.caret == m.FirstEmptyInputPosition(start));
        break;
      }
      case 6: {
        const auto out = m.Cut(start, end);
        check.Caret(out.caret);
        break;
      }
      case 7: {
        const int deleted = m.DeleteRange(start, end);
        FUZZ_CHECK(deleted == check.InputsIn(start, end));
        // Nothing deleted: the text is rewritten from itself and stays as it was.
        if (deleted == 0 && stable) FUZZ_CHECK(m.GetDisplayText() == before);
        break;
      }
      case 8: {
        const std::string text = in.Text(24);
        const int first = static_cast<int8_t>(in.Byte());
        m.SetInputText(text, first, (op & 0x80) != 0);
        break;
      }
      case 9: {
        const char ch = static_cast<char>(in.Byte());
        const char old = m.GetPromptChar();
        const bool taken = m.SetPromptChar(ch);
        FUZZ_CHECK(m.GetPromptChar() == (taken ? ch : old));
        if (taken) {
          // Empty positions follow the prompt; the rest keep their characters.
          const std::string after = m.GetDisplayText();
          for (int p = 0; p < m.Length(); ++p) {
            const char b = before[static_cast<size_t>(p)], a = after[static_cast<size_t>(p)];
            FUZZ_CHECK(m.IsInputPosition(p) && b == old ? a == ch : a == b);
          }
        } else {
          FUZZ_CHECK(m.GetDisplayText() == before);
        }
        break;
      }
      case 10:
        m.SetInsertMode(!m.GetInsertMode());
        FUZZ_CHECK(m.GetDisplayText() == before);
        break;
    }
    check.Invariants();

    // Giving the model its own input text back changes nothing and refuses nothing.
    if (check.RewriteKeepsText()) {
      const std::string display = m.GetDisplayText();
      FUZZ_CHECK(m.SetInputText(m.GetInputText(), 0, true));
      FUZZ_CHECK(m.GetDisplayText() == display);
    }
  }
  return 0;
}
