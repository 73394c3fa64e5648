// kestrel-dupe as a shell starts it. The answers that need no server come from here, without
// the client library and what it loads (most of a start-up); a check runs in the checker, which
// this program becomes.
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "cli/DupeOptions.h"
#include "cli/DupeOutput.h"
#include "platform/Diagnostics.h"

namespace {

// The checker, where the installed layout (and the build tree's, which copies it) puts it
// beside this program.
std::string CheckerPath() {
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return KESTREL_DUPE_CHECKER_PACKAGED;
  std::string path(self, size_t(n));
  return path.substr(0, path.rfind('/') + 1) + KESTREL_DUPE_CHECKER_RELATIVE;
}

}  // namespace

int main(int argc, char** argv) {
  const DupesEndpoints servers{KESTREL_PRIMARY_SERVER, KESTREL_BACKUP_SERVER};
  const std::vector<std::string> args(argv + 1, argv + argc);
  DupeOptions options;
  if (const auto status = AnswerDupeArguments(args, servers, KESTREL_PACKAGE_VERSION, {}, options))
    return *status;
  const std::string checker = CheckerPath();
  ::execv(checker.c_str(), argv);
  DupeOutput::ErrorLine(stderr, checker + ": cannot run the checker: " + ErrnoText(errno));
  return 2;
}
