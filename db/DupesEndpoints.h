#pragma once
// The two servers a worker may reach. The executable fills it from the build options; tests
// point it at servers of their own.
#include <string>

struct DupesEndpoints {
  std::string m_strPrimary;  // dotted-quad IPv4
  std::string m_strBackup;
  int m_nPrimaryProbePort = 3306;
  int m_nBackupProbePort = 6033;
  int m_nProbeSeconds = 3;
  unsigned m_nConnectPort = 0;  // 0: the client library's default port
};
