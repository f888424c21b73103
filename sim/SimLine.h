#pragma once
// The simulated phone's end of the cable: a pseudo-terminal.
//
// The simulator owns the master side; the program opens the slave path as it would a
// serial device. The slave is put in raw mode at once (so nothing is echoed or
// translated before a client sets its own line settings) and one slave descriptor, the
// keeper, stays open for the life of the line: the line then does not hang up between
// clients, and the keeper tells whether the client has read what was sent (a poll on a
// tty first moves bytes still in flight into its input queue, so the answer is exact).
// Nothing ever reads through the keeper.
//
// Used by the simulator's serving thread only; TSimFd is a plain RAII descriptor.
// Open() throws std::system_error when no pseudo-terminal can be had.

#include <string>
#include <vector>

class TSimFd {
 public:
  TSimFd() = default;
  explicit TSimFd(int fd) : fd_(fd) {}
  ~TSimFd() { Reset(); }
  TSimFd(TSimFd&& other) noexcept : fd_(other.Release()) {}
  TSimFd& operator=(TSimFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  TSimFd(const TSimFd&) = delete;
  TSimFd& operator=(const TSimFd&) = delete;

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1);

 private:
  int fd_ = -1;
};

// What the watch on the slave's device node saw.
enum TLineEvent { leOpened, leClosed };

class TSimLine {
 public:
  // A new pseudo-terminal, master non-blocking, slave raw and held by the keeper.
  static TSimLine Open();

  TSimLine() = default;
  TSimLine(TSimLine&&) = default;
  TSimLine& operator=(TSimLine&&) = default;

  bool IsOpen() const { return master_.Valid(); }
  int Master() const { return master_.Get(); }
  // inotify descriptor watching the slave's device node, -1 where that is not possible.
  int Watch() const { return watch_.Get(); }
  const std::string& SlavePath() const { return slavePath_; }

  // Bytes written to the master wait in the client's queue, unread.
  bool ClientHasUnread() const;
  // A client closed the line. A real port forgets its exclusive mode on the last close
  // and drops what arrives while nobody listens; the keeper holds the tty open, so the
  // line does both itself.
  void ClientGone() const;
  // Drains the watch descriptor: opens and closes of the slave by anybody.
  std::vector<TLineEvent> ReadWatchEvents() const;

  // Pulls the cable: master and keeper closed, the client sees a hang-up.
  void Close();

 private:
  TSimFd master_;
  TSimFd keeper_;
  TSimFd watch_;
  std::string slavePath_;
};

// Retries on EINTR; returns what read/write/poll return.
long SimRead(int fd, void* buffer, unsigned long size);
long SimWrite(int fd, const void* buffer, unsigned long size);
