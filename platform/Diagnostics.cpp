#include "platform/Diagnostics.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/ServerText.h"

namespace {

std::mutex& SinkMutex() {
  static std::mutex* mutex = new std::mutex;  // never destroyed: a worker may report after main
  return *mutex;
}

FailureSink& Sink() {
  static FailureSink* sink = new FailureSink;
  return *sink;
}

}  // namespace

void ReportFailure(const std::string& line) {
  // The line carries servers' error texts and file names: escaped, it stays one line and
  // cannot retitle or blank the terminal.
  std::string text = EscapedServerText(line);
  {
    std::lock_guard<std::mutex> lock(SinkMutex());
    if (Sink()) {
      Sink()(text);
      return;
    }
  }
  text = "kestrel: " + text + "\n";
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(STDERR_FILENO, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    p += n;
    left -= size_t(n);
  }
}

void SetFailureSink(FailureSink sink) {
  std::lock_guard<std::mutex> lock(SinkMutex());
  Sink() = std::move(sink);
}

std::string ErrnoText(int error) {
  char buffer[256];
  // The GNU strerror_r: returns the text, which may or may not live in buffer.
  const char* text = strerror_r(error, buffer, sizeof buffer);
  return std::string(text) + " (errno " + std::to_string(error) + ")";
}
