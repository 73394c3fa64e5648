#include "app/CommandLine.h"

#include <cstdlib>
#include <string_view>

#include "res/Texts.h"

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// The toolkit reads its options with one dash or two.
std::string_view Option(const char* arg) {
  std::string_view text(arg);
  if (text.size() > 2 && text.substr(0, 2) == "--") text.remove_prefix(1);
  return text;
}

}  // namespace

std::optional<int> AnswerInfoOption(int argc, char** argv, const std::string& packageVersion,
                                    const DupesEndpoints& servers, std::FILE* out) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg(argv[i]);
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kTextUsage, out);
      return 0;
    }
    if (arg == "--version") {
      std::fprintf(out, "Kestrel %s\n", packageVersion.c_str());
      std::fprintf(out, "primary server %s (probed on port %d)\n", servers.m_strPrimary.c_str(),
                   servers.m_nPrimaryProbePort);
      std::fprintf(out, "backup server %s (probed on port %d)\n", servers.m_strBackup.c_str(),
                   servers.m_nBackupProbePort);
      return 0;
    }
  }
  return std::nullopt;
}

bool NamesWindowSystem(int argc, char** argv) {
  if (Set("QT_QPA_PLATFORM") || Set("DISPLAY") || Set("WAYLAND_DISPLAY")) return true;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string_view(argv[i]) == "--") break;
    if (Option(argv[i]) == "-platform") return true;
  }
  return false;
}
