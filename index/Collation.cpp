#include "index/Collation.h"

#include <utility>

#include "platform/Utf8.h"

namespace {

constexpr std::string_view kMagic = "KCOL1";

bool IsSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}

void PutNumber(std::string& out, uint64_t value) {
  while (value >= 0x80) {
    out += static_cast<char>(0x80 | (value & 0x7F));
    value >>= 7;
  }
  out += static_cast<char>(value);
}

bool GetNumber(std::string_view& in, uint64_t& value) {
  value = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    if (in.empty()) return false;
    const auto byte = static_cast<uint8_t>(in.front());
    in.remove_prefix(1);
    value |= uint64_t(byte & 0x7F) << shift;
    if (!(byte & 0x80)) return true;
  }
  return false;
}

// Runs of the table: code points that are all not held, all weigh one weight, or weigh one more
// each than the one before (the usual case of the _bin ones and of letters in order).
enum RunKind : uint8_t { kRunNotHeld, kRunConstant, kRunStep };

}  // namespace

long NextUtf8CodePoint(std::string_view text, size_t& at) {
  char32_t cp = 0;
  const size_t length = Utf8SequenceAt(text, at, cp);
  at += length ? length : 1;
  return length ? static_cast<long>(cp) : -1;
}

void AppendFoldedUnit(std::string& out, uint32_t value) {
  if (value < 0x80) {
    out += static_cast<char>(value);
    return;
  }
  int extra = value < 0x800 ? 1 : value < 0x10000 ? 2 : value < 0x200000 ? 3 : value < 0x4000000 ? 4 : 5;
  static constexpr uint8_t kLead[] = {0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
  out += static_cast<char>(kLead[extra] | (value >> (6 * extra)));
  for (int i = extra - 1; i >= 0; --i) out += static_cast<char>(0x80 | ((value >> (6 * i)) & 0x3F));
}

Collation::Collation(std::string name, std::vector<uint32_t> weights, Beyond beyond, uint32_t beyondWeight)
    : m_name(std::move(name)),
      m_weights(std::move(weights)),
      m_beyond(beyond),
      m_beyondWeight(beyondWeight) {}

uint32_t Collation::Weight(char32_t c) const {
  if (c > 0x10FFFF || IsSurrogate(c)) return kNotHeld;
  if (c < m_weights.size()) return m_weights[c];
  switch (m_beyond) {
    case Beyond::NotHeld:
      return kNotHeld;
    case Beyond::CodePoint:
      return c;
    case Beyond::Constant:
      return m_beyondWeight;
  }
  return kNotHeld;
}

bool Collation::Fold(std::string_view utf8, std::string& folded) const {
  folded.clear();
  folded.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    const long cp = NextUtf8CodePoint(utf8, at);
    if (cp < 0) return false;
    const uint32_t weight = Weight(char32_t(cp));
    if (weight > kMaxWeight) return false;
    AppendFoldedUnit(folded, weight);
  }
  return true;
}

std::string Collation::Serialize() const {
  std::string out(kMagic);
  PutNumber(out, m_name.size());
  out += m_name;
  out += static_cast<char>(m_beyond);
  PutNumber(out, m_beyondWeight);
  PutNumber(out, m_weights.size());
  for (size_t at = 0; at < m_weights.size();) {
    const uint32_t first = m_weights[at];
    size_t same = 1, step = 1;
    while (at + same < m_weights.size() && m_weights[at + same] == first) ++same;
    while (first != kNotHeld && at + step < m_weights.size() && m_weights[at + step] == first + step) ++step;
    const RunKind kind = first == kNotHeld ? kRunNotHeld : step > same ? kRunStep : kRunConstant;
    const size_t length = kind == kRunStep ? step : same;
    out += static_cast<char>(kind);
    PutNumber(out, length);
    if (kind != kRunNotHeld) PutNumber(out, first);
    at += length;
  }
  return out;
}

std::optional<Collation> Collation::Deserialize(std::string_view in) {
  if (in.substr(0, kMagic.size()) != kMagic) return std::nullopt;
  in.remove_prefix(kMagic.size());
  uint64_t nameLength = 0, beyondWeight = 0, size = 0;
  if (!GetNumber(in, nameLength) || nameLength > in.size()) return std::nullopt;
  std::string name(in.substr(0, nameLength));
  in.remove_prefix(nameLength);
  if (in.empty() || static_cast<uint8_t>(in.front()) > uint8_t(Beyond::Constant)) return std::nullopt;
  const auto beyond = static_cast<Beyond>(in.front());
  in.remove_prefix(1);
  if (!GetNumber(in, beyondWeight) || beyondWeight > kMaxWeight) return std::nullopt;
  if (!GetNumber(in, size) || size > 0x110000) return std::nullopt;
  std::vector<uint32_t> weights;
  weights.reserve(size);
  while (weights.size() < size) {
    if (in.empty()) return std::nullopt;
    const auto kind = static_cast<uint8_t>(in.front());
    in.remove_prefix(1);
    uint64_t length = 0, first = 0;
    if (kind > kRunStep || !GetNumber(in, length) || length == 0 || length > size - weights.size())
      return std::nullopt;
    if (kind != kRunNotHeld && (!GetNumber(in, first) || first + length - 1 > kMaxWeight))
      return std::nullopt;
    for (uint64_t i = 0; i < length; ++i)
      weights.push_back(kind == kRunNotHeld ? kNotHeld : uint32_t(kind == kRunStep ? first + i : first));
  }
  if (!in.empty()) return std::nullopt;
  return Collation(std::move(name), std::move(weights), beyond, uint32_t(beyondWeight));
}
