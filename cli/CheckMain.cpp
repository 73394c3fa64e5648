// The checker kestrel-dupe runs for a check: the whole program in one process, on the client
// library.
#include <string>
#include <vector>

#include "cli/DupeCommand.h"

int main(int argc, char** argv) {
  const DupesEndpoints servers{KESTREL_PRIMARY_SERVER, KESTREL_BACKUP_SERVER};
  return RunKestrelDupe(std::vector<std::string>(argv + 1, argv + argc), servers, KESTREL_PACKAGE_VERSION);
}
