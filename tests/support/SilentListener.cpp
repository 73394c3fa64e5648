#include "tests/support/SilentListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

SilentListener::SilentListener(int port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port));
  ::inet_pton(AF_INET, address().c_str(), &sa.sin_addr);
  m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  // The address may still hold TIME_WAIT connections of a server that had it before (a test's
  // earlier server); LoopbackAddress finds such a port free, so the bind must too.
  int one = 1;
  if (m_listenFd >= 0) ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
      ::listen(m_listenFd, 0) != 0) {
    throw std::runtime_error("silent listener: cannot listen on " + address());
  }
  // Connect until one connect stays unanswered: from then on the queue is full.
  for (int i = 0; i < 32; ++i) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    m_fillers.push_back(fd);
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, 200) == 0) return;
  }
  throw std::runtime_error("silent listener: accept queue never filled");
}

SilentListener::~SilentListener() {
  for (int fd : m_fillers) ::close(fd);
  if (m_listenFd >= 0) ::close(m_listenFd);
}
