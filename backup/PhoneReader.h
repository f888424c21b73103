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

#include <cstdint>
#include <vector>

#include "PhoneProtocol.h"

class IMainWindowHost;
struct TvObject;
struct TParseSummary;

// btnReadClick's body. True when the read went through to its end, every entry fetched;
// false when it failed, was stopped or found no phone (the window does not look).
bool ReadPhone(IMainWindowHost& host) noexcept;

// Steps of the read that other work with the phone needs on its own (the read calls these
// same functions). Each returns false when the work must end: the exchange, or the step,
// has said why. Window thread; the port errors of the serial component pass through.

// The port choice: for another port than the component's, the phone on the open one
// leaves data mode and the port closes; then the component takes the host's target.
// Before that, the offer to link a port name that leads nowhere (false on Cancel).
bool ChoosePort(IMainWindowHost& host);
// Detection on the closed port: open it, wait for it, and "AT+CGSN" must name a Siemens
// S40; otherwise the port is closed again.
bool DetectPhone(IMainWindowHost& host);
// The data mode switched on anew (off first, and a pause, when it is on already), and
// the three totals of its answer.
bool SwitchDataModeOn(IMainWindowHost& host, TPhoneTotals& totals);
// The identifiers of an entry type, appended to ids piece by piece of its listing (on a
// failure, those listed so far).
bool ListIdentifiers(IMainWindowHost& host, int type, std::vector<std::int32_t>& ids);
// One entry fetched with "AT+C#SGET=": the exchange's Answer holds the entry without the
// answer's first line.
bool FetchEntry(IMainWindowHost& host, int type, std::int32_t uid);
// The fetched vCard or vCalendar text in the exchange's Answer, through ParseLines and the
// parser (logged as the read logs it): the first record in the lists' vObjects, or null
// when none parsed. With a summary, which of the parsed records ended whole.
const TvObject* ParseFetchedEntry(IMainWindowHost& host, TParseSummary* summary = nullptr);

