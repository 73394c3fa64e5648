#include "cli/DupeCommand.h"

#include "cli/DupeCheck.h"
#include "db/DupesConnection.h"

int RunKestrelDupe(const std::vector<std::string>& args, const DupesEndpoints& servers,
                   const std::string& packageVersion, const DupeStreams& streams,
                   const CopyCollationSource& collations) {
  DupeOptions options;
  if (const auto status = AnswerDupeArguments(args, servers, packageVersion, streams, options))
    return *status;
  InitDupesLibrary();
  return DupeCheck(options, servers, streams.in, streams.out, streams.err, collations).Run();
}
