#include "SerialDevice.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

int SysOpen(const char* path, int flags) { return ::open(path, flags); }
int SysIoctl(int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); }

void FillSystemCalls(TSerialSysCalls& t) {
  t.Open = &SysOpen;
  t.Close = &::close;
  t.Read = &::read;
  t.Write = &::write;
  t.Poll = &::poll;
  t.Ioctl = &SysIoctl;
  t.Flock = &::flock;
  t.GetAttr = &::tcgetattr;
  t.SetAttr = &::tcsetattr;
}

// Filled on first use, so that no static initialiser elsewhere can see it empty.
TSerialSysCalls& Table() {
  static TSerialSysCalls table;
  static const bool filled = (FillSystemCalls(table), true);
  (void)filled;
  return table;
}

// ENOTTY and EINVAL from a device request mean "not on this kind of device".
bool NotSupported(int error) { return error == ENOTTY || error == EINVAL; }

int Ioctl(int fd, unsigned long request, void* argument) {
  int r;
  do {
    r = Table().Ioctl.load()(fd, request, argument);
  } while (r < 0 && errno == EINTR);
  return r < 0 ? errno : 0;
}

bool SpeedFor(int bits, speed_t& speed) {
  struct TRate {
    int Bits;
    speed_t Speed;
  };
  static constexpr TRate rates[] = {
      {50, B50},         {75, B75},         {110, B110},       {134, B134},
      {150, B150},       {200, B200},       {300, B300},       {600, B600},
      {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
      {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
      {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
      {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
      {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
      {3500000, B3500000}, {4000000, B4000000}};
  for (const TRate& r : rates) {
    if (r.Bits == bits) {
      speed = r.Speed;
      return true;
    }
  }
  return false;
}

int SetModemLine(int fd, int line, bool raised) {
  int bits = line;
  const int error = Ioctl(fd, raised ? TIOCMBIS : TIOCMBIC, &bits);
  return NotSupported(error) ? 0 : error;
}

// GNU and XSI strerror_r differ in their result; both overloads are needed.
[[maybe_unused]] const char* ErrorText(int result, const char* buffer) {
  return result == 0 ? buffer : "Unknown error";
}
[[maybe_unused]] const char* ErrorText(const char* result, const char*) { return result; }

}  // namespace

TSerialSysCalls& SerialSysCalls() { return Table(); }

void RestoreSerialSysCalls() { FillSystemCalls(Table()); }

TSerialDevice& TSerialDevice::operator=(TSerialDevice&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

int TSerialDevice::Open(const std::string& path) {
  Close();
  int fd;
  do {
    fd = Table().Open.load()(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  TSerialDevice device;
  device.fd_ = fd;
  int r;
  do {
    r = Table().Flock.load()(fd, LOCK_EX | LOCK_NB);
  } while (r < 0 && errno == EINTR);
  if (r < 0) return errno == EWOULDBLOCK ? EBUSY : errno;
  // TIOCEXCL keeps out other openers that do not take the lock; root passes it anyway.
  Ioctl(fd, TIOCEXCL, nullptr);
  *this = std::move(device);
  return 0;
}

void TSerialDevice::Close() noexcept {
  if (fd_ < 0) return;
  Table().Close.load()(fd_);  // never retried: the descriptor is gone either way
  fd_ = -1;
}

int TSerialDevice::ApplyDcb(const TVaDcb& dcb) const {
  termios t{};
  if (Table().GetAttr.load()(fd_, &t) < 0) return errno;
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  switch (dcb.ByteSize) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    case 8: t.c_cflag |= CS8; break;
    default: return EINVAL;
  }
  switch (dcb.Parity) {
    case 0: break;
    case 1: t.c_cflag |= PARENB | PARODD; break;
    case 2: t.c_cflag |= PARENB; break;
    case 3: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case 4: t.c_cflag |= PARENB | CMSPAR; break;
    default: return EINVAL;
  }
  if (dcb.fParity) t.c_iflag |= INPCK;
  if (dcb.StopBits != 0) t.c_cflag |= CSTOPB;  // 1.5 stop bits exist only as CSTOPB here
  if (dcb.fOutxCtsFlow || dcb.fRtsControl == 2) t.c_cflag |= CRTSCTS;
  if (dcb.fOutX) t.c_iflag |= IXON;
  if (dcb.fInX) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = dcb.XonChar;
  t.c_cc[VSTOP] = dcb.XoffChar;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  speed_t speed;
  if (!SpeedFor(dcb.BaudRate, speed)) return EINVAL;
  if (::cfsetspeed(&t, speed) < 0) return errno;
  if (Table().SetAttr.load()(fd_, TCSANOW, &t) < 0) return errno;
  // Handshake and toggle have no driver counterpart: handshake keeps the line raised,
  // toggle keeps it low between transfers.
  if (const int e = SetModemLine(fd_, TIOCM_DTR, dcb.fDtrControl != 0)) return e;
  if (const int e = SetModemLine(fd_, TIOCM_RTS, dcb.fRtsControl == 1 || dcb.fRtsControl == 2)) return e;
  return 0;
}

int TSerialDevice::SetReadReturnsAtOnce() const {
  termios t{};
  if (Table().GetAttr.load()(fd_, &t) < 0) return errno;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (Table().SetAttr.load()(fd_, TCSANOW, &t) < 0) return errno;
  return 0;
}

int TSerialDevice::InputCount(int& count) const {
  count = 0;
  return Ioctl(fd_, FIONREAD, &count);
}

int TSerialDevice::OutputCount(int& count) const {
  count = 0;
  const int error = Ioctl(fd_, TIOCOUTQ, &count);
  if (NotSupported(error)) {
    count = 0;
    return 0;
  }
  return error;
}

int TSerialDevice::LineCounters(TSerialLineCounters& counters, bool& supported) const {
  serial_icounter_struct c{};
  const int error = Ioctl(fd_, TIOCGICOUNT, &c);
  supported = error == 0;
  if (NotSupported(error)) return 0;
  if (error) return error;
  counters = {c.frame, c.overrun, c.parity, c.brk, c.buf_overrun};
  return 0;
}

ssize_t TSerialDevice::Read(void* buffer, size_t count) const {
  ssize_t r;
  do {
    r = Table().Read.load()(fd_, buffer, count);
  } while (r < 0 && errno == EINTR);
  return r;
}

ssize_t TSerialDevice::Write(const void* buffer, size_t count) const {
  ssize_t r;
  do {
    r = Table().Write.load()(fd_, buffer, count);
  } while (r < 0 && errno == EINTR);
  return r;
}

int SerialPoll(pollfd* fds, nfds_t count, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int wait = timeoutMs;
    if (timeoutMs > 0) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
    }
    const int r = Table().Poll.load()(fds, count, wait);
    if (r >= 0 || errno != EINTR) return r;
  }
}

std::string SystemErrorText(int code) {
  char buffer[256] = {};
  std::string text = ErrorText(::strerror_r(code, buffer, sizeof buffer), buffer);
  while (!text.empty()) {
    const auto c = static_cast<unsigned char>(text.back());
    if (c > 32 && c != '.') break;
    text.pop_back();
  }
  return text;
}
