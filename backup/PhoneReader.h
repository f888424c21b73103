#pragma once
// Reading the phone: what the Read button does.
//
// On the window thread: open the chosen port if needed and make sure a Siemens S40 is
// attached, switch the phone into its data mode, list the identifiers of its groups,
// contacts, events and ring tones, then fetch every group, contact, event and custom
// ring tone one by one into the main window's lists and tree, with the progress window
// showing how far it has come. Every phone command goes through the exchange, which shows
// its own message for an error answer or a time-out; the read then ends at once.
//
// A fetched text that is not one whole entry of the kind asked for (its end missing, no
// entry, two entries, a group where a contact was asked for) is kept as it parsed, and
// the read ends, however it ends, with one "Warning" box naming such entries (the same
// text goes to the log).
//
// A successful read leaves the port open and the phone in data mode, for the next read
// and for a restore. Whatever happens, the read ends with its end steps (progress window
// closed, controls enabled again, OperationEdge.h); an exception (a port that cannot be
// opened, a count that is not a number) is shown after them. Nothing leaves.

class IMainWindowHost;

// btnReadClick's body.
void ReadPhone(IMainWindowHost& host) noexcept;

