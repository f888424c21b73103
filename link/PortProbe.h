#pragma once
// What is behind a port name on this machine: the device the name leads to and what
// kind of device that is, the USB serial cables plugged in, the group a device belongs
// to, and the process that holds a busy device.
//
// Everything is read from the device folder (/dev, with its serial/by-id names), the
// kernel's list of terminals (/sys/class/tty, where a ttyS whose `type` is 0 has no UART
// behind it) and the process table (/proc: its locks and open descriptors). The three
// roots are a seam: tests point them at a fake tree. The port map's /dev/ttyS fallback
// uses the same device root. Nothing here raises; what cannot be read counts as absent.
// Window thread (the roots are changed only by tests, between operations).

#include <optional>
#include <string>
#include <vector>

struct TProbeRoots {
  std::string Dev = "/dev";
  std::string Sys = "/sys";
  std::string Proc = "/proc";
};

// The roots in use; tests change them and put them back.
TProbeRoots& ProbeRoots();

enum class TDeviceKind {
  Missing,      // no device of that name (a link to it dangles)
  SerialPort,   // a ttyS with a UART behind it
  NoUart,       // a ttyS without one: opening it fails or nothing ever answers
  UsbSerial,    // ttyUSB: a USB serial adapter
  UsbModem,     // ttyACM: a USB device speaking the modem class, as some cables do
  Terminal,     // a pseudo-terminal (the phone simulator's line)
  Other,
};

// A device found: its path below the device root, and its /dev/serial/by-id name (which
// survives the adapter getting another number), when it has one.
struct TFoundDevice {
  std::string Path;
  std::string ById;
  TDeviceKind Kind = TDeviceKind::Other;
};

// Where a port name leads.
struct TPortTarget {
  std::string Name;        // the formatted name, "COM4"
  std::string Path;        // the path the port map tries
  bool OwnLink = false;    // the name has a link of its own in the port folder
  std::string LinkTarget;  // what that link says
  std::string Device;      // the device at the end of the links
  std::string ById;
  TDeviceKind Kind = TDeviceKind::Missing;
  // The port map fell back on /dev/ttyS{n-1}.
  bool IsComPort() const { return !OwnLink && Path.find("/ttyS") != std::string::npos; }
};

// Follows the port map for a formatted name (PortPathFor) and looks at what is there.
TPortTarget ProbePort(const std::string& formattedName);
// The same for a path already chosen, e.g. another program's port link.
TPortTarget ProbePortPath(const std::string& formattedName, const std::string& path);

// The USB serial adapters and USB modems present, by name (ttyACM before ttyUSB).
std::vector<TFoundDevice> UsbSerialDevices();

// The group that owns a device, by name (its number when it has none), and whether that
// group may read and write it.
struct TDeviceGroup {
  std::string Name;
  bool MayReadWrite = false;
};
std::optional<TDeviceGroup> DeviceGroup(const std::string& device);

// The process that holds a device: the holder of a lock on it (/proc/locks), else a
// process with the device open among those whose descriptors may be read, told by the
// text of the descriptors' links alone and given up after half a second.
struct THolder {
  std::string Name;
  int Pid = 0;
};
std::optional<THolder> FindHolder(const std::string& device);
