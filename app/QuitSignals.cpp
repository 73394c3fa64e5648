#include "app/QuitSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

}  // namespace

void CatchQuitSignals() {
  if (g_signalPipe[0] >= 0 || ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

void OnQuitSignal(std::function<void()> quit) {
  CatchQuitSignals();
  if (g_signalPipe[0] < 0) return;
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [quit = std::move(quit)] {
    char buffer[16];
    while (::read(g_signalPipe[0], buffer, sizeof buffer) > 0) {
    }
    quit();
  });
}
