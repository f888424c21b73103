// The command line's read and restore of the benchmark phone (BenchPhone.h): the real
// zarvo-cli spawned as a shell would run it, "backup" against the generated phone and
// "restore" of that backup onto an empty one, both simulated in this process on
// pseudo-terminals reached through a private port map, sending at 115200 bps.
//
// For each it prints the wall time from the spawn to the exit, the protocol floor of
// every exchange the phone saw (the read and the goodbye included, as the program does
// them), their ratio, and zarvo-cli's processor time (user and system, from wait4) as a
// share of one core. The program's start and end are in the wall time.
//
//   bench_cli
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "BenchPhone.h"

extern char** environ;

namespace {

struct TFigures {
  double Wall = 0, Floor = 0, Cpu = 0;
  std::size_t Exchanges = 0;
  TLineBytes Bytes;
  int Status = -1;
};

// A simulated phone on COMn of the port folder, with its line log.
struct TPhone {
  std::string LogPath;
  std::unique_ptr<TPhoneSimulator> Sim;
  TPhone(const std::string& config, int port, TSimContent content) {
    TSimOptions o;
    o.BaudRate = static_cast<int>(BenchBaud);
    o.LinkPath = config + "/zarvo/ports/COM" + std::to_string(port);
    o.LogPath = config + "/line" + std::to_string(port) + ".log";
    LogPath = o.LogPath;
    Sim = std::make_unique<TPhoneSimulator>(std::move(content), o);
  }
};

// zarvo-cli with the arguments and the private port map; its exit status and its own
// processor time.
int Spawn(const std::vector<std::string>& args, const std::string& config, double& cpu) {
  std::vector<std::string> env{"XDG_CONFIG_HOME=" + config};
  for (char** e = environ; *e; ++e)
    if (std::string(*e).rfind("XDG_CONFIG_HOME=", 0) != 0) env.emplace_back(*e);
  std::vector<char*> argv{const_cast<char*>(ZARVO_CLI_PROGRAM)}, envp;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  for (std::string& e : env) envp.push_back(e.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  // What zarvo-cli prints for its user stays out of the figures.
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, ZARVO_CLI_PROGRAM, &actions, nullptr, argv.data(), envp.data());
  ::posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid) return -1;
  cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TFigures Measure(TPhone& phone, const std::vector<std::string>& args, const std::string& config) {
  TFigures f;
  const std::size_t commandsBefore = phone.Sim->Commands().size();
  const std::size_t logBefore = CountLineBytes(phone.LogPath, 0).Lines;
  const auto start = std::chrono::steady_clock::now();
  f.Status = Spawn(args, config, f.Cpu);
  f.Wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  f.Exchanges = phone.Sim->Commands().size() - commandsBefore;
  f.Bytes = CountLineBytes(phone.LogPath, logBefore);
  f.Floor = ProtocolFloor(f.Exchanges, f.Bytes);
  return f;
}

void Print(const char* what, const TFigures& f) {
  std::printf("%s: %zu exchanges, %lld bytes to the phone, %lld bytes from it, exit status %d\n", what, f.Exchanges,
              f.Bytes.In, f.Bytes.Out, f.Status);
  std::printf("  wall %.2f s  floor %.2f s  ratio %.3f\n", f.Wall, f.Floor, f.Wall / f.Floor);
  std::printf("  cpu %.3f s  share %.2f %%  (zarvo-cli's user and system time)\n", f.Cpu, 100 * f.Cpu / f.Wall);
}

bool Expect(bool ok, const char* what) {
  if (!ok) std::fprintf(stderr, "bench_cli: %s\n", what);
  return ok;
}

}  // namespace

int main() {
  char pattern[] = "/tmp/zarvo-bench-cli-XXXXXX";
  if (!::mkdtemp(pattern)) {
    Expect(false, "no scratch folder");
    return 1;
  }
  const std::string config = pattern;
  std::filesystem::create_directories(config + "/zarvo/ports");
  const std::string file = config + "/generated.zrv";
  bool ok = true;
  {
    TPhone full(config, 4, BenchmarkPhone());
    TPhone empty(config, 5, TSimContent::Empty());
    const TFigures read = Measure(full, {"--quiet", "backup", file}, config);
    ok &= Expect(read.Status == 0, "the backup did not succeed");
    const TFigures restore = Measure(empty, {"--quiet", "--port", "COM5", "restore", file}, config);
    ok &= Expect(restore.Status == 0, "the restore did not succeed");
    for (int type : {0, 1, 2, 9})
      ok &= Expect(empty.Sim->Entries(type).size() == full.Sim->Entries(type).size(),
                   "the restore did not store every entry");
    std::printf("zarvo-cli: read and restore of %d groups, %d contacts, %d events, %d custom ring tones at %.0f bps\n",
                BenchGroups, BenchContacts, BenchEvents, BenchRingTones, BenchBaud);
    Print("read", read);
    Print("restore", restore);
  }
  std::filesystem::remove_all(config);
  return ok ? 0 : 1;
}
