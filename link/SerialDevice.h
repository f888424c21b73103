#pragma once
// The termios layer: one serial device opened by path, in raw non-blocking mode.
//
// It is the only code that talks to the terminal driver. Calls return 0 or the errno of
// the failing system call (EINTR is retried, never on close); nothing here raises. The
// serial component turns codes into its messages with SystemErrorText. Any thread may
// use an open device: the component's event thread polls it, its write thread writes,
// the window thread reads and queries it.
//
// Every system call goes through SerialSysCalls(), a table of function pointers with the
// system's own as defaults, so that a test can make a call fail (write with EIO, poll
// reporting a hang-up) without a device that misbehaves.

#include <poll.h>
#include <sys/types.h>

#include <atomic>
#include <string>

struct termios;

struct TSerialSysCalls {
  std::atomic<int (*)(const char* path, int flags)> Open;
  std::atomic<int (*)(int fd)> Close;
  std::atomic<ssize_t (*)(int fd, void* buffer, size_t count)> Read;
  std::atomic<ssize_t (*)(int fd, const void* buffer, size_t count)> Write;
  std::atomic<int (*)(pollfd* fds, nfds_t count, int timeoutMs)> Poll;
  std::atomic<int (*)(int fd, unsigned long request, void* argument)> Ioctl;
  std::atomic<int (*)(int fd, int operation)> Flock;
  std::atomic<int (*)(int fd, termios* settings)> GetAttr;
  std::atomic<int (*)(int fd, int when, const termios* settings)> SetAttr;
};

// The table in use; change entries only for tests.
TSerialSysCalls& SerialSysCalls();
// Puts the system's own calls back into every entry.
void RestoreSerialSysCalls();

// The line settings record, field for field as the component fills it. Parity: 0 none,
// 1 odd, 2 even, 3 mark, 4 space. StopBits: 0 one, 1 one and a half, 2 two. DtrControl:
// 0 low, 1 raised, 2 handshake. RtsControl: 0 low, 1 raised, 2 handshake, 3 toggle.
struct TVaDcb {
  int BaudRate = 0;
  int ByteSize = 0;
  int Parity = 0;
  int StopBits = 0;
  bool fBinary = false;
  bool fParity = false;
  bool fOutxCtsFlow = false;
  bool fOutxDsrFlow = false;
  int fDtrControl = 0;
  bool fDsrSensitivity = false;
  bool fTXContinueOnXoff = false;
  bool fOutX = false;
  bool fInX = false;
  bool fErrorChar = false;
  bool fNull = false;
  int fRtsControl = 0;
  bool fAbortOnError = false;
  int XonLim = 0;
  int XoffLim = 0;
  unsigned char XonChar = 0;
  unsigned char XoffChar = 0;
  unsigned char ErrorChar = 0;
  unsigned char EofChar = 0;
  unsigned char EvtChar = 0;
};

// The driver's counts of line errors since the device was opened.
struct TSerialLineCounters {
  int Frame = 0;
  int Overrun = 0;
  int Parity = 0;
  int Break = 0;
  int BufferOverrun = 0;
};

class TSerialDevice {
 public:
  TSerialDevice() = default;
  ~TSerialDevice() { Close(); }
  TSerialDevice(TSerialDevice&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  TSerialDevice& operator=(TSerialDevice&& other) noexcept;
  TSerialDevice(const TSerialDevice&) = delete;
  TSerialDevice& operator=(const TSerialDevice&) = delete;

  // Opens an existing device read-write, non-blocking, not as controlling terminal, and
  // takes it exclusively: flock (which holds against root too) and TIOCEXCL. A device
  // that another holder has locked gives EBUSY.
  int Open(const std::string& path);
  void Close() noexcept;
  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }

  // Raw mode with the record's rate, framing, flow control and control lines; reads
  // return at once (VMIN 0, VTIME 0). Modem-line requests a device does not support
  // (a pseudo-terminal) are skipped; a rate termios cannot express is EINVAL.
  int ApplyDcb(const TVaDcb& dcb) const;
  // Reads return at once with what has arrived, possibly nothing.
  int SetReadReturnsAtOnce() const;

  int InputCount(int& count) const;
  // 0 with count 0 when the device has no output count.
  int OutputCount(int& count) const;
  // supported is false (and the result 0) when the driver keeps no counters.
  int LineCounters(TSerialLineCounters& counters, bool& supported) const;

  // Non-blocking transfers; -1 with errno set on failure (EAGAIN: nothing now).
  ssize_t Read(void* buffer, size_t count) const;
  ssize_t Write(const void* buffer, size_t count) const;

 private:
  int fd_ = -1;
};

// poll() through the table, retried on EINTR until the time-out (milliseconds,
// -1 without limit) measured on the monotonic clock.
int SerialPoll(pollfd* fds, nfds_t count, int timeoutMs);

// The system's text for an error code, without trailing blanks, control characters
// and full stops.
std::string SystemErrorText(int code);
