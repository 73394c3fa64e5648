#include "cli/DupeOutput.h"

#include "search/SessionLog.h"

namespace {

const char kHex[] = "0123456789abcdef";

// The length of the well-formed UTF-8 sequence at text[i], or 0 when none starts there.
size_t Utf8Length(const std::string& text, size_t i) {
  const auto byte = [&](size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
  const unsigned c = byte(i);
  if (c < 0x80) return 1;
  size_t length = 0;
  unsigned low = 0x80, high = 0xbf;  // the range of the second byte
  if (c >= 0xc2 && c <= 0xdf) {
    length = 2;
  } else if (c >= 0xe0 && c <= 0xef) {
    length = 3;
    if (c == 0xe0) low = 0xa0;   // no overlong forms
    if (c == 0xed) high = 0x9f;  // no surrogates
  } else if (c >= 0xf0 && c <= 0xf4) {
    length = 4;
    if (c == 0xf0) low = 0x90;
    if (c == 0xf4) high = 0x8f;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k)
    if (byte(i + k) < 0x80 || byte(i + k) > 0xbf) return 0;
  return length;
}

// Only a decimal id is a JSON number; anything else a server sends is no id.
std::string JsonId(const std::string& id) {
  if (id.empty() || id.size() > 20) return "null";
  for (char c : id)
    if (c < '0' || c > '9') return "null";
  return id;
}

}  // namespace

std::string DupeOutput::Shown(const std::string& text) {
  return SessionLog::Visible(text);
}

void DupeOutput::ErrorLine(std::FILE* err, const std::string& line) {
  std::fprintf(err, "kestrel-dupe: %s\n", Shown(line).c_str());
  std::fflush(err);
}

std::string DupeOutput::JsonString(const std::string& text) {
  const std::string shown = Shown(text);
  std::string out = "\"";
  for (size_t i = 0; i < shown.size();) {
    const char c = shown[i];
    const size_t length = Utf8Length(shown, i);
    if (length == 0) {
      const auto byte = static_cast<unsigned char>(c);
      out += "\\\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out.append(shown, i, length);
    }
    i += length;
  }
  return out + "\"";
}

void DupeOutput::Entry(const std::string& id, const std::string& date, const std::string& dateStr,
                       const std::string& dir) {
  if (!m_json) return Write(Shown(dateStr) + " " + Shown(dir) + "\n");
  Write("{\"id\":" + JsonId(id) + ",\"date\":" + JsonString(date) + ",\"date_str\":" + JsonString(dateStr) +
        ",\"dir\":" + JsonString(dir) + "}\n");
}

void DupeOutput::Count(const std::string& count, const std::string& total) {
  if (!m_json) return Write(count + "\n");
  Write("{\"count\":" + count + ",\"total\":" + total + "}\n");
}

void DupeOutput::Write(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), m_out);
}

bool DupeOutput::Flush() {
  return std::fflush(m_out) == 0 && !std::ferror(m_out);
}
