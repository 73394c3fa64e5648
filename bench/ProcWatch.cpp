// Runs one command and writes its wall time (fork to exit) and the peak of its private memory
// (RssAnon, sampled every 2 ms; the pid survives the checker's exec) to RESULT as name=value lines.
//   proc_watch RESULT COMMAND [ARG]...
// The command keeps this process's standard streams; its exit status becomes ours.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace {

long rssAnonKib(pid_t pid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/status", static_cast<int>(pid));
  FILE* f = std::fopen(path, "re");
  if (!f) return -1;
  char line[256];
  long kib = -1;
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, "RssAnon:", 8) == 0) {
      kib = std::strtol(line + 8, nullptr, 10);
      break;
    }
  }
  std::fclose(f);
  return kib;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: proc_watch RESULT COMMAND [ARG]...\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) return 2;
  if (pid == 0) {
    execvp(argv[2], argv + 2);
    _exit(127);
  }
  std::atomic<bool> done{false};
  std::atomic<long> peak{0};
  // A thread of its own, so the wait below sees the exit at once rather than at the next sample.
  std::thread sampler([&] {
    while (!done.load(std::memory_order_relaxed)) {
      const long kib = rssAnonKib(pid);
      if (kib > peak.load(std::memory_order_relaxed)) peak.store(kib, std::memory_order_relaxed);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return 2;
  }
  const auto end = std::chrono::steady_clock::now();
  done = true;
  sampler.join();
  std::ofstream out(argv[1]);
  out << "wall_ms=" << std::chrono::duration<double, std::milli>(end - start).count() << "\n"
      << "peak_rss_anon_kib=" << peak.load() << "\n";
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
