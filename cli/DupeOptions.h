#pragma once
// The command line of kestrel-dupe, read whole before anything else happens: a use that is not
// valid is refused with its reason, never guessed at.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "db/DupesEndpoints.h"

struct DupeOptions {
  enum class Action { Check, Help, Version };
  Action action = Action::Check;
  // Auto: the local copy of the server reached, when there is one, else the statements.
  enum class Source { Auto, Server, Local, Sync };
  Source source = Source::Auto;
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

struct DupeStreams {
  std::FILE* in = stdin;
  std::FILE* out = stdout;
  std::FILE* err = stderr;
};

// What args (without the program's name) get without a server: the exit status after --help,
// --version or a usage error (its line written); nothing when they ask for a check, which options
// then describes. Needs neither the client library nor a server, so it costs next to nothing.
std::optional<int> AnswerDupeArguments(const std::vector<std::string>& args, const DupesEndpoints& servers,
                                       const std::string& packageVersion, const DupeStreams& streams,
                                       DupeOptions& options);
