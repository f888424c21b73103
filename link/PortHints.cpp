#include "PortHints.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string_view>

#include "PortMap.h"

namespace {

// By kind, in TDeviceKind's order.
constexpr const char* kKindTexts[] = {
    "no such device",     "serial port", "no UART behind it", "USB serial adapter",
    "USB modem-class device", "pseudo-terminal", "not a serial port"};

static_assert(std::size(kKindTexts) == static_cast<std::size_t>(TDeviceKind::Other) + 1);

const char* KindText(TDeviceKind kind) { return kKindTexts[static_cast<int>(kind)]; }

// Kinds that say what is missing rather than what is there.
bool IsAbsence(TDeviceKind kind) { return kind == TDeviceKind::Missing || kind == TDeviceKind::NoUart; }

// What follows "$HOME/" in path, when path lies there.
std::optional<std::string> BelowHome(const std::string& path) {
  const char* home = std::getenv("HOME");
  if (!home || !*home) return std::nullopt;
  const std::string prefix = std::string(home) + "/";
  if (path.rfind(prefix, 0) != 0) return std::nullopt;
  return path.substr(prefix.size());
}

// The port folder as a user types it: "~/.config/zarvo/ports".
std::string FolderForUser() {
  const std::string folder = PortFolder();
  const std::optional<std::string> below = BelowHome(folder);
  return below ? "~/" + *below : folder;
}

// A path as one word of a POSIX shell command: as it is when it needs no quoting, else in
// single quotes (a ' as '\'').
std::string ShellWord(const std::string& path) {
  constexpr std::string_view kPlain = "_@%+=:,./-";
  const bool plain = !path.empty() && std::all_of(path.begin(), path.end(), [&](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           kPlain.find(c) != std::string_view::npos;
  });
  if (plain) return path;
  std::string word = "'";
  for (const char c : path) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

// The port folder, or a path in it, as a shell word; "~/" stays outside the quotes, where
// the shell still expands it.
std::string FolderWord(const std::string& inside = {}) {
  const std::string path = PortFolder() + inside;
  const std::optional<std::string> below = BelowHome(path);
  return below ? "~/" + ShellWord(*below) : ShellWord(path);
}

std::string ListFound(const std::vector<TFoundDevice>& cables) {
  std::string list;
  for (const TFoundDevice& d : cables) {
    if (!list.empty()) list += ", ";
    list += DescribeFound(d);
  }
  return list;
}

std::string HowToLink(const std::string& name, const std::vector<TFoundDevice>& cables) {
  return std::string(cables.size() == 1 ? "To link " + name + " to it: " : "To link " + name + " to the first: ") +
         "mkdir -p " + FolderWord() + " && ln -sfn " + ShellWord(LinkTargetFor(cables.front())) + " " +
         FolderWord("/" + name);
}

// How a hint ends: what to do once the cause is mended.
const char* Again(TRetryAction retry) {
  return retry == TRetryAction::RunAgain ? "run the command again." : "press Read again.";
}

std::string PlugItIn(TRetryAction retry) {
  return std::string("No serial cable was found: plug it in, then ") + Again(retry);
}

// Nothing behind the name and no cable to go to.
std::string NothingThere(const TPortTarget& t, TRetryAction retry) {
  return (t.Kind == TDeviceKind::NoUart ? t.Device + " has no UART behind it. " : std::string()) + PlugItIn(retry);
}

std::string MayBeOn(const TPortTarget& t, const std::vector<TFoundDevice>& cables) {
  return (cables.size() == 1 ? "The phone may be on " : "The phone may be on one of these: ") + ListFound(cables) +
         ". " + HowToLink(t.Name, cables);
}

std::string GoneLink(const TPortTarget& t, const std::vector<TFoundDevice>& cables, TRetryAction retry) {
  const std::string target = t.LinkTarget.empty() ? t.Device : t.LinkTarget;
  std::string text = "The device that " + t.Name + " is linked to, " + target + ", is gone. ";
  if (cables.empty()) return text + PlugItIn(retry);
  return text + "Serial devices found now: " + ListFound(cables) + ". " + HowToLink(t.Name, cables);
}

std::string NotAllowed(const TPortTarget& t) {
  const std::optional<TDeviceGroup> group = DeviceGroup(t.Device);
  if (group && !group->MayReadWrite)
    return "Only the owner of " + t.Device + " may use it, not its group " + group->Name +
           ": a udev rule giving it to the group dialout (GROUP=\"dialout\", MODE=\"0660\") makes it usable.";
  const std::string name = group ? group->Name : std::string("dialout");
  return t.Device + " belongs to the group " + name + "; add yourself to the group " + name +
         ": sudo adduser $USER " + name + ", then log in again.";
}

std::string LeaveTheCableAlone(const TPortTarget& t) {
  std::string kernel = std::filesystem::path(t.Device).filename().string();
  while (!kernel.empty() && kernel.back() >= '0' && kernel.back() <= '9') kernel.pop_back();
  if (kernel.rfind("tty", 0) != 0) kernel = "ttyUSB";
  return "To make ModemManager leave the cable alone, give it the udev property ID_MM_DEVICE_IGNORE, e.g. with "
         "the line SUBSYSTEM==\"tty\", KERNEL==\"" + kernel +
         "*\", ENV{ID_MM_DEVICE_IGNORE}=\"1\" in /etc/udev/rules.d/99-zarvo.rules, then plug the cable in again; "
         "or stop the service: sudo systemctl stop ModemManager.";
}

std::string Busy(const TPortTarget& t, TRetryAction retry) {
  if (const std::optional<THolder> holder = FindHolder(t.Device)) {
    std::string text = t.Device + " is held by " + holder->Name + " (pid " + std::to_string(holder->Pid) + ").";
    if (holder->Name == "ModemManager") return text + " " + LeaveTheCableAlone(t);
    return text + " Close that program, then " + Again(retry);
  }
  return "Another program holds " + t.Device +
         ". ModemManager is a common one: it probes USB serial cables that look like modems, and a phone is one. " +
         LeaveTheCableAlone(t);
}

}  // namespace

std::string DescribePortTarget(const TPortTarget& t) {
  const std::string shown = t.OwnLink && !t.LinkTarget.empty() ? t.LinkTarget : t.Path;
  std::string text = IsAbsence(t.Kind) ? shown + ": " + KindText(t.Kind) : shown + " (" + KindText(t.Kind) + ")";
  if (t.OwnLink) text += ", linked in " + FolderForUser();
  return text;
}

std::string OpeningLogLine(const TPortTarget& t) {
  const std::string shown = t.OwnLink && !t.LinkTarget.empty() ? t.LinkTarget : t.Path;
  std::string line = "Opening " + t.Name + ": " + DescribePortTarget(t);
  if (t.Device != shown && t.Kind != TDeviceKind::Missing) line += "; device " + t.Device;
  return line;
}

std::string DescribeFound(const TFoundDevice& d) { return d.Path + " (" + KindText(d.Kind) + ")"; }

std::string LinkTargetFor(const TFoundDevice& d) { return d.ById.empty() ? d.Path : d.ById; }

bool ShouldOfferLink(const TPortTarget& t, const std::vector<TFoundDevice>& cables) {
  return t.IsComPort() && IsAbsence(t.Kind) && !cables.empty();
}

TLinkOffer LinkOffer(const TPortTarget& t, const std::vector<TFoundDevice>& cables) {
  TLinkOffer offer;
  offer.Title = "Link " + t.Name;
  const std::string why = t.Kind == TDeviceKind::Missing ? "which does not exist" : "which has no UART behind it";
  offer.Text = t.Name + " stands for " + t.Path + ", " + why + ".\n" +
               (cables.size() == 1 ? "A USB serial cable was found. Link " + t.Name + " to it?"
                                   : "USB serial cables were found. Choose the phone's, and " + t.Name +
                                         " will be linked to it.") +
               "\nThe link is kept as " + FolderForUser() + "/" + t.Name + ".";
  for (const TFoundDevice& d : cables)
    offer.Choices.push_back(d.ById.empty() ? DescribeFound(d)
                                           : std::filesystem::path(d.ById).filename().string() + " (" + d.Path +
                                                 ", " + KindText(d.Kind) + ")");
  offer.AcceptCaption = "&Link";
  return offer;
}

std::string LinkedLogLine(const TPortTarget& t, const std::string& linkTarget) {
  return "Linked " + t.Name + " to " + linkTarget + " in " + FolderForUser();
}

std::string OpenFailureHint(const TPortTarget& t, int error, const std::vector<TFoundDevice>& cables,
                            TRetryAction retry) {
  switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
      if (t.OwnLink) return GoneLink(t, cables, retry);
      return cables.empty() ? NothingThere(t, retry) : MayBeOn(t, cables);
    case EACCES:
    case EPERM:
      return NotAllowed(t);
    case EBUSY:
      return Busy(t, retry);
    default:
      if (t.Kind != TDeviceKind::NoUart) return {};
      return cables.empty() ? NothingThere(t, retry) : t.Device + " has no UART behind it. " + MayBeOn(t, cables);
  }
}

std::string OpenFailureHint(const std::string& formattedName, const std::string& path, int error,
                            TRetryAction retry) {
  return OpenFailureHint(ProbePortPath(formattedName, path), error, UsbSerialDevices(), retry);
}

std::string IdentityTimeoutHint(const TPortTarget& t, const std::vector<TFoundDevice>& cables, TRetryAction retry) {
  if (!t.IsComPort()) return {};
  if (!cables.empty()) return MayBeOn(t, cables);
  return IsAbsence(t.Kind) ? NothingThere(t, retry) : std::string();
}
