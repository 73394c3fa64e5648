#include "platform/SettingsText.h"

#include <algorithm>
#include <cstdio>

#include "platform/AsciiText.h"
#include "platform/Utf8.h"

namespace {

const char kHeader[] = "Windows Registry Editor Version 5.00";
const std::string kRoot = "HKEY_LOCAL_MACHINE";
const char kEol[] = "\r\n";
constexpr uint32_t kText = 1, kBinary = 3, kNumber = 4, kList = 7;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), AsciiLower);
  return s;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  return Lower(a) == Lower(b);
}

// True when path lies strictly below parent ("A\B" below "a").
bool IsBelow(const std::string& path, const std::string& parent) {
  if (parent.empty()) return !path.empty();
  return path.size() > parent.size() && path[parent.size()] == '\\' &&
         EqualsNoCase(path.substr(0, parent.size()), parent);
}

std::string Trim(std::string s, bool left = false) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  if (left) s.erase(0, std::min(s.find_first_not_of(" \t"), s.size()));
  return s;
}

// A quoted text from s[pos] == '"', with \\ and \" escapes; pos ends after the closing quote.
bool ParseQuoted(const std::string& s, size_t& pos, std::string& out) {
  if (pos >= s.size() || s[pos] != '"') return false;
  for (++pos; pos < s.size(); ++pos) {
    if (s[pos] == '"') {
      ++pos;
      return true;
    }
    if (s[pos] == '\\' && (++pos >= s.size() || (s[pos] != '\\' && s[pos] != '"'))) return false;
    out += s[pos];
  }
  return false;  // cut off before the closing quote
}

bool IsHex(const std::string& s) {
  return s.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

// Bytes as two hex digits each, separated by commas.
bool ParseHexBytes(const std::string& s, std::string& out) {
  for (size_t start = 0, end; start <= s.size() && !Trim(s).empty(); start = end + 1) {
    end = std::min(s.find(',', start), s.size());
    const std::string byte = Trim(s.substr(start, end - start), true);
    if (byte.size() != 2 || !IsHex(byte)) return false;
    out += char(std::stoi(byte, nullptr, 16));
  }
  return true;
}

// The data after '=': false when it is not in the format; type 0 with deleted for "-".
bool ParseData(const std::string& raw, uint32_t& type, std::string& data, bool& deleted) {
  deleted = raw == "-";
  if (deleted) return true;
  if (raw[0] == '"') {
    size_t pos = 0;
    type = kText;
    if (!ParseQuoted(raw, pos, data) || !Trim(raw.substr(pos)).empty()) return false;
    data += '\0';
    return true;
  }
  const std::string s = Lower(raw.substr(0, raw.find(':'))) + raw.substr(std::min(raw.find(':'), raw.size()));
  if (s.compare(0, 6, "dword:") == 0) {
    const std::string digits = Trim(s.substr(6));
    if (digits.size() != 8 || !IsHex(digits)) return false;
    const uint32_t v = uint32_t(std::stoul(digits, nullptr, 16));
    type = kNumber;
    data = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    return true;
  }
  if (s.compare(0, 4, "hex:") == 0) {
    type = kBinary;
    return ParseHexBytes(s.substr(4), data);
  }
  if (s.compare(0, 4, "hex(") != 0) return false;
  const std::string digits = s.substr(4, std::min(s.find("):", 4), s.size()) - 4);
  if (digits.size() + 4 == s.size() || digits.empty() || digits.size() > 8 || !IsHex(digits)) return false;
  type = uint32_t(std::stoul(digits, nullptr, 16));
  return ParseHexBytes(s.substr(digits.size() + 6), data);
}

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

uint32_t LittleEndian(const std::string& data) {
  uint32_t n = 0;
  for (size_t i = data.size(); i-- > 0;) n = n << 8 | uint8_t(data[i]);
  return n;
}

// Component-wise, case-insensitive: a parent sorts before its children.
bool PathLess(const std::string& a, const std::string& b) {
  const std::string la = Lower(a), lb = Lower(b);
  const auto [x, y] = std::mismatch(la.begin(), la.end(), lb.begin(), lb.end());
  if (x == la.end() || y == lb.end()) return x == la.end() && y != lb.end();
  return *x == '\\' || (*y != '\\' && *x < *y);
}

// A registry editor exports UTF-16LE behind a byte-order mark; false for an odd length or a lone
// surrogate, which no editor writes.
bool FromUtf16(const std::string& in, std::string& out) {
  auto unit = [&](size_t i) { return char32_t(uint8_t(in[i]) | uint8_t(in[i + 1]) << 8); };
  if (in.size() % 2) return false;
  for (size_t i = 2; i < in.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xDC00 && c <= 0xDFFF) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 2 >= in.size() || unit(i + 2) < 0xDC00 || unit(i + 2) > 0xDFFF) return false;
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    }
    AppendUtf8(out, c);
  }
  return true;
}

}  // namespace

bool SettingsText::Parse(const std::string& input) {
  m_keys.clear();
  std::string decoded;
  if (input.compare(0, 2, "\xFF\xFE") == 0) return FromUtf16(input, decoded) && Parse(decoded);
  if (ParseLines(input)) return true;
  m_keys.clear();  // nothing half-read is kept
  return false;
}

bool SettingsText::ParseLines(const std::string& input) {
  if (input.find('\0') != std::string::npos) return false;
  const std::string text = input.compare(0, 3, "\xEF\xBB\xBF") == 0 ? input.substr(3) : input;
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    lines.push_back(text.substr(start, end - start));
    if (!lines.back().empty() && lines.back().back() == '\r') lines.back().pop_back();
    start = end + 1;
  }
  bool seenHeader = false, inSection = false;
  std::string path;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string line = Trim(lines[i]);
    if (line.empty() || line[0] == ';') continue;
    if (!seenHeader) {
      if (line != kHeader) return false;
      seenHeader = true;
    } else if (line[0] == '[') {
      if (line.size() < 2 || line.back() != ']' || line[1] == '-') return false;
      const std::string full = line.substr(1, line.size() - 2);
      if (!EqualsNoCase(full.substr(0, kRoot.size()), kRoot)) return false;
      path = full.size() == kRoot.size() ? "" : full.substr(kRoot.size() + 1);
      if (full.size() > kRoot.size() && (full[kRoot.size()] != '\\' || path.empty() || path.front() == '\\' ||
                                         path.back() == '\\' || path.find("\\\\") != std::string::npos))
        return false;
      Apply(path, std::nullopt);
      inSection = true;
    } else {
      std::string name;
      size_t pos = line[0] == '@' ? 1 : 0;
      if (!inSection || (!pos && !ParseQuoted(line, pos, name)) || pos >= line.size() || line[pos] != '=')
        return false;
      std::string raw = line.substr(pos + 1);
      // Long hex lists may run on over lines ending in '\'.
      if (EqualsNoCase(raw.substr(0, 3), "hex"))
        while (!raw.empty() && raw.back() == '\\' && i + 1 < lines.size()) {
          raw.pop_back();
          raw += Trim(lines[++i], true);
        }
      uint32_t type = 0;
      std::string data;
      bool deleted = false;
      if (raw.empty() || !ParseData(raw, type, data, deleted)) return false;
      if (deleted)
        Remove(path, name);
      else
        Set(path, name, type, std::move(data));
    }
  }
  return seenHeader;
}

std::string SettingsText::Format() const {
  std::vector<const Key*> keys;
  for (const Key& k : m_keys) keys.push_back(&k);
  std::stable_sort(keys.begin(), keys.end(),
                   [](const Key* a, const Key* b) { return PathLess(a->path, b->path); });
  std::string out = std::string(kHeader) + kEol + kEol;
  char buf[16];
  for (const Key* key : keys) {
    if (!NeedsSection(*key)) continue;
    out += "[" + kRoot + (key->path.empty() ? "" : "\\" + key->path) + "]" + kEol;
    for (const Value& v : key->values) {
      out += (v.name.empty() ? std::string("@") : Quote(v.name)) + "=";
      const bool plain = !v.data.empty() && v.data.back() == 0 &&
                         std::none_of(v.data.begin(), v.data.end() - 1,
                                      [](char c) { return uint8_t(c) < 0x20 && c != '\t'; });
      if (v.type == kText && plain) {
        out += Quote(v.data.substr(0, v.data.size() - 1));
      } else if (v.type == kNumber && v.data.size() == 4) {
        std::snprintf(buf, sizeof buf, "dword:%08x", unsigned(LittleEndian(v.data)));
        out += buf;
      } else {
        std::snprintf(buf, sizeof buf, "hex(%x):", unsigned(v.type));
        out += v.type == kBinary ? "hex:" : buf;
        for (size_t i = 0; i < v.data.size(); ++i) {
          std::snprintf(buf, sizeof buf, "%s%02x", i ? "," : "", unsigned(uint8_t(v.data[i])));
          out += buf;
        }
      }
      out += kEol;
    }
    out += kEol;
  }
  return out;
}

bool SettingsText::HasKey(const std::string& key) const {
  return key.empty() || EqualsNoCase(key, "SOFTWARE") ||
         std::any_of(m_keys.begin(), m_keys.end(),
                     [&](const Key& k) { return EqualsNoCase(k.path, key) || IsBelow(k.path, key); });
}

std::optional<uint32_t> SettingsText::Number(const std::string& key, const std::string& name) const {
  const Value* v = Find(key, name);
  if (!v || v->data.size() > 4) return std::nullopt;
  return LittleEndian(v->data);
}

std::optional<std::string> SettingsText::Text(const std::string& key, const std::string& name,
                                              size_t maxBytes) const {
  const Value* v = Find(key, name);
  if (!v || v->data.size() > maxBytes) return std::nullopt;
  return v->data.substr(0, v->data.find('\0'));
}

bool SettingsText::IsText(const std::string& key, const std::string& name) const {
  const Value* v = Find(key, name);
  return v && v->type == kText;
}

std::optional<std::vector<std::string>> SettingsText::List(const std::string& key,
                                                           const std::string& name) const {
  const Value* v = Find(key, name);
  if (!v || v->type != kList) return std::nullopt;
  std::vector<std::string> items;
  for (size_t pos = 0; pos < v->data.size() && v->data[pos] != 0;) {
    const size_t end = std::min(v->data.find('\0', pos), v->data.size());
    items.push_back(v->data.substr(pos, end - pos));
    pos = end + 1;
  }
  return items;
}

bool SettingsText::Apply(const std::string& key, const std::optional<SettingChange>& change) {
  bool changed = !HasKey(key);
  if (changed) m_keys.push_back({StoredPath(key), {}});
  if (!change) return changed;
  std::string data;
  uint32_t type = kText;
  if (const auto* n = std::get_if<uint32_t>(&change->value)) {
    type = kNumber;
    data = {char(*n), char(*n >> 8), char(*n >> 16), char(*n >> 24)};
  } else if (const auto* text = std::get_if<std::string>(&change->value)) {
    data = *text + '\0';
  } else if (const auto* list = std::get_if<std::vector<std::string>>(&change->value)) {
    type = kList;
    for (const std::string& item : *list) data += item + '\0';
    data += '\0';
  } else {
    return Remove(key, change->name) || changed;
  }
  const Value* old = Find(key, change->name);
  if (old && old->type == type && old->data == data) return changed;
  Set(key, change->name, type, std::move(data));
  return true;
}

SettingsText::Key* SettingsText::FindKey(const std::string& path) {
  for (Key& k : m_keys)
    if (EqualsNoCase(k.path, path)) return &k;
  return nullptr;
}

const SettingsText::Value* SettingsText::Find(const std::string& key, const std::string& name) const {
  const Key* k = const_cast<SettingsText*>(this)->FindKey(key);
  if (!k) return nullptr;
  for (const Value& v : k->values)
    if (EqualsNoCase(v.name, name)) return &v;
  return nullptr;
}

std::string SettingsText::StoredPath(const std::string& path) const {
  std::string result;
  for (size_t start = 0; !path.empty();) {
    const size_t end = std::min(path.find('\\', start), path.size());
    const std::string part = path.substr(start, end - start);
    std::string wanted = result.empty() ? part : result + "\\" + part;
    if (result.empty() && EqualsNoCase(part, "SOFTWARE")) wanted = "SOFTWARE";
    for (const Key& k : m_keys) {
      if (EqualsNoCase(k.path, wanted) || IsBelow(k.path, wanted)) {
        wanted = k.path.substr(0, wanted.size());
        break;
      }
    }
    result = wanted;
    if (end == path.size()) break;
    start = end + 1;
  }
  return result;
}

void SettingsText::Set(const std::string& key, const std::string& name, uint32_t type, std::string data) {
  Key* k = FindKey(key);
  if (!k) k = &m_keys.emplace_back(Key{StoredPath(key), {}});
  for (Value& v : k->values)
    if (EqualsNoCase(v.name, name)) {
      v = {v.name, type, std::move(data)};
      return;
    }
  k->values.push_back({name, type, std::move(data)});
}

bool SettingsText::Remove(const std::string& key, const std::string& name) {
  Key* k = FindKey(key);
  if (!k) return false;
  const auto it = std::find_if(k->values.begin(), k->values.end(),
                               [&](const Value& v) { return EqualsNoCase(v.name, name); });
  if (it == k->values.end()) return false;
  k->values.erase(it);
  return true;
}

bool SettingsText::NeedsSection(const Key& key) const {
  if (!key.values.empty()) return true;
  if (key.path.empty() || EqualsNoCase(key.path, "SOFTWARE")) return false;
  return std::none_of(m_keys.begin(), m_keys.end(), [&](const Key& k) { return IsBelow(k.path, key.path); });
}
