// Start-up of kestrel-dupe: from the fork to the exit of `kestrel-dupe --version`, its output
// thrown away, as a shell that runs it in a loop sees it. Prints name=value lines.
//   dupe_startup_bench KESTREL_DUPE_BINARY [ROUNDS]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: dupe_startup_bench KESTREL_DUPE_BINARY [ROUNDS]\n");
    return 2;
  }
  const std::string binary = argv[1];
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 101;
  std::vector<double> took, cpu, memory;
  for (int i = 0; i <= rounds; ++i) {  // round 0 fills the file caches and is not counted
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, STDOUT_FILENO);
      execl(binary.c_str(), binary.c_str(), "--version", static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    rusage usage = {};
    wait4(pid, &status, 0, &usage);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "dupe_startup_bench: kestrel-dupe --version ended with status %d\n", status);
      return 1;
    }
    if (i == 0) continue;
    took.push_back(ms);
    cpu.push_back((usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                  (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3);
    memory.push_back(usage.ru_maxrss / 1024.0);
  }
  std::sort(took.begin(), took.end());
  std::sort(cpu.begin(), cpu.end());
  std::sort(memory.begin(), memory.end());
  std::printf("dupe_version_ms=%.2f\n", took[took.size() / 2]);
  std::printf("dupe_version_p90_ms=%.2f\n", took[took.size() * 9 / 10]);
  // The processor time it took itself: what it costs on a machine nobody else is using.
  std::printf("dupe_version_cpu_ms=%.2f\n", cpu[cpu.size() / 2]);
  std::printf("dupe_version_peak_rss_mib=%.1f\n", memory[memory.size() / 2]);
  return 0;
}
