#include "cli/DupeOutput.h"

#include "platform/ServerText.h"
#include "platform/Utf8.h"

namespace {

const char kHex[] = "0123456789abcdef";

// Only a decimal id is a JSON number; anything else a server sends is no id.
std::string JsonId(const std::string& id) {
  if (id.empty() || id.size() > 20) return "null";
  for (char c : id)
    if (c < '0' || c > '9') return "null";
  return id;
}

}  // namespace

std::string DupeOutput::Shown(const std::string& text) {
  return EscapedServerText(text);
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
    char32_t cp = 0;
    const size_t length = Utf8SequenceAt(shown, i, cp);
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
