#pragma once
// One element of a parsed mask: one shown character.

class CMaskData {
 public:
  // Declared order is the type's value.
  enum Type : int {
    DecimalSeparator = 0,
    ThousandsSeparator,
    TimeSeparator,
    DateSeparator,
    Digit,
    AlphaNumeric,
    Alphabetic,
    AlphabeticUpper,
    AlphabeticLower,
    AnyCharacter,
    EscapedLiteral,
    Literal,
  };

  int m_nType = Literal;
  char m_chValue = '\0';

  bool IsInputPosition() const { return m_nType >= Digit && m_nType <= AnyCharacter; }
  // Whether this input position takes ch (the prompt character aside, which every one takes).
  bool Accepts(char ch) const;
  // ch as this position stores it.
  char Convert(char ch) const;
};
