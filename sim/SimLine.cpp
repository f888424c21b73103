#include "SimLine.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <system_error>

namespace {

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

void TSimFd::Reset(int fd) {
  if (fd_ >= 0) ::close(fd_);  // never retried: the descriptor is gone either way
  fd_ = fd;
}

long SimRead(int fd, void* buffer, unsigned long size) {
  long n;
  do n = ::read(fd, buffer, size);
  while (n < 0 && errno == EINTR);
  return n;
}

long SimWrite(int fd, const void* buffer, unsigned long size) {
  long n;
  do n = ::write(fd, buffer, size);
  while (n < 0 && errno == EINTR);
  return n;
}

TSimLine TSimLine::Open() {
  TSimLine line;
  line.master_.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!line.master_.Valid()) ThrowErrno("posix_openpt");
  if (::grantpt(line.master_.Get()) != 0) ThrowErrno("grantpt");
  if (::unlockpt(line.master_.Get()) != 0) ThrowErrno("unlockpt");
  char name[PATH_MAX];
  if (::ptsname_r(line.master_.Get(), name, sizeof name) != 0) ThrowErrno("ptsname_r");
  line.slavePath_ = name;

  int flags = ::fcntl(line.master_.Get(), F_GETFL);
  if (flags < 0 || ::fcntl(line.master_.Get(), F_SETFL, flags | O_NONBLOCK) != 0)
    ThrowErrno("fcntl O_NONBLOCK");

  line.keeper_.Reset(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!line.keeper_.Valid()) ThrowErrno("open pseudo-terminal slave");
  termios tio{};
  if (::tcgetattr(line.keeper_.Get(), &tio) != 0) ThrowErrno("tcgetattr");
  ::cfmakeraw(&tio);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  ::cfsetspeed(&tio, B115200);
  if (::tcsetattr(line.keeper_.Get(), TCSANOW, &tio) != 0) ThrowErrno("tcsetattr");

  // The watch is a convenience (exclusive mode, log lines); the line works without it.
  line.watch_.Reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (line.watch_.Valid() &&
      ::inotify_add_watch(line.watch_.Get(), name, IN_OPEN | IN_CLOSE) < 0)
    line.watch_.Reset();
  return line;
}

bool TSimLine::ClientHasUnread() const {
  if (!keeper_.Valid()) return false;
  pollfd fd{keeper_.Get(), POLLIN, 0};
  int ready;
  do ready = ::poll(&fd, 1, 0);
  while (ready < 0 && errno == EINTR);
  return ready > 0 && (fd.revents & POLLIN);
}

void TSimLine::ClientGone() const {
  if (!keeper_.Valid()) return;
  ::ioctl(keeper_.Get(), TIOCNXCL);
  ::tcflush(keeper_.Get(), TCIFLUSH);
}

std::vector<TLineEvent> TSimLine::ReadWatchEvents() const {
  std::vector<TLineEvent> events;
  if (!watch_.Valid()) return events;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    long n = SimRead(watch_.Get(), buffer, sizeof buffer);
    if (n <= 0) break;
    for (long at = 0; at + long(sizeof(inotify_event)) <= n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (event->mask & IN_OPEN) events.push_back(leOpened);
      if (event->mask & IN_CLOSE) events.push_back(leClosed);
      at += long(sizeof(inotify_event)) + long(event->len);
    }
  }
  return events;
}

void TSimLine::Close() {
  watch_.Reset();
  keeper_.Reset();
  master_.Reset();
}
