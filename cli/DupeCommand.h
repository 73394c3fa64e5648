#pragma once
// kestrel-dupe from its arguments to its exit status. main hands in the compiled servers and the
// standard streams; tests hand in their own.
#include <cstdio>
#include <string>
#include <vector>

#include "db/DupesEndpoints.h"

struct DupeStreams {
  std::FILE* in = stdin;
  std::FILE* out = stdout;
  std::FILE* err = stderr;
};

// args without the program's name. --help and --version answer before the client library is
// touched, so they cost next to nothing.
int RunKestrelDupe(const std::vector<std::string>& args, const DupesEndpoints& servers,
                   const std::string& packageVersion, const DupeStreams& streams = {});
