#pragma once
// The phone's answers taken apart and its entries put together, without any I/O: the
// data-mode totals, the identifier listing, the binary ring tone record in both
// directions, the text of an entry as it is stored, and the new identifier of a stored
// entry. The read and the restore call these on the window thread; the fuzz targets call
// them with arbitrary bytes. Nothing here reads beyond the text it is given.
//
// Failures are thrown as std::runtime_error with the text the user sees (UTF-8, the
// phone's or the backup's text in it converted from ISO-8859-1).

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Entries.h"
#include "VObjectText.h"  // SplitLines

// The text-to-integer conversion the parser uses (blanks in front, a sign, decimal
// digits, nothing after, within 32 bits). Throws "'<text>' is not a valid integer value".
std::int32_t StrToInt(std::string_view text);

// Two upper-case hexadecimal digits of a byte.
std::string ByteToHex(unsigned char b);
// Eight hexadecimal digits, the first the most significant, as a signed 32-bit value.
std::int32_t HexToInt(std::string_view eightDigits);

// The three "Total-Records: " counts of "AT+C#SMDE=1": contacts, groups, events.
struct TPhoneTotals {
  int Contacts = 0;
  int Groups = 0;
  int Events = 0;
};
TPhoneTotals DecodeTotals(std::string answer);

// One piece of an "AT+C#SLST=" listing.
struct TListingPiece {
  bool Last = true;                   // the continuation mark was "0" (or absent)
  std::vector<std::int32_t> Entries;  // the identifiers, in order
};
// Bytes promised by the piece's count but not received read as zeros.
TListingPiece DecodeListingPiece(const std::string& answer);

// A custom ring tone as the phone's binary record gives it.
struct TRingToneRecordInfo {
  std::string Name;
  std::string Data;         // "n,a1,b1,...": the form of TRingTone::Data
  bool Consistent = false;  // byte 46 was 1
};
// The record follows the answer's first line, which is dropped here by the caller.
TRingToneRecordInfo DecodeRingToneRecord(const std::string& record);

// The record the phone takes for a custom ring tone: 48 + 4n bytes. A name longer than
// 21 characters is cut to 21; Data that is not a count followed by that many pairs of
// numbers from 0 to 65535 (at most 255 pairs) is refused with a clear error.
TDynamicCharArray BuildRingToneRecord(const TRingTone& ringTone);

// The text of a group, contact or event as it is stored: the writer's lines joined with
// CR LF, trimmed, split and joined again so that it ends in exactly one CR LF; an event
// also gets a vCalendar of its own around it.
std::string EntryText(const TLines& lines);
std::string EventEntryText(const TLines& veventLines);

// The identifier after the first "+C#SPUT: " of a store answer: the nine characters
// that follow it, read as a decimal number (digits that stop early end the number).
std::int32_t DecodeNewIdentifier(const std::string& answer);
