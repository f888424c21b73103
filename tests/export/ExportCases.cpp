#include "ExportCases.h"

#include <QDateTime>
#include <QFile>
#include <QJsonObject>
#include <cmath>

#include "BackupFile.h"
#include "DateNumber.h"
#include "ExportBackup.h"
#include "WriterRecordGenerator.h"

namespace {

TDateTime Date(int y, int m, int d) {
  TDateTime v = 0;
  TryEncodeDate(y, m, d, v);
  return v;
}

TDateTime Time(int h, int mi) {
  TDateTime v = 0;
  TryEncodeTime(h, mi, 0, v);
  return v;
}

TGroup Group(std::int32_t id, std::string name) {
  TGroup g;
  g.GroupID = id;
  g.Name = std::move(name);
  return g;
}

TContact Contact(std::string name, std::int32_t group) {
  TContact c;
  c.Name = std::move(name);
  c.GroupID = group;
  return c;
}

TEvent Event(TDateTime start, TDateTime startTime, std::string description, std::int32_t repeat = rkNone,
             TDateTime until = 0) {
  TEvent e;
  e.StartDate = start;
  e.StartTime = startTime;
  e.Description = std::move(description);
  e.RepeatKind = repeat;
  e.RepeatUntil = until;
  return e;
}

TExportCase EveryField() {
  TExportCase c;
  c.Name = "every kind of field";
  TEntryLists& l = c.Lists;
  l.Groups = {Group(1, "Famille"), Group(2, "Work, Inc.; Ltd"), Group(3, ErrorFieldText)};

  TContact full = Contact("M\xFCller;J\xFCrgen", 1);
  full.TelHome = "+49 30 1234";
  full.TelWork = "030/5678";
  full.TelCell = "0170 1";
  full.TelFax = "2";
  full.TelModem = "3";
  full.EMail = "j\xFCrgen@example.org";
  full.Street = "Hauptstra\xDF" "e 1\r\nHinterhaus";
  full.City = "K\xF6ln";
  full.Region = "NRW";
  full.PostalCode = "50667";
  full.Country = "Deutschland";
  full.Birthday = Date(1970, 1, 31);
  full.Note = "Line one\r\nLine two, with; punctuation \\ backslash\r\n";
  TContact more = Contact("Doe;John;Q;Dr.;Jr.;Extra", 2);
  more.TelCell = "555,1";
  TContact family = Contact("Solo", -1);
  family.Note = "a\x01" "b\tc\x7F\x85";
  TContact noName = Contact("", 99);
  noName.TelWork = "+49 30 1234";
  TContact errorName = Contact(ErrorFieldText, -1);
  errorName.EMail = "a@b.example";
  errorName.Note = ErrorFieldText;
  TContact given = Contact(";Anna", 3);
  given.Street = "x\r\ny";
  given.Country = "a;b";
  given.Note = std::string(100, '\xFC');  // folded between characters, never inside one
  l.Contacts = {full, more, family, noName, errorName, given};
  c.FormattedNames = {"J\u00fcrgen M\u00fcller", "John Doe", "Solo", "+49 30 1234", "a@b.example", "Anna"};

  const TDateTime may1 = Date(2024, 5, 1);
  TEvent dentist = Event(may1, Time(9, 30), "Dentist, Dr. Wei\xDF; room 3\r\nbring card");
  dentist.EndDate = may1;
  dentist.EndTime = Time(10, 15);
  dentist.AlarmDate = may1;
  dentist.AlarmTime = Time(9, 15);
  TEvent daily = Event(may1, Time(8, 0), std::string(80, 'x') + "\r\nsecond", rkDaily, Date(2024, 6, 30));
  daily.AlarmDate = may1;
  daily.AlarmTime = Time(9, 0);
  TEvent weekly = Event(may1, Time(12, 0), "\r\n\r\n" + std::string(58, 'x') + " lunch", rkWeekly, RepeatForever);
  weekly.EndDate = may1;
  weekly.EndTime = Time(11, 0);
  TEvent twoWeeks = Event(may1, 0, "Team", rkEveryTwoWeeks, Date(2025, 1, 1));
  twoWeeks.AlarmDate = Date(2024, 4, 30);
  TEvent yearly = Event(Date(1899, 12, 29), 0, "", rkYearly, 0);
  TEvent errorText = Event(may1, 0, ErrorFieldText, rkWeekly, Date(2024, 12, 31));
  TEvent noStart = Event(0, Time(9, 0), "no start");
  l.Events = {dentist, daily, weekly, twoWeeks, yearly, errorText, noStart,
              Event(may1, 0, "daily forever", rkDaily, RepeatForever),
              Event(may1, 0, "two weeks, no end", rkEveryTwoWeeks, 0),
              Event(may1, 0, "yearly with end", rkYearly, Date(2030, 5, 1))};
  c.Summaries = {"Dentist, Dr. Wei\u00df; room 3", std::string(60, 'x'), std::string(58, 'x'), "Team", "", "",
                 "daily forever", "two weeks, no end", "yearly with end"};
  c.Triggers = {-900, 3600, std::nullopt, -86400, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt};

  TRingTone tone;
  tone.Name = "Tune";
  tone.Data = "0,";
  l.RingTones.resize(FactoryRingToneCount);
  l.RingTones.push_back(tone);
  c.Lines = {"contacts.vcf: 6 contacts (3 fields left out: rejected when loaded)",
             "calendar.ics: 9 events (1 skipped: no valid start date; 1 field left out: rejected when loaded)"};
  return c;
}

TExportCase Generated(std::uint32_t seed) {
  TRecordGenerator gen(seed);
  TExportCase c;
  c.Name = "generated, seed " + std::to_string(seed);
  for (int i = 0; i < 4; ++i) c.Lists.Groups.push_back(gen.Group());
  for (int i = 0; i < 25; ++i) {
    TContact contact = gen.Contact();
    // Some in a group of the backup, so that their CATEGORIES are read back too.
    if (i % 3 == 0) contact.GroupID = c.Lists.Groups[static_cast<std::size_t>(i) % 4].GroupID;
    c.Lists.Contacts.push_back(contact);
  }
  for (int i = 0; i < 25; ++i) c.Lists.Events.push_back(gen.Event());
  return c;
}

// A vCard reader's view of the stored name: the components at ";", the rest in the fifth.
QJsonArray NameComponents(const std::string& name) {
  QJsonArray parts;
  std::string rest = name;
  for (int i = 0; i < 4; ++i) {
    const std::size_t semi = rest.find(';');
    parts.append(QString::fromStdString(ReadableUtf8(rest.substr(0, semi))));
    rest = semi == std::string::npos ? std::string() : rest.substr(semi + 1);
  }
  parts.append(QString::fromStdString(ReadableUtf8(rest)));
  return parts;
}

std::string Kept(const std::string& field) { return field == ErrorFieldText ? std::string() : field; }

QJsonValue Text(const std::string& field) { return QString::fromStdString(ReadableUtf8(Kept(field))); }

std::string Stamp(TDateTime date, TDateTime time, bool withTime) {
  int y = 0, m = 0, d = 0, h = 0, mi = 0, s = 0;
  DecodeDate(date, y, m, d);
  DecodeTime(time, h, mi, s);
  char buf[32];
  if (withTime)
    std::snprintf(buf, sizeof buf, "%04d%02d%02dT%02d%02d%02d", y, m, d, h, mi, s);
  else
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
  return buf;
}

long Seconds(TDateTime date, TDateTime time) {
  int h = 0, mi = 0, s = 0;
  DecodeTime(time, h, mi, s);
  return static_cast<long>(std::trunc(date)) * 86400 + h * 3600 + mi * 60 + s;
}

}  // namespace

std::string ReadableUtf8(const std::string& latin1) {
  QString text;
  for (std::size_t i = 0; i < latin1.size(); ++i) {
    const auto c = static_cast<unsigned char>(latin1[i]);
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < latin1.size() && latin1[i + 1] == '\n') ++i;
      text += QLatin1Char('\n');
    } else if ((c >= 0x20 && c < 0x7F) || c == '\t' || c >= 0xA0) {
      text += QChar(c);
    }
  }
  return text.toStdString();
}

std::vector<TExportCase> ExportCases() {
  std::vector<TExportCase> cases;
  cases.push_back(EveryField());
  TExportCase empty;
  empty.Name = "empty backup";
  empty.Lines = {"contacts.vcf: no contacts, not written", "calendar.ics: no events, not written"};
  cases.push_back(empty);
  TExportCase noStart;
  noStart.Name = "no event with a start";
  noStart.Lists.Events = {Event(0, Time(9, 0), "no start")};
  noStart.Lines = {"contacts.vcf: no contacts, not written",
                   "calendar.ics: no events (1 skipped: no valid start date), not written"};
  cases.push_back(noStart);
  for (std::uint32_t seed : {1u, 2u, 3u}) cases.push_back(Generated(seed));
  return cases;
}

TExported ExportThroughBackup(const TEntryLists& lists, const QString& folder) {
  TLines parseLines;
  const QString backup = QDir(folder).filePath(QStringLiteral("backup.zrv"));
  WriteBackupFile(backup, BuildBackupLines(lists, parseLines));
  TExported out;
  out.Summaries = ExportToFolder(ReadBackupForExport(backup), folder, true, QDateTime::currentDateTimeUtc());
  const auto read = [&](const char* name) {
    QFile file(QDir(folder).filePath(QString::fromLatin1(name)));
    if (!file.open(QIODevice::ReadOnly)) return std::string();
    return file.readAll().toStdString();
  };
  out.Contacts = read(ContactsFileName);
  out.Calendar = read(CalendarFileName);
  return out;
}

QJsonArray ExpectedCards(const TExportCase& c) {
  QJsonArray cards;
  for (std::size_t i = 0; i < c.Lists.Contacts.size(); ++i) {
    const TContact& contact = c.Lists.Contacts[i];
    QJsonObject card;
    card["n"] = NameComponents(Kept(contact.Name));
    card["fn"] = i < c.FormattedNames.size() ? QJsonValue(QString::fromStdString(c.FormattedNames[i])) : QJsonValue();
    QJsonArray tels;
    const std::pair<const char*, const std::string*> numbers[] = {
        {"HOME,VOICE", &contact.TelHome}, {"WORK,VOICE", &contact.TelWork}, {"CELL", &contact.TelCell},
        {"FAX", &contact.TelFax},         {"MODEM", &contact.TelModem}};
    for (const auto& [types, value] : numbers)
      if (const std::string kept = ReadableUtf8(Kept(*value)); !kept.empty())
        tels.append(QJsonArray{QString::fromLatin1(types), QString::fromStdString(kept)});
    card["tel"] = tels;
    card["email"] = Text(contact.EMail);
    QJsonArray adr{QString(), QString()};
    bool anyAdr = false;
    for (const std::string* part : {&contact.Street, &contact.City, &contact.Region, &contact.PostalCode, &contact.Country}) {
      adr.append(Text(*part));
      anyAdr = anyAdr || !ReadableUtf8(Kept(*part)).empty();
    }
    card["adr"] = anyAdr ? QJsonValue(adr) : QJsonValue();
    card["bday"] = contact.Birthday == 0 ? QString() : QString::fromStdString(Stamp(contact.Birthday, 0, false).insert(6, "-").insert(4, "-"));
    card["note"] = Text(contact.Note);
    QJsonValue category;
    for (const TGroup& g : c.Lists.Groups) {
      if (contact.GroupID == -1 || g.GroupID != contact.GroupID) continue;
      if (const std::string name = ReadableUtf8(Kept(g.Name)); !name.empty()) category = QString::fromStdString(name);
      break;
    }
    card["categories"] = category;
    cards.append(card);
  }
  return cards;
}

std::vector<TExpectedEvent> ExpectedEvents(const TEntryLists& lists) {
  std::vector<TExpectedEvent> out;
  for (const TEvent& e : lists.Events) {
    if (e.StartDate == 0) continue;
    TExpectedEvent x;
    x.Start = Stamp(e.StartDate, e.StartTime, true);
    if (e.EndDate != 0 && Seconds(e.EndDate, e.EndTime) > Seconds(e.StartDate, e.StartTime))
      x.End = Stamp(e.EndDate, e.EndTime, true);
    x.Description = ReadableUtf8(Kept(e.Description));
    x.RepeatKind = e.RepeatKind;
    if (e.RepeatKind != rkNone && e.RepeatUntil != 0 && e.RepeatUntil != RepeatForever)
      x.Until = Stamp(e.RepeatUntil, 0, false);
    if (e.AlarmDate != 0) x.Trigger = Seconds(e.AlarmDate, e.AlarmTime) - Seconds(e.StartDate, e.StartTime);
    out.push_back(x);
  }
  return out;
}
