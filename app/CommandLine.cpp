#include "app/CommandLine.h"

#include <cstddef>
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

// The toolkit's own options (QGuiApplication, QApplication and the X11 platform), without their
// leading dash; those in the first list take the next argument as their value.
constexpr std::string_view kToolkitOptionsWithValue[] = {"platform",
                                                         "platformpluginpath",
                                                         "platformtheme",
                                                         "plugin",
                                                         "qwindowgeometry",
                                                         "geometry",
                                                         "qwindowicon",
                                                         "icon",
                                                         "qwindowtitle",
                                                         "title",
                                                         "session",
                                                         "display",
                                                         "style",
                                                         "stylesheet",
                                                         "name",
                                                         "visual",
                                                         "ncols",
                                                         "cmap"};
constexpr std::string_view kToolkitFlags[] = {"reverse", "widgetcount", "nograb",
                                              "dograb",  "sync",        "testability"};
// Written "-style=fusion": the value is in the same argument.
constexpr std::string_view kToolkitJoinedOptions[] = {
    "style=", "stylesheet=", "qmljsdebugger=", "dialogs=", "fontengine="};

template <size_t N>
bool Among(std::string_view name, const std::string_view (&names)[N]) {
  for (std::string_view known : names)
    if (name == known) return true;
  return false;
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

std::optional<std::string> UnknownOption(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg(argv[i]);
    if (arg == "--") break;
    if (arg.size() < 2 || arg[0] != '-') continue;
    if (arg == "--help" || arg == "-h" || arg == "--version") continue;
    const std::string_view name = Option(argv[i]).substr(1);
    if (Among(name, kToolkitFlags)) continue;
    if (Among(name, kToolkitOptionsWithValue)) {
      ++i;  // its value, whatever it looks like
      continue;
    }
    bool joined = false;
    for (std::string_view prefix : kToolkitJoinedOptions)
      joined = joined || name.substr(0, prefix.size()) == prefix;
    if (!joined) return std::string(arg);
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
