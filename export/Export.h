#pragma once
// Export of a backup's entries for other programs: the contacts as vCard 3.0 (RFC 2426)
// and the events as iCalendar 2.0 (RFC 5545), UTF-8 without BOM, CR LF after every line,
// lines folded at 75 octets. The phone's vCard 2.1 and vCalendar 1.0 in ISO-8859-1 are
// what few programs read any more; these two are what address books and calendars take.
//
// Pure functions of the entry lists (and the export time for DTSTAMP): the same lists
// give the same text and the same UIDs, in the window and on the command line alike. An
// entry's UID is made from its phone identifier and name (a contact's name, an event's
// title), so that it stays the same when the entry is edited on the phone.
// They throw nothing but std::bad_alloc.

#include <QDateTime>
#include <string>
#include <string_view>

#include "DateNumber.h"
#include "Entries.h"

// The two file names the command line writes, and the suffixes of the save dialog.
inline constexpr const char* ContactsFileName = "contacts.vcf";
inline constexpr const char* CalendarFileName = "calendar.ics";

struct TExportText {
  std::string Text;    // the whole file; empty when nothing was exported
  int Exported = 0;    // contacts or events written
  int LeftOut = 0;     // fields that held "<Error>" (refused when loaded), left out
  int Skipped = 0;     // events without a valid start date
};

// One vCard per contact, in the lists' order. Groups get no card of their own; a
// contact's group name becomes its CATEGORIES.
TExportText ExportContacts(const TEntryLists& lists);

// One VEVENT per event with a valid start date; stamp (any time zone) is the DTSTAMP. No
// text at all when no event has a valid start: an empty VCALENDAR is not valid.
TExportText ExportCalendar(const TEntryLists& lists, const QDateTime& stamp);

// The line the command line prints and the window logs for a file, e.g.
// "contacts.vcf: 200 contacts (3 fields left out: rejected when loaded)", or for a kind
// with nothing to write "calendar.ics: no events, not written".
std::string ContactsSummary(std::string_view fileName, const TExportText& result);
std::string CalendarSummary(std::string_view fileName, const TExportText& result);

// A text value for either format: ISO-8859-1 to UTF-8; "\" "," ";" escaped with a
// backslash and every line break (CR LF, CR or LF) as "\n"; other control characters
// than tab dropped.
std::string EscapeText(std::string_view latin1);

// Folds one content line at 75 octets, never inside a UTF-8 character, and appends it
// with CR LF to out.
void AppendFolded(std::string& out, std::string_view line);

// "urn:uuid:" and the name-based (version 5, SHA-1) UUID of name.
std::string NameBasedUrn(std::string_view name);
