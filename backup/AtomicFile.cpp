#include "AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>  // renameat2

namespace {

constexpr std::string_view kTag = ".zarvo-save-";
constexpr std::size_t kRandomLength = 6;
constexpr int kNameTries = 100;
constexpr int kLinkLevels = 40;

bool IsAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A descriptor closed on every way out.
class TFd {
 public:
  explicit TFd(int fd = -1) : fd_(fd) {}
  ~TFd() { Reset(); }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return fd_; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

int Errno(int fallback = EIO) { return errno ? errno : fallback; }

template <class F>
int Retried(F call) {
  int r;
  do {
    r = call();
  } while (r < 0 && errno == EINTR);
  return r;
}

// Fresh from the kernel for every name: a generator's state would be shared by forks.
std::string RandomName(const std::string& base) {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[kRandomLength] = {};
  std::size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
    } else if (errno != EINTR) {
      // No entropy source: the clock, the process and a count still vary the name, and
      // a name that exists is simply tried again.
      static std::atomic<unsigned long long> count{0};
      unsigned long long mix = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                               (static_cast<unsigned long long>(::getpid()) << 32) ^ (++count * 0x9E3779B97F4A7C15ull);
      for (std::size_t i = got; i < sizeof bytes; ++i, mix >>= 8) bytes[i] = static_cast<unsigned char>(mix);
      break;
    }
  }
  std::string name = "." + base + std::string(kTag);
  for (unsigned char b : bytes) name += kChars[b % (sizeof kChars - 1)];
  return name;
}

// The file a path stands for once symbolic links are followed; a dangling link gives
// the path of the file it would create.
int ResolveLinks(std::string& path) {
  for (int level = 0; level < kLinkLevels; ++level) {
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
    std::string target(4096, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n < 0) return Errno();
    if (static_cast<std::size_t>(n) >= target.size()) return ENAMETOOLONG;
    target.resize(static_cast<std::size_t>(n));
    if (target.empty() || target[0] != '/') {
      const std::size_t slash = path.rfind('/');
      target = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + target;
    }
    path = target;
  }
  return ELOOP;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Whether the name in the folder still is the open file.
bool NameIsFile(int dir, const std::string& name, int fd) {
  struct stat byName{}, byFd{};
  return ::fstatat(dir, name.c_str(), &byName, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &byFd) == 0 &&
         SameFile(byName, byFd);
}

int WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t n = ::write(fd, content.data(), content.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? Errno() : EIO;
    content.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

// Content on the disk and the permission bits as they will stay.
int Finish(int fd, std::string_view content, const mode_t* keepMode) {
  if (const int e = WriteAll(fd, content)) return e;
  if (Retried([&] { return ::fsync(fd); }) != 0 && errno != EINVAL && errno != EROFS) return Errno();
  // Best effort: FAT and some shares keep no such bits, and the content is what counts.
  if (keepMode) (void)::fchmod(fd, *keepMode);
  return 0;
}

// An unnamed file, written, then linked under a fresh temporary name while locked; -1
// when the file system has no unnamed files (or /proc is missing), to try a named one.
int WriteUnnamed(int dir, const std::string& base, std::string_view content, const mode_t* keepMode,
                 TFd& file, std::string& name) {
  file.Reset(Retried([&] { return ::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, keepMode ? 0600 : 0666); }));
  if (file.Get() < 0) {
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL || errno == ENOENT) return -1;
    return Errno();
  }
  // No one else can hold a file without a name; where the file system has no locks the
  // cleaners cannot lock either, and so leave every file alone.
  Retried([&] { return ::flock(file.Get(), LOCK_EX | LOCK_NB); });
  if (const int e = Finish(file.Get(), content, keepMode)) return e;
  const std::string self = "/proc/self/fd/" + std::to_string(file.Get());
  for (int i = 0; i < kNameTries; ++i) {
    name = RandomName(base);
    if (::linkat(AT_FDCWD, self.c_str(), dir, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    if (errno != EEXIST) {
      name.clear();
      return errno == ENOENT ? -1 : Errno();
    }
  }
  name.clear();
  return EEXIST;
}

// A file created under a fresh temporary name, locked and then checked to be still the
// file of that name: a cleaner in another process may have taken it in between.
int WriteNamed(int dir, const std::string& base, std::string_view content, const mode_t* keepMode, TFd& file,
               std::string& name) {
  for (int i = 0; i < kNameTries; ++i) {
    name = RandomName(base);
    file.Reset(Retried([&] {
      return ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, keepMode ? 0600 : 0666);
    }));
    if (file.Get() < 0) {
      if (errno == EEXIST) continue;
      name.clear();
      return Errno();
    }
    // Refused only while a cleaner holds it, which then removes it; and the name must
    // still be this file, in case a cleaner removed it before the lock was ours.
    const bool refused = Retried([&] { return ::flock(file.Get(), LOCK_EX | LOCK_NB); }) != 0 && errno == EWOULDBLOCK;
    if (!refused && NameIsFile(dir, name, file.Get())) return Finish(file.Get(), content, keepMode);
    file.Reset();
  }
  name.clear();
  return EEXIST;
}

int RemoveStaleIn(int dir) {
  const int listFd = ::dup(dir);
  if (listFd < 0) return 0;
  DIR* list = ::fdopendir(listFd);
  if (!list) {
    ::close(listFd);
    return 0;
  }
  int removed = 0;
  while (const dirent* entry = ::readdir(list)) {
    const std::string name = entry->d_name;
    if (!IsSaveTemporaryName(name)) continue;
    TFd fd(Retried([&] { return ::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); }));
    struct stat st{};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
    // Locked: a save is writing it. Unlocked and still under its name: left by a save
    // that was killed, since a live save keeps its lock until the file is renamed.
    if (Retried([&] { return ::flock(fd.Get(), LOCK_EX | LOCK_NB); }) != 0) continue;
    if (!NameIsFile(dir, name, fd.Get())) continue;
    if (::unlinkat(dir, name.c_str(), 0) == 0) ++removed;
  }
  ::closedir(list);
  return removed;
}

// Gives the written file its name: over an existing file, or only while the name is free.
int Publish(int dir, const std::string& name, const std::string& base, bool replace) {
  if (replace) return ::renameat(dir, name.c_str(), dir, base.c_str()) == 0 ? 0 : Errno();
  if (::renameat2(dir, name.c_str(), dir, base.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return Errno();
  // A file system without that flag: a second link to the file fails as well when the
  // name is taken.
  if (::linkat(dir, name.c_str(), dir, base.c_str(), 0) == 0) {
    ::unlinkat(dir, name.c_str(), 0);
    return 0;
  }
  if (errno != EPERM && errno != EOPNOTSUPP) return Errno();
  // Nor hard links (FAT): the name is looked at last thing before the rename.
  struct stat st{};
  if (::fstatat(dir, base.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
  return ::renameat(dir, name.c_str(), dir, base.c_str()) == 0 ? 0 : Errno();
}

int WriteFileContent(const std::string& path, std::string_view content, bool replace) {
  std::string target = path;
  if (const int e = ResolveLinks(target)) return e;
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  if (base.empty()) return EISDIR;

  struct stat st{};
  mode_t mode = 0;
  const mode_t* keepMode = nullptr;
  if (::stat(target.c_str(), &st) == 0) {
    if (!replace) return EEXIST;
    if (!S_ISREG(st.st_mode)) return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (::access(target.c_str(), W_OK) != 0) return Errno(EACCES);
    mode = st.st_mode & 07777;
    keepMode = &mode;
  } else if (errno != ENOENT) {
    return Errno();
  }

  TFd dir(Retried([&] { return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
  if (dir.Get() < 0) return Errno();
  RemoveStaleIn(dir.Get());

  TFd file;
  std::string name;
  int error = WriteUnnamed(dir.Get(), base, content, keepMode, file, name);
  if (error < 0) error = WriteNamed(dir.Get(), base, content, keepMode, file, name);
  if (error == 0) error = Publish(dir.Get(), name, base, replace);
  if (error != 0) {
    if (!name.empty()) ::unlinkat(dir.Get(), name.c_str(), 0);
    return error;
  }
  // The new name made durable; best effort, the content itself is already on the disk.
  Retried([&] { return ::fsync(dir.Get()); });
  return 0;
}

}  // namespace

bool IsSaveTemporaryName(std::string_view fileName) {
  if (fileName.size() < 2 + kTag.size() + kRandomLength || fileName[0] != '.') return false;
  const std::string_view tail = fileName.substr(fileName.size() - kRandomLength);
  for (char c : tail)
    if (!IsAlnum(c)) return false;
  return fileName.substr(fileName.size() - kRandomLength - kTag.size(), kTag.size()) == kTag;
}

int RemoveStaleSaveFiles(const std::string& folder) {
  TFd dir(Retried([&] { return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
  return dir.Get() < 0 ? 0 : RemoveStaleIn(dir.Get());
}

int ReplaceFileContent(const std::string& path, std::string_view content) {
  return WriteFileContent(path, content, /*replace=*/true);
}

int CreateFileContent(const std::string& path, std::string_view content) {
  return WriteFileContent(path, content, /*replace=*/false);
}
