#pragma once
// A block of the copy as it is stored, read in place, and the limits every block keeps.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// The bytes a block packs at most: a block then fits on one 64 KiB page, one read of the file,
// never a chain of overflow pages.
constexpr size_t kBlockBytes = 65000;
// A NULL DUPES_DATE: first in ascending order, as the server sorts it.
constexpr int32_t kNullDate = INT32_MIN;

// The i-th number of type T stored at p, and one appended to out, in the machine's order.
template <typename T>
T Stored(const char* p, size_t i) {
  T v;
  std::memcpy(&v, p + sizeof(T) * i, sizeof(T));
  return v;
}

template <typename T>
void PutStored(std::string& out, T v) {
  out.append(reinterpret_cast<const char*>(&v), sizeof(T));
}

inline uint32_t U32(const char* p, size_t i) {
  return Stored<uint32_t>(p, i);
}

inline uint16_t U16(const char* p, size_t i) {
  return Stored<uint16_t>(p, i);
}

// A block as stored: n, ids[n], dates[n], ends of the folded directories[n] (16 bits: a block
// holds less than 64 KiB), the index of each row's folded date string[n], then the directories
// end to end, the count k of distinct date strings, their ends[k] and the date strings. A block's
// rows span a few days: its date strings are kept once each, at one byte a row.
struct BlockView {
  uint32_t n = 0;
  const char* ids = nullptr;
  const char* dates = nullptr;
  const char* dirEnds = nullptr;
  const uint8_t* dsIndex = nullptr;
  const char* dirs = nullptr;
  uint32_t dsCount = 0;
  const char* dsEnds = nullptr;
  const char* dss = nullptr;

  bool Parse(const char* p, size_t size) {
    if (size < 4) return false;
    std::memcpy(&n, p, 4);
    if (n == 0 || (size - 4) / 11 < n) return false;
    ids = p + 4;
    dates = ids + 4 * size_t(n);
    dirEnds = dates + 4 * size_t(n);
    dsIndex = reinterpret_cast<const uint8_t*>(dirEnds + 2 * size_t(n));
    dirs = reinterpret_cast<const char*>(dsIndex) + n;
    for (uint32_t i = 1; i < n; ++i)
      if (U16(dirEnds, i) < U16(dirEnds, i - 1)) return false;
    const size_t head = 4 + 11 * size_t(n), dirBytes = U16(dirEnds, n - 1);
    if (size < head + dirBytes + 1) return false;
    dsCount = static_cast<uint8_t>(dirs[dirBytes]);
    dsEnds = dirs + dirBytes + 1;
    dss = dsEnds + 2 * size_t(dsCount);
    if (dsCount == 0 || size < head + dirBytes + 1 + 2 * size_t(dsCount)) return false;
    for (uint32_t k = 1; k < dsCount; ++k)
      if (U16(dsEnds, k) < U16(dsEnds, k - 1)) return false;
    if (size != head + dirBytes + 1 + 2 * size_t(dsCount) + U16(dsEnds, dsCount - 1)) return false;
    for (uint32_t i = 0; i < n; ++i)
      if (dsIndex[i] >= dsCount) return false;
    return true;
  }
  int32_t Id(uint32_t i) const { return static_cast<int32_t>(U32(ids, i)); }
  int32_t Date(uint32_t i) const { return static_cast<int32_t>(U32(dates, i)); }
  uint32_t DirEnd(uint32_t i) const { return U16(dirEnds, i); }
  uint32_t DirStart(uint32_t i) const { return i ? DirEnd(i - 1) : 0; }
  std::string_view Dir(uint32_t i) const { return {dirs + DirStart(i), DirEnd(i) - DirStart(i)}; }
  std::string_view Dirs() const { return {dirs, DirEnd(n - 1)}; }
  std::string_view DateStrAt(uint32_t k) const {
    const uint32_t start = k ? U16(dsEnds, k - 1) : 0;
    return {dss + start, U16(dsEnds, k) - start};
  }
  std::string_view DateStr(uint32_t i) const { return DateStrAt(dsIndex[i]); }
  // The row whose directory holds byte offset at, at or after row from: a few steps ahead first,
  // then halving (hits come in order, often close together).
  uint32_t RowAt(uint32_t at, uint32_t from) const {
    uint32_t lo = from, step = 1;
    while (lo + step < n && DirEnd(lo + step - 1) <= at) {
      lo += step;
      step *= 2;
    }
    uint32_t hi = std::min(n, lo + step);
    while (lo < hi) {
      const uint32_t mid = (lo + hi) / 2;
      if (DirEnd(mid) > at) {
        hi = mid;
      } else {
        lo = mid + 1;
      }
    }
    return lo;
  }
};

// Whether a row of these folded texts fits an empty block (no real name comes near).
inline bool FitsABlock(std::string_view dir, std::string_view ds) {
  return 4 + 11 + dir.size() + 1 + 2 + ds.size() <= kBlockBytes;
}
