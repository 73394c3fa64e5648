#pragma once
// kestrel-dupe from its arguments to its exit status, in one process: the answers that need no
// server, or the check. The checker's main hands in the compiled servers and the standard
// streams; tests hand in their own.
#include <string>
#include <vector>

#include "cli/DupeOptions.h"
#include "db/DupesEndpoints.h"
#include "index/CopyCollation.h"

// args without the program's name; collations: how local copies fold and match.
int RunKestrelDupe(const std::vector<std::string>& args, const DupesEndpoints& servers,
                   const std::string& packageVersion, const DupeStreams& streams = {},
                   const CopyCollationSource& collations = DefaultCopyCollationSource());
