#pragma once
// How a column's collation compares characters, as the server itself reports it: one weight per
// character, two characters being equal exactly when their weights are. Only collations that give
// every character one weight of its own (no expansions, no contractions, no ignorable characters)
// can be held so: latin1_swedish_ci, the *_general_ci and the *_bin ones (index/CollationProbe.h
// reads the table from the server).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Collation {
 public:
  static constexpr uint32_t kNotHeld = 0xFFFFFFFFu;
  // The largest weight Fold can write (six bytes at most, as the first UTF-8 encoding did).
  static constexpr uint32_t kMaxWeight = 0x7FFFFFFFu;

  // name as the server reports it ("latin1_swedish_ci", "utf8mb4_general_ci", ...); weights[c] is
  // the weight of code point c or kNotHeld; code points past the table weigh beyond (kNotHeld, the
  // code point itself, or one weight for them all). Surrogates are never characters.
  enum class Beyond { NotHeld, CodePoint, Constant };
  Collation(std::string name, std::vector<uint32_t> weights, Beyond beyond, uint32_t beyondWeight = 0);

  const std::string& Name() const { return m_name; }
  uint32_t Weight(char32_t c) const;
  // The UTF-8 text with each character replaced by its weight, the weight written as a UTF-8
  // sequence would write that number. Two texts fold alike exactly when the collation finds them
  // equal character by character. False when text is not UTF-8 or holds a character the
  // character set has not.
  bool Fold(std::string_view utf8, std::string& folded) const;

  // For the copy's own file: the table as bytes (runs of code points, a few kilobytes at most),
  // and back (nothing on bytes that are not one).
  std::string Serialize() const;
  static std::optional<Collation> Deserialize(std::string_view bytes);

  bool operator==(const Collation& other) const = default;

 private:
  std::string m_name;
  std::vector<uint32_t> m_weights;
  Beyond m_beyond;
  uint32_t m_beyondWeight;
};

// One UTF-8 sequence from text at `at` on (advanced past it); -1 when none starts there (stray
// continuation bytes, overlong forms, surrogates, past U+10FFFF).
long NextUtf8CodePoint(std::string_view text, size_t& at);
// value written as UTF-8 writes a code point, up to six bytes for values up to kMaxWeight.
void AppendFoldedUnit(std::string& out, uint32_t value);
