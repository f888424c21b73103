// The built-in sample phone: a family's Siemens S40 with groups, contacts that use every
// field, ungrouped contacts, events of every repeat kind, and custom ring tones.
//
// Every entry is written in the line order and form that the program's own writers
// produce, so that reading this phone, saving, loading and restoring it on an empty
// phone gives the same file again. The entries are stored through the phone's own
// store path in the order a restore uses (groups, contacts, events, ring tones), so an
// empty phone that is restored from the sample's backup hands out the same identifiers.
// Texts are ISO-8859-1: the literals below are UTF-8 and converted once.

#include <string>
#include <vector>

#include "SimContent.h"
#include "SimVObject.h"

namespace {

// UTF-8 (as this file is written) to ISO-8859-1 (as the phone holds text).
std::string L1(const std::string& utf8) {
  std::string latin;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    auto c = static_cast<unsigned char>(utf8[i]);
    if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
      latin += char(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
    } else {
      latin += char(c);
    }
  }
  return latin;
}

struct TText {
  std::string Text;
  void Line(const std::string& line) { Text += line + "\r\n"; }
};

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// A note or description: "=" escaped first, then CR LF, then folded at 75.
void QuotedLines(TText& out, const std::string& header, const std::string& text) {
  out.Line(header + ";CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:=");
  for (const auto& line : SimFold(ReplaceAll(ReplaceAll(text, "=", "=3D"), "\r\n", "=0D=0A")))
    out.Line(line);
}

std::string GroupCard(const std::string& name, int soundId, int entries) {
  TText out;
  out.Line("BEGIN:VCARD");
  out.Line("VERSION:2.1");
  out.Line("UID:-1");
  out.Line("X-SIEMENS-GROUP-NAME:" + L1(name));
  out.Line("X-SIEMENS-GROUP-ID:-1");
  out.Line("X-SIEMENS-GROUP-SOUND-ID:" + std::to_string(soundId));
  out.Line("X-SIEMENS-GROUP-NOF-ENTRIES:" + std::to_string(entries));
  for (const char* type : {"HOME", "WORK", "CELL", "FAX", "MODEM"})
    out.Line(std::string("X-SIEMENS-NPI;") + type + ":-1");
  out.Line("END:VCARD");
  return out.Text;
}

struct TSampleContact {
  const char* Name;
  int Group;  // index into the sample's groups, -1 for none
  const char* Home = "";
  const char* Work = "";
  const char* Cell = "";
  const char* Fax = "";
  const char* Modem = "";
  const char* EMail = "";
  const char* Street = "";
  const char* City = "";
  const char* Region = "";
  const char* PostalCode = "";
  const char* Country = "";
  const char* Birthday = "";  // yyyymmdd
  const char* Note = "";      // lines separated by "\n"
};

std::string Breaks(const std::string& text) { return ReplaceAll(L1(text), "\n", "\r\n"); }

int Npi(const std::string& number) {
  if (number.empty()) return -1;
  return number[0] == '+' ? 145 : 129;  // international or national numbering plan
}

std::string ContactCard(const TSampleContact& c, int groupId) {
  TText out;
  out.Line("BEGIN:VCARD");
  out.Line("VERSION:2.1");
  if (*c.Name) out.Line("N;CHARSET=ISO-8859-1:" + L1(c.Name));
  const std::pair<const char*, const char*> phones[] = {
      {"HOME", c.Home}, {"WORK", c.Work}, {"CELL", c.Cell}, {"FAX", c.Fax}, {"MODEM", c.Modem}};
  for (const auto& [type, number] : phones)
    if (*number) out.Line(std::string("TEL;") + type + ":" + number);
  if (*c.EMail) out.Line(std::string("EMAIL;INTERNET:") + c.EMail);
  if (*c.Street || *c.City || *c.Region || *c.PostalCode || *c.Country) {
    auto part = [](const char* text) { return ReplaceAll(Breaks(text), "\r\n", "\\\r\n"); };
    out.Line("ADR;CHARSET=ISO-8859-1:;;" + part(c.Street) + ";" + part(c.City) + ";" +
             part(c.Region) + ";" + L1(c.PostalCode) + ";" + part(c.Country));
  }
  if (*c.Birthday) out.Line(std::string("BDAY:") + c.Birthday + "T000000");
  if (*c.Note) QuotedLines(out, "NOTE", Breaks(c.Note));
  out.Line("UID:-1");
  out.Line("X-SIEMENS-GROUP-ID:" + std::to_string(groupId));
  out.Line("X-SIEMENS-GROUP-SOUND-ID:-1");
  out.Line("X-SIEMENS-GROUP-NOF-ENTRIES:-1");
  for (const auto& [type, number] : phones)
    out.Line(std::string("X-SIEMENS-NPI;") + type + ":" + std::to_string(Npi(number)));
  out.Line("END:VCARD");
  return out.Text;
}

enum TSampleRepeat { srNone, srDaily, srWeekly, srEveryTwoWeeks, srYearly };

struct TSampleEvent {
  const char* Start;  // yyyymmddThhnnss
  const char* End;
  TSampleRepeat Repeat = srNone;
  const char* Until = "";  // yyyymmdd, empty for forever
  const char* Alarm = "";  // yyyymmddThhnnss, empty for none
  int ContentId = 0;
  const char* Description = "";
  bool LinkDoctor = false;  // attached to the doctor's address-book entry
};

std::string EventCalendar(const TSampleEvent& e, std::int32_t doctorId) {
  TText out;
  out.Line("BEGIN:VCALENDAR");
  out.Line("VERSION:1.0");
  out.Line("BEGIN:VEVENT");
  out.Line("UID:-1");
  out.Line(std::string("DTSTART:") + e.Start);
  out.Line(std::string("DTEND:") + e.End);
  std::string until = *e.Until ? std::string(e.Until) + "T235959" : "";
  std::string startMonth = std::string(e.Start).substr(4, 2);
  switch (e.Repeat) {
    case srDaily: out.Line("RRULE:D1 " + (*e.Until ? until : "#0")); break;
    case srWeekly: out.Line("RRULE:W1 " + (*e.Until ? until : "#0")); break;
    case srEveryTwoWeeks: out.Line("RRULE:W2 " + (*e.Until ? until : "#0")); break;
    case srYearly:
      out.Line(*e.Until ? "RRULE:YM1 " + until.substr(4, 2) + " " + until
                        : "RRULE:YM1 " + startMonth + " #0");
      break;
    case srNone: break;
  }
  out.Line(std::string("AALARM;TYPE=RTTTL;VALUE=CONTENT-ID:") + (*e.Alarm ? e.Alarm : "18991230T000000") +
           ";PT10M;3;" + std::to_string(e.ContentId));
  out.Line("ATTACH;VALUE=PB-ID:" + std::to_string(e.LinkDoctor ? doctorId : -1));
  out.Line("ATTACH;VALUE=MEMO-ID:-1");
  if (*e.Description) QuotedLines(out, "DESCRIPTION", Breaks(e.Description));
  out.Line("END:VEVENT");
  out.Line("END:VCALENDAR");
  return out.Text;
}

TSimRingTone Tone(const char* name, std::vector<std::pair<std::uint16_t, std::uint16_t>> pairs) {
  return TSimRingTone{L1(name), std::move(pairs)};
}

}  // namespace

TSimContent TSimContent::Sample() {
  struct TSampleGroup {
    const char* Name;
    int SoundId;
  };
  const TSampleGroup groups[] = {
      {"Familie", 3}, {"Freunde", 7}, {"Arbeit", 5}, {"Sportverein Grün-Weiß", 12}};

  const TSampleContact contacts[] = {
      {"Müller;Jürgen", 0, "+49 30 1234567", "+49 30 7654321", "+49 171 2345678",
       "+49 30 1234568", "+49 30 1234569", "juergen.mueller@example.de",
       "Hauptstraße 5\nHinterhaus, 2. Stock", "Berlin", "Berlin", "10115", "Deutschland",
       "19650314",
       "Hat den Schlüssel für den Keller.\nAnrufen am besten nach 18 Uhr, nie vor 8.\n"
       "Geschenkidee: Bücher über Segelflug (Preis <= 30 Euro) oder ein Abo der Zeitschrift."},
      {"Müller;Anna", 0, "+49 30 1234567", "", "+49 172 9876543", "", "", "anna.mueller@example.de",
       "Hauptstraße 5\nHinterhaus, 2. Stock", "Berlin", "", "10115", "Deutschland", "19680722",
       "Allergie gegen Nüsse!"},
      {"Müller;Lukas", 0, "", "", "+49 160 5551234", "", "", "", "", "", "", "", "", "19960229"},
      {"Schröder;Lena", 1, "040 3456789", "", "+49 151 1112223", "", "", "lena.s@example.org",
       "Große Elbstraße 12", "Hamburg", "Hamburg", "22767", "", "19750911",
       "Kennt man vom Studium in Göttingen."},
      {"Dubois;Frédéric", 1, "", "", "+33 6 12 34 56 78", "", "", "frederic.dubois@example.fr",
       "12, rue de l'Église", "Paris", "Île-de-France", "75004", "France", "19790101",
       "Spricht kein Deutsch, lieber Französisch oder Englisch.\nCafé-Tipp: Rue Mouffetard."},
      {"Weiß;Tobias", 2, "", "+49 89 20304050", "", "+49 89 20304059", "", "t.weiss@example.com",
       "Leopoldstraße 77", "München", "Bayern", "80802", "Deutschland", "",
       "Projektleiter \"Nordlicht\".\nDurchwahl Sekretariat: -51"},
      {"Öztürk;Ayla", 2, "", "+49 69 7788990", "+49 176 4445556", "", "", "ayla.oeztuerk@example.com"},
      {"Strauß;Heike", 3, "", "", "+49 157 3332221", "", "", "", "", "Köln", "", "50667", "",
       "19820605", "Trainerin der Jugend, dienstags und donnerstags."},
      {"Jäger;Björn", 3, "0221 445566"},
      {"Pizzeria Bella Napoli", -1, "", "030 6162636"},
      {"Schäfer;Dr. Maria", -1, "", "030 5556667", "", "030 5556668", "", "praxis@example.de",
       "Kastanienallee 3\nErdgeschoss links\n(Aufzug im Hof)", "Berlin", "", "10435", "",
       "", "Sprechzeiten:\nMo-Fr 8-12 Uhr\nDi+Do 15-18 Uhr\nRezepte telefonisch bestellen."},
      {"Notruf", -1, "", "", "112"},
      {"Modem;Büro", -1, "", "", "", "", "+49 30 9998887"},
  };

  const TSampleEvent events[] = {
      {"20260310T093000", "20260310T100000", srNone, "", "20260310T090000", 402,
       "Zahnarzt: Kontrolle, Versichertenkarte mitnehmen", true},
      {"20260105T073000", "20260105T073500", srDaily, "", "20260105T073000", 401, "Tabletten nehmen"},
      {"20260302T170000", "20260302T173000", srDaily, "20260430", "20260302T164500", -1,
       "Baustelle Umleitung über die Brückenstraße"},
      {"20260108T193000", "20260108T213000", srWeekly, "", "20260108T190000", 405,
       "Chorprobe im Gemeindehaus\nNoten mitbringen!"},
      {"20260413T160000", "20260413T170000", srWeekly, "20260626", "20260413T153000", 403,
       "Schwimmkurs Lukas"},
      {"20260107T060000", "20260107T060500", srEveryTwoWeeks, "", "20260106T200000", 400,
       "Altpapier rausstellen\nBlaue Tonne, Deckel zu"},
      {"20260115T180000", "20260115T200000", srEveryTwoWeeks, "20261217", "", 0,
       "Stammtisch Sportverein im \"Grünen Baum\""},
      {"20260314T000000", "20260314T235900", srYearly, "", "20260313T180000", 404,
       "Geburtstag Jürgen (Geschenk besorgen!)"},
      {"20260520T120000", "20260520T130000", srYearly, "20301231", "20260520T110000", 401,
       "Hochzeitstag = Tisch reservieren"},
      {"20260622T140000", "20260622T153000", srNone, "", "", 0,
       "Elternabend Schule, Raum 2.14; Thema: Klassenfahrt nach Österreich im Herbst, "
       "Anmeldung bis Ende Juli, Kosten ca. 250 Euro"},
  };

  std::vector<std::pair<std::uint16_t, std::uint16_t>> scale;
  for (int i = 0; i < 200; ++i)
    scale.emplace_back(std::uint16_t(200 + (i * 37) % 1800), std::uint16_t(50 + (i * 13) % 400));
  const TSimRingTone ringTones[] = {
      Tone("Für Elise", {{659, 150}, {622, 150}, {659, 150}, {622, 150}, {659, 150}, {494, 150},
                         {587, 150}, {523, 150}, {440, 300}, {0, 150}, {262, 150}, {330, 150},
                         {440, 150}, {494, 300}, {0, 150}, {330, 150}, {415, 150}, {494, 150},
                         {523, 300}}),
      Tone("Morgenstimmung, Grieg", {{784, 200}, {659, 200}, {587, 200}, {523, 200}, {587, 200},
                                     {659, 200}, {784, 200}, {659, 200}, {587, 200}, {523, 200},
                                     {587, 100}, {659, 100}, {587, 100}, {659, 100}, {784, 400}}),
      Tone("Tonleiter lang", scale),
      Tone("Stille", {}),
  };

  TSimContent content = Empty();
  int groupIds[std::size(groups)];
  for (std::size_t g = 0; g < std::size(groups); ++g) {
    int members = 0;
    for (const auto& contact : contacts) members += contact.Group == int(g);
    groupIds[g] = content.Store(stGroup, GroupCard(groups[g].Name, groups[g].SoundId, members)) - SimGroupBase;
  }
  std::int32_t doctorId = -1;
  for (const auto& contact : contacts) {
    std::int32_t id = content.Store(stContact, ContactCard(contact, contact.Group < 0 ? -1 : groupIds[contact.Group]));
    if (std::string(contact.Name).rfind("Schäfer;", 0) == 0) doctorId = id;
  }
  for (const auto& event : events) content.Store(stEvent, EventCalendar(event, doctorId));
  for (const auto& tone : ringTones) content.Store(stRingTone, SimRingToneRecord(tone));
  return content;
}
