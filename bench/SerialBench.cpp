// Throughput of the serial component over a pseudo-terminal, beside a plain
// read/write loop on the same kind of line: 1 MB in each direction, best of several
// rounds. Prints MB/s for both and their ratio (the component should reach 0.9).

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "VaComm.h"

namespace {

using TClock = std::chrono::steady_clock;
constexpr std::size_t Total = 1 << 20;
constexpr int Rounds = 9;

struct TLine {
  int Master = -1;
  int Slave = -1;
  std::string Path;
  TLine() {
    char name[256] = {};
    if (::openpty(&Master, &Slave, name, nullptr, nullptr) != 0) std::perror("openpty");
    termios t{};
    ::tcgetattr(Slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(Slave, TCSANOW, &t);
    Path = name;
  }
  ~TLine() {
    ::close(Master);
    ::close(Slave);
  }
};

void WriteAll(int fd, const char* data, std::size_t n, std::size_t chunk) {
  std::size_t done = 0;
  while (done < n) {
    const ssize_t w = ::write(fd, data + done, std::min(chunk, n - done));
    if (w > 0) {
      done += static_cast<std::size_t>(w);
    } else {
      pollfd p{fd, POLLOUT, 0};
      ::poll(&p, 1, 100);
    }
  }
}

void ReadAll(int fd, std::size_t n) {
  static char buffer[65536];
  std::size_t done = 0;
  while (done < n) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 1000) <= 0) break;
    const ssize_t r = ::read(fd, buffer, sizeof buffer);
    if (r > 0) done += static_cast<std::size_t>(r);
  }
}

double Seconds(TClock::time_point start) { return std::chrono::duration<double>(TClock::now() - start).count(); }

// Phone to program.
double PlainReceive(const std::string& data) {
  TLine line;
  ::fcntl(line.Slave, F_SETFL, O_NONBLOCK);
  const auto start = TClock::now();
  std::thread phone([&] { WriteAll(line.Master, data.data(), data.size(), 4096); });
  ReadAll(line.Slave, data.size());
  const double s = Seconds(start);
  phone.join();
  return s;
}

double CommReceive(const std::string& data) {
  TLine line;
  TVaComm comm;
  ApplyPhoneDesignSettings(comm);
  comm.SetDeviceName(line.Path);
  QEventLoop loop;
  std::size_t got = 0;
  comm.OnRxChar = [&](TVaComm*, int) {
    got += comm.ReadString().size();
    if (got >= data.size()) loop.quit();
  };
  comm.Open();
  QTimer::singleShot(10000, &loop, &QEventLoop::quit);
  const auto start = TClock::now();
  std::thread phone([&] { WriteAll(line.Master, data.data(), data.size(), 4096); });
  loop.exec();
  const double s = Seconds(start);
  phone.join();
  if (got != data.size()) std::fprintf(stderr, "received %zu of %zu bytes\n", got, data.size());
  return s;
}

// Program to phone, in writes of one buffer's worth.
double PlainSend(const std::string& data, std::size_t chunk) {
  TLine line;
  ::fcntl(line.Slave, F_SETFL, O_NONBLOCK);
  const auto start = TClock::now();
  std::thread phone([&] { ReadAll(line.Master, data.size()); });
  WriteAll(line.Slave, data.data(), data.size(), chunk);
  phone.join();
  return Seconds(start);
}

double CommSend(const std::string& data, int writeSize) {
  TLine line;
  TVaComm comm;
  ApplyPhoneDesignSettings(comm);
  comm.Buffers().SetWriteSize(writeSize);
  comm.SetDeviceName(line.Path);
  comm.Open();
  const auto start = TClock::now();
  std::thread phone([&] { ReadAll(line.Master, data.size()); });
  for (std::size_t at = 0; at < data.size(); at += static_cast<std::size_t>(writeSize))
    comm.WriteBytes(data.data() + at, static_cast<int>(std::min<std::size_t>(writeSize, data.size() - at)));
  phone.join();
  return Seconds(start);
}

// Runs the two measurements in turn, so that both see the same load, and keeps the
// best time of each.
template <class P, class C>
void Compare(const char* what, P&& plain, C&& comm) {
  double bestPlain = 1e9;
  double bestComm = 1e9;
  for (int i = 0; i < Rounds; ++i) {
    bestPlain = std::min(bestPlain, plain());
    bestComm = std::min(bestComm, comm());
  }
  const double mb = static_cast<double>(Total) / (1024.0 * 1024.0);
  std::printf("%-34s plain %8.1f MB/s   TVaComm %8.1f MB/s   ratio %.2f\n", what, mb / bestPlain, mb / bestComm,
              bestPlain / bestComm);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::string data(Total, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 131) % 251);

  std::printf("1 MB over a pseudo-terminal, best of %d rounds\n", Rounds);
  Compare("receive (phone -> program)", [&] { return PlainReceive(data); }, [&] { return CommReceive(data); });
  for (const int size : {1024, 4096, 65536}) {
    const std::string what = "send, " + std::to_string(size) + "-byte writes" + (size == 1024 ? " (design)" : "");
    Compare(what.c_str(), [&] { return PlainSend(data, static_cast<std::size_t>(size)); },
            [&] { return CommSend(data, size); });
  }
  return 0;
}
