// The importer: a table of real and written files through to the phone's records and
// the findings; exported backups read back as the same records; and the duplicate rules
// and the plan against a read phone, in one table.
#include <gtest/gtest.h>

#include <QTimeZone>

#include "AppException.h"
#include "BackupFile.h"
#include "CorpusFiles.h"
#include "DateNumber.h"
#include "Export.h"
#include "ExportCases.h"
#include "Import.h"
#include "ImportMatch.h"
#include "ImportTime.h"
#include "WriterRecordGenerator.h"

namespace {

namespace fs = std::filesystem;

TImportSettings InBerlin() { return {QTimeZone("Europe/Berlin")}; }

std::string Shown(const std::string& latin1) {
  std::string s = Latin1ToUtf8(latin1);
  for (std::size_t at = s.find("\r\n"); at != std::string::npos; at = s.find("\r\n", at)) s.replace(at, 2, "\n");
  return s;
}

std::string Stamp(TDateTime date, TDateTime time, bool withTime = true) {
  if (date == 0) return {};
  int y = 0, m = 0, d = 0, h = 0, mi = 0, s = 0;
  DecodeDate(date, y, m, d);
  DecodeTime(time, h, mi, s);
  char buf[32];
  std::snprintf(buf, sizeof buf, withTime ? "%04d-%02d-%02d %02d:%02d:%02d" : "%04d-%02d-%02d", y, m, d, h, mi, s);
  return buf;
}

// "C0.Name", "E1.Repeat", "G0.Name", "#C": one field of the set as text.
std::string Field(const TImportSet& set, const std::string& key) {
  if (key[0] == '#') return std::to_string(key[1] == 'C' ? set.Contacts.size() : key[1] == 'E' ? set.Events.size() : set.Groups.size());
  const std::size_t i = std::stoul(key.substr(1)), dot = key.find('.');
  const std::string f = key.substr(dot + 1);
  if (key[0] == 'G') return i < set.Groups.size() ? Shown(set.Groups[i].Entry.Name) : "<none>";
  if (key[0] == 'E') {
    if (i >= set.Events.size()) return "<none>";
    const TEvent& e = set.Events[i].Entry;
    static const char* const kRepeat[] = {"", "daily", "weekly", "every two weeks", "yearly"};
    if (f == "Start") return Stamp(e.StartDate, e.StartTime);
    if (f == "End") return Stamp(e.EndDate, e.EndTime);
    if (f == "Alarm") return e.AlarmDate == 0 ? "" : Stamp(e.AlarmDate, e.AlarmTime) + " " + std::to_string(e.AlarmContentID);
    if (f == "Repeat")
      return std::string(kRepeat[e.RepeatKind]) +
             (e.RepeatKind == rkNone ? "" : e.RepeatUntil == RepeatForever ? " forever" : " until " + Stamp(e.RepeatUntil, 0, false));
    return Shown(e.Description);
  }
  if (i >= set.Contacts.size()) return "<none>";
  const TContact& c = set.Contacts[i].Entry;
  const std::pair<const char*, std::string> fields[] = {
      {"Name", c.Name},     {"Home", c.TelHome},     {"Work", c.TelWork},     {"Cell", c.TelCell},
      {"Fax", c.TelFax},    {"Data", c.TelModem},    {"EMail", c.EMail},      {"Street", c.Street},
      {"City", c.City},     {"Region", c.Region},    {"Code", c.PostalCode},  {"Country", c.Country},
      {"Note", c.Note},     {"Group", set.Contacts[i].GroupName}};
  for (const auto& [name, value] : fields)
    if (f == name) return Shown(value);
  if (f == "Birthday") return Stamp(c.Birthday, 0, false);
  return std::to_string(c.NPIHome) + "/" + std::to_string(c.NPIWork) + "/" + std::to_string(c.NPICell) + "/" +
         std::to_string(c.NPIFax) + "/" + std::to_string(c.NPIModem);  // "NPI"
}

std::vector<std::string> FindingLines(const TImportSet& set) {
  std::vector<std::string> lines;
  for (const TImportFinding& f : set.FileFindings) lines.push_back(FindingLine(f));
  const auto add = [&](const auto& entries) {
    for (const auto& e : entries)
      for (const TImportFinding& f : e.Findings) lines.push_back(FindingLine(f));
  };
  add(set.Groups), add(set.Contacts), add(set.Events), add(set.RingTones);
  return lines;
}

struct TFileCase {
  const char* File;  // in import-files, or below the shared corpus as "corpus/..."
  std::vector<std::pair<std::string, std::string>> Fields;
  std::vector<std::string> Findings;  // each a part of some finding line
};

TEST(Import, FilesGiveThePhonesRecordsAndFindings) {
  const std::vector<TFileCase> cases = {
      {"google-contacts.vcf",
       {{"C0.Name", "Müller;Jürgen"}, {"C0.Cell", "+49 171 2345678"}, {"C0.Home", "+49 30 1234567"},
        {"C0.Work", "030 7654321"}, {"C0.NPI", "145/129/145/-1/-1"}, {"C0.EMail", "juergen.mueller@example.de"},
        {"C0.Street", "Hauptstraße 5"}, {"C0.Code", "10115"}, {"C0.Birthday", "1965-03-14"}, {"C0.Group", "Familie"},
        {"C0.Note", "Hat den Schlüssel für den Keller.\nAnrufen nach 18 Uhr.\nOrganisation: Firma GmbH\n"
                    "E-mail (work): j.mueller@firma.example\nTitle: Einkäufer\nWeb (Blog): https://example.de/jm"},
        {"C1.Name", "Acme Ltd."}, {"C1.Work", "+44 20 7946 0000"}, {"C1.Cell", "+44 20 7946 0001"}, {"C1.Note", ""},
        {"C1.Group", ""}},
       {"google-contacts.vcf:18: contact Müller;Jürgen: left out: PHOTO",
        "google-contacts.vcf:1: contact Müller;Jürgen: added to the note: ORG, TITLE, URL, EMAIL",
        "google-contacts.vcf:27: contact Acme Ltd.: birthday without a year cannot be stored"}},
      {"icloud.vcf",
       {{"C0.Name", "Dubois;Frédéric"}, {"C0.Cell", "+33 6 12 34 56 78"}, {"C0.Home", "+33 1 42 00 00 00"},
        {"C0.Work", "+33 1 42 00 00 01"}, {"C0.Fax", "+33 1 42 00 00 02"}, {"C0.Street", "12, rue de l'Église"},
        {"C0.Region", "Île-de-France"}, {"C0.Country", "France"}, {"C0.Birthday", ""},
        {"C0.Note", "Café-Tipp: Rue Mouffetard - am Sonntag \"Marché\".\nOrganisation: Atelier Dubois"}},
       {"icloud.vcf:18: contact Dubois;Frédéric: changed for the phone's character set (Note): –→-, „→\", “→\"",
        "icloud.vcf:16: contact Dubois;Frédéric: left out: X-ABADR, X-ABUID",
        "icloud.vcf:17: contact Dubois;Frédéric: birthday without a year"}},
      {"nextcloud-thunderbird.vcf",
       {{"C0.Name", "Walesa;Lukasz;;Dr."}, {"C0.Cell", "+48-600-100-200"}, {"C0.Work", "+48-22-555-0100"},
        {"C0.Street", "ul. Dluga 7"}, {"C0.Group", "Freunde"},
        {"C0.Note", "Erste Zeile\nZweite Zeile, mit Komma\nAnniversary: 20090808"}, {"G0.Name", "Verein"}, {"#G", "1"}},
       {"nextcloud-thunderbird.vcf:1: contact Walesa;Lukasz;;Dr.: changed for the phone's character set (Name, Street): ł→l, ę→e, Ł→L",
        "nextcloud-thunderbird.vcf:8: contact Walesa;Lukasz;;Dr.: TEL: \";ext=12\" left out",
        "nextcloud-thunderbird.vcf:13: contact Walesa;Lukasz;;Dr.: CATEGORIES Verein left out",
        "nextcloud-thunderbird.vcf:17: contact Walesa;Lukasz;;Dr.: left out: X-SOCIALPROFILE",
        "nextcloud-thunderbird.vcf:23: group Verein: left out: MEMBER"}},
      {"outlook.ics",
       {{"E0.Start", "2026-03-10 09:30:00"}, {"E0.End", "2026-03-10 10:00:00"}, {"E0.Alarm", "2026-03-10 09:15:00 -1"},
        {"E0.Description", "Zahnarzt\nVersichertenkarte mitnehmen\nLocation: Praxis Dr. Weiß"},
        {"E1.Start", "2026-07-07 18:00:00"}, {"E1.Repeat", "weekly until 2026-08-25"},
        {"E2.Start", "2026-03-14 00:00:00"}, {"E2.End", "2026-03-15 23:59:00"}, {"E2.Repeat", "yearly forever"},
        {"E2.Alarm", "2026-03-13 06:00:00 -1"}, {"E3.Start", "2026-04-01 02:00:00"}, {"E3.Repeat", ""}},
       {"outlook.ics:22: event 2026-03-10 09:30 Zahnarzt: left out: CLASS, PRIORITY, TRANSP, X-MICROSOFT-CDO-BUSYSTATUS",
        "outlook.ics:66: event 2026-04-01 02:00 Call with Tokyo: the phone cannot repeat \"FREQ=MONTHLY;BYMONTHDAY=1\": "
        "only the first occurrence stored"}},
      {"google-calendar.ics",
       {{"E0.Start", "2026-01-05 07:30:00"}, {"E0.Repeat", "daily forever"}, {"E0.Alarm", "2026-01-05 07:20:00 -1"},
        {"E0.Description", "Tabletten nehmen"}, {"E1.Repeat", "weekly until 2026-06-15"},
        {"E1.Description", "Schwimmkurs Lukas im Hallenbad, Badesachen!"}, {"E2.Repeat", ""},
        {"E3.Start", "2026-03-29 03:30:00"}, {"#E", "4"}},
       {"google-calendar.ics:37: event 2026-01-05 07:30 Tabletten nehmen: left out: STATUS, TRANSP, further reminder",
        "google-calendar.ics:65: event 2026-01-07 06:00 Altpapier: the phone cannot repeat with exceptions",
        "google-calendar.ics:76: event Tabletten nehmen: a changed occurrence of a repeating event: not added"}},
      {"to-dos.ics",
       {{"E0.Start", "2026-06-22 14:00:00"}, {"E0.End", "2026-06-22 15:30:00"}, {"E0.Description", "Elternabend\nRaum 2.14"}},
       {"to-dos.ics:1: 1 to-do and 1 journal entry left out: the phone keeps events only"}},
      {"damaged.vcf",
       {{"C0.Name", "Erste;Anna"}, {"C1.Name", "Zweite;Berta"}, {"C1.Cell", "0151 2223334"}, {"C2.Name", "Dritte;Clara"}},
       {"damaged.vcf:1: 1 line outside any card or calendar: skipped", "damaged.vcf:7: VCARD has no END",
        "damaged.vcf:11: not a property line: skipped", "damaged.vcf:17: END:VCARD without its BEGIN"}},
      {"not-a-card.txt", {{"#C", "0"}}, {"not-a-card.txt:1: not a vCard, iCalendar or backup file: nothing taken"}},
      {"corpus/gammu-vcards/types.vcf",
       {{"C0.Name", " Nikdo;Nikdovic"}, {"C0.Cell", "444444444"}, {"C0.Home", "333333333"}, {"C0.Work", "555555555"},
        {"C0.EMail", "michal1@cihar.com"}},
       {}},
      {"corpus/gammu-vcards/quoted-printable-empty-new-line.vcf", {{"C0.Name", "Hörmann;Joseph"}, {"C0.Home", "028"}}, {}},
      {"corpus/gammu-vcards/se-2.vcf",
       {{"C0.Name", "Laurent;Catherine"}, {"C0.Street", "23 Allée d'Ozonville"}, {"C0.Birthday", "1965-08-06"}},
       {"se-2.vcf:12: END:VCARD. without its BEGIN"}},
      {"corpus/aosp-vcard-v21/v21_adr_multiple_line.vcf",
       {{"C0.Street", "Grindelberg 999"},
        {"C0.Note", "Address (home): Hermann v. Brevern, 9999999, Packstation 999, 99999, Hamburg, Deutschland\n"
                    "Web: http://bogus.com/"}},
       {}},
      {"corpus/ez-vcard/John_Doe_IPHONE.vcf", {{"C0.Fax", "905-888-1234"}, {"C0.Birthday", "2012-06-06"}},
       {"John_Doe_IPHONE.vcf:19: contact Doe;John;Richter,James;Mr.;Sr.: left out: X-ABADR, PHOTO"}},
      {"corpus/gammu-vcal/outlook.vcs",
       {{"E0.Start", "2010-02-26 09:00:00"}, {"E0.End", "2010-02-26 09:30:00"}, {"E0.Repeat", "daily until 2010-02-28"}},
       {}},
      {"corpus/gammu-vcal/rrule-1.0.vcs", {{"E0.Start", "2004-01-23 12:00:00"}, {"E0.Repeat", "weekly until 2004-03-19"}}, {}},
      {"corpus/kcalendarcore-vcal10/KOrganizer_vCalTestCase05.vcs", {{"E0.Start", "2005-05-20 14:00:00"}, {"E0.Repeat", ""}},
       {"the phone cannot repeat \"W2 MO WE FR 20050630T000000\""}},
      {"corpus/gnokii/test.vcs", {{"#E", "4"}, {"E3.Start", "1979-08-06 03:10:00"}, {"E3.Alarm", "2000-08-06 10:00:00 -1"}}, {}},
  };
  const fs::path corpus = CorpusDir(ZARVO_SHARED_DIR);
  for (const TFileCase& c : cases) {
    SCOPED_TRACE(c.File);
    const std::string file = c.File;
    const fs::path path = file.rfind("corpus/", 0) == 0 ? corpus / file.substr(7) : fs::path(ZARVO_IMPORT_FILES) / file;
    if (file.rfind("corpus/", 0) == 0 && !fs::is_directory(corpus)) continue;  // the shared corpus is absent
    TImportSet set;
    ImportText(set, path.filename().string(), ReadFile(path), InBerlin());
    for (const auto& [key, value] : c.Fields) EXPECT_EQ(Field(set, key), value) << key;
    const std::vector<std::string> lines = FindingLines(set);
    for (const std::string& part : c.Findings)
      EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; }))
          << "no finding with: " << part << "\nthere are:\n" << ::testing::PrintToString(lines);
  }
  // Files by name: a folder is refused with a finding, a file read whole.
  const QString folder = QStringLiteral(ZARVO_IMPORT_FILES);
  const TImportSet byName = ImportFiles({folder, folder + QStringLiteral("/google-contacts.vcf")}, InBerlin());
  EXPECT_EQ(byName.Contacts.size(), 2u);
  ASSERT_FALSE(byName.FileFindings.empty());
  EXPECT_EQ(FindingLine(byName.FileFindings[0]), folder.toStdString() + ": Cannot open file " + folder.toStdString() + ": nothing taken");
}

// What the export carries of a text: as a reader shows it, line breaks as CR LF.
std::string Kept(const std::string& latin1) {
  if (latin1 == ErrorFieldText) return {};
  std::string out = QString::fromStdString(ReadableUtf8(latin1)).toLatin1().toStdString();
  for (std::size_t at = out.find('\n'); at != std::string::npos; at = out.find('\n', at + 2)) out.insert(at, 1, '\r');
  return out;
}

// The contact the importer must make of an exported one: the name's empty trailing
// parts of the five are dropped, and what the export does not write is as a load has it.
TContact Carried(const TContact& c) {
  TContact x;
  x.UID = x.GroupID = x.NewGroupID = x.GroupSoundID = x.GroupNofEntries = -1;
  std::vector<std::string> parts;
  std::string rest = Kept(c.Name);
  for (int i = 0; i < 4 && rest.find(';') != std::string::npos; ++i) {
    parts.push_back(rest.substr(0, rest.find(';')));
    rest.erase(0, rest.find(';') + 1);
  }
  parts.push_back(rest);
  while (!parts.empty() && parts.back().empty()) parts.pop_back();
  for (std::size_t i = 0; i < parts.size(); ++i) x.Name += (i ? ";" : "") + parts[i];
  const std::pair<std::string TContact::*, std::int32_t TContact::*> numbers[] = {
      {&TContact::TelHome, &TContact::NPIHome}, {&TContact::TelWork, &TContact::NPIWork},
      {&TContact::TelCell, &TContact::NPICell}, {&TContact::TelFax, &TContact::NPIFax},
      {&TContact::TelModem, &TContact::NPIModem}};
  for (const auto& [field, npi] : numbers) {
    x.*field = Kept(c.*field);
    x.*npi = (x.*field).empty() ? -1 : (x.*field)[0] == '+' ? 145 : 129;
  }
  for (auto field : {&TContact::EMail, &TContact::Street, &TContact::City, &TContact::Region, &TContact::PostalCode,
                     &TContact::Country, &TContact::Note})
    x.*field = Kept(c.*field);
  x.Birthday = DateSet(c.Birthday) ? c.Birthday : 0;
  return x;
}

std::string GroupOf(const TEntryLists& lists, const TContact& c) {
  for (const TGroup& g : lists.Groups)
    if (c.GroupID != -1 && g.GroupID == c.GroupID) return QString::fromLatin1(Kept(g.Name).c_str()).trimmed().toLatin1().toStdString();
  return {};
}

TEST(Import, ExportedContactsAndEventsComeBackAsTheSameRecords) {
  for (const TExportCase& c : ExportCases()) {
    SCOPED_TRACE(c.Name);
    TImportSet set;
    ImportText(set, "contacts.vcf", ExportContacts(c.Lists).Text, InBerlin());
    ImportText(set, "calendar.ics", ExportCalendar(c.Lists, QDateTime::currentDateTimeUtc()).Text, InBerlin());
    ASSERT_EQ(set.Contacts.size(), c.Lists.Contacts.size());
    for (std::size_t i = 0; i < set.Contacts.size(); ++i) {
      EXPECT_EQ(set.Contacts[i].Entry, Carried(c.Lists.Contacts[i])) << i;
      EXPECT_EQ(set.Contacts[i].GroupName, GroupOf(c.Lists, c.Lists.Contacts[i])) << i;
    }
    const std::vector<TExpectedEvent> expected = ExpectedEvents(c.Lists);
    ASSERT_EQ(set.Events.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const TEvent& e = set.Events[i].Entry;
      const TExpectedEvent& x = expected[i];
      const auto compact = [](TDateTime d, TDateTime t) {
        std::string s = Stamp(d, t);
        std::erase_if(s, [](char ch) { return ch == '-' || ch == ':'; });
        return s.replace(8, 1, "T");
      };
      EXPECT_EQ(compact(e.StartDate, e.StartTime), x.Start) << i;
      EXPECT_EQ(x.End.empty() ? x.Start : x.End, compact(e.EndDate, e.EndTime)) << i;
      EXPECT_EQ(Kept(e.Description), e.Description) << i;  // CR LF line breaks only
      EXPECT_EQ(ReadableUtf8(e.Description), x.Description) << i;
      EXPECT_EQ(e.RepeatKind, x.RepeatKind) << i;
      EXPECT_EQ(x.Until, e.RepeatKind == rkNone || e.RepeatUntil == RepeatForever ? "" : compact(e.RepeatUntil, 0).substr(0, 8)) << i;
      const long alarm = static_cast<long>(FromDateNumbers(e.AlarmDate, e.AlarmTime) - FromDateNumbers(e.StartDate, e.StartTime));
      EXPECT_EQ(x.Trigger, e.AlarmDate == 0 ? std::nullopt : std::optional<long>(alarm)) << i;
    }
  }
}

// The phone as a read leaves it: two groups, two contacts (one name cut), two events, a
// custom ring tone.
TEntryLists ReadPhone() {
  TEntryLists phone;
  phone.Groups = {{101, "Arbeit", 1, 0}, {103, "Familie", 3, 0}};
  TContact cut;
  cut.Name = "M\xFCller;J\xFCrgen Hei";
  cut.TelHome = "+49 30 1234567";
  cut.TelCell = "0171 2345678";
  cut.GroupID = 3;
  TContact tobias;
  tobias.Name = "Wei\xDF;Tobias";
  tobias.TelWork = "+49 89 20304050";
  tobias.GroupID = 1;
  phone.Contacts = {cut, tobias};
  TEvent dentist, choir;
  TryEncodeDate(2026, 3, 10, dentist.StartDate);
  TryEncodeTime(9, 30, 0, dentist.StartTime);
  dentist.Description = "Zahnarzt";
  TryEncodeDate(2026, 1, 8, choir.StartDate);
  TryEncodeTime(19, 30, 0, choir.StartTime);
  choir.Description = "Chorprobe";
  choir.RepeatKind = rkWeekly;
  choir.RepeatUntil = RepeatForever;
  phone.Events = {dentist, choir};
  phone.RingTones.resize(FactoryRingToneCount);
  phone.RingTones.push_back({0x19090001, "Elise", "2,1,2,3,4"});
  return phone;
}

std::string Card(const std::string& lines) { return "BEGIN:VCARD\nVERSION:3.0\n" + lines + "END:VCARD\n"; }

std::string Calendar(const std::string& lines) { return "BEGIN:VCALENDAR\nVERSION:2.0\n" + lines + "END:VCALENDAR\n"; }

// A backup of one group of the phone, a new group with a contact, the phone's ring tone
// and another one of the same name.
std::string Backup() {
  TEntryLists lists;
  lists.Groups = {{-1, "arbeit", 7, -1, 5}, {-1, "Neu", 8, -1, 6}};
  TContact c;
  c.Name = "Neu;Nina";
  c.TelCell = "0170 9";
  c.GroupID = 8;
  lists.Contacts = {c};
  lists.RingTones.resize(FactoryRingToneCount);
  lists.RingTones.push_back({1, "Elise", "2,1,2,3,4"});
  lists.RingTones.push_back({2, "Elise", "1,5,6"});
  TLines parseLines;
  std::string text;
  for (const std::string& line : BuildBackupLines(lists, parseLines)) text += line + "\r\n";
  return text;
}

struct TPlanCase {
  const char* Name;
  std::string Text;
  std::string Summary;
  std::vector<std::string> Links;  // per stored contact after the restore's re-linking
  const char* Country = "";
  bool KeepDuplicates = false;
  const char* ReportPart = "";     // a part of one line of the verbose report
};

// The group a stored contact ends up in once the restore has stored the groups (each new
// one given the group identifier 1000 + its place) and re-linked their contacts.
std::vector<std::string> Links(TImportPlan plan, const TEntryLists& phone) {
  for (std::size_t k = 0; k < plan.Store.Groups.size(); ++k) {
    const TGroup& g = plan.Store.Groups[k];
    for (TContact& c : plan.Store.Contacts)
      if (c.GroupID == g.GroupID) c.NewGroupID = static_cast<std::int32_t>(1000 + k);
  }
  std::vector<std::string> links;
  for (const TContact& c : plan.Store.Contacts) {
    std::string link = "none";
    for (const TGroup& g : phone.Groups)
      if (c.NewGroupID == g.GroupID) link = "phone " + g.Name;
    if (c.NewGroupID >= 1000) link = "new " + plan.Store.Groups[static_cast<std::size_t>(c.NewGroupID - 1000)].Name;
    links.push_back(link);
  }
  return links;
}

TEST(ImportPlan, DuplicatesAreSkippedAndContactsJoinTheirGroups) {
  const std::string juergen = Card("N:M\u00fcller;J\u00fcrgen Heinrich\nTEL;TYPE=WORK:030 123 45 67\nTEL;TYPE=CELL:(0171) 234-5678\n");
  const std::string anna = Card("N:Neu;Anna\nTEL:1\n");
  const std::vector<TPlanCase> cases = {
      {"a cut name and other number spelling, with the country", juergen, "added nothing; 1 already on the phone", {},
       "+49", false, "contact M\u00fcller;J\u00fcrgen Heinrich: already on the phone as contact M\u00fcller;J\u00fcrgen Hei"},
      {"the same without the country", juergen, "added 1 contact", {"none"}},
      {"case and blanks", Card("N:WEI\u00df; tobias\nTEL:+49 (89) 2030.4050\n"), "added nothing; 1 already on the phone", {}},
      {"a name longer on the phone", Card("N:M\u00fcller;J\u00fcrgen\nTEL:+49 30 1234567\nTEL:0171 2345678\n"),
       "added 1 contact", {"none"}},
      {"twice in the files", anna + anna, "added 1 contact; 1 duplicate within the files", {"none"}, "", false,
       "x:6: contact Neu;Anna: already in x:1"},
      {"twice, kept", anna + anna, "added 2 contacts", {"none", "none"}, "", true},
      {"groups of the phone and a new one",
       Card("N:A\nCATEGORIES:familie\n") + Card("N:B\nCATEGORIES:Verein\n") + Card("N:C\nCATEGORIES:VEREIN\n"),
       "added 3 contacts, 1 group", {"phone Familie", "new Verein", "new Verein"}},
      {"events by start, description and repetition",
       Calendar("BEGIN:VEVENT\nDTSTART:20260310T093000\nSUMMARY:zahnarzt\nEND:VEVENT\n"
                "BEGIN:VEVENT\nDTSTART:20260108T193000\nSUMMARY:Chorprobe\nRRULE:FREQ=WEEKLY\nEND:VEVENT\n"
                "BEGIN:VEVENT\nDTSTART:20260108T193000\nSUMMARY:Chorprobe\nRRULE:FREQ=DAILY\nEND:VEVENT\n"),
       "added 1 event; 2 already on the phone", {}},
      {"a backup's groups and ring tones", Backup(), "added 1 contact, 1 group, 1 ring tone; 2 already on the phone",
       {"new Neu"}},
  };
  const TEntryLists phone = ReadPhone();
  for (const TPlanCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TImportSet set;
    ImportText(set, "x", c.Text, InBerlin());
    const TImportPlan plan = PlanImport(phone, set, {c.KeepDuplicates, c.Country});
    EXPECT_EQ(ImportSummary(plan.Counts), c.Summary);
    EXPECT_EQ(Links(plan, phone), c.Links);
    EXPECT_EQ(plan.Store.RingTones.size(), FactoryRingToneCount + static_cast<std::size_t>(plan.Counts.RingTones));
    if (!*c.ReportPart) continue;
    const std::vector<std::string> report = ImportReport(plan, true);
    EXPECT_TRUE(std::any_of(report.begin(), report.end(), [&](const std::string& l) { return l.find(c.ReportPart) != std::string::npos; }))
        << ::testing::PrintToString(report);
  }
}

}  // namespace
