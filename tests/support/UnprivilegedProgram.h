#pragma once
// A helper program run as an unprivileged user: as nobody when the tests run as root (root writes
// through any file mode), as this user otherwise. The program is run from a copy in a scratch
// folder of its own that the other user can traverse, since the build folder may sit in a private
// home.
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

class UnprivilegedProgram {
 public:
  explicit UnprivilegedProgram(const std::string& program);  // throws std::runtime_error

  // Standard output and error of one run with these arguments.
  std::string Run(const std::vector<std::string>& args) const;

 private:
  TempDir m_dir;
  std::string m_path;
};
