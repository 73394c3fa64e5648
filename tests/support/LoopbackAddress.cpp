#include "tests/support/LoopbackAddress.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace {

bool PortFree(const std::string& address, int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port));
  ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
  bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
  ::close(fd);
  return free;
}

}  // namespace

LoopbackAddress::LoopbackAddress() {
  constexpr int kCount = 9 * 254;
  // Start where this process's id points, so parallel test binaries rarely contend.
  const int start = static_cast<int>(::getpid()) % kCount;
  for (int k = 0; k < kCount; ++k) {
    const int slot = (start + k) % kCount;
    const std::string address =
        "127.0." + std::to_string(1 + slot / 254) + "." + std::to_string(1 + slot % 254);
    const std::string lockPath = "/tmp/kestrel-loopback-" + address + ".lock";
    int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !PortFree(address, 3306) || !PortFree(address, 6033)) {
      ::close(fd);
      continue;
    }
    m_address = address;
    m_lockFd = fd;
    return;
  }
  throw std::runtime_error("no free loopback address");
}

LoopbackAddress::~LoopbackAddress() {
  if (m_lockFd >= 0) ::close(m_lockFd);
}
