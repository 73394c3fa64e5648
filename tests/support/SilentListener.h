#pragma once
// A TCP listener that never answers: its accept queue is filled at start-up and never drained,
// so a further connect gets no reply (the kernel drops its SYN) until the object goes away.
#include <string>
#include <vector>

#include "tests/support/LoopbackAddress.h"

class SilentListener {
 public:
  explicit SilentListener(int port = 3306);
  ~SilentListener();
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;

  const std::string& address() const { return m_address.address(); }

 private:
  LoopbackAddress m_address;
  int m_listenFd = -1;
  std::vector<int> m_fillers;
};
