#include "PortProbe.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "PortMap.h"

namespace fs = std::filesystem;

namespace {

// A chain of links longer than this is a loop.
constexpr int kMaxHops = 16;

std::string BaseName(const std::string& path) { return fs::path(path).filename().string(); }

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// Where a symbolic link points, made absolute; nothing when the path is not a link.
std::optional<std::string> NextHop(const std::string& path) {
  char target[4096];
  const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
  if (n <= 0) return std::nullopt;
  fs::path next(std::string(target, static_cast<std::size_t>(n)));
  if (next.is_relative()) next = fs::path(path).parent_path() / next;
  return next.lexically_normal().string();
}

std::string ReadFirstLine(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// The kernel has a terminal of this name.
bool IsKernelTty(const std::string& name) {
  struct stat st{};
  return !name.empty() && ::lstat((ProbeRoots().Sys + "/class/tty/" + name).c_str(), &st) == 0;
}

TDeviceKind KindOf(const std::string& device) {
  struct stat st{};
  if (::stat(device.c_str(), &st) != 0) return TDeviceKind::Missing;
  const std::string name = BaseName(device);
  if (StartsWith(name, "ttyS")) {
    // A UART the driver could not find is kept with type 0 (unknown).
    const std::string type = ReadFirstLine(ProbeRoots().Sys + "/class/tty/" + name + "/type");
    return type == "0" ? TDeviceKind::NoUart : TDeviceKind::SerialPort;
  }
  if (StartsWith(name, "ttyUSB")) return TDeviceKind::UsbSerial;
  if (StartsWith(name, "ttyACM")) return TDeviceKind::UsbModem;
  if (StartsWith(device, "/dev/pts/") || StartsWith(device, ProbeRoots().Dev + "/pts/")) return TDeviceKind::Terminal;
  return TDeviceKind::Other;
}

std::string ByIdFor(const std::string& device) {
  std::error_code ec;
  std::vector<std::string> names;
  for (fs::directory_iterator it(ProbeRoots().Dev + "/serial/by-id", ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().string());
  std::sort(names.begin(), names.end());
  for (const std::string& name : names)
    if (NextHop(name) == device) return name;
  return {};
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

std::string ProcessName(int pid) {
  std::string name = ReadFirstLine(ProbeRoots().Proc + "/" + std::to_string(pid) + "/comm");
  return name.empty() ? "a process" : name;
}

std::optional<THolder> LockHolder(const struct stat& device) {
  std::ifstream locks(ProbeRoots().Proc + "/locks");
  std::string line;
  while (std::getline(locks, line)) {
    // "1: FLOCK  ADVISORY  WRITE 812 00:05:123 0 EOF"; "1: -> FLOCK ..." is a waiter.
    std::istringstream fields(line);
    std::string number, type, advisory, mode, file;
    int pid = 0;
    fields >> number >> type;
    if (type == "->") continue;
    if (!(fields >> advisory >> mode >> pid >> file) || pid <= 0) continue;
    unsigned major = 0, minor = 0;
    unsigned long long inode = 0;
    if (std::sscanf(file.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3) continue;
    if (major == ::major(device.st_dev) && minor == ::minor(device.st_dev) && inode == device.st_ino)
      return THolder{ProcessName(pid), pid};
  }
  return std::nullopt;
}

// A process number: a /proc entry of digits that fits a pid; nothing for other names.
std::optional<int> ProcessNumber(const std::string& name) {
  if (name.empty() || name[0] == '0') return std::nullopt;
  int pid = 0;
  const char* end = name.data() + name.size();
  const auto [at, error] = std::from_chars(name.data(), end, pid);
  if (error != std::errc() || at != end) return std::nullopt;
  return pid;
}

// The processes' descriptors are told by the text of their /proc links, never by a stat
// through them: a descriptor on a hung network share would hang the window. The search
// gives up after this long (a machine with tens of thousands of descriptors).
constexpr auto kDescriptorBudget = std::chrono::milliseconds(500);

std::optional<THolder> DescriptorHolder(const std::string& device, const struct stat& st) {
  char resolved[PATH_MAX];
  if (!::realpath(device.c_str(), resolved)) return std::nullopt;
  const std::string wanted = resolved;
  const auto deadline = std::chrono::steady_clock::now() + kDescriptorBudget;
  const auto late = [&] { return std::chrono::steady_clock::now() >= deadline; };

  std::error_code ec;
  std::vector<int> pids;
  for (fs::directory_iterator it(ProbeRoots().Proc, ec), end; !ec && it != end; it.increment(ec))
    if (const std::optional<int> pid = ProcessNumber(it->path().filename().string())) pids.push_back(*pid);
  std::sort(pids.begin(), pids.end());
  for (const int pid : pids) {
    if (late()) return std::nullopt;
    std::error_code fdError;
    const std::string fds = ProbeRoots().Proc + "/" + std::to_string(pid) + "/fd";
    for (fs::directory_iterator it(fds, fdError), end; !fdError && it != end; it.increment(fdError)) {
      if (late()) return std::nullopt;
      // The link's text names the file as the kernel opened it; the device itself, a
      // local node, is then looked at to be sure that it is still the same file.
      if (NextHop(it->path().string()) != wanted) continue;
      struct stat now{};
      if (::lstat(wanted.c_str(), &now) == 0 && SameFile(now, st)) return THolder{ProcessName(pid), pid};
    }
  }
  return std::nullopt;
}

}  // namespace

TProbeRoots& ProbeRoots() {
  static TProbeRoots roots;
  return roots;
}

TPortTarget ProbePortPath(const std::string& formattedName, const std::string& path) {
  TPortTarget t;
  t.Name = formattedName;
  t.Path = path;
  t.OwnLink = formattedName.find('/') == std::string::npos && !StartsWith(path, ProbeRoots().Dev + "/ttyS");
  if (t.OwnLink) {
    char target[4096];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    if (n > 0) t.LinkTarget.assign(target, static_cast<std::size_t>(n));
  }
  // The device is the first hop that the kernel knows as a terminal (a by-id name and a
  // port link are only names for it), or where the links end.
  std::string hop = path;
  for (int i = 0; i < kMaxHops && !IsKernelTty(BaseName(hop)); ++i) {
    const std::optional<std::string> next = NextHop(hop);
    if (!next) break;
    hop = *next;
  }
  t.Device = hop;
  t.Kind = KindOf(hop);
  if (t.Kind != TDeviceKind::Missing) t.ById = ByIdFor(hop);
  return t;
}

TPortTarget ProbePort(const std::string& formattedName) {
  return ProbePortPath(formattedName, PortPathFor(formattedName));
}

std::vector<TFoundDevice> UsbSerialDevices() {
  std::vector<TFoundDevice> found;
  std::error_code ec;
  for (fs::directory_iterator it(ProbeRoots().Sys + "/class/tty", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!StartsWith(name, "ttyUSB") && !StartsWith(name, "ttyACM")) continue;
    const std::string path = ProbeRoots().Dev + "/" + name;
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0) continue;
    found.push_back({path, ByIdFor(path), StartsWith(name, "ttyUSB") ? TDeviceKind::UsbSerial : TDeviceKind::UsbModem});
  }
  std::sort(found.begin(), found.end(), [](const TFoundDevice& a, const TFoundDevice& b) { return a.Path < b.Path; });
  return found;
}

std::optional<TDeviceGroup> DeviceGroup(const std::string& device) {
  struct stat st{};
  if (::stat(device.c_str(), &st) != 0) return std::nullopt;
  TDeviceGroup group;
  std::vector<char> buffer(16384);
  struct group entry{};
  struct group* found = nullptr;
  if (::getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->gr_name)
    group.Name = found->gr_name;
  else
    group.Name = std::to_string(st.st_gid);
  group.MayReadWrite = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
  return group;
}

std::optional<THolder> FindHolder(const std::string& device) {
  struct stat st{};
  if (::stat(device.c_str(), &st) != 0) return std::nullopt;
  if (auto holder = LockHolder(st)) return holder;
  return DescriptorHolder(device, st);
}
