#pragma once
// What a block of the copy may hold, in a few KiB: one bit for each trigram of its folded names
// and for each of its folded date strings, and the span of its dates. A search reads a block
// only when its sketch says a match may be there; a bit set by another trigram costs a read,
// never an answer.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class BlockSketch {
 public:
  static constexpr uint32_t kBits = 16384;

  void AddName(std::string_view folded);
  void AddDateStr(std::string_view folded);
  const std::string& Bits() const { return m_bits; }

  // The bits a text sets in any block whose names hold it: one a trigram, none for a text
  // shorter than three bytes.
  static std::vector<uint32_t> TextBits(std::string_view folded);
  static uint32_t DateStrBit(std::string_view folded);
  // Whether stored bits (kBits of them) have every one of these set.
  static bool HasAll(std::string_view bits, const std::vector<uint32_t>& wanted);

 private:
  std::string m_bits = std::string(kBits / 8, '\0');
};
