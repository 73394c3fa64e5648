#include "platform/RegistryFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <optional>
#include <set>

#include "platform/Diagnostics.h"
#include "platform/RegistryText.h"

namespace {

// Far beyond anything Kestrel writes; a larger file is not ours.
constexpr off_t kMaxFileSize = 16 << 20;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : m_fd(fd) {}
  ~FileDescriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return m_fd; }
  int release() {
    int fd = m_fd;
    m_fd = -1;
    return fd;
  }

 private:
  int m_fd;
};

// Settings are read and written many times a session: each distinct failure is told once, and
// again only after a write went through.
std::mutex g_reportedMutex;
std::set<std::string> g_reported;

bool Report(const std::string& path, const std::string& step, const std::string& why) {
  const std::string line = "settings file " + path + ": " + step + " failed: " + why;
  {
    std::lock_guard<std::mutex> lock(g_reportedMutex);
    if (!g_reported.insert(line).second) return false;
  }
  ReportFailure(line);
  return false;
}

bool ReportErrno(const std::string& path, const std::string& step) {
  return Report(path, step, ErrnoText(errno));
}

void ForgetReports() {
  std::lock_guard<std::mutex> lock(g_reportedMutex);
  g_reported.clear();
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool MakeFolders(const std::string& folder) {
  if (folder.empty() || Exists(folder)) return !folder.empty();
  size_t slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash))) return false;
  return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

bool SyncFolder(const std::string& folder) {
  FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}

// What identifies one version of the file: a writer replaces it (new inode), an editor changes
// its size or times.
struct Stamp {
  dev_t dev;
  ino_t ino;
  off_t size;
  timespec mtime, ctime;
  bool operator==(const Stamp& o) const {
    return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
           ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

Stamp StampOf(const struct stat& st) {
  return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

// File times tick coarsely: a file changed within this many seconds of being read may change
// again without its stamp showing it, so it is read again next time.
constexpr time_t kRacySeconds = 2;

// The file as last read or written, so unchanged files are parsed once.
struct Cached {
  std::string path;
  Stamp stamp;
  RegistryTree tree;
};
std::mutex g_cacheMutex;
std::optional<Cached> g_cache;

bool FromCache(const std::string& path, const Stamp& stamp, RegistryTree& tree) {
  std::lock_guard<std::mutex> lock(g_cacheMutex);
  if (!g_cache || g_cache->path != path || !(g_cache->stamp == stamp)) return false;
  tree = g_cache->tree;
  return true;
}

void Remember(const std::string& path, const Stamp& stamp, const RegistryTree& tree) {
  std::lock_guard<std::mutex> lock(g_cacheMutex);
  g_cache = Cached{path, stamp, tree};
}

void Forget() {
  std::lock_guard<std::mutex> lock(g_cacheMutex);
  g_cache.reset();
}

bool IsRacy(const struct stat& st) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return st.st_mtim.tv_sec + kRacySeconds >= now.tv_sec;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
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
    const std::string next(target, size_t(n));
    file = next[0] == '/' ? next : FolderOf(file) + "/" + next;
  }
  errno = ELOOP;
  return false;
}

}  // namespace

std::string RegistryFile::Folder() const {
  return FolderOf(m_path);
}

RegistryFile::State RegistryFile::Load(RegistryTree& tree) const {
  tree = RegistryTree();
  struct stat st;
  if (::stat(m_path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return State::Missing;
  } else if (FromCache(m_path, StampOf(st), tree)) {
    return State::Good;
  }
  Forget();
  FileDescriptor fd(::open(m_path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return State::Missing;
    ReportErrno(m_path, "read");
    return State::Bad;
  }
  if (::fstat(fd.get(), &st) != 0) return ReportErrno(m_path, "read"), State::Bad;
  if (!S_ISREG(st.st_mode) || st.st_size > kMaxFileSize)
    return Report(m_path, "read", "not a regular file of at most 16 MiB; defaults used"), State::Bad;
  std::string text;
  char buf[8192];
  for (;;) {
    ssize_t n = ::read(fd.get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ReportErrno(m_path, "read"), State::Bad;
    if (n == 0) break;
    text.append(buf, size_t(n));
    if (text.size() > size_t(kMaxFileSize))
      return Report(m_path, "read", "larger than 16 MiB; defaults used"), State::Bad;
  }
  if (!ParseRegistryText(text, tree)) {
    tree = RegistryTree();
    Report(m_path, "read", "not in the registry export format; defaults used, the next write moves it aside");
    return State::Bad;
  }
  if (!IsRacy(st)) Remember(m_path, StampOf(st), tree);
  return State::Good;
}

bool RegistryFile::IsWritable() const {
  if (m_path.empty()) return Report("(none)", "locate", "neither XDG_CONFIG_HOME nor HOME is set");
  std::string file;
  if (!FileBehindLinks(m_path, file)) return ReportErrno(m_path, "follow link");
  std::string folder = FolderOf(file);
  while (!Exists(folder)) {
    size_t slash = folder.find_last_of('/');
    if (slash == std::string::npos) return Report(m_path, "write access", "no folder of its path exists");
    folder = slash == 0 ? "/" : folder.substr(0, slash);
  }
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
    return ReportErrno(m_path, "write access to folder " + folder);
  if (Exists(file) && ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0)
    return ReportErrno(m_path, "write access");
  return true;
}

bool RegistryFile::MoveAside(const std::string& file) const {
  char stamp[32];
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  for (int n = 0; n < 1000; ++n) {
    std::string target = file + ".bad-" + stamp;
    if (n) target.append(1, '-').append(std::to_string(n));
    if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EEXIST) continue;
    if (errno != EINVAL && errno != ENOSYS) return ReportErrno(m_path, "move aside to " + target);
    // No RENAME_NOREPLACE here: every writer holds the lock, so look, then move.
    if (Exists(target)) continue;
    return ::rename(file.c_str(), target.c_str()) == 0 || ReportErrno(m_path, "move aside to " + target);
  }
  return Report(m_path, "move aside", "every name is taken");
}

bool RegistryFile::WriteReplacing(const std::string& file, const std::string& text) const {
  std::string temp = file + ".tmp";
  ::unlink(temp.c_str());  // a crashed writer's leftover
  FileDescriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (fd.get() < 0) return ReportErrno(m_path, "create " + temp);
  struct stat old;
  if (::stat(file.c_str(), &old) == 0) ::fchmod(fd.get(), old.st_mode & 07777);
  const char* step = nullptr;
  if (!WriteAll(fd.get(), text))
    step = "write";
  else if (::fsync(fd.get()) != 0)
    step = "flush";
  if (::close(fd.release()) != 0 && !step) step = "close";
  if (!step && ::rename(temp.c_str(), file.c_str()) != 0) step = "rename";
  if (step) {
    const int error = errno;
    ::unlink(temp.c_str());
    return Report(m_path, std::string(step) + " " + temp, ErrnoText(error));
  }
  return SyncFolder(FolderOf(file)) || ReportErrno(m_path, "flush folder " + FolderOf(file));
}

bool RegistryFile::Update(const std::function<bool(RegistryTree&)>& change) const {
  // A change the file already holds is on disk: no lock, no write.
  {
    RegistryTree tree;
    if (Load(tree) == State::Good && !change(tree)) return true;
  }
  // A read-only file counts as read-only even though its folder would let a rename replace it.
  if (!IsWritable()) return false;
  if (!MakeFolders(Folder())) return ReportErrno(m_path, "create folder " + Folder());
  std::string lockPath = m_path + ".lock";
  int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lockFd < 0) lockFd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
  FileDescriptor lock(lockFd);  // held until the new file is in place
  if (lock.get() < 0) return ReportErrno(m_path, "open lock file " + lockPath);
  while (::flock(lock.get(), LOCK_EX) != 0)
    if (errno != EINTR) return ReportErrno(m_path, "lock " + lockPath);

  RegistryTree tree;
  State state = Load(tree);
  if (!change(tree)) return true;
  std::string file;
  if (!FileBehindLinks(m_path, file)) return ReportErrno(m_path, "follow link");
  if (file != m_path && !MakeFolders(FolderOf(file)))
    return ReportErrno(m_path, "create folder " + FolderOf(file));
  if (state == State::Bad && !MoveAside(file)) return false;
  Forget();
  if (!WriteReplacing(file, FormatRegistryText(tree))) return false;
  // Written under the lock, so this is exactly what the file holds; any later writer replaces
  // the file and with it the stamp.
  struct stat st;
  if (::stat(m_path.c_str(), &st) == 0) Remember(m_path, StampOf(st), tree);
  ForgetReports();
  return true;
}
