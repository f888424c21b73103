// The parser's frame: the start and end lines, too little data, lines outside any
// vObject, what begins a vCard or a vCalendar, the kinds and initial values of the
// records, and vObjects that end early.
#include <gtest/gtest.h>

#include <regex>

#include "ParserTestSupport.h"

namespace {

using TStrings = std::vector<std::string>;

TEST(ParserFrame, FewerThanThreeLinesAbortsAndGivesFalse) {
  for (const TLines& lines : {TLines{}, TLines{"BEGIN:VCARD"}, TLines{"BEGIN:VCARD", "END:VCARD"}}) {
    const TParsed p = Parse(lines);
    EXPECT_FALSE(p.Ok);
    EXPECT_TRUE(p.Records.empty());
    EXPECT_EQ(p.Findings(), TStrings{"Not enough data - parsing aborted"});
  }
}

TEST(ParserFrame, StartAndEndLinesCarryShortDateAndLongTime) {
  const TParsed p = Parse({"", "", ""});
  ASSERT_EQ(p.Log.size(), 7u);
  EXPECT_EQ(p.Log.front(), "");
  EXPECT_EQ(p.Log.back(), "");
  // en_US, fixed by the test main: M/d/yy and h:mm:ss AP without a time zone.
  const std::regex stamp(R"(\d{1,2}/\d{1,2}/\d\d \d{1,2}:\d\d:\d\d [AP]M)");
  EXPECT_TRUE(std::regex_match(p.Log[1].substr(14), stamp)) << p.Log[1];
  EXPECT_EQ(p.Log[1].substr(0, 14), "Parser start: ");
  EXPECT_TRUE(std::regex_match(p.Log[5].substr(12), stamp)) << p.Log[5];
  EXPECT_EQ(p.Log[5].substr(0, 12), "Parser end: ");
}

TEST(ParserFrame, LinesOutsideVObjectsAreLoggedOneByOne) {
  const TParsed p = Parse({"// ZARVO", "", " BEGIN:VCARD", "BEGIN:VCARD ", "BEGIN:VEVENT", "END:VCARD"});
  EXPECT_TRUE(p.Ok);
  EXPECT_TRUE(p.Records.empty());
  TStrings expected;
  for (int n = 1; n <= 6; ++n) expected.push_back("Line 000" + std::to_string(n) + ": no vObject found");
  EXPECT_EQ(p.Findings(), expected);
}

TEST(ParserFrame, LineNumbersPassFourDigits) {
  TLines lines(10001);
  lines.back() = "x";
  const TParsed p = Parse(lines);
  const TStrings f = p.Findings();
  ASSERT_EQ(f.size(), 10001u);
  EXPECT_EQ(f[9998], "Line 9999: no vObject found");
  EXPECT_EQ(f[10000], "Line 10001: no vObject found");
}

TEST(ParserFrame, VCardBeginsOnExactLineInAnyCaseAndVCalendarAnywhereInLine) {
  const TParsed card = Parse({"begin:vCard", "n:Doe", "eNd:VcArD"});
  ASSERT_EQ(card.Records.size(), 1u);
  EXPECT_EQ(card.Records[0].Name, "Doe");
  EXPECT_EQ(card.Findings(), (TStrings{"Line 0001: vCard start", "Line 0002: name = \"Doe\"",
                                       "Line 0003: vCard end"}));

  const TParsed cal = Parse({"x-begin:vCalendar;y", "version:1.0", "end:vcalendar"});
  EXPECT_TRUE(cal.Records.empty());
  EXPECT_EQ(cal.Findings(), (TStrings{"Line 0001: vCalendar start",
                                      "Line 0002: vCalendar version valid (1.0)",
                                      "Line 0003: vCalendar end"}));
}

TEST(ParserFrame, KindsFollowTheLinesRead) {
  struct TCase {
    TLines Body;
    std::int32_t Kind;
  };
  const TCase cases[] = {
      {{"N:Doe"}, vkContact},
      {{"VERSION:2.1"}, vkContact},
      {{"X-SIEMENS-GROUP-NAME:Friends", "X-SIEMENS-GROUP-ID:3"}, vkGroup},
      {{"X-ZARVO-RINGTONE-UID:70"}, vkRingTone},
      // Both lines: the later one decides.
      {{"X-SIEMENS-GROUP-NAME:G", "X-ZARVO-RINGTONE-UID:70"}, vkRingTone},
      {{"X-ZARVO-RINGTONE-UID:70", "X-SIEMENS-GROUP-NAME:G"}, vkGroup},
      // The kind comes with the line, even when its number is no number.
      {{"X-ZARVO-RINGTONE-UID:x"}, vkRingTone},
  };
  for (const TCase& c : cases) {
    const TParsed p = Parse(InVCard(c.Body));
    ASSERT_EQ(p.Records.size(), 1u);
    EXPECT_EQ(p.Records[0].Kind, c.Kind) << (c.Body.empty() ? "" : c.Body[0]);
  }
  const TParsed event = Parse(InVEvent({}));
  ASSERT_EQ(event.Records.size(), 1u);
  EXPECT_EQ(event.Records[0].Kind, vkEvent);
}

TEST(ParserFrame, EveryRecordStartsFromTheInitialValues) {
  const TvObject initial;
  EXPECT_EQ(initial.UID, -1);
  EXPECT_EQ(initial.GroupID, -1);
  EXPECT_EQ(initial.NPIModem, -1);
  EXPECT_EQ(initial.PBID, -1);
  EXPECT_EQ(initial.MemoID, -1);
  EXPECT_EQ(initial.AlarmContentID, 0);
  EXPECT_EQ(initial.RingToneUID, 0);
  EXPECT_EQ(initial.RepeatUntil, 0.0);

  const TParsed p = Parse({
      "BEGIN:VCARD", "N:Doe", "TEL;HOME:1", "X-SIEMENS-GROUP-ID:3", "X-SIEMENS-NPI;HOME:129",
      "NOTE:n", "UID:5", "END:VCARD",
      "BEGIN:VCARD", "END:VCARD",
      "BEGIN:VCALENDAR", "BEGIN:VEVENT", "UID:9", "DTSTART:20021231T100000", "RRULE:D1 #0",
      "ATTACH;VALUE=PB-ID:4", "DESCRIPTION:d", "END:VEVENT",
      "BEGIN:VEVENT", "END:VEVENT", "END:VCALENDAR",
  });
  ASSERT_EQ(p.Records.size(), 4u);
  EXPECT_EQ(p.Records[0].Name, "Doe");
  EXPECT_EQ(p.Records[1], TvObject{});
  EXPECT_EQ(p.Records[2].UID, 9);
  EXPECT_EQ(p.Records[2].RepeatKind, rkDaily);
  TvObject emptyEvent;
  emptyEvent.Kind = vkEvent;
  EXPECT_EQ(p.Records[3], emptyEvent);
}

TEST(ParserFrame, RecordsComeInTextOrderAcrossABackup) {
  const TParsed p = Parse({
      "// ZARVO", "// notice", "// This is a generated backup file. Do not edit!",
      "", "BEGIN:VCARD", "X-SIEMENS-GROUP-NAME:G", "END:VCARD",
      "", "BEGIN:VCARD", "N:C", "END:VCARD",
      "", "BEGIN:VCALENDAR", "VERSION:1.0", "BEGIN:VEVENT", "UID:1", "END:VEVENT",
      "BEGIN:VEVENT", "UID:2", "END:VEVENT", "END:VCALENDAR",
      "", "BEGIN:VCARD", "X-ZARVO-RINGTONE-UID:70", "END:VCARD",
  });
  std::vector<std::int32_t> kinds;
  for (const TvObject& v : p.Records) kinds.push_back(v.Kind);
  EXPECT_EQ(kinds, (std::vector<std::int32_t>{vkGroup, vkContact, vkEvent, vkEvent, vkRingTone}));
  EXPECT_EQ(p.Records[2].UID, 1);
  EXPECT_EQ(p.Records[3].UID, 2);
  const TStrings f = p.Findings();
  EXPECT_EQ(f[0], "Line 0001: no vObject found");
  EXPECT_EQ(f[12], "Line 0013: vCalendar start");
  EXPECT_EQ(f[20], "Line 0021: vCalendar end");
  EXPECT_EQ(f[21], "Line 0022: no vObject found");
}

TvObject Entry(std::int32_t kind, const char* name, std::int32_t uid = -1) {
  TvObject v;
  v.Kind = kind;
  v.Name = name;
  (kind == vkRingTone ? v.RingToneUID : v.UID) = uid;
  return v;
}

TEST(ParserFrame, DamagedBackupLosesNoIntactEntry) {
  struct TCase {
    const char* Title;
    TLines Lines;
    std::vector<TvObject> Want;
    TStrings Missing;  // the findings about missing END lines
    std::vector<bool> Whole = {};  // by record: ended by its END lines; not looked at when empty
  };
  TvObject doe = Entry(vkContact, "Doe");
  doe.TelHome = "1";
  TvObject refused = Entry(vkContact, "Doe");
  refused.Note = "<Error>";
  TvObject refusedEvent = Entry(vkEvent, "", 1);
  refusedEvent.Note = "<Error>";
  TvObject cut = doe, cutEvent = Entry(vkEvent, "", 1), noted = Entry(vkContact, "");
  cut.Note = cutEvent.Note = "cut";
  noted.Note = "aBEGIN:VCARD";
  const TCase cases[] = {
      {"vEvent without END, then the vCalendar's end and a ring tone",
       {"BEGIN:VCALENDAR", "VERSION:1.0", "BEGIN:VEVENT", "UID:1", "END:VCALENDAR", "",
        "BEGIN:VCARD", "X-ZARVO-RINGTONE-UID:70", "END:VCARD"},
       {Entry(vkEvent, "", 1), Entry(vkRingTone, "", 70)},
       {"Line 0005: vEvent end missing"}},
      {"vEvent without END, then the next vEvent",
       {"BEGIN:VCALENDAR", "BEGIN:VEVENT", "UID:1", "begin:vevent", "UID:2", "END:VEVENT", "END:VCALENDAR"},
       {Entry(vkEvent, "", 1), Entry(vkEvent, "", 2)},
       {"Line 0004: vEvent end missing"}},
      {"vEvent and vCalendar without END, then a contact and a group",
       {"BEGIN:VCALENDAR", "BEGIN:VEVENT", "UID:1", "BEGIN:VCARD", "N:Doe", "TEL;HOME:1", "END:VCARD",
        "BEGIN:VCARD", "X-SIEMENS-GROUP-NAME:G", "END:VCARD"},
       {Entry(vkEvent, "", 1), doe, Entry(vkGroup, "G")},
       {"Line 0004: vEvent end missing", "Line 0004: vCalendar end missing"}, {false, true, true}},
      {"vCalendar without END, then a contact",
       {"BEGIN:VCALENDAR", "BEGIN:VEVENT", "UID:1", "END:VEVENT", "BEGIN:VCARD", "N:Doe", "TEL;HOME:1", "END:VCARD"},
       {Entry(vkEvent, "", 1), doe},
       {"Line 0005: vCalendar end missing"}, {false, true}},
      {"vCard without END, then the next vCard",
       {"BEGIN:VCARD", "N:Doe", "TEL;HOME:1", "BEGIN:VCARD", "N:Second", "END:VCARD"},
       {doe, Entry(vkContact, "Second")},
       {"Line 0004: vCard end missing"}},
      {"vCard without END, then a vCalendar",
       {"BEGIN:VCARD", "N:Doe", "TEL;HOME:1", "BEGIN:VCALENDAR", "BEGIN:VEVENT", "UID:1", "END:VEVENT", "END:VCALENDAR"},
       {doe, Entry(vkEvent, "", 1)},
       {"Line 0004: vCard end missing"}},
      {"refused note continued by lines that look like properties",
       {"BEGIN:VCARD", "N:Doe", "NOTE;CHARSET=UTF-8:=", "N:Other=", "END:VCARD", "END:VCARD",
        "BEGIN:VCARD", "N:Second", "END:VCARD"},
       {refused, Entry(vkContact, "Second")},
       {}},
      {"refused description continued by lines that look like vEvent lines",
       {"BEGIN:VCALENDAR", "BEGIN:VEVENT", "UID:1", "DESCRIPTION;ENCODING=BASE64:=", "END:VEVENT=", "BEGIN:VEVENT",
        "END:VEVENT", "BEGIN:VEVENT", "UID:2", "END:VEVENT", "END:VCALENDAR"},
       {refusedEvent, Entry(vkEvent, "", 2)},
       {}},
      {"note cut before the next vCard",
       {"BEGIN:VCARD", "N:Doe", "TEL;HOME:1", "NOTE:cut=", "BEGIN:VCARD", "VERSION:2.1", "N:Second", "END:VCARD"},
       {cut, Entry(vkContact, "Second")},
       {"Line 0005: vCard end missing"}, {false, true}},
      {"description cut before the next vCalendar",
       {"BEGIN:VCALENDAR", "BEGIN:VEVENT", "UID:1", "DESCRIPTION:cut=", "begin:vcalendar", "version:1.0",
        "BEGIN:VEVENT", "UID:2", "END:VEVENT", "END:VCALENDAR"},
       {cutEvent, Entry(vkEvent, "", 2)},
       {"Line 0005: vEvent end missing", "Line 0005: vCalendar end missing"}, {false, true}},
      {"a BEGIN without VERSION after it is text", {"BEGIN:VCARD", "NOTE:a=", "BEGIN:VCARD", "END:VCARD"}, {noted}, {}, {true}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Title);
    const TParsed p = Parse(c.Lines);
    EXPECT_EQ(p.Records, c.Want);
    TStrings missing;
    for (const std::string& f : p.Findings())
      if (f.find("end missing") != std::string::npos) missing.push_back(f);
    EXPECT_EQ(missing, c.Missing);
    if (!c.Whole.empty()) { EXPECT_EQ(p.Whole, c.Whole); }
    EXPECT_EQ(CheckInvariants(c.Lines, p), TStrings{});
  }
  // The line that ends what is open is then read for what it is.
  const TParsed p = Parse(cases[2].Lines);
  EXPECT_EQ(p.Findings()[3], "Line 0004: vEvent end missing");
  EXPECT_EQ(p.Findings()[4], "Line 0004: vCalendar end missing");
  EXPECT_EQ(p.Findings()[5], "Line 0004: vCard start");
}

TEST(ParserFrame, VObjectsOpenAtTheEndOfTheListEndThere) {
  // A vCard begun on the last line: one record with the initial values.
  const TParsed last = Parse({"x", "y", "BEGIN:VCARD"});
  ASSERT_EQ(last.Records.size(), 1u);
  EXPECT_EQ(last.Records[0], TvObject{});
  EXPECT_EQ(last.Findings().back(), "Line 0003: vCard start");

  // A vCard or a vEvent without its end keeps what was read.
  const TParsed open = Parse({"BEGIN:VCARD", "N:Doe", "TEL;CELL:1"});
  ASSERT_EQ(open.Records.size(), 1u);
  EXPECT_EQ(open.Records[0].TelCell, "1");
  const TParsed openEvent = Parse({"BEGIN:VCALENDAR", "BEGIN:VEVENT", "UID:3"});
  ASSERT_EQ(openEvent.Records.size(), 1u);
  EXPECT_EQ(openEvent.Records[0].UID, 3);
  const TParsed calendarLast = Parse({"x", "y", "BEGIN:VCALENDAR"});
  EXPECT_EQ(calendarLast.Findings().back(), "Line 0003: vCalendar start");
  const TParsed eventLast = Parse({"x", "BEGIN:VCALENDAR", "BEGIN:VEVENT"});
  ASSERT_EQ(eventLast.Records.size(), 1u);
  EXPECT_EQ(eventLast.Records[0].Kind, vkEvent);

  // A value still continued on the last line ends there, without its mark.
  const TParsed note = Parse({"BEGIN:VCARD", "NOTE:=", "a=3Db="});
  ASSERT_EQ(note.Records.size(), 1u);
  EXPECT_EQ(note.Records[0].Note, "a=b");
  EXPECT_EQ(note.Findings().back(), "Line 0002: note = \"a=b\"");
  const TParsed adr = Parse({"BEGIN:VCARD", "N:x", "ADR:;;Street\\"});
  EXPECT_EQ(adr.Records[0].Country, "Street");
  const TParsed data = Parse({"BEGIN:VCARD", "X-ZARVO-RINGTONE-DATA:1,=", "2,3="});
  EXPECT_EQ(data.Records[0].RingToneData, "1,2,3");
}

}  // namespace
