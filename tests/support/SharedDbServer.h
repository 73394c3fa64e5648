#pragma once
// A test program's database server that its ctest fixture starts once for all of its cases: the
// program run with --start-servers FILE starts every one defined in it, loads their rows and
// leaves them to a keeper process; --stop-servers FILE stops them. The cases find them through
// KESTREL_TEST_SERVERS=FILE. A case run by hand, without it, starts its own on first use.
//
//   SharedDbServer primary("primary", [](TestDbServer& s) { s.AddGeneratedDupes(42, "P"); });
//   primary->address();
//
// Define them at namespace scope, each name once per program. The cases take turns on them. A case
// that kills its server keeps a TestDbServer of its own.
#include <functional>
#include <memory>
#include <string>

#include "tests/support/TestDbServer.h"

class SharedDbServer {
 public:
  using Load = std::function<void(TestDbServer&)>;

  explicit SharedDbServer(std::string name, Load load = {},
                          TestDbServer::Guest guest = TestDbServer::Guest::Select);
  ~SharedDbServer();
  SharedDbServer(const SharedDbServer&) = delete;
  SharedDbServer& operator=(const SharedDbServer&) = delete;

  TestDbServer& get();
  // For a case that loads rows of its own or changes the tables: made anew first, as the
  // fixture made it (the schema, the guest and the rows of load).
  TestDbServer& Fresh();
  TestDbServer& operator*() { return get(); }
  TestDbServer* operator->() { return &get(); }

  const std::string& name() const { return m_name; }
  // A server with the rows loaded, its data in base/<name> (under /tmp when base is empty).
  std::unique_ptr<TestDbServer> MakeForFixture(const std::string& base) const;

 private:
  std::string m_name;
  Load m_load;
  TestDbServer::Guest m_guest;
  std::unique_ptr<TestDbServer> m_server;
};

// The fixture's entries: --start-servers FILE or --stop-servers FILE; -1 for any other command line.
int RunServerFixture(int argc, char** argv);
