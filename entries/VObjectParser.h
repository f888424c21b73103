#pragma once
// The vObject parser: vCard 2.1 text (groups, contacts, custom ring tones) and
// vCalendar 1.0 text with its vEvents (calendar events) into TvObject records.
//
// ParseVObjects walks a list of lines once. Every vCard or vEvent begun appends one
// record to vObjects, starting from the initial values (ClearVObject); the vCalendar
// around the vEvents makes none. The parser is forgiving: it never rejects an entry. What
// it recognises it stores, everything else it reports, and it writes one log line per
// line it looks at ("Line 0007: name = \"Doe;John\""), between a "Parser start: " and a
// "Parser end: " line with the date and time and an empty line on either side. A value
// that is not a whole number where one is expected is logged and skipped; the field
// keeps what it held.
//
// A damaged text loses no intact entry: where an END line is missing, the line that
// begins the next vCard (or, in a vCard, a vCalendar), the next vEvent or the
// vCalendar's end closes what is open, with a line "Line 0009: vEvent end missing" (and
// "vCalendar end missing", "vCard end missing") before the line is read for what it
// is. A value cut where it was to go on (its last line ends in "=") ends before a line
// "BEGIN:VCARD" or "BEGIN:VCALENDAR" that a "VERSION:" line follows: that is the next
// entry, which then closes the cut one as above. The continued lines of a value refused
// for its character set or encoding are skipped with it.
//
// Runs on the caller's thread (the window thread in the program), shows nothing, keeps
// no state between calls and throws nothing but std::bad_alloc; a throwing log function
// ends the parse with what was appended so far.

#include <functional>
#include <string>
#include <vector>

#include "Entries.h"

// Receives each log line's text (empty for the empty lines); the caller renders it and
// appends it to the log (AddLogLine).
using TParserLog = std::function<void(const std::string& text)>;

// How the records of a parse ended, one flag per record of vObjects: whole when its own
// END line came, for a vEvent also its vCalendar's; not whole when the list ended first
// or the next entry closed it.
struct TParseSummary {
  std::vector<bool> Whole;
};

// Empties vObjects and fills it with one TvObject per vCard or vEvent begun, in text
// order. False, with vObjects empty, for a list of fewer than 3 lines; true otherwise,
// also when the text held no vObject. Fills summary when given.
bool ParseVObjects(const TLines& lines, std::vector<TvObject>& vObjects, const TParserLog& log,
                   TParseSummary* summary = nullptr);
