#include "tests/support/FakeDbServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <utility>

namespace {

void Put(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += char((value >> (8 * i)) & 0xff);
}

void PutLength(std::string& out, uint64_t n) {
  if (n < 251) return Put(out, n, 1);
  if (n < 65536) return out += char(0xfc), Put(out, n, 2);
  if (n < (1u << 24)) return out += char(0xfd), Put(out, n, 3);
  out += char(0xfe);
  Put(out, n, 8);
}

void PutText(std::string& out, const std::string& text) {
  PutLength(out, text.size());
  out += text;
}

// One payload with its sequence number, split into packets of at most 16 MiB - 1.
void Frame(std::string& out, uint8_t& seq, const std::string& payload) {
  constexpr size_t kMost = 0xffffff;
  size_t done = 0;
  for (;;) {
    const size_t n = std::min(kMost, payload.size() - done);
    Put(out, n, 3);
    out += char(seq++);
    out.append(payload, done, n);
    done += n;
    if (n < kMost) return;
  }
}

// Gives up once the client has hung up, even while its window is shut: a client that stopped
// reading a flood and closed must not hold the server's thread.
bool SendAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd, POLLOUT | POLLRDHUP, 0};
      ::poll(&p, 1, -1);
      if (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) return false;
      continue;
    }
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

bool ReadAll(int fd, std::string& data, size_t n) {
  data.resize(n);
  size_t done = 0;
  while (done < n) {
    ssize_t got = ::recv(fd, data.data() + done, n - done, 0);
    if (got <= 0) return false;
    done += size_t(got);
  }
  return true;
}

bool ReadPacket(int fd, std::string& payload) {
  std::string head;
  if (!ReadAll(fd, head, 4)) return false;
  const size_t n = uint8_t(head[0]) | uint8_t(head[1]) << 8 | uint8_t(head[2]) << 16;
  return ReadAll(fd, payload, n);
}

std::string Ok() {
  return std::string("\0\0\0\2\0\0\0", 7);
}

std::string Eof() {
  return std::string("\xfe\0\0\2\0", 5);
}

std::string Greeting(const std::string& plugin) {
  std::string g(1, char(10));
  g += std::string("10.11.99-fake") + '\0';
  Put(g, 7, 4);
  g += "abcdefgh";
  g += '\0';
  // LONG_PASSWORD, LONG_FLAG, CONNECT_WITH_DB, PROTOCOL_41, TRANSACTIONS, SECURE_CONNECTION,
  // PLUGIN_AUTH; no TLS, no deprecated EOF.
  const uint32_t caps = 0x1 | 0x4 | 0x8 | 0x200 | 0x2000 | 0x8000 | 0x80000;
  Put(g, caps & 0xffff, 2);
  g += char(45);
  Put(g, 2, 2);
  Put(g, caps >> 16, 2);
  g += char(21);
  g += std::string(10, '\0');
  g += "ijklmnopqrst";
  g += '\0';
  g += plugin + '\0';
  return g;
}

std::string Column(const std::string& name) {
  std::string c;
  PutText(c, "def");
  PutText(c, "dupesnukes");
  PutText(c, "T");
  PutText(c, "T");
  PutText(c, name);
  PutText(c, name);
  c += char(0x0c);
  Put(c, 45, 2);
  Put(c, 1 << 24, 4);
  c += char(0xfd);  // VAR_STRING
  Put(c, 0, 2);
  c += '\0';
  Put(c, 0, 2);
  return c;
}

}  // namespace

FakeDbServer::Reply FakeDbServer::Rows(std::vector<std::string> columns, std::vector<Row> rows) {
  Reply r;
  r.columns = std::move(columns);
  r.rows = [rows = std::move(rows)](size_t i, Row& row) {
    if (i >= rows.size()) return false;
    row = rows[i];
    return true;
  };
  return r;
}

FakeDbServer::Reply FakeDbServer::Generated(std::vector<std::string> columns, size_t count,
                                            std::function<Row(size_t)> make) {
  Reply r;
  r.columns = std::move(columns);
  r.rows = [count, make = std::move(make)](size_t i, Row& row) {
    if (i >= count) return false;
    row = make(i);
    return true;
  };
  return r;
}

FakeDbServer::FakeDbServer(Script script, int dripMilliseconds)
    : m_script(std::move(script)), m_drip(dripMilliseconds) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(3306);
  ::inet_pton(AF_INET, address().c_str(), &sa.sin_addr);
  m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  if (m_listenFd >= 0) ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
      ::listen(m_listenFd, 16) != 0)
    throw std::runtime_error("fake server: cannot listen on " + address());
  m_stopFd = ::eventfd(0, EFD_CLOEXEC);
  m_acceptor = std::thread([this] { AcceptLoop(); });
}

FakeDbServer::~FakeDbServer() {
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(m_stopFd, &one, sizeof one);
  m_acceptor.join();
  for (std::thread& t : m_threads) t.join();
  ::close(m_listenFd);
  ::close(m_stopFd);
}

bool FakeDbServer::Wait(int fd, int milliseconds) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
  ::poll(fds, 2, milliseconds);
  if (fds[1].revents) return false;
  if (fds[0].revents & (POLLHUP | POLLERR)) return false;
  if (fds[0].revents & POLLIN) {
    char c;
    if (::recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT) == 0) return false;
  }
  return true;
}

void FakeDbServer::AcceptLoop() {
  for (;;) {
    pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) return;
    int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_open;
    m_threads.emplace_back([this, fd] {
      Serve(fd);
      ::close(fd);
      std::lock_guard<std::mutex> lock(m_mutex);
      --m_open;
      m_changed.notify_all();
    });
  }
}

void FakeDbServer::Serve(int fd) {
  uint8_t seq = 0;
  std::string out;
  std::string greetingPlugin;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    greetingPlugin = m_greetingPlugin;
  }
  Frame(out, seq, Greeting(greetingPlugin));
  if (m_drip > 0) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      ++m_greetings;
      m_changed.notify_all();
    }
    for (char c : out)
      if (!SendAll(fd, std::string(1, c)) || !Wait(fd, m_drip)) return;
  } else if (!SendAll(fd, out)) {
    return;
  }
  std::string packet;
  if (!ReadPacket(fd, packet)) return;  // a probe hangs up here
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_greetings;
    if (m_logins.size() < 16) m_logins.push_back(packet);
    m_changed.notify_all();
  }
  std::string plugin, data;
  int times = 0;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    plugin = m_switchPlugin;
    data = m_switchData;
    times = m_switchTimes;
  }
  seq = 2;
  for (int i = 0; i < times; ++i) {
    out.clear();
    Frame(out, seq, "\xfe" + plugin + '\0' + data);
    if (!SendAll(fd, out)) return;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      ++m_switches;
      m_changed.notify_all();
    }
    if (!ReadPacket(fd, packet)) return;
    ++seq;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_switchAnswers.size() < 16) m_switchAnswers.push_back(packet);
  }
  out.clear();
  Frame(out, seq, Ok());
  if (!SendAll(fd, out)) return;

  while (ReadPacket(fd, packet) && !packet.empty()) {
    out.clear();
    seq = 1;
    const char command = packet[0];
    if (command == 0x01) return;  // quit
    if (command != 0x03) {
      Frame(out, seq, Ok());
      if (!SendAll(fd, out)) return;
      continue;
    }
    const std::string query = packet.substr(1);
    // The client's own session settings after connecting are answered as an honest server does
    // and kept out of the script and the record, which are about the program's statements.
    if (query.rfind("SET ", 0) == 0) {
      Frame(out, seq, Ok());
      if (!SendAll(fd, out)) return;
      continue;
    }
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_queries.push_back(query);
      m_changed.notify_all();
    }
    Reply reply = m_script(query);
    switch (reply.kind) {
      case Reply::Kind::Close:
        return;
      case Reply::Kind::Stall:
        while (Wait(fd, -1)) {
          // Bytes from the client while stalled: read and ignore.
          char c[256];
          if (::recv(fd, c, sizeof c, MSG_DONTWAIT) == 0) return;
        }
        return;
      case Reply::Kind::LocalFile: {
        Frame(out, seq, "\xfb" + reply.error);
        if (!SendAll(fd, out)) return;
        // The file's packets, up to the empty one that ends it.
        bool more = true;
        while (more && ReadPacket(fd, packet)) {
          ++seq;
          more = !packet.empty();
          std::lock_guard<std::mutex> lock(m_mutex);
          m_localFileBytes += packet;
        }
        out.clear();
        Frame(out, seq, std::string("\xff\x28\x04#HY000", 9) + "refused");
        if (!SendAll(fd, out)) return;
        continue;
      }
      case Reply::Kind::Error: {
        std::string err("\xff\x28\x04#HY000", 9);
        err += reply.error;
        Frame(out, seq, err);
        if (!SendAll(fd, out)) return;
        continue;
      }
      case Reply::Kind::Rows:
        break;
    }
    std::string count;
    PutLength(count, reply.columns.size());
    Frame(out, seq, count);
    for (const std::string& name : reply.columns) Frame(out, seq, Column(name));
    Frame(out, seq, Eof());
    Row row;
    for (size_t i = 0; reply.rows && reply.rows(i, row); ++i) {
      std::string payload;
      for (const Field& f : row) {
        if (f)
          PutText(payload, *f);
        else
          payload += char(0xfb);
      }
      Frame(out, seq, payload);
      if (out.size() >= 65536) {
        if (!SendAll(fd, out)) return;
        out.clear();
      }
    }
    Frame(out, seq, Eof());
    if (!SendAll(fd, out)) return;
  }
}

void FakeDbServer::WaitQueries(int n) {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_changed.wait(lock, [&] { return int(m_queries.size()) >= n; });
}

void FakeDbServer::WaitGreetings(int n) {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_changed.wait(lock, [&] { return m_greetings >= n; });
}

void FakeDbServer::GreetWith(std::string plugin) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_greetingPlugin = std::move(plugin);
}

void FakeDbServer::SwitchLogin(std::string plugin, std::string data, int times) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_switchPlugin = std::move(plugin);
  m_switchData = std::move(data);
  m_switchTimes = times;
}

std::string FakeDbServer::LocalFileBytes() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_localFileBytes;
}

std::vector<std::string> FakeDbServer::Logins() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_logins;
}

int FakeDbServer::Switches() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_switches;
}

std::vector<std::string> FakeDbServer::SwitchAnswers() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_switchAnswers;
}

bool FakeDbServer::AllClosed() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_open == 0;
}

std::vector<std::string> FakeDbServer::Queries() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_queries;
}
