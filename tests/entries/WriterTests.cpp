// The writers' line forms: which lines, in which order, escaped and folded how.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "DateNumber.h"
#include "VObjectWriter.h"

namespace {

TDateTime Date(int y, int m, int d) {
  TDateTime v = 0;
  EXPECT_TRUE(TryEncodeDate(y, m, d, v));
  return v;
}

TDateTime Time(int h, int n, int s) {
  TDateTime v = 0;
  EXPECT_TRUE(TryEncodeTime(h, n, s, v));
  return v;
}

// The lines as the file holds them: each followed by CR LF.
std::string Text(const TLines& lines) {
  std::string text;
  for (const auto& l : lines) text += l + "\r\n";
  return text;
}

// A contact as a load files it: the parser's initial values.
TContact InitialContact() {
  TContact c;
  c.UID = -1;
  c.GroupID = c.NewGroupID = c.GroupSoundID = c.GroupNofEntries = -1;
  c.NPIHome = c.NPIWork = c.NPICell = c.NPIFax = c.NPIModem = -1;
  return c;
}

TEvent InitialEvent() {
  TEvent e;
  e.UID = -1;
  e.PBID = e.MemoID = -1;
  return e;
}

const TLines kSiemensTail = {
    "X-SIEMENS-GROUP-SOUND-ID:-1", "X-SIEMENS-GROUP-NOF-ENTRIES:-1", "X-SIEMENS-NPI;HOME:-1",
    "X-SIEMENS-NPI;WORK:-1",       "X-SIEMENS-NPI;CELL:-1",          "X-SIEMENS-NPI;FAX:-1",
    "X-SIEMENS-NPI;MODEM:-1",      "END:VCARD"};

TLines Concat(TLines a, const TLines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The lines of a contact between "VERSION:2.1" and "UID:".
TLines ContactBody(const TContact& c) {
  TLines lines;
  ContactToVCard(c, lines);
  auto first = lines.begin() + 3;
  auto uid = first;
  while (uid != lines.end() && uid->rfind("UID:", 0) != 0) ++uid;
  return TLines(first, uid);
}

TEST(WriterContact, ExampleContactByteForByte) {
  TContact c = InitialContact();
  c.Name = "Doe;John";
  c.GroupID = 3;
  c.Note = "a=b\r\nxy";
  TLines lines;
  ContactToVCard(c, lines);
  EXPECT_EQ(Text(lines),
            "\r\n"
            "BEGIN:VCARD\r\n"
            "VERSION:2.1\r\n"
            "N;CHARSET=ISO-8859-1:Doe;John\r\n"
            "NOTE;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:=\r\n"
            "a=3Db=0D=0Axy\r\n"
            "UID:-1\r\n"
            "X-SIEMENS-GROUP-ID:3\r\n"
            "X-SIEMENS-GROUP-SOUND-ID:-1\r\n"
            "X-SIEMENS-GROUP-NOF-ENTRIES:-1\r\n"
            "X-SIEMENS-NPI;HOME:-1\r\n"
            "X-SIEMENS-NPI;WORK:-1\r\n"
            "X-SIEMENS-NPI;CELL:-1\r\n"
            "X-SIEMENS-NPI;FAX:-1\r\n"
            "X-SIEMENS-NPI;MODEM:-1\r\n"
            "END:VCARD\r\n");
}

TEST(WriterContact, EmptyContactHasOnlyTheFixedLines) {
  TLines lines;
  ContactToVCard(InitialContact(), lines);
  EXPECT_EQ(lines, Concat({"", "BEGIN:VCARD", "VERSION:2.1", "UID:-1", "X-SIEMENS-GROUP-ID:-1"},
                          kSiemensTail));
}

TEST(WriterContact, EveryOptionalLineInOrder) {
  TContact c = InitialContact();
  c.Name = "N\xE4me";  // ISO-8859-1 a-umlaut, written as the byte it is
  c.TelHome = "1";
  c.TelWork = "2";
  c.TelCell = "3";
  c.TelFax = "4";
  c.TelModem = "5";
  c.EMail = "a@b";
  c.Street = "S";
  c.Birthday = Date(1970, 1, 2);
  c.Note = "n";
  c.UID = 7;
  c.GroupID = INT_MIN;
  c.NPIModem = 145;
  TLines lines;
  ContactToVCard(c, lines);
  EXPECT_EQ(lines, (TLines{"",
                           "BEGIN:VCARD",
                           "VERSION:2.1",
                           "N;CHARSET=ISO-8859-1:N\xE4me",
                           "TEL;HOME:1",
                           "TEL;WORK:2",
                           "TEL;CELL:3",
                           "TEL;FAX:4",
                           "TEL;MODEM:5",
                           "EMAIL;INTERNET:a@b",
                           "ADR;CHARSET=ISO-8859-1:;;S;;;;",
                           "BDAY:19700102T000000",
                           "NOTE;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:=",
                           "n",
                           "UID:7",
                           "X-SIEMENS-GROUP-ID:-2147483648",
                           "X-SIEMENS-GROUP-SOUND-ID:-1",
                           "X-SIEMENS-GROUP-NOF-ENTRIES:-1",
                           "X-SIEMENS-NPI;HOME:-1",
                           "X-SIEMENS-NPI;WORK:-1",
                           "X-SIEMENS-NPI;CELL:-1",
                           "X-SIEMENS-NPI;FAX:-1",
                           "X-SIEMENS-NPI;MODEM:145",
                           "END:VCARD"}));
}

TEST(WriterContact, AddressForms) {
  struct TCase {
    const char* What;
    std::string Street, City, Region, PostalCode, Country;
    std::string Item;
  };
  const TCase cases[] = {
      {"country only", "", "", "", "", "X", "ADR;CHARSET=ISO-8859-1:;;;;;;X"},
      {"all five", "S", "C", "R", "P", "K", "ADR;CHARSET=ISO-8859-1:;;S;C;R;P;K"},
      {"street of two lines", "A\r\nB", "", "", "", "", "ADR;CHARSET=ISO-8859-1:;;A\\\r\nB;;;;"},
      {"line break in every component", "a\r\nb", "c\r\nd", "e\r\nf", "1\r\n2", "g\r\nh",
       "ADR;CHARSET=ISO-8859-1:;;a\\\r\nb;c\\\r\nd;e\\\r\nf;1\\\r\n2;g\\\r\nh"},
      {"country ending in a line break", "", "", "", "", "X\r\n",
       "ADR;CHARSET=ISO-8859-1:;;;;;;X\\\r\n"},
      {"plain = stays", "a=b", "=", "", "", "", "ADR;CHARSET=ISO-8859-1:;;a=b;=;;;"},
      {"= before 3D and 0D=0A escaped", "=3D", "x=0d=0Ay", "", "", "",
       "ADR;CHARSET=ISO-8859-1:;;=3D3D;x=3D0d=0Ay;;;"},
      {"country ending in =", "", "", "", "", "X=", "ADR;CHARSET=ISO-8859-1:;;;;;;X=3D"},
      {"country ending in \\", "", "", "", "", "X\\", "ADR;CHARSET=ISO-8859-1:;;;;;;X\\=\r\n"},
      {"street ending in \\ stays", "X\\", "", "", "", "", "ADR;CHARSET=ISO-8859-1:;;X\\;;;;"},
      {"lone CR and LF stay", "a\rb\nc", "", "", "", "", "ADR;CHARSET=ISO-8859-1:;;a\rb\nc;;;;"},
  };
  for (const TCase& t : cases) {
    TContact c = InitialContact();
    c.Street = t.Street;
    c.City = t.City;
    c.Region = t.Region;
    c.PostalCode = t.PostalCode;
    c.Country = t.Country;
    EXPECT_EQ(ContactBody(c), TLines{t.Item}) << t.What;
  }
}

TEST(WriterContact, NoteEscapingAndFolding) {
  const std::string s75(75, 'x');
  struct TCase {
    const char* What;
    std::string Note;
    TLines Lines;
  };
  const TCase cases[] = {
      {"one character", "a", {"a"}},
      {"75 characters", s75, {s75}},
      {"76 characters", s75 + "y", {s75 + "=", "y"}},
      {"151 characters", s75 + s75 + "z", {s75 + "=", s75 + "=", "z"}},
      {"a single =", "=", {"=3D"}},
      {"= at the end", "ab=", {"ab=3D"}},
      {"literal escapes are escaped", "=0D=0A", {"=3D0D=3D0A"}},
      {"CR LF pairs", "\r\n\r\n", {"=0D=0A=0D=0A"}},
      {"lone CR, LF, tab and high bytes stay", "\r\n\r\t\xFF\n", {"=0D=0A\r\t\xFF\n"}},
      {"escape cut by the fold", std::string(74, 'x') + "=", {std::string(74, 'x') + "==", "3D"}},
  };
  for (const TCase& t : cases) {
    TContact c = InitialContact();
    c.Note = t.Note;
    EXPECT_EQ(ContactBody(c),
              Concat({"NOTE;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:="}, t.Lines))
        << t.What;
  }
}

TEST(WriterContact, BirthdayIsTheDateOnly) {
  TContact c = InitialContact();
  c.Birthday = Date(2004, 2, 29) + 0.75;
  EXPECT_EQ(ContactBody(c), TLines{"BDAY:20040229T000000"});
  c.Birthday = Date(1, 1, 1);
  EXPECT_EQ(ContactBody(c), TLines{"BDAY:00010101T000000"});
}

TEST(WriterGroup, EveryLineWhateverTheFieldsHold) {
  TGroup g;
  g.UID = 419889153;
  g.Name = "";
  g.GroupID = 1;
  g.NewGroupID = 99;  // never written
  g.GroupSoundID = 2;
  g.GroupNofEntries = 3;
  g.NPIHome = 4;
  g.NPIWork = 5;
  g.NPICell = 6;
  g.NPIFax = 7;
  g.NPIModem = -8;
  TLines lines;
  GroupToVCard(g, lines);
  EXPECT_EQ(lines, (TLines{"", "BEGIN:VCARD", "VERSION:2.1", "UID:419889153", "X-SIEMENS-GROUP-NAME:",
                           "X-SIEMENS-GROUP-ID:1", "X-SIEMENS-GROUP-SOUND-ID:2",
                           "X-SIEMENS-GROUP-NOF-ENTRIES:3", "X-SIEMENS-NPI;HOME:4",
                           "X-SIEMENS-NPI;WORK:5", "X-SIEMENS-NPI;CELL:6", "X-SIEMENS-NPI;FAX:7",
                           "X-SIEMENS-NPI;MODEM:-8", "END:VCARD"}));
}

TEST(WriterEvent, FullEventLines) {
  TEvent e = InitialEvent();
  e.UID = 12;
  e.StartDate = Date(2002, 12, 31);
  e.StartTime = Time(23, 59, 59);
  e.EndDate = Date(2003, 1, 1);
  e.EndTime = Time(0, 0, 1);
  e.RepeatKind = rkDaily;
  e.RepeatUntil = RepeatForever;
  e.AlarmDate = Date(2002, 12, 31);
  e.AlarmTime = Time(10, 0, 0);
  e.AlarmContentID = 402;
  e.PBID = 5;
  e.MemoID = 6;
  e.Description = "Party\r\nat 8";
  TLines lines;
  EventToVEvent(e, lines);
  EXPECT_EQ(lines, (TLines{"BEGIN:VEVENT", "UID:12", "DTSTART:20021231T235959",
                           "DTEND:20030101T000001", "RRULE:D1 #0",
                           "AALARM;TYPE=RTTTL;VALUE=CONTENT-ID:20021231T100000;PT10M;3;402",
                           "ATTACH;VALUE=PB-ID:5", "ATTACH;VALUE=MEMO-ID:6",
                           "DESCRIPTION;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:=",
                           "Party=0D=0Aat 8", "END:VEVENT"}));
}

TEST(WriterEvent, ReminderAtDayZeroAndNoDescription) {
  TLines lines;
  EventToVEvent(InitialEvent(), lines);
  EXPECT_EQ(lines, (TLines{"BEGIN:VEVENT", "UID:-1", "DTSTART:18991230T000000",
                           "DTEND:18991230T000000",
                           "AALARM;TYPE=RTTTL;VALUE=CONTENT-ID:18991230T000000;PT10M;3;0",
                           "ATTACH;VALUE=PB-ID:-1", "ATTACH;VALUE=MEMO-ID:-1", "END:VEVENT"}));
}

TEST(WriterEvent, RecurrenceLineForEveryKind) {
  const TDateTime march = Date(2005, 3, 14);
  const TDateTime december = Date(2005, 12, 31);
  struct TCase {
    int Kind;
    TDateTime Until;
    const char* Line;  // nullptr: no recurrence line
  };
  const TCase cases[] = {
      {rkNone, RepeatForever, nullptr},
      {rkDaily, RepeatForever, "RRULE:D1 #0"},
      {rkWeekly, RepeatForever, "RRULE:W1 #0"},
      {rkEveryTwoWeeks, RepeatForever, "RRULE:W2 #0"},
      {rkYearly, RepeatForever, "RRULE:YM1 03 #0"},  // month of the start
      {rkDaily, december, "RRULE:D1 20051231T235959"},
      {rkWeekly, december, "RRULE:W1 20051231T235959"},
      {rkEveryTwoWeeks, december, "RRULE:W2 20051231T235959"},
      {rkYearly, december, "RRULE:YM1 12 20051231T235959"},  // month of the end
      {rkDaily, 0, "RRULE:D1 18991230T235959"},              // only -1.0 is forever
      {rkDaily, -1.5, "RRULE:D1 18991229T235959"},
      {5, RepeatForever, nullptr},
      {-1, december, nullptr},
  };
  for (const TCase& t : cases) {
    TEvent e = InitialEvent();
    e.StartDate = march;
    e.RepeatKind = t.Kind;
    e.RepeatUntil = t.Until;
    TLines lines;
    EventToVEvent(e, lines);
    if (t.Line) {
      ASSERT_EQ(lines.size(), 9u) << t.Kind;
      EXPECT_EQ(lines[4], t.Line);
    } else {
      ASSERT_EQ(lines.size(), 8u) << t.Kind;
      EXPECT_EQ(lines[4].rfind("AALARM", 0), 0u) << t.Kind;
    }
  }
}

TEST(WriterRingTone, DataFoldedWithItsPropertyName) {
  const std::string d53(53, '1');
  struct TCase {
    const char* What;
    std::string Data;
    TLines DataLines;
  };
  const TCase cases[] = {
      {"empty data has no line", "", {}},
      {"53 characters fit one line", d53, {"X-ZARVO-RINGTONE-DATA:" + d53}},
      {"54 characters take two", d53 + "2", {"X-ZARVO-RINGTONE-DATA:" + d53 + "=", "2"}},
      {"53 + 75 + 1", d53 + std::string(75, '3') + "4",
       {"X-ZARVO-RINGTONE-DATA:" + d53 + "=", std::string(75, '3') + "=", "4"}},
      {"data ending in = keeps the END line", "1,2=", {"X-ZARVO-RINGTONE-DATA:1,2==", ""}},
  };
  for (const TCase& t : cases) {
    TRingTone r{43, "Tune", t.Data};
    TLines lines;
    RingToneToVCard(r, lines);
    EXPECT_EQ(lines, Concat(Concat({"", "BEGIN:VCARD", "VERSION:2.1", "X-ZARVO-RINGTONE-UID:43",
                                    "X-ZARVO-RINGTONE-NAME:Tune"},
                                   t.DataLines),
                            {"END:VCARD"}))
        << t.What;
    for (const auto& l : lines) EXPECT_LE(l.size(), 76u) << t.What;
  }
}

TEST(WriterAll, EachWriterReplacesTheListAndReturnsIt) {
  TLines lines = {"left over", "from a parse"};
  TLines& same = GroupToVCard(TGroup{}, lines);
  EXPECT_EQ(&same, &lines);
  EXPECT_EQ(lines.size(), 14u);
  EXPECT_EQ(&EventToVEvent(InitialEvent(), lines), &lines);
  EXPECT_EQ(lines.front(), "BEGIN:VEVENT");
  EXPECT_EQ(&RingToneToVCard(TRingTone{}, lines), &lines);
  EXPECT_EQ(lines.size(), 6u);
  EXPECT_EQ(&ContactToVCard(InitialContact(), lines), &lines);
  EXPECT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines.back(), "END:VCARD");
}

}  // namespace
