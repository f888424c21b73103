#pragma once
// Finding the phone's port, around the read's opening of it.
//
// Before a read that will open a port, and before anything is sent: when the chosen name
// has no link of its own, its /dev/ttyS device is missing or has no UART, and USB serial
// cables are present, the user is offered to link the name to one of them (through the
// dialogs seam); Cancel ends the read. When the read opens the port, the log notes where
// the name leads; a failed open's message gains a hint on a new line of its box, and so
// does the time-out box of an identity that gets no answer. The texts are PortHints'.
// Window thread.

class IMainWindowHost;
struct TPortChoice;

// False when the user cancelled the offer: the read then ends without a word. Raises
// std::runtime_error when the link cannot be made. A host that offers no links (the
// console) goes on without a word: the open's failure then says what to do.
bool OfferPortLink(IMainWindowHost& host, const TPortChoice& port);

// The opening of the port in a read's detection; while it lives, the exchange's time-out
// box carries the hint for an identity that gets no answer on this port.
class TPortOpening {
 public:
  explicit TPortOpening(IMainWindowHost& host) : host_(host) {}
  ~TPortOpening();
  TPortOpening(const TPortOpening&) = delete;
  TPortOpening& operator=(const TPortOpening&) = delete;

  // VaComm().Open(), with the log line before it and the hint added to its failure.
  void Open();

 private:
  IMainWindowHost& host_;
};
