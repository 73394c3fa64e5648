#pragma once
// A loopback address (127.0.1.1 - 127.0.9.254) that no other test process holds: each address
// is claimed with an exclusive lock on /tmp/kestrel-loopback-<address>.lock for the object's
// lifetime, and skipped while anything is still bound to its ports 3306 or 6033. Nothing listens
// on a fresh address, so it doubles as a refused endpoint. 127.0.0.x (the demo's) is never used.
#include <string>

class LoopbackAddress {
 public:
  LoopbackAddress();  // throws std::runtime_error when the range is exhausted
  ~LoopbackAddress();
  LoopbackAddress(const LoopbackAddress&) = delete;
  LoopbackAddress& operator=(const LoopbackAddress&) = delete;

  const std::string& address() const { return m_address; }
  int fd() const { return m_lockFd; }  // the lock's: whoever holds it open holds the address

 private:
  std::string m_address;
  int m_lockFd = -1;
};
