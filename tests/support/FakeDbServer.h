#pragma once
// A server that speaks just enough of the wire protocol to play a broken or hostile one: the
// v10 greeting (optionally dripped a byte at a time), any login accepted (optionally after
// switches to another login plugin), COM_INIT_DB answered
// with OK and each COM_QUERY answered as the test's script says: a text result set (its rows
// made on the fly, so a flood costs the server nothing), an error, a stall or a closed socket.
// It listens on port 3306 of a loopback address of its own, probes included.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/LoopbackAddress.h"

class FakeDbServer {
 public:
  using Field = std::optional<std::string>;  // nullopt: SQL NULL
  using Row = std::vector<Field>;
  struct Reply {
    enum class Kind { Rows, Error, Stall, Close, LocalFile } kind = Kind::Rows;
    std::vector<std::string> columns;
    // Row i into row; false once there are no more.
    std::function<bool(size_t i, Row& row)> rows;
    std::string error;
  };
  using Script = std::function<Reply(const std::string& query)>;

  static Reply Rows(std::vector<std::string> columns, std::vector<Row> rows);
  // count rows, each made by make(i).
  static Reply Generated(std::vector<std::string> columns, size_t count, std::function<Row(size_t)> make);
  static Reply Error(std::string message) { return {Reply::Kind::Error, {}, {}, std::move(message)}; }
  static Reply Stall() { return {Reply::Kind::Stall, {}, {}, {}}; }
  // Asks for the client's file path (LOAD DATA LOCAL), keeps what comes back, then fails.
  static Reply LocalFile(std::string path) { return {Reply::Kind::LocalFile, {}, {}, std::move(path)}; }

  // dripMilliseconds > 0: the greeting goes out one byte per that many milliseconds.
  explicit FakeDbServer(Script script, int dripMilliseconds = 0);
  ~FakeDbServer();
  FakeDbServer(const FakeDbServer&) = delete;
  FakeDbServer& operator=(const FakeDbServer&) = delete;

  const std::string& address() const { return m_address.address(); }
  // Blocks until the number of queries received (or, with handshakes, connections that sent their
  // login or, for a dripping server, began receiving the greeting) reaches n.
  void WaitQueries(int n);
  void WaitGreetings(int n);
  // Before any client connects: the login plugin the greeting names (mysql_native_password).
  void GreetWith(std::string plugin);
  // Before any client connects: every login is answered with a switch to plugin (data follows
  // its name), times times in a row, before the OK. The client's answers are kept (the first 16).
  void SwitchLogin(std::string plugin, std::string data, int times = 1);
  // How many switch requests went out.
  int Switches();
  std::vector<std::string> SwitchAnswers();
  // The bytes clients sent for LocalFile requests.
  std::string LocalFileBytes();
  // The login packets received (the first 16).
  std::vector<std::string> Logins();
  // Whether every connection has ended (the client closed or dropped it).
  bool AllClosed();
  std::vector<std::string> Queries();

 private:
  void AcceptLoop();
  void Serve(int fd);
  bool Wait(int fd, int milliseconds);  // false once stopping or the peer hung up

  LoopbackAddress m_address;
  Script m_script;
  int m_drip = 0;
  int m_listenFd = -1;
  int m_stopFd = -1;
  std::thread m_acceptor;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::thread> m_threads;
  std::vector<std::string> m_queries;
  int m_greetings = 0;
  std::string m_greetingPlugin = "mysql_native_password";
  std::string m_switchPlugin;
  std::string m_switchData;
  int m_switchTimes = 0;
  int m_switches = 0;
  std::vector<std::string> m_switchAnswers;
  std::vector<std::string> m_logins;
  std::string m_localFileBytes;
  int m_open = 0;
};
