#include "index/TextFinder.h"

#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// How often a byte turns up in folded directory names, roughly: separators and digits most,
// then letters by their share of English, then everything else.
int Commonness(unsigned char c) {
  static constexpr std::string_view kByShare = ".-_0123456789 etaoinsrhldcumfpgwybvkxjqz";
  const size_t place = kByShare.find(static_cast<char>(c));
  return place == std::string_view::npos ? 0 : int(kByShare.size() - place);
}

#if defined(__x86_64__)
// Thirty-two places at once, where the processor can: the text's hit, or npos with at where the
// narrower loop goes on.
__attribute__((target("avx2"))) size_t FindWide(std::string_view bytes, size_t& at, std::string_view text,
                                                size_t middle) {
  const char* base = bytes.data();
  const size_t n = text.size();
  const __m256i first = _mm256_set1_epi8(text.front());
  const __m256i mid = _mm256_set1_epi8(text[middle]);
  const __m256i last = _mm256_set1_epi8(text.back());
  for (; at + n - 1 + 32 <= bytes.size(); at += 32) {
    const auto* p = reinterpret_cast<const __m256i*>(base + at);
    const __m256i one = _mm256_loadu_si256(p),
                  two = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + at + middle)),
                  three = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + at + n - 1));
    const __m256i both = _mm256_and_si256(_mm256_cmpeq_epi8(one, first), _mm256_cmpeq_epi8(three, last));
    unsigned mask = unsigned(_mm256_movemask_epi8(_mm256_and_si256(both, _mm256_cmpeq_epi8(two, mid))));
    while (mask) {
      const unsigned bit = unsigned(__builtin_ctz(mask));
      if (std::memcmp(base + at + bit, text.data(), n) == 0) return at + bit;
      mask &= mask - 1;
    }
  }
  return std::string_view::npos;
}

const bool kWide = __builtin_cpu_supports("avx2");
#endif

}  // namespace

TextFinder::TextFinder(std::string_view text) : m_text(text) {
  // The first and last byte, and the rarest between them: a trigram of far-apart bytes, one of
  // them rare, is seldom met where the text is not.
  m_middle = m_text.size() > 2 ? 1 : m_text.size() - (m_text.size() > 0);
  for (size_t i = 2; i + 1 < m_text.size(); ++i)
    if (Commonness(static_cast<unsigned char>(m_text[i])) <
        Commonness(static_cast<unsigned char>(m_text[m_middle])))
      m_middle = i;
}

size_t TextFinder::Find(std::string_view bytes, size_t at) const {
  const size_t n = m_text.size();
  if (at > bytes.size() || bytes.size() - at < n) return npos;
  if (n == 0) return at;
  const char* base = bytes.data();
  if (n == 1) {
    const void* hit = std::memchr(base + at, m_text[0], bytes.size() - at);
    return hit ? size_t(static_cast<const char*>(hit) - base) : npos;
  }
#if defined(__x86_64__)
  if (kWide) {
    const size_t hit = FindWide(bytes, at, m_text, m_middle);
    if (hit != npos) return hit;
  }
  const __m128i first = _mm_set1_epi8(m_text.front());
  const __m128i middle = _mm_set1_epi8(m_text[m_middle]);
  const __m128i last = _mm_set1_epi8(m_text.back());
  // While sixteen loads from every tested place stay inside the bytes, and so does the text at
  // each of the sixteen places it may begin.
  for (; at + n - 1 + 16 <= bytes.size(); at += 16) {
    auto at16 = [&](size_t offset) {
      return _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + at + offset));
    };
    const __m128i both = _mm_and_si128(_mm_cmpeq_epi8(at16(0), first), _mm_cmpeq_epi8(at16(n - 1), last));
    unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(both, _mm_cmpeq_epi8(at16(m_middle), middle))));
    while (mask) {
      const unsigned bit = unsigned(__builtin_ctz(mask));
      if (std::memcmp(base + at + bit, m_text.data(), n) == 0) return at + bit;
      mask &= mask - 1;
    }
  }
#endif
  const void* hit = memmem(base + at, bytes.size() - at, m_text.data(), n);
  return hit ? size_t(static_cast<const char*>(hit) - base) : npos;
}
