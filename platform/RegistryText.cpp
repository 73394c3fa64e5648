#include "platform/RegistryText.h"

#include <cstdint>
#include <cstdio>

#include "platform/AsciiText.h"

namespace {

const char kHeader[] = "Windows Registry Editor Version 5.00";
const char kRoot[] = "HKEY_LOCAL_MACHINE";
const char kEol[] = "\r\n";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string TrimRight(std::string s) {
  while (!s.empty() && IsBlank(s.back())) s.pop_back();
  return s;
}

std::string TrimLeft(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return s.substr(i);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted text starting at s[pos] == '"'; pos ends after the closing quote.
bool ParseQuoted(const std::string& s, size_t& pos, std::string& out) {
  if (pos >= s.size() || s[pos] != '"') return false;
  for (++pos; pos < s.size(); ++pos) {
    char c = s[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c == '\\') {
      if (++pos >= s.size() || (s[pos] != '\\' && s[pos] != '"')) return false;
      c = s[pos];
    }
    out += c;
  }
  return false;  // cut off before the closing quote
}

bool ParseHexBytes(const std::string& s, std::vector<BYTE>& out) {
  size_t pos = 0;
  std::string t = TrimRight(TrimLeft(s));
  if (t.empty()) return true;
  for (;;) {
    while (pos < t.size() && IsBlank(t[pos])) ++pos;
    if (pos + 2 > t.size()) return false;
    int hi = HexDigit(t[pos]), lo = HexDigit(t[pos + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(BYTE(hi * 16 + lo));
    pos += 2;
    while (pos < t.size() && IsBlank(t[pos])) ++pos;
    if (pos == t.size()) return true;
    if (t[pos++] != ',') return false;
  }
}

// The data part of a value line (after '='). deleted is set for "-".
bool ParseData(const std::string& raw, DWORD& type, std::vector<BYTE>& data, bool& deleted) {
  deleted = false;
  if (TrimRight(raw) == "-") {
    deleted = true;
    return true;
  }
  if (!raw.empty() && raw[0] == '"') {
    size_t pos = 0;
    std::string text;
    if (!ParseQuoted(raw, pos, text) || !TrimRight(raw.substr(pos)).empty()) return false;
    type = REG_SZ;
    data.assign(text.begin(), text.end());
    data.push_back(0);
    return true;
  }
  // The type words are read in any letter case.
  std::string s = raw;
  for (size_t i = 0; i < s.size() && s[i] != ':'; ++i) s[i] = AsciiLower(s[i]);
  if (s.compare(0, 6, "dword:") == 0) {
    std::string digits = TrimRight(s.substr(6));
    if (digits.size() != 8) return false;
    DWORD v = 0;
    for (char c : digits) {
      if (HexDigit(c) < 0) return false;
      v = v * 16 + DWORD(HexDigit(c));
    }
    type = REG_DWORD;
    data = {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)};
    return true;
  }
  if (s.compare(0, 4, "hex:") == 0) {
    type = REG_BINARY;
    return ParseHexBytes(s.substr(4), data);
  }
  if (s.compare(0, 4, "hex(") == 0) {
    size_t close = s.find("):", 4);
    if (close == std::string::npos || close == 4 || close > 12) return false;
    DWORD t = 0;
    for (size_t i = 4; i < close; ++i) {
      if (HexDigit(s[i]) < 0) return false;
      t = t * 16 + DWORD(HexDigit(s[i]));
    }
    type = t;
    return ParseHexBytes(s.substr(close + 2), data);
  }
  return false;
}

bool ParseSection(const std::string& line, RegistryTree& tree, std::string& path) {
  if (line.size() < 2 || line.back() != ']' || line[1] == '-') return false;
  std::string full = line.substr(1, line.size() - 2);
  const size_t rootLen = sizeof(kRoot) - 1;
  if (!EqualsNoCase(full.substr(0, rootLen), kRoot)) return false;
  if (full.size() == rootLen) {
    path.clear();
    return true;
  }
  if (full[rootLen] != '\\') return false;
  path = full.substr(rootLen + 1);
  if (path.empty() || path.front() == '\\' || path.back() == '\\' || path.find("\\\\") != std::string::npos)
    return false;
  path = tree.StoredPath(path);
  tree.CreateKey(path);
  return true;
}

bool IsPlainText(const std::vector<BYTE>& data) {
  if (data.empty() || data.back() != 0) return false;
  for (size_t i = 0; i + 1 < data.size(); ++i)
    if (data[i] < 0x20 && data[i] != '\t') return false;
  return true;
}

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string FormatData(const RegistryValue& v) {
  char buf[16];
  if (v.type == REG_SZ && IsPlainText(v.data)) return Quote(std::string(v.data.begin(), v.data.end() - 1));
  if (v.type == REG_DWORD && v.data.size() == 4) {
    DWORD n = DWORD(v.data[0]) | DWORD(v.data[1]) << 8 | DWORD(v.data[2]) << 16 | DWORD(v.data[3]) << 24;
    std::snprintf(buf, sizeof buf, "%08x", unsigned(n));
    return std::string("dword:") + buf;
  }
  std::string out;
  if (v.type == REG_BINARY) {
    out = "hex:";
  } else {
    std::snprintf(buf, sizeof buf, "%x", unsigned(v.type));
    out = std::string("hex(") + buf + "):";
  }
  for (size_t i = 0; i < v.data.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%s%02x", i ? "," : "", unsigned(v.data[i]));
    out += buf;
  }
  return out;
}

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

// A registry editor exports UTF-16LE behind a byte-order mark; false for an odd length or a
// lone surrogate, which no editor writes.
bool Utf16LeToUtf8(const std::string& in, std::string& out) {
  if (in.size() % 2) return false;
  auto unit = [&](size_t i) { return char16_t(uint8_t(in[i]) | uint8_t(in[i + 1]) << 8); };
  for (size_t i = 2; i < in.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xDC00 && c <= 0xDFFF) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 2 >= in.size()) return false;
      const char32_t low = unit(i + 2);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    AppendUtf8(c, out);
  }
  return true;
}

}  // namespace

bool ParseRegistryText(const std::string& input, RegistryTree& tree) {
  if (input.compare(0, 2, "\xFF\xFE") == 0) {
    std::string decoded;
    return Utf16LeToUtf8(input, decoded) && ParseRegistryText(decoded, tree);
  }
  if (input.find('\0') != std::string::npos) return false;
  std::string text = input.compare(0, 3, "\xEF\xBB\xBF") == 0 ? input.substr(3) : input;

  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    if (end == std::string::npos) break;
    start = end + 1;
  }

  bool seenHeader = false, inSection = false;
  std::string path;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string line = TrimRight(lines[i]);
    if (line.empty() || line[0] == ';') continue;
    if (!seenHeader) {
      if (line != kHeader) return false;
      seenHeader = true;
      continue;
    }
    if (line[0] == '[') {
      if (!ParseSection(line, tree, path)) return false;
      inSection = true;
      continue;
    }
    if (!inSection) return false;

    std::string name;
    size_t pos = 0;
    if (line[0] == '@') {
      pos = 1;
    } else if (!ParseQuoted(line, pos, name)) {
      return false;
    }
    if (pos >= line.size() || line[pos] != '=') return false;
    std::string data = line.substr(pos + 1);
    // Long hex lists may run on over lines ending in '\'.
    if (EqualsNoCase(data.substr(0, 3), "hex")) {
      while (!data.empty() && data.back() == '\\' && i + 1 < lines.size()) {
        data.pop_back();
        data += TrimRight(TrimLeft(lines[++i]));
      }
    }
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
    bool deleted = false;
    if (!ParseData(data, type, bytes, deleted)) return false;
    if (deleted)
      tree.DeleteValue(path, name);
    else
      tree.SetValue(path, name, type, std::move(bytes));
  }
  return seenHeader;
}

std::string FormatRegistryText(const RegistryTree& tree) {
  std::string out = std::string(kHeader) + kEol + kEol;
  for (const RegistryTree::Key* key : tree.SortedKeys()) {
    if (!tree.NeedsSection(*key)) continue;
    out += "[" + std::string(kRoot) + (key->path.empty() ? "" : "\\" + key->path) + "]" + kEol;
    for (const RegistryValue& v : key->values)
      out += (v.name.empty() ? std::string("@") : Quote(v.name)) + "=" + FormatData(v) + kEol;
    out += kEol;
  }
  return out;
}
