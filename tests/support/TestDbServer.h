#pragma once
// A private MariaDB server for tests, on a loopback address of its own (port 3306, and 6033 as
// the backup's probe port), with the schema dupesnukes: DUPES, NFOS, NFO_DATA (NFO_DATA_INFO a
// MEDIUMBLOB) and LASTUPDATE, and the guest ZEBRANO / ZEBRANO (SELECT only, by default).
//
// Start-up copies a template data folder made once per build folder, so a server costs well under
// a second. Create servers on the test's main thread: the server dies with the thread that
// started it (and with the process). Setup helpers run as root over the server's own socket.
//
//   TestDbServer server;                                   // a good server
//   server.AddDupes({{"1998-02-05", "020598", "Some.Release-GRP"}});
//   DupesEndpoints ends{server.address(), server.address()};
//   int before = server.GuestConnections();
//   TestDbServer refusing(TestDbServer::Guest::Missing);   // refuses the guest login
//   server.Kill();                                         // SIGKILL, e.g. in the middle of a result
// A program's shared servers, started once by its ctest fixture: tests/support/SharedDbServer.h.
#include <memory>
#include <string>
#include <vector>

#include "db/DupesEndpoints.h"
#include "tests/support/LoopbackAddress.h"
#include "tests/support/TempDir.h"

struct DupeSample {
  std::string date;     // DUPES_DATE, YYYY-MM-DD
  std::string dateStr;  // DUPES_DATE_STR, MMDDYY
  std::string dir;      // DUPES_DIR
};

class TestDbServer {
 public:
  enum class Guest { Select, Missing, NoRights };

  explicit TestDbServer(Guest guest = Guest::Select);
  // Its data in folder, made anew (the socket stays under /tmp: a socket path is short).
  TestDbServer(Guest guest, const std::string& folder);
  // One that another process started and stops; this one only reaches it, pauses and resumes it.
  static std::unique_ptr<TestDbServer> Attach(const std::string& address, const std::string& folder,
                                              const std::string& socket, int pid);
  ~TestDbServer();
  TestDbServer(const TestDbServer&) = delete;
  TestDbServer& operator=(const TestDbServer&) = delete;

  const std::string& address() const { return m_addressText; }
  const std::string& folder() const { return m_folder; }
  const std::string& socket() const { return m_socket; }
  int pid() const { return m_pid; }

  // As root in dupesnukes; throws std::runtime_error with the server's error on failure.
  void Execute(const std::string& sql);
  std::string QueryValue(const std::string& sql);

  // Empty tables of the first shape again and the guest of that kind, as if just started.
  void Reset(Guest guest = Guest::Select);

  // Inserts rows (several thousand per statement).
  void AddDupes(const std::vector<DupeSample>& rows);
  // count generated rows: dates spread over 1996-2000, directories "<prefix>.<n>-GRP".
  void AddGeneratedDupes(int count, const std::string& prefix);
  void ClearDupes();
  // An NFOS row and, unless info is null, an NFO_DATA row with those bytes.
  void AddNfo(const std::string& dateStr, const std::string& dir, const std::string* info);
  void SetLastUpdate(const std::string& first, const std::string& second);

  // Open client connections of the guest (the setup's own root sessions do not count).
  int GuestConnections();
  // Polls until GuestConnections() == expected; false after milliseconds.
  bool WaitGuestConnections(int expected, int milliseconds);

  void Pause();   // SIGSTOP: accepts nothing, answers nothing
  void Resume();  // SIGCONT
  // SIGKILL; the object stays, the address stays claimed (and now refuses). Not for an attached one.
  void Kill();
  bool IsRunning() const { return m_pid > 0; }

 private:
  struct Attached {};
  explicit TestDbServer(Attached) {}
  void Start();
  void LoadSchema(Guest guest);
  std::string file(const std::string& name) const { return m_folder + "/" + name; }

  std::unique_ptr<LoopbackAddress> m_address;
  std::unique_ptr<TempDir> m_ownFolder;
  std::unique_ptr<TempDir> m_socketFolder;
  std::string m_addressText;
  std::string m_folder;
  std::string m_socket;
  int m_pid = -1;
  bool m_attached = false;
};

// Endpoints of two test addresses whose probe gives up after probeSeconds (the product waits 3).
DupesEndpoints TestEndpoints(const std::string& primary, const std::string& backup, int probeSeconds = 1);
