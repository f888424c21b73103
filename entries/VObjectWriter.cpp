#include "VObjectWriter.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "DateNumber.h"

namespace {

constexpr std::string_view kCrLf = "\r\n";

constexpr const char* kNoteHeader = "NOTE;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:=";
constexpr const char* kDescriptionHeader =
    "DESCRIPTION;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:=";
constexpr const char* kRingToneDataName = "X-ZARVO-RINGTONE-DATA:";

// The contact's optional one-line texts, in their order.
struct TTextLine {
  const char* Prefix;
  std::string TContact::*Field;
};
constexpr std::array<TTextLine, 7> kContactTextLines{{
    {"N;CHARSET=ISO-8859-1:", &TContact::Name},
    {"TEL;HOME:", &TContact::TelHome},
    {"TEL;WORK:", &TContact::TelWork},
    {"TEL;CELL:", &TContact::TelCell},
    {"TEL;FAX:", &TContact::TelFax},
    {"TEL;MODEM:", &TContact::TelModem},
    {"EMAIL;INTERNET:", &TContact::EMail},
}};

// The address components after the post office box and the extended address.
constexpr std::array<std::string TContact::*, 5> kAddressFields{
    &TContact::Street, &TContact::City, &TContact::Region, &TContact::PostalCode,
    &TContact::Country};

// Recurrence frequency words by RepeatKind (index 0 unused).
constexpr std::array<const char*, 5> kFrequencyWords{"", "D1", "W1", "W2", "YM1"};

std::string Number(std::int32_t value) { return std::to_string(value); }

// "yyyymmdd" of the whole days of a date-time number.
std::string DateText(TDateTime value) {
  int y = 0, m = 0, d = 0;
  DecodeDate(value, y, m, d);
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", y, m, d);
  return text;
}

// "hhnnss" of the fraction of a date-time number.
std::string TimeText(TDateTime value) {
  int h = 0, n = 0, s = 0;
  DecodeTime(value, h, n, s);
  char text[16];
  std::snprintf(text, sizeof text, "%02d%02d%02d", h, n, s);
  return text;
}

std::string DateTimeText(TDateTime date, TDateTime time) {
  return DateText(date) + "T" + TimeText(time);
}

bool IsCrLfAt(const std::string& s, std::size_t i) {
  return i + 1 < s.size() && s[i] == '\r' && s[i + 1] == '\n';
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// True when s holds word at position i, letters in any case (as the reader compares).
bool HoldsAt(const std::string& s, std::size_t i, std::string_view word) {
  if (i > s.size() || s.size() - i < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k)
    if (Upper(s[i + k]) != word[k]) return false;
  return true;
}

// Cuts text into lines of FoldWidth characters, each but the last followed by "=". A
// last line that ends in "=" itself would read as a soft break and swallow the next
// property, so it gets a soft break to an empty line instead.
void AppendFolded(TLines& lines, const std::string& text) {
  std::size_t pos = 0;
  while (text.size() - pos > FoldWidth) {
    lines.push_back(text.substr(pos, FoldWidth) + "=");
    pos += FoldWidth;
  }
  lines.push_back(text.substr(pos));
  if (!lines.back().empty() && lines.back().back() == '=') {
    lines.back() += '=';
    lines.emplace_back();
  }
}

// Notes and descriptions: "=" first, then CR LF, so that the "=" of an inserted
// "=0D=0A" is not escaped again. Nothing else is touched.
std::string EscapeText(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '=') {
      out += "=3D";
    } else if (IsCrLfAt(text, i)) {
      out += "=0D=0A";
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// One address component: a line break goes on behind "\" on the next line. The reader
// decodes "=3D" and "=0D=0A" in addresses too, so an "=" that would start one of them
// is written as "=3D"; every other "=" stays as it is.
std::string EscapeAddressComponent(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsCrLfAt(text, i)) {
      out += "\\";
      out += kCrLf;
      ++i;
    } else if (text[i] == '=' && (HoldsAt(text, i + 1, "3D") || HoldsAt(text, i + 1, "0D=0A"))) {
      out += "=3D";
    } else {
      out += text[i];
    }
  }
  return out;
}

// The "ADR" item. Its last text line must not end in a continuation mark: a final "="
// is written as "=3D", a final "\" gets a soft break to an empty line.
std::string AddressItem(const TContact& contact) {
  std::string item = "ADR;CHARSET=ISO-8859-1:;;";
  for (std::size_t k = 0; k < kAddressFields.size(); ++k) {
    if (k > 0) item += ';';
    item += EscapeAddressComponent(contact.*kAddressFields[k]);
  }
  if (item.back() == '=') {
    item += "3D";
  } else if (item.back() == '\\') {
    item += '=';
    item += kCrLf;
  }
  return item;
}

// The eight "X-SIEMENS-" lines that close groups and contacts alike.
template <class TRecord>
void AppendSiemensLines(TLines& lines, const TRecord& r) {
  lines.push_back("X-SIEMENS-GROUP-ID:" + Number(r.GroupID));
  lines.push_back("X-SIEMENS-GROUP-SOUND-ID:" + Number(r.GroupSoundID));
  lines.push_back("X-SIEMENS-GROUP-NOF-ENTRIES:" + Number(r.GroupNofEntries));
  lines.push_back("X-SIEMENS-NPI;HOME:" + Number(r.NPIHome));
  lines.push_back("X-SIEMENS-NPI;WORK:" + Number(r.NPIWork));
  lines.push_back("X-SIEMENS-NPI;CELL:" + Number(r.NPICell));
  lines.push_back("X-SIEMENS-NPI;FAX:" + Number(r.NPIFax));
  lines.push_back("X-SIEMENS-NPI;MODEM:" + Number(r.NPIModem));
}

void AppendTextBlock(TLines& lines, const char* header, const std::string& text) {
  lines.emplace_back(header);
  AppendFolded(lines, EscapeText(text));
}

std::string RecurrenceLine(const TEvent& event) {
  const std::string word = kFrequencyWords[static_cast<std::size_t>(event.RepeatKind)];
  if (event.RepeatUntil == RepeatForever) {
    if (event.RepeatKind == rkYearly)
      return "RRULE:" + word + " " + DateText(event.StartDate).substr(4, 2) + " #0";
    return "RRULE:" + word + " #0";
  }
  const std::string untilDate = DateText(event.RepeatUntil);
  const std::string until = untilDate + "T235959";
  if (event.RepeatKind == rkYearly)
    return "RRULE:" + word + " " + untilDate.substr(4, 2) + " " + until;
  return "RRULE:" + word + " " + until;
}

}  // namespace

TLines& GroupToVCard(const TGroup& group, TLines& parseLines) {
  parseLines.clear();
  parseLines.emplace_back();
  parseLines.emplace_back("BEGIN:VCARD");
  parseLines.emplace_back("VERSION:2.1");
  parseLines.push_back("UID:" + Number(group.UID));
  parseLines.push_back("X-SIEMENS-GROUP-NAME:" + group.Name);
  AppendSiemensLines(parseLines, group);
  parseLines.emplace_back("END:VCARD");
  return parseLines;
}

TLines& ContactToVCard(const TContact& contact, TLines& parseLines) {
  parseLines.clear();
  parseLines.emplace_back();
  parseLines.emplace_back("BEGIN:VCARD");
  parseLines.emplace_back("VERSION:2.1");
  for (const TTextLine& line : kContactTextLines)
    if (!(contact.*line.Field).empty()) parseLines.push_back(line.Prefix + contact.*line.Field);
  bool hasAddress = false;
  for (auto field : kAddressFields) hasAddress = hasAddress || !(contact.*field).empty();
  if (hasAddress) parseLines.push_back(AddressItem(contact));
  if (contact.Birthday != 0) parseLines.push_back("BDAY:" + DateText(contact.Birthday) + "T000000");
  if (!contact.Note.empty()) AppendTextBlock(parseLines, kNoteHeader, contact.Note);
  parseLines.push_back("UID:" + Number(contact.UID));
  AppendSiemensLines(parseLines, contact);
  parseLines.emplace_back("END:VCARD");
  return parseLines;
}

TLines& EventToVEvent(const TEvent& event, TLines& parseLines) {
  parseLines.clear();
  parseLines.emplace_back("BEGIN:VEVENT");
  parseLines.push_back("UID:" + Number(event.UID));
  parseLines.push_back("DTSTART:" + DateTimeText(event.StartDate, event.StartTime));
  parseLines.push_back("DTEND:" + DateTimeText(event.EndDate, event.EndTime));
  if (event.RepeatKind >= rkDaily && event.RepeatKind <= rkYearly)
    parseLines.push_back(RecurrenceLine(event));
  // Written for every event, a reminder at day 0 too.
  parseLines.push_back("AALARM;TYPE=RTTTL;VALUE=CONTENT-ID:" +
                       DateTimeText(event.AlarmDate, event.AlarmTime) + ";PT10M;3;" +
                       Number(event.AlarmContentID));
  parseLines.push_back("ATTACH;VALUE=PB-ID:" + Number(event.PBID));
  parseLines.push_back("ATTACH;VALUE=MEMO-ID:" + Number(event.MemoID));
  if (!event.Description.empty())
    AppendTextBlock(parseLines, kDescriptionHeader, event.Description);
  parseLines.emplace_back("END:VEVENT");
  return parseLines;
}

TLines& RingToneToVCard(const TRingTone& ringTone, TLines& parseLines) {
  parseLines.clear();
  parseLines.emplace_back();
  parseLines.emplace_back("BEGIN:VCARD");
  parseLines.emplace_back("VERSION:2.1");
  parseLines.push_back("X-ZARVO-RINGTONE-UID:" + Number(ringTone.UID));
  parseLines.push_back("X-ZARVO-RINGTONE-NAME:" + ringTone.Name);
  // The property name is part of the folded text; the data needs no escaping.
  if (!ringTone.Data.empty()) AppendFolded(parseLines, kRingToneDataName + ringTone.Data);
  parseLines.emplace_back("END:VCARD");
  return parseLines;
}
