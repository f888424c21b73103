#pragma once
// The texts that tell the user where a port name leads and what to do when it leads
// nowhere: the port list's tooltips, the log line of an open, the offer to link a port
// name to a USB serial cable, and the hints that follow a failure's own message on a
// new line of its box. Every such text is made here, from what PortProbe found; pure
// functions, any thread.

#include <string>
#include <vector>

#include "PortProbe.h"

// What a hint tells the user to do once the cause is mended: press the window's Read
// button, or run the command again from a shell.
enum class TRetryAction { PressRead, RunAgain };

// Where a name leads and what is there, as the port list's tooltip says it:
// "/dev/ttyS3: no such device", "/dev/ttyS3: no UART behind it", or
// "/dev/serial/by-id/usb-...-port0 (USB serial adapter), linked in ~/.config/zarvo/ports".
std::string DescribePortTarget(const TPortTarget& target);
// The log line of a read that opens the port.
std::string OpeningLogLine(const TPortTarget& target);

// A device found, as hints name it: "/dev/ttyUSB0 (USB serial adapter)".
std::string DescribeFound(const TFoundDevice& device);
// What a new link points at: the by-id name, which survives the adapter getting another
// number, when there is one.
std::string LinkTargetFor(const TFoundDevice& device);

// The read offers a link when the name has none of its own, its /dev/ttyS device is
// missing or has no UART, and USB serial cables are present.
bool ShouldOfferLink(const TPortTarget& target, const std::vector<TFoundDevice>& cables);
struct TLinkOffer {
  std::string Title;
  std::string Text;
  std::vector<std::string> Choices;  // one per cable, in the order given
  std::string AcceptCaption;
};
TLinkOffer LinkOffer(const TPortTarget& target, const std::vector<TFoundDevice>& cables);
// The log line once a link has been made.
std::string LinkedLogLine(const TPortTarget& target, const std::string& linkTarget);

// The hint for an open that failed with the system's error code (0 when unknown), or
// empty when there is nothing to add.
std::string OpenFailureHint(const TPortTarget& target, int error, const std::vector<TFoundDevice>& cables,
                            TRetryAction retry = TRetryAction::PressRead);
// The same, probing the name's path and the cables now.
std::string OpenFailureHint(const std::string& formattedName, const std::string& path, int error,
                            TRetryAction retry = TRetryAction::PressRead);

// The hint for a phone that does not answer its identity on this port, or empty.
std::string IdentityTimeoutHint(const TPortTarget& target, const std::vector<TFoundDevice>& cables,
                                TRetryAction retry = TRetryAction::PressRead);
