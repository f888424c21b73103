// A read and a restore of a generated phone (20 groups, 200 contacts, 50 events, 5
// custom ring tones) through the real main and progress windows, offscreen, the real
// serial component and exchange, and the simulated phone on a pseudo-terminal reached
// through the port map. The phone sends at 115200 bps, 10 bits a byte, so that the line
// costs what a real cable would.
//
// For each of the two it prints the wall time, the protocol floor (every exchange the
// phone saw lasts at least 100 ms by design, plus the bytes both ways at 115200 bps),
// their ratio, and the program's processor time as a share of one core. The simulator
// runs in this process in a thread of its own; its time is taken off: the program's
// time is the process's (getrusage) minus the simulator thread's (its per-thread clock,
// found by the thread that the simulator's constructor starts). The window thread's own
// time is shown beside it. A pseudo-terminal takes the program's bytes at once, so the
// floor also holds the transfer time of bytes that here cost nothing; the floor over
// the phone's bytes alone is shown as well.
//
//   bench_readrestore [--log FILE]   (FILE gets the simulators' line logs appended)
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <dirent.h>
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "AppException.h"
#include "BackupFile.h"
#include "BenchPhone.h"
#include "BenchSupport.h"
#include "AppWindows.h"
#include "Main.h"
#include "PhoneSimulator.h"
#include "Progress.h"

namespace {

using TClock = std::chrono::steady_clock;

// The threads of this process, by task identifier.
std::set<int> Tasks() {
  std::set<int> tasks;
  if (DIR* dir = ::opendir("/proc/self/task")) {
    while (const dirent* e = ::readdir(dir))
      if (e->d_name[0] != '.') tasks.insert(std::atoi(e->d_name));
    ::closedir(dir);
  }
  return tasks;
}

double Seconds(const timespec& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9; }

// Processor time of another thread of this process: the kernel's per-thread clock, made
// from its task identifier as pthread_getcpuclockid makes it.
double ThreadCpu(int tid) {
  if (tid <= 0) return 0;
  const clockid_t clock = static_cast<clockid_t>((~static_cast<unsigned>(tid) << 3) | 6u);
  timespec t{};
  return ::clock_gettime(clock, &t) == 0 ? Seconds(t) : 0;
}

double OwnThreadCpu() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return Seconds(t);
}

double ProcessCpu() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A simulated phone on COMn with its line log, and the thread it serves from.
struct TPhone {
  std::string LogPath;
  std::unique_ptr<TPhoneSimulator> Sim;
  int Tid = 0;
  TPhone(const TPorts& ports, int port, TSimContent content) {
    TSimOptions o = OnPort(ports, port);
    o.BaudRate = static_cast<int>(BenchBaud);
    o.LogPath = ports.File(("line" + std::to_string(port) + ".log").c_str()).toStdString();
    LogPath = o.LogPath;
    const std::set<int> before = Tasks();
    Sim = std::make_unique<TPhoneSimulator>(std::move(content), o);
    for (int t : Tasks())
      if (!before.count(t)) Tid = t;
  }
};

struct TFigures {
  double Wall = 0, Floor = 0, PhoneFloor = 0, Cpu = 0, WindowCpu = 0, SimCpu = 0;
  std::size_t Exchanges = 0;
  TLineBytes Bytes;
};

// Runs one operation against the phone and measures it.
template <class F>
TFigures Measure(TPhone& phone, F&& operation) {
  TFigures f;
  const std::size_t commandsBefore = phone.Sim->Commands().size();
  const std::size_t logBefore = CountLineBytes(phone.LogPath, 0).Lines;
  const double cpu0 = ProcessCpu(), window0 = OwnThreadCpu(), sim0 = ThreadCpu(phone.Tid);
  const auto start = TClock::now();
  operation();
  f.Wall = std::chrono::duration<double>(TClock::now() - start).count();
  f.SimCpu = ThreadCpu(phone.Tid) - sim0;
  f.WindowCpu = OwnThreadCpu() - window0;
  f.Cpu = ProcessCpu() - cpu0 - f.SimCpu;
  f.Exchanges = phone.Sim->Commands().size() - commandsBefore;
  f.Bytes = CountLineBytes(phone.LogPath, logBefore);
  f.PhoneFloor = ProtocolFloor(f.Exchanges, f.Bytes, /*phoneOnly=*/true);
  f.Floor = ProtocolFloor(f.Exchanges, f.Bytes);
  return f;
}

void Print(const char* what, const TFigures& f) {
  std::printf("%s: %zu exchanges, %lld bytes to the phone, %lld bytes from it\n", what, f.Exchanges, f.Bytes.In,
              f.Bytes.Out);
  std::printf("  wall %.2f s  floor %.2f s  ratio %.3f  (floor of the phone's bytes only %.2f s, ratio %.3f)\n",
              f.Wall, f.Floor, f.Wall / f.Floor, f.PhoneFloor, f.Wall / f.PhoneFloor);
  std::printf("  per exchange %.1f ms beyond its 100 ms wait (the answer's bytes where they outlast it, and the "
              "program's work)\n",
              1e3 * (f.Wall - static_cast<double>(f.Exchanges) * BenchWaitSeconds) / static_cast<double>(f.Exchanges));
  std::printf("  cpu %.3f s  share %.2f %%  (window thread %.3f s, other threads of the program %.3f s; "
              "simulator %.3f s not counted)\n",
              f.Cpu, 100 * f.Cpu / f.Wall, f.WindowCpu, f.Cpu - f.WindowCpu, f.SimCpu);
}

bool Expect(bool ok, const char* what) {
  if (!ok) std::fprintf(stderr, "bench_readrestore: %s\n", what);
  return ok;
}

void AppendLog(const std::string& from, const char* to) {
  if (!to) return;
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary | std::ios::app);
  out << in.rdbuf();
}

}  // namespace

int main(int argc, char** argv) {
  const char* logCopy = argc > 2 && std::string(argv[1]) == "--log" ? argv[2] : nullptr;
  UseQuietOffscreenPlatform();
  TPorts config;

  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  bool ok = true;
  {
    TAppDriver zarvo;
    SetExceptionReporter([&zarvo](const QString& text) { zarvo.Dialogs.ShowException(text); });
    TPhone full(config, 4, BenchmarkPhone());
    TPhone empty(config, 5, TSimContent::Empty());
    const QString file = config.File("generated.zrv");

    const TFigures read = Measure(full, [&] { zarvo.Read(4); });
    const TEntryLists& lists = zarvo.Main.Lists();
    ok &= Expect(lists.Groups.size() == BenchGroups && lists.Contacts.size() == BenchContacts &&
                     lists.Events.size() == BenchEvents &&
                     lists.RingTones.size() == FactoryRingToneCount + BenchRingTones,
                 "the read did not bring every entry");
    zarvo.Dialogs.FileAnswers.push_back(file);
    zarvo.Main.btnSave->click();
    zarvo.Read(5);
    ok &= Expect(zarvo.Main.btnLoad->isEnabled(), "the empty phone did not offer Load");
    zarvo.Dialogs.FileAnswers.push_back(file);
    const TFigures restore = Measure(empty, [&] { zarvo.Main.btnLoad->click(); });
    for (int type : {0, 1, 2, 9})
      ok &= Expect(empty.Sim->Entries(type).size() == full.Sim->Entries(type).size(),
                   "the restore did not store every entry");
    for (const QString& text : zarvo.Texts()) {
      std::fprintf(stderr, "bench_readrestore: shown: %s\n", text.toLocal8Bit().constData());
      ok = false;
    }
    std::printf("Read and restore of %d groups, %d contacts, %d events, %d custom ring tones at %.0f bps\n",
                BenchGroups, BenchContacts, BenchEvents, BenchRingTones, BenchBaud);
    Print("read", read);
    Print("restore", restore);
    AppendLog(full.LogPath, logCopy);
    AppendLog(empty.LogPath, logCopy);
    zarvo.Main.close();
    SetExceptionReporter({});
  }
  return ok ? 0 : 1;
}
