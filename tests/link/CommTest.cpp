// The serial component over a real pseudo-terminal: opening and closing, refused
// changes, the bounded output buffer, received bytes and their notifications, and what
// happens when the line goes away.

#include <gtest/gtest.h>
#include <poll.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "PtyPeer.h"
#include "SerialDevice.h"
#include "TestSupport.h"
#include "VaComm.h"

namespace {

class CommTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ApplyPhoneDesignSettings(comm);
    comm.SetDeviceName(peer.Path());
    comm.OnClose = [this](TVaComm*) { ++closes; };
  }
  void TearDown() override {
    comm.Close();
    RestoreSerialSysCalls();
  }

  // The line's output speed as the driver holds it.
  speed_t LineSpeed() {
    termios t{};
    ::tcgetattr(peer.Slave(), &t);
    return ::cfgetospeed(&t);
  }

  TPtyPeer peer;
  TVaComm comm;
  TExceptionRecorder reported;
  int closes = 0;
};

std::string Message(const std::function<void()>& action) {
  try {
    action();
  } catch (const EVaCommError& e) {
    return e.what();
  }
  return "(nothing raised)";
}

TEST_F(CommTest, OpenCloseAndTheirEvents) {
  int opens = 0;
  comm.OnOpen = [&](TVaComm* sender) {
    EXPECT_EQ(sender, &comm);
    EXPECT_TRUE(comm.IsOpen());
    ++opens;
  };
  comm.Open();
  EXPECT_TRUE(comm.IsOpen());
  EXPECT_EQ(opens, 1);
  EXPECT_EQ(comm.OpenCount(), 1u);
  EXPECT_EQ(LineSpeed(), B115200);

  EXPECT_EQ(Message([&] { comm.Open(); }), msgPortOpen);
  EXPECT_TRUE(comm.IsOpen());
  EXPECT_EQ(opens, 1);

  comm.Close();
  EXPECT_FALSE(comm.IsOpen());
  EXPECT_EQ(closes, 1);
  comm.Close();  // closed already: nothing
  EXPECT_EQ(closes, 1);

  // The device was let go: it opens again at once, also exclusively.
  comm.Open();
  EXPECT_EQ(comm.OpenCount(), 2u);
  EXPECT_EQ(opens, 2);

  // A handler that fails is reported; the port is open all the same.
  comm.Close();
  comm.OnOpen = [](TVaComm*) { throw EVaCommError("handler failed"); };
  comm.Open();
  EXPECT_TRUE(comm.IsOpen());
  ASSERT_EQ(reported.Texts.size(), 1u);
  EXPECT_EQ(reported.Texts[0], "handler failed");
}

TEST_F(CommTest, OpenFailuresLeaveThePortClosedAndReusable) {
  comm.SetDeviceName("/dev/zarvo-missing%d");
  EXPECT_EQ(Message([&] { comm.Open(); }), "Specified device not found (/dev/zarvo-missing4).");
  EXPECT_FALSE(comm.IsOpen());

  // Held by another component: exclusive, also for root.
  comm.SetDeviceName(peer.Path());
  TVaComm other;
  ApplyPhoneDesignSettings(other);
  other.SetDeviceName(peer.Path());
  other.Open();
  EXPECT_EQ(Message([&] { comm.Open(); }),
            "Can't open specified device " + peer.Path() + " (Error 16, Device or resource busy)");
  EXPECT_FALSE(comm.IsOpen());
  other.Close();

  // A rate the driver can't take fails after the device was opened; it is released.
  comm.SetUserBaudrate(12345);
  EXPECT_EQ(Message([&] { comm.Open(); }), "Error writing dcb (22), Invalid argument");
  EXPECT_FALSE(comm.IsOpen());
  comm.SetBaudrate(br115200);

  SerialSysCalls().SetAttr = [](int, int, const termios*) -> int {
    errno = EIO;
    return -1;
  };
  EXPECT_EQ(Message([&] { comm.Open(); }), "Error writing dcb (5), Input/output error");
  comm.SetUpdateDCB(false);  // the time-outs are still set, and fail the same way
  EXPECT_EQ(Message([&] { comm.Open(); }), "Error setting timeouts (5), Input/output error");
  comm.SetUpdateDCB(true);
  RestoreSerialSysCalls();

  comm.Open();
  EXPECT_TRUE(comm.IsOpen());
  EXPECT_EQ(closes, 0);  // failed opens never count as a close
}

TEST_F(CommTest, ChangesWhileOpenAreReappliedOrRefused) {
  comm.Open();
  comm.SetBaudrate(br9600);
  EXPECT_EQ(LineSpeed(), B9600);
  comm.SetUserBaudrate(57600);
  EXPECT_EQ(comm.Baudrate(), brUser);
  EXPECT_EQ(LineSpeed(), B57600);
  comm.SetBaudrate(br115200);
  EXPECT_EQ(LineSpeed(), B115200);

  // A re-applied change that the port refuses raises; the same value is no change at all.
  SerialSysCalls().SetAttr = [](int, int, const termios*) -> int {
    errno = EINVAL;
    return -1;
  };
  EXPECT_EQ(Message([&] { comm.SetParity(paEven); }), "Error writing dcb (22), Invalid argument");
  EXPECT_EQ(comm.Parity(), paEven);
  EXPECT_EQ(Message([&] { comm.SetBaudrate(br115200); }), "(nothing raised)");
  EXPECT_EQ(Message([&] { comm.FlowControl().SetXonXoffIn(true); }), "Error writing dcb (22), Invalid argument");
  RestoreSerialSysCalls();
  comm.SetParity(paNone);

  struct {
    const char* What;
    std::function<void()> Change;
    std::function<bool()> Unchanged;
  } refused[] = {
      {"PortNum", [&] { comm.SetPortNum(2); }, [&] { return comm.PortNum() == 4; }},
      {"PortNum, same value", [&] { comm.SetPortNum(4); }, [&] { return comm.PortNum() == 4; }},
      {"DeviceName", [&] { comm.SetDeviceName("COM%d"); }, [&] { return comm.DeviceName() == peer.Path(); }},
      {"MonitorEvents", [&] { comm.SetMonitorEvents({ceRxChar}); },
       [&] { return comm.MonitorEvents() == TVaCommEvents{ceError, ceRxChar, cePErr}; }},
      {"DirectWrite", [&] { comm.SetDirectWrite(true); }, [&] { return !comm.DirectWrite(); }},
      {"UpdateDCB", [&] { comm.SetUpdateDCB(false); }, [&] { return comm.UpdateDCB(); }},
      {"Buffers.ReadSize", [&] { comm.Buffers().SetReadSize(64); }, [&] { return comm.Buffers().ReadSize() == 1024; }},
      {"Buffers.WriteTimeout", [&] { comm.Buffers().SetWriteTimeout(5); },
       [&] { return comm.Buffers().WriteTimeout() == 1000; }},
      {"Buffers", [&] { comm.SetBuffers(TVaBuffers()); }, [&] { return comm.Buffers().WriteSize() == 1024; }},
  };
  for (const auto& r : refused) {
    EXPECT_EQ(Message(r.Change), msgPortOpen) << r.What;
    EXPECT_TRUE(r.Unchanged()) << r.What;
  }

  // The port goes on as it was opened.
  EXPECT_TRUE(comm.IsOpen());
  EXPECT_TRUE(comm.WriteString("still here"));
  EXPECT_TRUE(peer.Expect("still here", 2000));

  comm.Close();
  comm.SetPortNum(2);
  comm.Buffers().SetReadSize(64);
  EXPECT_EQ(comm.PortNum(), 2);
  EXPECT_EQ(comm.Buffers().ReadSize(), 64);
}

TEST_F(CommTest, ClosedPortReadsAndWritesNothing) {
  EXPECT_FALSE(comm.WriteString("AT\r\n"));
  EXPECT_FALSE(comm.WriteByte(13));
  EXPECT_TRUE(comm.WriteString(""));
  EXPECT_EQ(comm.ReadString(), "");
  EXPECT_EQ(comm.InputCount(), 0);
  char buffer[4];
  EXPECT_EQ(comm.ReadBytes(buffer, 4), 0);
  unsigned errors = 1;
  TVaComStat stat{1, 1, 1};
  comm.QueryStatus(errors, stat);
  EXPECT_EQ(errors + stat.Flags + stat.InQue + stat.OutQue, 0u);

  comm.Buffers().SetWriteSize(0);  // a buffer of none, which never has room for a byte
  comm.Open();
  EXPECT_EQ(comm.ReadString(), "");  // open, nothing waiting
  EXPECT_TRUE(comm.WriteString(""));
  EXPECT_EQ(Message([&] { comm.WriteString("AT\r"); }), msgBufferFull);
}

TEST_F(CommTest, WritesOfAnyLengthGoThroughAndFailOnlyOnALineThatTakesNothing) {
  comm.Buffers().SetWriteTimeout(200);
  comm.Open();
  // An idle line takes the buffer's size and more at once.
  for (const int n : {1024, 1025}) {
    const std::string block(static_cast<std::size_t>(n), 'a');
    EXPECT_EQ(comm.WriteBytes(block.data(), n), n);
    ASSERT_TRUE(peer.ReceiveTotal(block.size(), 2000));
    EXPECT_EQ(peer.Take(), block);
  }

  // Far more than the line and the buffer hold, to a peer that takes a piece every
  // 25 ms: it goes through in parts, whole and in order, although the whole write
  // lasts longer than WriteTimeout; only each wait for room is bounded by it.
  std::string text;
  for (int i = 0; text.size() < 120000; ++i) text += std::to_string(i) + ",";
  peer.Play([&](TPtyPeer& p) {
    while (p.Received().size() < text.size() && p.ReceiveTotal(p.Received().size() + 1, 2000))
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
  });
  auto start = TClock::now();
  EXPECT_TRUE(comm.WriteString(text));
  EXPECT_GT(MsSince(start), 200);
  peer.Join();
  EXPECT_EQ(peer.Take(), text);

  // A line that takes nothing: the write fails once a wait for room has lasted
  // WriteTimeout; what went out is the text's beginning.
  start = TClock::now();
  EXPECT_EQ(Message([&] { comm.WriteString(text); }), msgBufferFull);
  EXPECT_GE(MsSince(start), 190);
  peer.Drain(200);
  const std::string sent = peer.Take();
  EXPECT_FALSE(sent.empty());
  EXPECT_LT(sent.size(), text.size());
  EXPECT_EQ(text.compare(0, sent.size(), sent), 0) << "the beginning, in order";

  // The line goes away while a long write waits for room: the write ends without the
  // failure (the room would never come), and the port closes itself once.
  peer.Play([&](TPtyPeer& p) {
    p.ReceiveTotal(8000, 2000);
    p.HangUp();
  });
  EXPECT_FALSE(comm.WriteString(text));
  peer.Join();
  EXPECT_TRUE(PumpUntil([&] { return !comm.IsOpen(); }, 3000));
  PumpFor(300);
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(reported.Texts.empty());
}

TEST_F(CommTest, BlockedLineKeepsQueuedBytesInOrder) {
  comm.Buffers().SetWriteTimeout(200);
  comm.Open();
  // The peer reads nothing: the line fills, then the buffer, then a write is refused.
  std::string sent;
  int chunk = 0;
  std::string refused;
  for (; chunk < 300000; ++chunk) {
    const std::string piece = std::to_string(chunk) + ",";
    try {
      comm.WriteString(piece);
    } catch (const EVaCommError& e) {
      refused = e.what();
      break;
    }
    sent += piece;
  }
  ASSERT_EQ(refused, msgBufferFull) << "the line never filled";
  unsigned errors = 0;
  TVaComStat stat;
  comm.QueryStatus(errors, stat);
  EXPECT_GT(stat.OutQue, 0u);

  // Once the peer reads, every queued byte arrives, in order, and writing works again.
  ASSERT_TRUE(peer.ReceiveTotal(sent.size(), 5000));
  EXPECT_TRUE(comm.WriteString("end"));
  ASSERT_TRUE(peer.Expect("end", 2000));
  EXPECT_EQ(peer.Received(), sent + "end");
}

TEST_F(CommTest, CloseReturnsAtOnceWhileTheLineIsBlocked) {
  comm.Buffers().SetWriteTimeout(100);
  comm.Open();
  const std::string piece(512, 'x');
  try {
    for (int i = 0; i < 10000; ++i) comm.WriteString(piece);
  } catch (const EVaCommError&) {
  }
  const auto start = TClock::now();
  comm.Close();
  EXPECT_LT(MsSince(start), 500);
  EXPECT_EQ(closes, 1);
  // The queued bytes were dropped; the device is free again.
  peer.Drain(50);
  peer.Take();
  comm.Open();
  EXPECT_TRUE(comm.WriteString("fresh"));
  ASSERT_TRUE(peer.Expect("fresh", 2000));
  EXPECT_EQ(peer.Received().find('x'), std::string::npos);
}

TEST_F(CommTest, ManyPiecesArriveInOrderAndNoNoticeCountsZero) {
  std::string got;
  std::vector<int> counts;
  comm.OnRxChar = [&](TVaComm* sender, int count) {
    EXPECT_EQ(sender, &comm);
    counts.push_back(count);
    got += comm.ReadString();
  };
  comm.Open();

  std::string expected;
  std::mt19937 random(7);
  for (int i = 0; i < 300; ++i) {
    std::string piece;
    const int n = 1 + static_cast<int>(random() % 40);
    for (int k = 0; k < n; ++k) piece += static_cast<char>(random() % 256);  // bytes 0 and 128-255 too
    expected += piece;
  }
  peer.Play([&expected](TPtyPeer& p) {
    std::mt19937 pace(11);
    for (std::size_t at = 0; at < expected.size();) {
      const std::size_t n = std::min<std::size_t>(1 + pace() % 97, expected.size() - at);
      p.Send(std::string_view(expected).substr(at, n));
      at += n;
      if (pace() % 3 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  EXPECT_TRUE(PumpUntil([&] { return got.size() >= expected.size(); }, 10000));
  peer.Join();
  EXPECT_EQ(got, expected);
  EXPECT_GT(counts.size(), 1u);
  for (int c : counts) EXPECT_GT(c, 0);
}

TEST_F(CommTest, BytesLeftByTheHandlerGetAnotherNotice) {
  // A handler that takes one byte at a time still sees every byte: each notice that
  // leaves bytes behind is followed by another.
  std::string got;
  comm.OnRxChar = [&](TVaComm*, int count) {
    EXPECT_GT(count, 0);
    char c;
    if (comm.ReadBytes(&c, 1) == 1) got += c;
  };
  comm.Open();
  peer.Send("0123456789");
  EXPECT_TRUE(PumpUntil([&] { return got.size() >= 10; }, 3000));
  EXPECT_EQ(got, "0123456789");
}

TEST_F(CommTest, HandlersRunOneAtATime) {
  // The event thread waits for each handler to return: bytes that come while one runs
  // (even one that lets messages be processed, as a message box does) get their notice
  // after it, never inside it.
  int depth = 0;
  int deepest = 0;
  int notices = 0;
  std::string got;
  comm.OnRxChar = [&](TVaComm*, int) {
    ++depth;
    ++notices;
    deepest = std::max(deepest, depth);
    if (notices == 1) {
      peer.Send("second");
      PumpFor(300);
    }
    got += comm.ReadString();
    --depth;
  };
  comm.Open();
  peer.Send("first");
  EXPECT_TRUE(PumpUntil([&] { return got == "firstsecond"; }, 3000));
  EXPECT_EQ(deepest, 1);
  EXPECT_EQ(got, "firstsecond");
}

TEST_F(CommTest, TransmitEmptyIsHandedOnlyWhenMonitored) {
  int empties = 0;
  comm.OnTxEmpty = [&](TVaComm*) { ++empties; };
  comm.Open();
  comm.WriteString("one");
  ASSERT_TRUE(peer.Expect("one", 2000));
  PumpFor(100);
  EXPECT_EQ(empties, 0);
  comm.Close();

  comm.SetMonitorEvents({ceError, ceRxChar, ceTxEmpty});
  comm.Open();
  comm.WriteString("two");
  ASSERT_TRUE(peer.Expect("two", 2000));
  EXPECT_TRUE(PumpUntil([&] { return empties >= 1; }, 2000));
}

TEST_F(CommTest, HangUpIsReportedOnceAndClosesThePort) {
  int errorEvents = 0;
  comm.OnError = [&](TVaComm*, int) { ++errorEvents; };
  std::string got;
  comm.OnRxChar = [&](TVaComm*, int) { got += comm.ReadString(); };
  comm.Open();
  peer.Send("last words");
  ASSERT_TRUE(PumpUntil([&] { return got == "last words"; }, 2000));

  peer.HangUp();
  EXPECT_TRUE(PumpUntil([&] { return !comm.IsOpen(); }, 3000));
  EXPECT_EQ(closes, 1);
  PumpFor(300);
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(reported.Texts.empty()) << reported.Texts[0].toStdString();
  EXPECT_EQ(errorEvents, 0);  // a pseudo-terminal counts no line errors
  EXPECT_FALSE(comm.WriteString("gone"));
}

// Counts the calls that a seam makes, for the pacing checks.
std::atomic<int> gPolls{0};
std::atomic<int> gWrites{0};
int gHungUpFd = -1;

TEST_F(CommTest, PolledHangUpIsHandedOnceWithoutSpinning) {
  comm.Open();
  gPolls = 0;
  SerialSysCalls().Poll = [](pollfd* fds, nfds_t n, int timeout) -> int {
    ++gPolls;
    const int r = ::poll(fds, n, timeout > 20 || timeout < 0 ? 20 : timeout);
    if (r < 0) return r;
    int ready = r;
    for (nfds_t i = 0; i < n; ++i) {
      if (fds[i].fd != gHungUpFd) continue;
      if (fds[i].revents == 0) ++ready;
      fds[i].revents |= POLLHUP;
    }
    return ready;
  };
  // The seam calls poll in the threads only; find the device by its path.
  std::string link = "/proc/self/fd/";
  gHungUpFd = -1;
  for (int fd = 3; fd < 1024 && gHungUpFd < 0; ++fd) {
    char target[256] = {};
    const ssize_t n = ::readlink((link + std::to_string(fd)).c_str(), target, sizeof target - 1);
    if (n > 0 && peer.Path() == target && fd != peer.Slave()) gHungUpFd = fd;
  }
  ASSERT_GE(gHungUpFd, 0);
  // Wake the event thread so that it polls through the seam.
  peer.Send("x");
  EXPECT_TRUE(PumpUntil([&] { return !comm.IsOpen(); }, 3000));
  EXPECT_EQ(closes, 1);
  const int polls = gPolls;
  PumpFor(300);
  EXPECT_LT(gPolls - polls, 10);
  EXPECT_EQ(closes, 1);
  RestoreSerialSysCalls();

  // The line is back: the port opens again.
  comm.Open();
  EXPECT_TRUE(comm.IsOpen());
}

TEST_F(CommTest, FailedWritesArePacedAndALostLineClosesThePort) {
  comm.Open();
  gWrites = 0;
  SerialSysCalls().Write = [](int, const void*, size_t) -> ssize_t {
    ++gWrites;
    errno = ENOSPC;
    return -1;
  };
  comm.WriteString("refused");
  PumpFor(500);
  // Retried about every 100 ms, each failure an error event; the port stays open.
  EXPECT_GE(gWrites.load(), 2);
  EXPECT_LE(gWrites.load(), 10);
  EXPECT_TRUE(comm.IsOpen());

  SerialSysCalls().Write = [](int, const void*, size_t) -> ssize_t {
    ++gWrites;
    errno = EIO;
    return -1;
  };
  EXPECT_TRUE(PumpUntil([&] { return !comm.IsOpen(); }, 3000));
  EXPECT_EQ(closes, 1);
  RestoreSerialSysCalls();
  EXPECT_TRUE(reported.Texts.empty());
}

// Line error counts that the seam reports for TIOCGICOUNT, as a real serial driver would.
std::atomic<int> gFrameErrors{0};

int CountingIoctl(int fd, unsigned long request, void* argument) {
  if (request == TIOCGICOUNT) {
    auto* c = static_cast<serial_icounter_struct*>(argument);
    *c = serial_icounter_struct{};
    c->frame = gFrameErrors;
    return 0;
  }
  return ::ioctl(fd, request, argument);
}

TEST_F(CommTest, LineErrorsAreFetchedAndClearedWithEveryNotice) {
  gFrameErrors = 0;
  SerialSysCalls().Ioctl = &CountingIoctl;
  std::vector<int> errorEvents;
  std::string got;
  comm.OnRxChar = [&](TVaComm*, int) { got += comm.ReadString(); };
  comm.Open();

  // A framing error comes with the next byte: the error event reaches OnError once.
  gFrameErrors = 1;
  comm.OnError = [&](TVaComm*, int errors) { errorEvents.push_back(errors); };
  peer.Send("a");
  ASSERT_TRUE(PumpUntil([&] { return got == "a"; }, 2000));
  PumpFor(50);
  // The notice itself fetched the flags first (the received bytes come first in the
  // event word), so the error event found them cleared; a query now finds none either.
  unsigned errors = 0;
  TVaComStat stat;
  comm.QueryStatus(errors, stat);
  EXPECT_EQ(errors, 0u);
  EXPECT_TRUE(errorEvents.empty());

  // An error with no byte to carry it: the next query sees it, once.
  gFrameErrors = 2;
  comm.QueryStatus(errors, stat);
  EXPECT_EQ(errors, CE_FRAME);
  comm.QueryStatus(errors, stat);
  EXPECT_EQ(errors, 0u);
  EXPECT_TRUE(reported.Texts.empty());
}

TEST_F(CommTest, AutoOpenAndDirectWrite) {
  comm.Loaded();
  EXPECT_FALSE(comm.IsOpen());
  comm.SetAutoOpen(true);
  comm.Loaded();
  EXPECT_TRUE(comm.IsOpen());
  comm.Close();

  comm.SetDirectWrite(true);
  comm.Open();
  EXPECT_TRUE(comm.WriteString("direct"));
  EXPECT_TRUE(peer.Expect("direct", 2000));
}

TEST_F(CommTest, DestroyedWhileACallIsQueued) {
  auto doomed = std::make_unique<TVaComm>();
  ApplyPhoneDesignSettings(*doomed);
  doomed->SetDeviceName(peer.Path());
  bool handled = false;
  bool closedEvent = false;
  doomed->OnRxChar = [&](TVaComm*, int) { handled = true; };
  doomed->OnClose = [&](TVaComm*) { closedEvent = true; };
  doomed->Open();
  peer.Send("pending");
  // Give the event thread time to place its call; the window thread doesn't run it.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto start = TClock::now();
  doomed.reset();
  EXPECT_LT(MsSince(start), 1000);
  PumpFor(100);
  EXPECT_FALSE(handled);
  EXPECT_FALSE(closedEvent);  // not on destruction

  // The device is free again.
  comm.Open();
  EXPECT_TRUE(comm.IsOpen());
}

}  // namespace
