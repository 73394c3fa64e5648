#include "index/TextFinder.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

size_t TextFinder::Find(std::string_view bytes, size_t at) const {
  const size_t n = m_text.size();
  if (at > bytes.size() || bytes.size() - at < n) return npos;
  if (n == 0) return at;
  const char* base = bytes.data();
  if (n == 1) {
    const void* hit = std::memchr(base + at, m_text[0], bytes.size() - at);
    return hit ? size_t(static_cast<const char*>(hit) - base) : npos;
  }
#if defined(__SSE2__)
  const __m128i first = _mm_set1_epi8(m_text.front());
  const __m128i last = _mm_set1_epi8(m_text.back());
  // The last place the text may begin such that sixteen loads from there and from there + n - 1
  // stay inside the bytes.
  for (; at + n - 1 + 16 <= bytes.size(); at += 16) {
    const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + at));
    const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + at + n - 1));
    unsigned mask =
        unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(head, first), _mm_cmpeq_epi8(tail, last))));
    while (mask) {
      const unsigned bit = unsigned(__builtin_ctz(mask));
      if (std::memcmp(base + at + bit + 1, m_text.data() + 1, n - 2) == 0) return at + bit;
      mask &= mask - 1;
    }
  }
#endif
  const void* hit = memmem(base + at, bytes.size() - at, m_text.data(), n);
  return hit ? size_t(static_cast<const char*>(hit) - base) : npos;
}
