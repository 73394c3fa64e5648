#pragma once
// A block of the copy being filled, and its bytes and sketch as they are stored.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "index/BlockSketch.h"
#include "index/BlockView.h"

// A block being filled: the rows of the last stored block and those a catch-up adds.
struct BlockBuilder {
  std::vector<int32_t> ids, dates;
  std::string dirs;
  std::vector<uint16_t> dirEnds;
  std::vector<uint8_t> dsIndex;
  std::vector<std::string> dss;  // distinct, in the order first met
  size_t dssBytes = 0;

  // Whether a row of dir and ds still goes into this block.
  bool Fits(std::string_view dir, std::string_view ds) const {
    if (ids.empty()) return true;
    const bool known = Find(ds) < dss.size();
    if (!known && dss.size() == 255) return false;
    return Size() + 11 + dir.size() + (known ? 0 : 2 + ds.size()) <= kBlockBytes;
  }
  void Add(int32_t id, int32_t date, std::string_view dir, std::string_view ds) {
    ids.push_back(id);
    dates.push_back(date);
    dirs += dir;
    dirEnds.push_back(static_cast<uint16_t>(dirs.size()));
    size_t k = Find(ds);
    if (k == dss.size()) {
      dss.emplace_back(ds);
      dssBytes += ds.size();
    }
    dsIndex.push_back(static_cast<uint8_t>(k));
  }
  void Load(const BlockView& b) {
    for (uint32_t i = 0; i < b.n; ++i) Add(b.Id(i), b.Date(i), b.Dir(i), b.DateStr(i));
  }
  std::string Bytes() const {
    std::string out;
    out.reserve(Size());
    PutStored<uint32_t>(out, static_cast<uint32_t>(ids.size()));
    for (int32_t v : ids) PutStored<uint32_t>(out, static_cast<uint32_t>(v));
    for (int32_t v : dates) PutStored<uint32_t>(out, static_cast<uint32_t>(v));
    for (uint16_t v : dirEnds) PutStored<uint16_t>(out, v);
    out.append(reinterpret_cast<const char*>(dsIndex.data()), dsIndex.size());
    out += dirs;
    out += static_cast<char>(dss.size());
    uint16_t end = 0;
    for (const std::string& ds : dss) PutStored<uint16_t>(out, end = static_cast<uint16_t>(end + ds.size()));
    for (const std::string& ds : dss) out += ds;
    return out;
  }
  size_t Size() const { return 4 + 11 * ids.size() + dirs.size() + 1 + 2 * dss.size() + dssBytes; }
  // The block's sketch, and the span of its dates (low above high when it has none).
  std::string Sketch(int32_t& low, int32_t& high) const {
    BlockSketch sketch;
    for (size_t i = 0; i < dirEnds.size(); ++i) {
      const size_t start = i ? dirEnds[i - 1] : 0;
      sketch.AddName(std::string_view(dirs).substr(start, dirEnds[i] - start));
    }
    for (const std::string& ds : dss) sketch.AddDateStr(ds);
    low = INT32_MAX;
    high = INT32_MIN;
    for (int32_t date : dates)
      if (date != kNullDate) {
        low = std::min(low, date);
        high = std::max(high, date);
      }
    return sketch.Bits();
  }
  void Clear() { *this = BlockBuilder(); }

 private:
  size_t Find(std::string_view ds) const {
    size_t k = 0;
    while (k < dss.size() && dss[k] != ds) ++k;
    return k;
  }
};
