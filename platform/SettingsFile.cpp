#include "platform/SettingsFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "platform/Diagnostics.h"

namespace {

// Far beyond anything Kestrel writes; a larger file is not ours.
constexpr size_t kMaxFileSize = 16 << 20;
// File times tick coarsely: a file changed within this many seconds of being read may change
// again without its stamp showing it, so it is read again next time.
constexpr time_t kRacySeconds = 2;

// Closes its descriptor when it goes.
struct Descriptor {
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
  int fd;
};

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool MakeFolders(const std::string& folder) {
  if (folder.empty() || Exists(folder)) return !folder.empty();
  const size_t slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash))) return false;
  return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// The file a chain of symbolic links ends at (path itself when it is none), so a write replaces
// the file the user linked to and keeps the link. False for a loop or an unreadable link.
bool FileBehindLinks(const std::string& path, std::string& file) {
  file = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(file.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR;
    if (!S_ISLNK(st.st_mode)) return true;
    char target[4096];
    const ssize_t n = ::readlink(file.c_str(), target, sizeof target);
    if (n < 0 || size_t(n) >= sizeof target) return false;
    file = target[0] == '/' ? std::string(target, size_t(n))
                            : FolderOf(file) + "/" + std::string(target, size_t(n));
  }
  errno = ELOOP;
  return false;
}

// What identifies one version of the file: a writer replaces it (new inode), an editor changes its
// size or times.
std::array<long long, 7> StampOf(const struct stat& st) {
  return {(long long)st.st_dev, (long long)st.st_ino, st.st_size,        st.st_mtim.tv_sec,
          st.st_mtim.tv_nsec,   st.st_ctim.tv_sec,    st.st_ctim.tv_nsec};
}

// The whole of an open file in bytes; why it could not be read, or "".
std::string ReadAll(int fd, struct stat& st, std::string& bytes) {
  if (fd < 0 || ::fstat(fd, &st) != 0) return ErrnoText(errno);
  if (!S_ISREG(st.st_mode) || size_t(st.st_size) > kMaxFileSize)
    return "not a regular file of at most 16 MiB; defaults used";
  char buf[8192];
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ErrnoText(errno);
    bytes.append(buf, size_t(n));
    if (bytes.size() > kMaxFileSize) return "larger than 16 MiB; defaults used";
  }
  return "";
}

}  // namespace

SettingsFile& SettingsFile::Shared() {
  static SettingsFile store;
  return store;
}

std::string SettingsFile::Path() {
  std::lock_guard lock(m_mutex);
  if (!m_path.empty()) return m_path;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  const passwd* pw = nullptr;
  if (xdg && xdg[0] == '/') return std::string(xdg) + "/Harrow/Kestrel.reg";  // a relative one is ignored
  if (home && home[0]) return std::string(home) + "/.config/Harrow/Kestrel.reg";
  if ((pw = ::getpwuid(::geteuid())) && pw->pw_dir && pw->pw_dir[0])
    return std::string(pw->pw_dir) + "/.config/Harrow/Kestrel.reg";
  return "";
}

void SettingsFile::SetPath(const std::string& path) {
  std::lock_guard lock(m_mutex);
  m_path = path;
}

SettingsText SettingsFile::Read() {
  std::lock_guard lock(m_mutex);
  SettingsText text;
  Load(text);
  for (const Held& held : m_held) text.Apply(held.first, held.second);
  return text;
}

bool SettingsFile::Write(const std::string& key, const std::vector<SettingChange>& changes) {
  std::lock_guard lock(m_mutex);
  for (const SettingChange& change : changes)
    if (std::any_of(change.name.begin(), change.name.end(),
                    [](char c) { return uint8_t(c) < 0x20 || c == 0x7f; }))
      return false;
  std::vector<Held> update{{key, std::nullopt}};
  for (const SettingChange& change : changes) update.push_back({key, change});
  if (!m_holding) return Update(update);
  m_held.insert(m_held.end(), update.begin(), update.end());
  return true;
}

void SettingsFile::Hold() {
  std::lock_guard lock(m_mutex);
  m_holding = true;
}

bool SettingsFile::Release() {
  std::lock_guard lock(m_mutex);
  std::vector<Held> held;
  held.swap(m_held);
  m_holding = false;
  return held.empty() || Update(held);
}

bool SettingsFile::Report(const std::string& step, const std::string& why) {
  const std::string path = Path();
  const std::string line =
      "settings file " + (path.empty() ? "(none)" : path) + ": " + step + " failed: " + why;
  if (std::find(m_reported.begin(), m_reported.end(), line) != m_reported.end()) return false;
  m_reported.push_back(line);  // told once, and again only after a write went through
  ReportFailure(line);
  return false;
}

bool SettingsFile::ReportErrno(const std::string& step) {
  return Report(step, ErrnoText(errno));
}

void SettingsFile::Remember(const std::string& path, const struct stat& st, const SettingsText& text) {
  m_cachedPath = path;
  m_stamp = StampOf(st);
  m_cached = text;
}

SettingsFile::State SettingsFile::Load(SettingsText& text) {
  const std::string path = Path();
  struct stat st;
  text = SettingsText();
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return State::Missing;
  } else if (m_cachedPath == path && m_stamp == StampOf(st)) {
    text = m_cached;
    return State::Good;
  }
  m_cachedPath.clear();
  Descriptor fd{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (fd.fd < 0 && (errno == ENOENT || errno == ENOTDIR)) return State::Missing;
  std::string bytes;
  std::string why = ReadAll(fd.fd, st, bytes);
  if (why.empty() && !text.Parse(bytes))
    why = "not in the registry export format; defaults used, the next write moves it aside";
  if (!why.empty()) {
    Report("read", why);
    return State::Bad;
  }
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  if (st.st_mtim.tv_sec + kRacySeconds < now.tv_sec) Remember(path, st, text);
  return State::Good;
}

bool SettingsFile::IsWritable() {
  std::lock_guard lock(m_mutex);
  const std::string path = Path();
  if (path.empty()) return Report("locate", "neither XDG_CONFIG_HOME nor HOME is set");
  std::string file;
  if (!FileBehindLinks(path, file)) return ReportErrno("follow link");
  std::string folder = FolderOf(file);
  while (!Exists(folder)) {
    if (folder.find('/') == std::string::npos) return Report("write access", "no folder of its path exists");
    folder = FolderOf(folder);
  }
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
    return ReportErrno("write access to folder " + folder);
  if (Exists(file) && ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0)
    return ReportErrno("write access");
  return true;
}

bool SettingsFile::MoveAside(const std::string& file) {
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  // Every writer holds the lock, so a name seen free stays free.
  for (int n = 0; n < 1000; ++n) {
    const std::string target = file + ".bad-" + stamp + (n ? "-" + std::to_string(n) : "");
    if (!Exists(target))
      return ::rename(file.c_str(), target.c_str()) == 0 || ReportErrno("move aside to " + target);
  }
  return Report("move aside", "every name is taken");
}

bool SettingsFile::WriteReplacing(const std::string& file, const std::string& text) {
  const std::string temp = file + ".tmp";
  ::unlink(temp.c_str());  // a crashed writer's leftover
  Descriptor fd{::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)};
  if (fd.fd < 0) return ReportErrno("create " + temp);
  struct stat old;
  if (::stat(file.c_str(), &old) == 0) ::fchmod(fd.fd, old.st_mode & 07777);
  const char* step = nullptr;
  for (size_t done = 0; !step && done < text.size();) {
    const ssize_t n = ::write(fd.fd, text.data() + done, text.size() - done);
    if (n > 0) done += size_t(n);
    if (n == 0 || (n < 0 && errno != EINTR)) step = "write";
  }
  if (!step && ::fsync(fd.fd) != 0) step = "flush";
  if (::close(std::exchange(fd.fd, -1)) != 0 && !step) step = "close";
  if (!step && ::rename(temp.c_str(), file.c_str()) != 0) step = "rename";
  if (step) {
    const int error = errno;
    ::unlink(temp.c_str());
    return Report(std::string(step) + " " + temp, ErrnoText(error));
  }
  Descriptor folder{::open(FolderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  return (folder.fd >= 0 && ::fsync(folder.fd) == 0) || ReportErrno("flush folder " + FolderOf(file));
}

bool SettingsFile::Update(const std::vector<Held>& changes) {
  auto apply = [&](SettingsText& text) {
    bool changed = false;
    for (const Held& held : changes) changed |= text.Apply(held.first, held.second);
    return changed;
  };
  // A change the file already holds is on disk: no lock, no write.
  SettingsText text;
  if (Load(text) == State::Good && !apply(text)) return true;
  // A read-only file counts as read-only even though its folder would let a rename replace it.
  if (!IsWritable()) return false;
  const std::string path = Path();
  if (!MakeFolders(FolderOf(path))) return ReportErrno("create folder " + FolderOf(path));
  const std::string lockPath = path + ".lock";
  int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lockFd < 0) lockFd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
  Descriptor lock{lockFd};  // held until the new file is in place
  if (lock.fd < 0) return ReportErrno("open lock file " + lockPath);
  while (::flock(lock.fd, LOCK_EX) != 0)
    if (errno != EINTR) return ReportErrno("lock " + lockPath);

  const State state = Load(text);
  if (!apply(text)) return true;
  std::string file;
  if (!FileBehindLinks(path, file)) return ReportErrno("follow link");
  if (file != path && !MakeFolders(FolderOf(file))) return ReportErrno("create folder " + FolderOf(file));
  if (state == State::Bad && !MoveAside(file)) return false;
  m_cachedPath.clear();
  if (!WriteReplacing(file, text.Format())) return false;
  // Written under the lock, so this is exactly what the file holds; any later writer replaces the
  // file and with it the stamp.
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) Remember(path, st, text);
  m_reported.clear();
  return true;
}
