#include "PortFinding.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "MainWindowHost.h"
#include "PortHints.h"
#include "PortMap.h"
#include "VaComm.h"

namespace {

QString FromLatin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

bool OfferPortLink(IMainWindowHost& host, const TPortChoice& port) {
  TVaComm& comm = host.VaComm();
  if (!host.OffersPortLink()) return true;
  // Nothing will be opened.
  if (comm.IsOpen() && comm.PortNum() == port.PortNum && comm.DeviceName() == port.DeviceName) return true;
  const TPortTarget target = ProbePort(FormatDeviceName(port.DeviceName, port.PortNum));
  const std::vector<TFoundDevice> cables = UsbSerialDevices();
  if (!ShouldOfferLink(target, cables)) return true;

  const TLinkOffer offer = LinkOffer(target, cables);
  TChoiceSettings settings{FromLatin1(offer.Title), FromLatin1(offer.Text), {}, FromLatin1(offer.AcceptCaption)};
  for (const std::string& choice : offer.Choices) settings.Items << FromLatin1(choice);
  const std::optional<int> chosen = host.Dialogs().ChooseItem(settings);
  if (!chosen || *chosen < 0 || static_cast<std::size_t>(*chosen) >= cables.size()) return false;

  const std::string linkTarget = LinkTargetFor(cables[static_cast<std::size_t>(*chosen)]);
  const std::string link = PortFolder() + "/" + target.Name;
  std::error_code error;
  std::filesystem::create_directories(PortFolder(), error);
  if (!error) std::filesystem::create_symlink(linkTarget, link, error);
  if (error) throw std::runtime_error("Cannot link " + link + " to " + linkTarget + ": " + error.message());
  host.AddLogLine(LinkedLogLine(target, linkTarget));
  return true;
}

TPortOpening::~TPortOpening() { host_.Exchange().TimeoutHint.clear(); }

void TPortOpening::Open() {
  TVaComm& comm = host_.VaComm();
  const TPortTarget target = ProbePort(comm.FormattedDeviceName());
  host_.AddLogLine(OpeningLogLine(target));
  try {
    comm.Open();
  } catch (const EVaCommError& e) {
    const std::string hint = OpenFailureHint(target, e.SystemError(), UsbSerialDevices(), host_.PortHintRetry());
    if (hint.empty()) throw;
    throw EVaCommError(std::string(e.what()) + "\n" + hint, e.SystemError());
  }
  host_.Exchange().TimeoutHint = IdentityTimeoutHint(target, UsbSerialDevices(), host_.PortHintRetry());
}
