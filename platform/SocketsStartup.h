#pragma once
// Stand-in for the Windows Sockets start-up: POSIX sockets need none, so it grants version 1.1.
#include <cstdint>

struct WSADATA {
  std::uint16_t wVersion = 0;
  std::uint16_t wHighVersion = 0;
};

constexpr std::uint16_t MAKEWORD(std::uint8_t low, std::uint8_t high) {
  return static_cast<std::uint16_t>(low | (high << 8));
}

// Returns 0 and fills data with the granted version (1.1 when 1.1 is asked for).
int WSAStartup(std::uint16_t requested, WSADATA* data);
int WSACleanup();
