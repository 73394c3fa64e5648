#include "index/IndexPaths.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "platform/Diagnostics.h"

std::string IndexFolder() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  std::string base;
  // The base directory rules: a relative path is ignored, as if unset.
  if (cache && cache[0] == '/') {
    base = cache;
  } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
    base = std::string(home) + "/.cache";
  } else {
    return {};
  }
  return base + "/Harrow/Kestrel";
}

std::string IndexFilePath(const std::string& folder, const std::string& server) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string name = "dupes-";
  for (unsigned char c : server) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-') {
      name += static_cast<char>(c);
    } else {
      name += '%';
      name += kHex[c >> 4];
      name += kHex[c & 15];
    }
  }
  // A name of dots alone must not be "." or "..": the prefix keeps it a plain file name.
  return folder + "/" + name + ".sqlite";
}

bool MakeIndexFolder(const std::string& folder, std::string& why) {
  if (folder.empty()) {
    why = "no cache folder (neither XDG_CACHE_HOME nor HOME is set)";
    return false;
  }
  for (size_t at = 1; at <= folder.size(); ++at) {
    if (at < folder.size() && folder[at] != '/') continue;
    const std::string part = folder.substr(0, at);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      why = part + ": " + ErrnoText(errno);
      return false;
    }
  }
  return true;
}
