#pragma once
// Shared helpers of the parser tests: a parse that keeps its log, the findings between
// the frame lines, wrappers that put property lines into a vCard or a vEvent, and the
// backup file's line split (the files themselves: CorpusFiles.h).

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "CorpusFiles.h"
#include "Entries.h"

struct TParsed {
  bool Ok = false;
  std::vector<TvObject> Records;
  std::vector<std::string> Log;  // every line the parser wrote, the frame included
  std::vector<bool> Whole;       // by record: ended by its own END lines

  // The log without its first two and last two lines (empty, start, end, empty).
  std::vector<std::string> Findings() const;
};

TParsed Parse(const TLines& lines);

// BEGIN:VCARD, the lines, END:VCARD: the body starts on line 2.
TLines InVCard(const TLines& body);
// BEGIN:VCALENDAR, VERSION:1.0, BEGIN:VEVENT, the lines, END:VEVENT, END:VCALENDAR: the
// body starts on line 4.
TLines InVEvent(const TLines& body);

// Lines as a backup file load makes them: a line ends at CR LF, a lone CR or a lone LF,
// and a NUL character ends the text.
TLines SplitText(std::string_view text);

// Checks that hold for every parse, whatever its input: the frame, one finding at most
// per line (besides those about END lines missing there) in increasing line order,
// silent lines only where an END line or a continuation explains them, and no more
// records than vObjects begun. Returns the faults found (empty when none).
std::vector<std::string> CheckInvariants(const TLines& lines, const TParsed& parsed);

TDateTime Day(int year, int month, int day);
TDateTime Clock(int hour, int minute, int second);
