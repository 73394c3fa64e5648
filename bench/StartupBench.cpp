// Start-up of the real program on an X server: from the fork to the moment its window is mapped,
// with the splash screen aside (the settings say "start hidden", and a bare X server has no
// notification area, so the window comes up at once). Then ends it with SIGTERM and reads its
// peak memory. Prints name=value lines.
//   startup_bench KESTREL_BINARY SETTINGS_DIR [ROUNDS]     (DISPLAY must name the X server)
#include <X11/Xlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const char kSettings[] =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel]\r\n"
    "\"Version\"=dword:0000004b\r\n"
    "\"STARTMINIMIZED\"=dword:00000001\r\n";

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: startup_bench KESTREL_BINARY SETTINGS_DIR [ROUNDS]\n");
    return 2;
  }
  const std::string binary = argv[1];
  const std::string config = argv[2];
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 9;
  std::system(("mkdir -p '" + config + "/Harrow'").c_str());

  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "startup_bench: no X display\n");
    return 1;
  }
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);

  std::vector<double> startup, memory;
  for (int i = 0; i <= rounds; ++i) {  // round 0 fills the file caches and is not counted
    std::ofstream(config + "/Harrow/Kestrel.reg", std::ios::binary) << kSettings;
    XSync(display, True);  // drop what earlier rounds left
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      setenv("XDG_CONFIG_HOME", config.c_str(), 1);
      unsetenv("QT_QPA_PLATFORM");
      execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    double mapped = -1;
    while (mapped < 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type != MapNotify || event.xmap.override_redirect) continue;
      mapped = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
    usleep(300 * 1000);  // let it settle into its event loop
    kill(pid, SIGTERM);
    int status = 0;
    rusage usage = {};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "startup_bench: kestrel ended with status %d\n", status);
      return 1;
    }
    if (i == 0) continue;
    startup.push_back(mapped);
    memory.push_back(usage.ru_maxrss / 1024.0);
  }
  XCloseDisplay(display);
  std::printf("startup_to_window_ms=%.1f\n", Median(startup));
  std::printf("kestrel_idle_peak_rss_mib=%.1f\n", Median(memory));
  return 0;
}
