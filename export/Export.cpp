#include "Export.h"

#include <QCryptographicHash>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

#include "AppException.h"
#include "CountText.h"
#include "DateNumber.h"

#ifndef ZARVO_VERSION
#define ZARVO_VERSION "0"
#endif

namespace {

constexpr std::size_t kMaxLineOctets = 75;
constexpr std::size_t kSummaryCharacters = 60;
// What a reminder of an event without a title shows.
constexpr const char* kReminderText = "Reminder";
constexpr const char* kProdId = "PRODID:-//ZARVO//zarvo-export " ZARVO_VERSION "//EN";

// Our own namespace for the name-based UIDs, so that they never collide with another
// program's.
constexpr std::array<unsigned char, 16> kUidNamespace = {0x3b, 0x8f, 0x2e, 0x61, 0x5d, 0x0c, 0x4a, 0x97,
                                                         0xb2, 0x1e, 0x7c, 0x44, 0x09, 0xd3, 0x6a, 0x58};

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// Dropped: C0 controls but tab, DEL, and the C1 controls of ISO-8859-1.
bool IsDropped(unsigned char c) { return (c < 0x20 && c != '\t') || (c >= 0x7F && c <= 0x9F); }

bool IsError(const std::string& field) { return field == ErrorFieldText; }


struct TStamp {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
  std::int64_t Days = 0;  // the whole days of the number, for differences
  std::int64_t Seconds() const { return Days * 86400 + Hour * 3600 + Minute * 60 + Second; }
};

TStamp ToStamp(TDateTime date, TDateTime time) {
  TStamp s;
  DecodeDate(date, s.Year, s.Month, s.Day);
  DecodeTime(std::isfinite(time) ? time : 0, s.Hour, s.Minute, s.Second);
  s.Days = static_cast<std::int64_t>(std::trunc(date));
  return s;
}

void AppendDigits(std::string& out, int value, int width) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < width) out.append(static_cast<std::size_t>(width) - digits.size(), '0');
  out += digits;
}

std::string DateText(const TStamp& s, bool dashes) {
  std::string out;
  AppendDigits(out, s.Year, 4);
  if (dashes) out += '-';
  AppendDigits(out, s.Month, 2);
  if (dashes) out += '-';
  AppendDigits(out, s.Day, 2);
  return out;
}

std::string DateTimeText(const TStamp& s) {
  std::string out = DateText(s, false);
  out += 'T';
  AppendDigits(out, s.Hour, 2);
  AppendDigits(out, s.Minute, 2);
  AppendDigits(out, s.Second, 2);
  return out;
}

// RFC 5545 dur-value: [-]P[nD][T[nH][nM][nS]], "PT0S" for no difference.
std::string DurationText(std::int64_t seconds) {
  std::string out = seconds < 0 ? "-P" : "P";
  std::uint64_t rest = seconds < 0 ? static_cast<std::uint64_t>(-seconds) : static_cast<std::uint64_t>(seconds);
  const std::uint64_t days = rest / 86400;
  rest %= 86400;
  const std::uint64_t h = rest / 3600, m = rest / 60 % 60, s = rest % 60;
  if (days > 0) out += std::to_string(days) + "D";
  if (rest > 0 || days == 0) {
    out += 'T';
    if (h > 0) out += std::to_string(h) + "H";
    // A dur-hour may only be followed by a dur-minute, which a dur-second follows.
    if (m > 0 || (h > 0 && s > 0)) out += std::to_string(m) + "M";
    if (s > 0 || rest == 0) out += std::to_string(s) + "S";
  }
  return out;
}

// The stored name split at ";" into the five components of N; what lies beyond the fifth
// stays in it, its ";" escaped, so that nothing of the name is lost.
std::array<std::string, 5> NameComponents(const std::string& name) {
  std::array<std::string, 5> parts;
  std::size_t index = 0;
  std::size_t start = 0;
  while (index < 4) {
    const std::size_t semi = name.find(';', start);
    if (semi == std::string::npos) break;
    parts[index++] = name.substr(start, semi - start);
    start = semi + 1;
  }
  parts[index] = name.substr(start);
  return parts;
}

// Text without its control characters and line breaks, as ISO-8859-1 still.
std::string Visible(std::string_view latin1) {
  std::string out;
  for (char c : latin1)
    if (!IsDropped(static_cast<unsigned char>(c))) out += c;
  return out;
}

std::string Trimmed(const std::string& s) {
  const std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The first line of a description that is not blank, without blanks at either end: the
// event's title.
std::string TitleOf(const std::string& description) {
  std::size_t start = 0;
  while (start < description.size()) {
    std::size_t end = start;
    while (end < description.size() && !IsLineBreak(description[end])) ++end;
    const std::string line = Trimmed(Visible(std::string_view(description).substr(start, end - start)));
    if (!line.empty()) return line;
    start = end + 1;
  }
  return {};
}

// The title as SUMMARY: at most 60 characters (one byte each), cut at the last blank that
// keeps it within them, no blank at its end. A first word longer than that is cut at 60:
// a shortened word says more than no title, and DESCRIPTION keeps the whole.
std::string SummaryOf(const std::string& title) {
  if (title.size() <= kSummaryCharacters) return title;
  std::size_t cut = kSummaryCharacters;
  while (cut > 0 && !IsBlank(title[cut])) --cut;
  if (cut == 0) return title.substr(0, kSummaryCharacters);
  std::string summary = title.substr(0, cut);
  summary.erase(summary.find_last_not_of(" \t") + 1);
  return summary;
}

// The UIDs of one file. An entry with the phone's identifier keeps its UID when it is
// edited on the phone: the UID is made from the kind, the identifier and the entry's name
// (a contact's stored name, an event's title), so that an identifier the phone gives a
// new entry after a delete makes a new UID rather than taking over the deleted one's. An
// entry without an identifier (below 0: it never came from a phone) gets its UID from all
// its lines. Equal keys within the file are told apart by their ordinal.
class TEntryUids {
 public:
  std::string Next(std::string_view kind, std::int32_t identifier, const std::string& name,
                   const std::vector<std::string>& lines) {
    std::string key(kind);
    if (identifier >= 0) {
      key += "\nidentifier " + std::to_string(identifier) + "\n" + name;
    } else {
      for (const std::string& line : lines) {
        key += '\n';
        key += line;
      }
    }
    const int ordinal = seen_[key]++;
    key += "\n#" + std::to_string(ordinal);
    return "UID:" + NameBasedUrn(key);
  }

 private:
  std::map<std::string, int> seen_;
};


std::string LeftOutText(int n) { return CountText(n, "field", "fields") + " left out: rejected when loaded"; }

}  // namespace

std::string EscapeText(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size() + latin1.size() / 8);
  for (std::size_t i = 0; i < latin1.size(); ++i) {
    const char c = latin1[i];
    switch (c) {
      case '\r':
        if (i + 1 < latin1.size() && latin1[i + 1] == '\n') ++i;
        out += "\\n";
        break;
      case '\n': out += "\\n"; break;
      case '\\': out += "\\\\"; break;
      case ',': out += "\\,"; break;
      case ';': out += "\\;"; break;
      default:
        if (!IsDropped(static_cast<unsigned char>(c))) AppendLatin1AsUtf8(out, c);
        break;
    }
  }
  return out;
}

void AppendFolded(std::string& out, std::string_view line) {
  std::size_t limit = kMaxLineOctets;
  while (line.size() > limit) {
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
    out.append(line.substr(0, cut));
    out += "\r\n ";
    line.remove_prefix(cut);
    limit = kMaxLineOctets - 1;  // the continuation's leading blank counts
  }
  out.append(line);
  out += "\r\n";
}

std::string NameBasedUrn(std::string_view name) {
  QCryptographicHash sha1(QCryptographicHash::Sha1);
  sha1.addData(QByteArrayView(reinterpret_cast<const char*>(kUidNamespace.data()),
                              static_cast<qsizetype>(kUidNamespace.size())));
  sha1.addData(QByteArrayView(name.data(), static_cast<qsizetype>(name.size())));
  QByteArray hash = sha1.result();
  hash[6] = static_cast<char>((hash[6] & 0x0F) | 0x50);  // version 5
  hash[8] = static_cast<char>((hash[8] & 0x3F) | 0x80);  // the RFC 4122 variant
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "urn:uuid:";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
    const auto byte = static_cast<unsigned char>(hash[i]);
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
  }
  return out;
}

TExportText ExportContacts(const TEntryLists& lists) {
  TExportText result;
  TEntryUids uids;
  std::vector<std::string> lines;
  for (const TContact& c : lists.Contacts) {
    lines.clear();
    const auto field = [&](const std::string& value) -> const std::string& {
      static const std::string empty;
      if (!IsError(value)) return value;
      ++result.LeftOut;
      return empty;
    };

    const std::array<std::string, 5> n = NameComponents(field(c.Name));
    std::string nLine = "N:";
    for (std::size_t i = 0; i < n.size(); ++i) {
      if (i > 0) nLine += ';';
      nLine += EscapeText(n[i]);
    }
    lines.push_back(nLine);

    const std::string family = Trimmed(Visible(n[0])), given = Trimmed(Visible(n[1]));
    std::string fn = given.empty() ? family : family.empty() ? given : given + " " + family;
    if (fn.empty()) {
      std::string rest;
      for (std::size_t i = 2; i < n.size(); ++i) {
        const std::string part = Trimmed(Visible(n[i]));
        if (part.empty()) continue;
        if (!rest.empty()) rest += ' ';
        rest += part;
      }
      fn = rest;
    }

    struct TTel {
      const std::string* Value;
      const char* Params;
    };
    const TTel tels[] = {{&c.TelHome, "TEL;TYPE=HOME,VOICE:"},
                         {&c.TelWork, "TEL;TYPE=WORK,VOICE:"},
                         {&c.TelCell, "TEL;TYPE=CELL:"},
                         {&c.TelFax, "TEL;TYPE=FAX:"},
                         {&c.TelModem, "TEL;TYPE=MODEM:"}};
    std::vector<std::string> contactLines;
    for (const TTel& tel : tels) {
      const std::string value = EscapeText(field(*tel.Value));
      if (value.empty()) continue;
      contactLines.push_back(tel.Params + value);
      if (fn.empty()) fn = Trimmed(Visible(*tel.Value));
    }
    const std::string email = EscapeText(field(c.EMail));
    if (!email.empty()) {
      contactLines.push_back("EMAIL;TYPE=INTERNET:" + email);
      if (fn.empty()) fn = Trimmed(Visible(c.EMail));
    }
    lines.push_back("FN:" + EscapeText(fn));
    lines.insert(lines.end(), contactLines.begin(), contactLines.end());

    const std::string adrParts[] = {EscapeText(field(c.Street)), EscapeText(field(c.City)),
                                    EscapeText(field(c.Region)), EscapeText(field(c.PostalCode)),
                                    EscapeText(field(c.Country))};
    std::string adr = "ADR;TYPE=HOME:;";
    bool anyAdr = false;
    for (const std::string& part : adrParts) {
      adr += ";" + part;
      anyAdr = anyAdr || !part.empty();
    }
    if (anyAdr) lines.push_back(adr);

    if (DateSet(c.Birthday)) lines.push_back("BDAY:" + DateText(ToStamp(c.Birthday, 0), true));
    const std::string note = EscapeText(field(c.Note));
    if (!note.empty()) lines.push_back("NOTE:" + note);

    if (c.GroupID != -1) {
      for (const TGroup& g : lists.Groups) {
        if (g.GroupID != c.GroupID) continue;
        const std::string category = EscapeText(field(g.Name));
        if (!category.empty()) lines.push_back("CATEGORIES:" + category);
        break;
      }
    }

    const std::string uid = uids.Next("VCARD", c.UID, c.Name, lines);
    AppendFolded(result.Text, "BEGIN:VCARD");
    AppendFolded(result.Text, "VERSION:3.0");
    AppendFolded(result.Text, kProdId);
    for (const std::string& line : lines) AppendFolded(result.Text, line);
    AppendFolded(result.Text, uid);
    AppendFolded(result.Text, "END:VCARD");
    ++result.Exported;
  }
  return result;
}

TExportText ExportCalendar(const TEntryLists& lists, const QDateTime& stamp) {
  TExportText result;
  TEntryUids uids;
  const QDateTime utc = stamp.toUTC();
  const std::string dtstamp =
      "DTSTAMP:" + utc.toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")).toStdString();
  std::string events;
  std::vector<std::string> lines;
  for (const TEvent& e : lists.Events) {
    if (!DateSet(e.StartDate)) {
      ++result.Skipped;
      continue;
    }
    lines.clear();
    const TStamp start = ToStamp(e.StartDate, e.StartTime);
    lines.push_back("DTSTART:" + DateTimeText(start));
    if (DateSet(e.EndDate)) {
      const TStamp end = ToStamp(e.EndDate, e.EndTime);
      if (end.Seconds() > start.Seconds()) lines.push_back("DTEND:" + DateTimeText(end));
    }
    std::string description = e.Description;
    if (IsError(description)) {
      ++result.LeftOut;
      description.clear();
    }
    const std::string title = TitleOf(description);
    const std::string summary = EscapeText(SummaryOf(title));
    if (!summary.empty()) lines.push_back("SUMMARY:" + summary);
    const std::string escaped = EscapeText(description);
    if (!escaped.empty()) lines.push_back("DESCRIPTION:" + escaped);

    const char* freq = nullptr;
    switch (e.RepeatKind) {
      case rkDaily: freq = "FREQ=DAILY"; break;
      case rkWeekly: freq = "FREQ=WEEKLY"; break;
      case rkEveryTwoWeeks: freq = "FREQ=WEEKLY;INTERVAL=2"; break;
      case rkYearly: freq = "FREQ=YEARLY"; break;
      default: break;
    }
    if (freq) {
      std::string rrule = std::string("RRULE:") + freq;
      // UNTIL takes the value type of DTSTART: a floating date-time, the whole last day.
      if (e.RepeatUntil != RepeatForever && DateSet(e.RepeatUntil))
        rrule += ";UNTIL=" + DateText(ToStamp(e.RepeatUntil, 0), false) + "T235959";
      lines.push_back(rrule);
    }

    if (DateSet(e.AlarmDate)) {
      const TStamp alarm = ToStamp(e.AlarmDate, e.AlarmTime);
      lines.push_back("BEGIN:VALARM");
      // A reminder that shows the title: many calendars take only these as reminders.
      lines.push_back("ACTION:DISPLAY");
      lines.push_back("DESCRIPTION:" + (summary.empty() ? std::string(kReminderText) : summary));
      lines.push_back("TRIGGER:" + DurationText(alarm.Seconds() - start.Seconds()));
      lines.push_back("END:VALARM");
    }

    const std::string uid = uids.Next("VEVENT", e.UID, title, lines);
    AppendFolded(events, "BEGIN:VEVENT");
    AppendFolded(events, uid);
    AppendFolded(events, dtstamp);
    for (const std::string& line : lines) AppendFolded(events, line);
    AppendFolded(events, "END:VEVENT");
    ++result.Exported;
  }
  if (result.Exported == 0) return result;
  AppendFolded(result.Text, "BEGIN:VCALENDAR");
  AppendFolded(result.Text, "VERSION:2.0");
  AppendFolded(result.Text, kProdId);
  AppendFolded(result.Text, "CALSCALE:GREGORIAN");
  result.Text += events;
  AppendFolded(result.Text, "END:VCALENDAR");
  return result;
}

std::string ContactsSummary(std::string_view fileName, const TExportText& result) {
  std::string line(fileName);
  line += ": ";
  if (result.Exported == 0) return line + "no contacts, not written";
  line += CountText(result.Exported, "contact", "contacts");
  if (result.LeftOut > 0) line += " (" + LeftOutText(result.LeftOut) + ")";
  return line;
}

std::string CalendarSummary(std::string_view fileName, const TExportText& result) {
  std::vector<std::string> notes;
  if (result.Skipped > 0) notes.push_back(std::to_string(result.Skipped) + " skipped: no valid start date");
  if (result.LeftOut > 0) notes.push_back(LeftOutText(result.LeftOut));
  std::string tail;
  for (const std::string& note : notes) tail += (tail.empty() ? " (" : "; ") + note;
  if (!tail.empty()) tail += ")";
  std::string line(fileName);
  line += ": ";
  if (result.Exported == 0) return line + "no events" + tail + ", not written";
  return line + CountText(result.Exported, "event", "events") + tail;
}
