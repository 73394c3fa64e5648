#include "index/BlockSketch.h"

namespace {

constexpr int kShift = 32 - 14;  // 2^14 == kBits
static_assert(BlockSketch::kBits == 1u << (32 - kShift));

uint32_t TrigramBit(const char* p) {
  const uint32_t key = uint32_t(uint8_t(p[0])) | uint32_t(uint8_t(p[1])) << 8 | uint32_t(uint8_t(p[2])) << 16;
  return (key * 2654435761u) >> kShift;
}

bool Has(std::string_view bits, uint32_t bit) {
  return (uint8_t(bits[bit >> 3]) >> (bit & 7)) & 1;
}

}  // namespace

void BlockSketch::AddName(std::string_view folded) {
  for (size_t i = 0; i + 3 <= folded.size(); ++i) {
    const uint32_t bit = TrigramBit(folded.data() + i);
    m_bits[bit >> 3] = char(uint8_t(m_bits[bit >> 3]) | 1u << (bit & 7));
  }
}

void BlockSketch::AddDateStr(std::string_view folded) {
  const uint32_t bit = DateStrBit(folded);
  m_bits[bit >> 3] = char(uint8_t(m_bits[bit >> 3]) | 1u << (bit & 7));
}

std::vector<uint32_t> BlockSketch::TextBits(std::string_view folded) {
  std::vector<uint32_t> bits;
  for (size_t i = 0; i + 3 <= folded.size(); ++i) bits.push_back(TrigramBit(folded.data() + i));
  return bits;
}

uint32_t BlockSketch::DateStrBit(std::string_view folded) {
  uint32_t hash = 2166136261u;  // FNV-1a, apart from the trigrams' multiply
  for (char c : folded) hash = (hash ^ uint8_t(c)) * 16777619u;
  return hash >> kShift;
}

bool BlockSketch::HasAll(std::string_view bits, const std::vector<uint32_t>& wanted) {
  if (bits.size() != kBits / 8) return true;  // not a sketch: it proves nothing
  for (uint32_t bit : wanted)
    if (!Has(bits, bit)) return false;
  return true;
}
