#include "cli/DupeCommand.h"

#include "cli/DupeCheck.h"
#include "cli/DupeOptions.h"
#include "db/DupesConnection.h"

int RunKestrelDupe(const std::vector<std::string>& args, const DupesEndpoints& servers,
                   const std::string& packageVersion, const DupeStreams& streams) {
  DupeOptions options;
  std::string error;
  if (!ParseDupeOptions(args, options, error)) {
    DupeCheck::WriteErrorLine(streams.err, error + " (see kestrel-dupe --help)");
    return 2;
  }
  if (options.action == DupeOptions::Action::Help) {
    std::fputs(kDupeUsage, streams.out);
    return std::fflush(streams.out) == 0 ? 0 : 2;
  }
  if (options.action == DupeOptions::Action::Version) {
    std::fprintf(streams.out, "kestrel-dupe %s\n", packageVersion.c_str());
    std::fprintf(streams.out, "primary server %s (probed on port %d)\n", servers.m_strPrimary.c_str(),
                 servers.m_nPrimaryProbePort);
    std::fprintf(streams.out, "backup server %s (probed on port %d)\n", servers.m_strBackup.c_str(),
                 servers.m_nBackupProbePort);
    return std::fflush(streams.out) == 0 ? 0 : 2;
  }
  InitDupesLibrary();
  return DupeCheck(options, servers, streams.in, streams.out, streams.err).Run();
}
