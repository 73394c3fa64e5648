#include "platform/SocketsStartup.h"

int WSAStartup(std::uint16_t requested, WSADATA* data) {
  if (data) {
    data->wVersion = requested == MAKEWORD(1, 1) ? MAKEWORD(1, 1) : MAKEWORD(2, 2);
    data->wHighVersion = MAKEWORD(2, 2);
  }
  return 0;
}

int WSACleanup() {
  return 0;
}
