// Start-up of kestrel-dupe: from the fork to the exit of `kestrel-dupe --version`, its output
// thrown away, as a shell that runs it in a loop sees it. Each round also starts /bin/true, the
// floor of a fork and exec on this machine at that moment, so a busy machine shows as such.
// Prints name=value lines.
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

namespace {

struct Sample {
  double wallMs = 0, cpuMs = 0, peakMiB = 0;
  bool ok = false;
};

Sample Start(const char* binary, const char* argument) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    execl(binary, binary, argument, static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage = {};
  wait4(pid, &status, 0, &usage);
  Sample s;
  s.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  s.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
            (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  s.peakMiB = usage.ru_maxrss / 1024.0;
  s.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return s;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: dupe_startup_bench KESTREL_DUPE_BINARY [ROUNDS]\n");
    return 2;
  }
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 101;
  std::vector<double> wall, cpu, peak, floor;
  for (int i = 0; i <= rounds; ++i) {  // round 0 fills the file caches and is not counted
    const Sample dupe = Start(argv[1], "--version");
    const Sample bare = Start("/bin/true", nullptr);
    if (!dupe.ok) {
      std::fprintf(stderr, "dupe_startup_bench: %s --version failed\n", argv[1]);
      return 1;
    }
    if (i == 0) continue;
    wall.push_back(dupe.wallMs);
    cpu.push_back(dupe.cpuMs);
    peak.push_back(dupe.peakMiB);
    floor.push_back(bare.wallMs);
  }
  std::printf("dupe_version_ms=%.2f\n", Median(wall));
  // The processor time it took itself, and /bin/true's wall time in the same rounds.
  std::printf("dupe_version_cpu_ms=%.2f\n", Median(cpu));
  std::printf("exec_floor_ms=%.2f\n", Median(floor));
  std::printf("dupe_version_peak_rss_mib=%.1f\n", Median(peak));
  return 0;
}
