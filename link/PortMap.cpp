#include "PortMap.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <string_view>

#include "PortProbe.h"

namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

// n of "COMn" (any case), or -1.
int ComNumber(std::string_view name) {
  if (name.size() < 4 || name.size() > 13) return -1;
  for (std::size_t i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return -1;
  long n = 0;
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return -1;
    n = n * 10 + (name[i] - '0');
    if (n > 2147483647L) return -1;
  }
  return static_cast<int>(n);
}

}  // namespace

std::string FormatDeviceName(const std::string& deviceName, int portNum) {
  std::string out;
  for (std::size_t i = 0; i < deviceName.size(); ++i) {
    if (deviceName[i] != '%') {
      out += deviceName[i];
      continue;
    }
    std::size_t j = i + 1;
    bool zeroPad = false;
    bool leftAlign = false;
    while (j < deviceName.size() && (deviceName[j] == '0' || deviceName[j] == '-')) {
      (deviceName[j] == '0' ? zeroPad : leftAlign) = true;
      ++j;
    }
    std::size_t width = 0;
    while (j < deviceName.size() && std::isdigit(static_cast<unsigned char>(deviceName[j])) && width < 64)
      width = width * 10 + static_cast<std::size_t>(deviceName[j++] - '0');
    if (j < deviceName.size() && deviceName[j] == '%' && j == i + 1) {
      out += '%';
      i = j;
    } else if (j < deviceName.size() && (deviceName[j] == 'd' || deviceName[j] == 'i' || deviceName[j] == 'u')) {
      std::string digits = std::to_string(deviceName[j] == 'u' ? static_cast<long long>(static_cast<unsigned>(portNum))
                                                               : static_cast<long long>(portNum));
      if (digits.size() < width) {
        const std::size_t pad = width - digits.size();
        if (leftAlign)
          digits.append(pad, ' ');
        else if (zeroPad && digits[0] == '-')
          digits.insert(1, pad, '0');
        else
          digits.insert(0, pad, zeroPad ? '0' : ' ');
      }
      out += digits;
      i = j;
    } else {
      out += '%';  // not a conversion we know: the text stays as written
    }
  }
  return out;
}

std::string PortFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string base = (config && config[0] == '/') ? std::string(config) : HomeFolder() + "/.config";
  return base + "/zarvo/ports";
}

std::string PortPathFor(const std::string& formattedName) {
  if (formattedName.find('/') != std::string::npos) return formattedName;
  const std::string link = PortFolder() + "/" + formattedName;
  struct stat st{};
  // lstat: a link whose device is unplugged still names the port, so that the user is
  // told about the missing device rather than about a different one.
  if (::lstat(link.c_str(), &st) == 0) return link;
  const int n = ComNumber(formattedName);
  if (n >= 1) return ProbeRoots().Dev + "/ttyS" + std::to_string(n - 1);
  return link;
}

std::string DescribeDevice(const std::string& formattedName, const std::string& path) {
  if (path == formattedName) return path;
  std::string text = formattedName + " at " + path;
  char target[4096];
  const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
  if (n > 0) text += " -> " + std::string(target, static_cast<std::size_t>(n));
  return text;
}
