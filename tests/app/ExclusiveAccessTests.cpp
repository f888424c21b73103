// The program opens only the device the user chose, holds it exclusively, and writes
// files only where the user said: properties of the whole program, checked on the real
// windows offscreen against simulated phones.
//
// Devices: the test's own descriptors in /proc/self/fd before, during and after a read.
// Exclusivity: a second serial component in this process, and other processes (forks
// that open the device the way ZARVO does, as root and as an ordinary user). Files: the
// listings of the target's folder and of private HOME, XDG and TMPDIR folders before and
// after, and, where the kernel lets root watch whole file systems (fanotify), every file
// this process writes to anywhere while it reads the phone and saves.
#include <fcntl.h>
#include <poll.h>
#include <sys/fanotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "AppHarness.h"
#include "Main.h"
#include "PhoneSimulator.h"
#include "Progress.h"
#include "SerialDevice.h"
#include "TestSupport.h"
#include "When.h"
#include "VaComm.h"

namespace {

// A private home: HOME, the XDG folders (the port map among them) and TMPDIR.
class THome {
 public:
  THome() {
    for (const char* sub : {"home", "config/zarvo/ports", "data", "cache", "state", "runtime", "tmp", "documents"})
      QDir(root_.path()).mkpath(QString::fromLatin1(sub));
    ::chmod(Path("runtime").toLocal8Bit().constData(), 0700);
    const std::pair<const char*, const char*> vars[] = {
        {"HOME", "home"},           {"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"},
        {"XDG_CACHE_HOME", "cache"}, {"XDG_STATE_HOME", "state"},   {"XDG_RUNTIME_DIR", "runtime"},
        {"TMPDIR", "tmp"}};
    for (const auto& [name, sub] : vars) env_.push_back(std::make_unique<TEnv>(name, Path(sub).toLocal8Bit()));
  }
  QString Path(const char* sub) const { return root_.filePath(QString::fromLatin1(sub)); }
  std::string Port(int n) const { return Path("config/zarvo/ports").toStdString() + "/COM" + std::to_string(n); }

 private:
  QTemporaryDir root_;
  std::vector<std::unique_ptr<TEnv>> env_;
};

TSimOptions OnPort(const THome& home, int port) {
  TSimOptions o;
  o.LinkPath = home.Port(port);
  return o;
}

// The application's windows, closed at the end as a person would close them.
struct TClosingApp : TApp {
  ~TClosingApp() { Main.close(); }
};

std::string RealPath(const std::string& path) {
  char buffer[PATH_MAX];
  return ::realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

// This process's descriptors on anything under /dev, by number.
std::map<int, std::string> DeviceDescriptors() {
  std::map<int, std::string> out;
  QDir fds(QStringLiteral("/proc/self/fd"));
  for (const QString& entry : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
    char target[PATH_MAX];
    const std::string link = "/proc/self/fd/" + entry.toStdString();
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    const std::string path(target, static_cast<std::size_t>(n));
    if (path.rfind("/dev/", 0) == 0) out[entry.toInt()] = path;
  }
  return out;
}

// The descriptors in now that were not there (the same) in before.
std::vector<std::string> Added(const std::map<int, std::string>& before, const std::map<int, std::string>& now) {
  std::vector<std::string> out;
  for (const auto& [fd, path] : now) {
    const auto it = before.find(fd);
    if (it == before.end() || it->second != path) out.push_back(path);
  }
  return out;
}

// Another process opening the device as ZARVO does (TSerialDevice::Open: exclusive,
// with the lock), optionally as the user "nobody": 0 when it got the device, else the
// errno. Only system calls run in the child.
int OpenInAnotherProcess(const std::string& path, bool asNobody) {
  return RunInChild([&] {
    if (asNobody && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 250;
    TSerialDevice device;
    const int error = device.Open(path);
    return error > 249 ? 249 : error;
  });
}

// Every file of the folder, recursively, with its size and change time.
std::map<QString, QString> Listing(const QString& folder) {
  std::map<QString, QString> out;
  QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    it.next();
    const QFileInfo info = it.fileInfo();
    // A port link by where it points: its target's times change with every byte.
    out[info.filePath()] = info.isSymLink() ? QStringLiteral("-> ") + info.symLinkTarget()
                                            : QString::number(info.size()) + QLatin1Char('@') +
                                                  QString::number(info.lastModified().toMSecsSinceEpoch());
  }
  return out;
}

// The files this process writes anywhere, seen by fanotify on every file system the
// given folders are on. Unavailable (Available() false) without the right to watch.
class TWriteWatch {
 public:
  explicit TWriteWatch(const std::vector<std::string>& folders) {
    fd_ = ::fanotify_init(FAN_CLASS_NOTIF | FAN_CLOEXEC | FAN_NONBLOCK | FAN_UNLIMITED_QUEUE, O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
      Why = "fanotify_init: " + SystemErrorText(errno);
      return;
    }
    std::set<dev_t> marked;
    for (const std::string& folder : folders) {
      struct stat st{};
      if (::stat(folder.c_str(), &st) != 0 || !marked.insert(st.st_dev).second) continue;
      if (::fanotify_mark(fd_, FAN_MARK_ADD | FAN_MARK_FILESYSTEM, FAN_MODIFY | FAN_CLOSE_WRITE, AT_FDCWD,
                          folder.c_str()) != 0) {
        Why = "fanotify_mark " + folder + ": " + SystemErrorText(errno);
        ::close(fd_);
        fd_ = -1;
        return;
      }
    }
    available_ = true;
    reader_ = std::thread([this] { Run(); });
  }
  ~TWriteWatch() { Stop(); }
  bool Available() const { return available_; }
  std::string Why;  // when not available
  // Stops watching; the files written by this process since the start, by the path
  // their descriptor had and their inode.
  std::map<std::string, ino_t> Stop() {
    if (reader_.joinable()) {
      stop_ = true;
      reader_.join();
    }
    if (fd_ >= 0) {
      Drain();
      ::close(fd_);
      fd_ = -1;
    }
    std::lock_guard lock(mutex_);
    return written_;
  }

 private:
  void Run() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) > 0) Drain();
    }
  }
  void Drain() {
    alignas(fanotify_event_metadata) char buffer[64 * 1024];
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) return;
      auto* event = reinterpret_cast<fanotify_event_metadata*>(buffer);
      ssize_t left = n;
      while (FAN_EVENT_OK(event, left)) {
        if (event->fd >= 0) {
          if (event->pid == ::getpid()) {
            char target[PATH_MAX];
            const std::string link = "/proc/self/fd/" + std::to_string(event->fd);
            const ssize_t k = ::readlink(link.c_str(), target, sizeof target - 1);
            struct stat st{};
            ::fstat(event->fd, &st);
            std::lock_guard lock(mutex_);
            written_[k > 0 ? std::string(target, static_cast<std::size_t>(k)) : "?"] = st.st_ino;
          }
          ::close(event->fd);
        }
        event = FAN_EVENT_NEXT(event, left);
      }
    }
  }

  int fd_ = -1;
  bool available_ = false;
  std::atomic<bool> stop_{false};
  std::thread reader_;
  std::mutex mutex_;
  std::map<std::string, ino_t> written_;
};

class ExclusiveAccess : public ::testing::Test {
 protected:
  void SetUp() override { QApplication::setQuitOnLastWindowClosed(false); }
  THome home;
};

// A plain open of the device by an ordinary user's process, without the lock: 0 when
// it got the device, else the errno.
int PlainOpenAsNobody(const std::string& path) {
  return RunInChild([&] {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 250;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    return fd >= 0 ? 0 : (errno > 249 ? 249 : errno);
  });
}

TEST_F(ExclusiveAccess, ReadOpensOnlyTheChosenDeviceAndHoldsItAlone) {
  TPhoneSimulator phone(TSimContent::Sample(), OnPort(home, 4));
  TPhoneSimulator decoy(TSimContent::Sample(), OnPort(home, 5));
  const std::string device = RealPath(phone.SlavePath());
  const bool root = ::geteuid() == 0;
  // As root the probes also run as the user "nobody", who may open the line but for
  // ZARVO's exclusive hold.
  if (root) {
    ASSERT_EQ(::chmod(device.c_str(), 0666), 0);
  }
  const std::map<int, std::string> before = DeviceDescriptors();

  // The probes that get no descriptor come first: the simulated line, unlike a real
  // one, leaves exclusive mode whenever any other opener closes it again.
  std::vector<std::string> during;
  int otherProcessDuring = -1;
  {
    TClosingApp app;
    TWhen mid([&] { return phone.Commands().size() >= 6; },
              [&] {
                during = Added(before, DeviceDescriptors());
                otherProcessDuring = root ? OpenInAnotherProcess(device, true) : OpenInAnotherProcess(device, false);
              },
              2);
    app.Read(4);
    ASSERT_EQ(app.Dialogs.Texts(), std::vector<QString>{});
    ASSERT_TRUE(mid.Done());
    // During the read and after it, while the port stays open for the next one: one
    // descriptor on the chosen line and nothing else under /dev.
    EXPECT_EQ(during, std::vector<std::string>{device});
    EXPECT_EQ(Added(before, DeviceDescriptors()), std::vector<std::string>{device});
    EXPECT_TRUE(decoy.Commands().empty()) << "a port that was not chosen was spoken to";

    // Held alone: another process opening it the way ZARVO does (an ordinary user's is
    // refused at the open by the exclusive mode, root's by the lock), a plain open by
    // an ordinary user, and another serial component of this process.
    EXPECT_EQ(otherProcessDuring, EBUSY);
    if (root) {
      EXPECT_EQ(PlainOpenAsNobody(device), EBUSY);
      EXPECT_EQ(OpenInAnotherProcess(device, true), EBUSY);
    }
    EXPECT_EQ(OpenInAnotherProcess(device, false), EBUSY);
    TVaComm other;
    other.SetPortNum(4);
    std::string message;
    try {
      other.Open();
    } catch (const EVaCommError& e) {
      message = e.what();
    }
    EXPECT_FALSE(other.IsOpen());
    EXPECT_NE(message.find("COM4 at " + home.Port(4)), std::string::npos) << message;
    EXPECT_NE(message.find(SystemErrorText(EBUSY)), std::string::npos) << message;
    // The refused openers changed nothing for the holder: the next read goes through.
    app.Read(4);
    EXPECT_EQ(app.Dialogs.Texts(), std::vector<QString>{});
  }
  // The window closed: the device is released and opens for others again, which shows
  // that the refusals above were ZARVO's hold and not the device.
  EXPECT_EQ(Added(before, DeviceDescriptors()), std::vector<std::string>{});
  EXPECT_EQ(OpenInAnotherProcess(device, false), 0);
  if (root) {
    EXPECT_EQ(PlainOpenAsNobody(device), 0);
  }
}

TEST_F(ExclusiveAccess, ReadAndSaveWriteNothingButTheChosenFile) {
  TPhoneSimulator phone(TSimContent::Sample(), OnPort(home, 4));
  const QDir documents(home.Path("documents"));
  const QString keep = documents.filePath(QStringLiteral("notes.txt"));
  {
    QFile f(keep);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("a file of the user's\n");
  }
  const QString target = documents.filePath(QStringLiteral("phone.zrv"));
  const QString folders[] = {documents.path(), home.Path("home"), home.Path("config"), home.Path("data"),
                             home.Path("cache"), home.Path("state"), home.Path("runtime"), home.Path("tmp")};

  TClosingApp app;
  QApplication::processEvents();  // the window is on the screen, its fonts loaded
  std::map<QString, std::map<QString, QString>> before;
  for (const QString& f : folders) before[f] = Listing(f);
  TWriteWatch watch({documents.path().toStdString(), home.Path("home").toStdString(), "/tmp", "/dev/shm", "/",
                     QDir::currentPath().toStdString()});

  app.Read(4);
  app.Save(target);
  ASSERT_EQ(app.Dialogs.Texts(), std::vector<QString>{});
  const std::map<std::string, ino_t> written = watch.Stop();

  ASSERT_TRUE(QFileInfo(target).isFile());
  for (const QString& f : folders) {
    std::map<QString, QString> now = Listing(f);
    if (f == documents.path()) {
      EXPECT_EQ(now.erase(target), 1u);
    }
    EXPECT_EQ(now, before[f]) << "changed: " << f.toStdString();
  }
  if (!watch.Available()) {
    std::printf("not watched beyond the listed folders (%s)\n", watch.Why.c_str());
    return;
  }
  // Written to: the target, or the save's temporary file beside it: under its name, or
  // unnamed until linked (its descriptor then shows a deleted file, the target's inode).
  struct stat st{};
  ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
  const std::string folder = documents.path().toStdString() + "/";
  bool targetWritten = false;
  for (const auto& [path, inode] : written) {
    const bool inFolder = path.rfind(folder, 0) == 0 && path.find('/', folder.size()) == std::string::npos;
    const bool isTarget = path == target.toStdString() ||
                          (inFolder && inode == st.st_ino && path.find(" (deleted)") != std::string::npos);
    const bool isTemporary = inFolder && path.find(".phone.zrv.zarvo-save-") == folder.size();
    EXPECT_TRUE(isTarget || isTemporary) << "written: " << path;
    targetWritten |= isTarget || (isTemporary && inode == st.st_ino);
  }
  EXPECT_TRUE(targetWritten);
}

}  // namespace
