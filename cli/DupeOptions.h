#pragma once
// The command line of kestrel-dupe, read whole before anything else happens: a use that is not
// valid is refused with its reason, never guessed at.
#include <cstdint>
#include <string>
#include <vector>

struct DupeOptions {
  enum class Action { Check, Help, Version };
  Action action = Action::Check;
  bool exact = false;
  std::string mask;                // the words joined by blanks, as typed in the form
  std::vector<std::string> names;  // with exact; "-" stands for standard input
  int32_t limit = 20;
  bool all = false;
  int32_t order = 1;       // 0 FIRST->LAST, 1 LAST->FIRST, as the form's list
  std::string startBound;  // the range as written into SQL; empty without one
  std::string endBound;
  bool count = false;
  bool json = false;
  bool verbose = false;
};

// args without the program's name. False with the reason, one line, when they are no valid use.
bool ParseDupeOptions(const std::vector<std::string>& args, DupeOptions& options, std::string& error);

// The answer to --help.
extern const char kDupeUsage[];
