// vCalendar and vEvent properties: the calendar frame, then one table of vEvent cases,
// each a few property lines from line 4 of a one-event vCalendar, the log lines they give
// and the event record they leave (compared whole).
#include <gtest/gtest.h>

#include <functional>

#include "ParserTestSupport.h"

namespace {

using TStrings = std::vector<std::string>;

TEST(ParserVCalendar, EmptyEventGivesOneRecordAndFiveLogLines) {
  const TParsed p = Parse({"BEGIN:VCALENDAR", "VERSION:1.0", "BEGIN:VEVENT", "END:VEVENT", "END:VCALENDAR"});
  EXPECT_TRUE(p.Ok);
  ASSERT_EQ(p.Records.size(), 1u);
  TvObject want;
  want.Kind = vkEvent;
  EXPECT_EQ(p.Records[0], want);
  EXPECT_EQ(p.Findings(), (TStrings{"Line 0001: vCalendar start", "Line 0002: vCalendar version valid (1.0)",
                                    "Line 0003: vEvent start", "Line 0004: vEvent end",
                                    "Line 0005: vCalendar end"}));
}

TEST(ParserVCalendar, CalendarPropertiesAndOtherObjects) {
  const TParsed p = Parse({
      "BEGIN:VCALENDAR",  // 1
      "VERSION:2.0",
      "PRODID:-//x//y",
      "tz:+01",
      "X.Y:1",  // 5: no group check here: an unknown name
      "BEGIN:VTODO",
      "SUMMARY:todo",
      "END:VTODO",  // silent
      "BEGIN:VJOURNAL",
      "END:VEVENT",  // 10: silent outside a vEvent
      "BEGIN:vevent",
      "END:VCARD",  // silent inside a vEvent
      "END:VEVENT",
      "BEGIN:VEVENT",
      "UID:2",  // 15
      "END:VEVENT",
      "END:VCALENDAR",
      "N:outside",
  });
  EXPECT_EQ(p.Findings(), (TStrings{
                              "Line 0001: vCalendar start",
                              "Line 0002: vCalendar version 2.0 invalid, must be 1.0",
                              "Line 0003: vCalendar property \"PRODID\" not supported",
                              "Line 0004: vCalendar property \"TZ\" not supported",
                              "Line 0005: vCalendar property \"X.Y\" invalid",
                              "Line 0006: vToDo entity not supported",
                              "Line 0007: vCalendar property \"SUMMARY\" invalid",
                              "Line 0009: vCalendar entity \"VJOURNAL\" invalid",
                              "Line 0011: vEvent start",
                              "Line 0013: vEvent end",
                              "Line 0014: vEvent start",
                              "Line 0015: UID = \"2\"",
                              "Line 0016: vEvent end",
                              "Line 0017: vCalendar end",
                              "Line 0018: no vObject found",
                          }));
  ASSERT_EQ(p.Records.size(), 2u);
  EXPECT_EQ(p.Records[0].UID, -1);
  EXPECT_EQ(p.Records[1].UID, 2);
}

struct TEventCase {
  const char* Title;
  TLines Body;                          // from line 4
  TStrings Messages;                    // the findings between vEvent start and end
  std::function<void(TvObject&)> Fill;  // the initial event record, changed as expected
};

void RunCases(const std::vector<TEventCase>& cases) {
  for (const TEventCase& c : cases) {
    SCOPED_TRACE(c.Title);
    const TLines lines = InVEvent(c.Body);
    const TParsed p = Parse(lines);
    TStrings expected{"Line 0001: vCalendar start", "Line 0002: vCalendar version valid (1.0)",
                      "Line 0003: vEvent start"};
    expected.insert(expected.end(), c.Messages.begin(), c.Messages.end());
    char end[32];
    std::snprintf(end, sizeof end, "Line %04zu: vEvent end", lines.size() - 1);
    expected.push_back(end);
    std::snprintf(end, sizeof end, "Line %04zu: vCalendar end", lines.size());
    expected.push_back(end);
    EXPECT_EQ(p.Findings(), expected);
    TvObject want;
    want.Kind = vkEvent;
    if (c.Fill) c.Fill(want);
    ASSERT_EQ(p.Records.size(), 1u);
    EXPECT_EQ(p.Records[0], want);
  }
}

TEST(ParserVEvent, PropertiesKnownAndUnknown) {
  RunCases({
      {"UID", {"uid:42"}, {"Line 0004: UID = \"42\""}, [](TvObject& v) { v.UID = 42; }},
      {"UID that is no number", {"UID:4.2"}, {"Line 0004: \"4.2\" is not a valid integer value"}, {}},
      {"not supported", {"SUMMARY:x", "location:y", "URL:z"},
       {"Line 0004: vEvent property \"SUMMARY\" not supported", "Line 0005: vEvent property \"LOCATION\" not supported",
        "Line 0006: vEvent property \"URL\" not supported"},
       {}},
      {"unknown", {"X-SONYERICSSON-DST:0", "VERSION:1.0"},
       {"Line 0004: vEvent property \"X-SONYERICSSON-DST\" invalid", "Line 0005: vEvent property \"VERSION\" invalid"},
       {}},
  });
}

TEST(ParserVEvent, StartAndEnd) {
  RunCases({
      {"start and end", {"DTSTART:20021231T235959Z", "DTEND:20030101t000000z"},
       {"Line 0004: start date = 12/31/02, start time = 11:59:59 PM",
        "Line 0005: end date = 1/1/03, end time = 12:00:00 AM"},
       [](TvObject& v) {
         v.StartDate = 37621;
         v.StartTime = 86399 / 86400.0;
         v.EndDate = 37622;
       }},
      {"hour 25: date stored, time 0", {"DTSTART:20021231T250000"}, {"Line 0004: start time 25:00:00 invalid"},
       [](TvObject& v) { v.StartDate = 37621; }},
      {"24:00:00 is no time", {"DTEND:20021231T240000"}, {"Line 0004: end time 24:00:00 invalid"},
       [](TvObject& v) { v.EndDate = 37621; }},
      {"minute and second 60", {"DTSTART:20021231T006000", "DTEND:20021231T000060"},
       {"Line 0004: start time 00:60:00 invalid", "Line 0005: end time 00:00:60 invalid"},
       [](TvObject& v) { v.StartDate = v.EndDate = 37621; }},
      {"a bad time sets an earlier time back to 0", {"DTSTART:20021231T100000", "DTSTART:20030101T990000"},
       {"Line 0004: start date = 12/31/02, start time = 10:00:00 AM", "Line 0005: start time 99:00:00 invalid"},
       [](TvObject& v) { v.StartDate = 37622; }},
      {"impossible date: nothing stored", {"DTSTART:20020230T100000", "DTEND:20021300T100000"},
       {"Line 0004: start date 30.02.2002 invalid", "Line 0005: end date 00.13.2002 invalid"}, {}},
      {"length other than 15", {"DTSTART:20021231", "DTEND:20021231T10:00:00", "DTSTART:", "DTEND:20021231T100000ZZ"},
       {"Line 0004: start date and time \"20021231\" invalid", "Line 0005: end date and time \"20021231T10:00:00\" invalid",
        "Line 0006: start date and time \"\" invalid", "Line 0007: end date and time \"20021231T100000Z\" invalid"},
       {}},
      {"digits that are no number", {"DTSTART:2002XX31T100000", "DTEND:20021231T10XX00"},
       {"Line 0004: \"XX\" is not a valid integer value", "Line 0005: \"XX\" is not a valid integer value"},
       [](TvObject& v) { v.EndDate = 37621; }},
      {"separator not looked at, first and last day", {"DTSTART:00010101 000000", "DTEND:99991231X235959"},
       {"Line 0004: start date = 1/1/01, start time = 12:00:00 AM",
        "Line 0005: end date = 12/31/99, end time = 11:59:59 PM"},
       [](TvObject& v) {
         v.StartDate = -693593;
         v.EndDate = 2958465;
         v.EndTime = 86399 / 86400.0;
       }},
  });
}

TEST(ParserVEvent, Recurrences) {
  RunCases({
      {"daily forever", {"RRULE:D1 #0"}, {"Line 0004: repeat event daily forever"},
       [](TvObject& v) {
         v.RepeatKind = rkDaily;
         v.RepeatUntil = -1.0;
       }},
      {"weekly forever, lower case", {"rrule:w1 #0"}, {"Line 0004: repeat event weekly forever"},
       [](TvObject& v) {
         v.RepeatKind = rkWeekly;
         v.RepeatUntil = -1.0;
       }},
      {"yearly until, month between", {"RRULE:YM1 12 20051231T235959"}, {"Line 0004: repeat event yearly until 12/31/05"},
       [](TvObject& v) {
         v.RepeatKind = rkYearly;
         v.RepeatUntil = 38717;
       }},
      {"every 2nd week until, with zone", {"RRULE:W2 20051231T235959Z"},
       {"Line 0004: repeat event every 2nd week until 12/31/05"},
       [](TvObject& v) {
         v.RepeatKind = rkEveryTwoWeeks;
         v.RepeatUntil = 38717;
       }},
      {"frequency not supported", {"RRULE:M1 #0", "RRULE:d2 #0", "RRULE:D1"},
       {"Line 0004: vEvent recurrence frequency \"M1\" invalid or not supported",
        "Line 0005: vEvent recurrence frequency \"D2\" invalid or not supported",
        "Line 0006: vEvent recurrence frequency \"\" invalid or not supported"},
       {}},
      {"bad duration resets the kind", {"RRULE:D1 #0", "RRULE:D1 2005"},
       {"Line 0004: repeat event daily forever", "Line 0005: vEvent recurrence duration \"2005\" invalid or not supported"},
       [](TvObject& v) { v.RepeatUntil = -1.0; }},
      {"impossible end date resets the kind like a bad duration", {"RRULE:W1 20051331T235959"},
       {"Line 0004: vEvent recurrence duration \"20051331T235959\" invalid or not supported"}, {}},
      {"end date that is no number resets the kind", {"RRULE:W1 2005AB31T235959"},
       {"Line 0004: vEvent recurrence duration \"2005AB31T235959\" invalid or not supported"}, {}},
      {"the time of the end is not looked at", {"RRULE:D1 20051231Txxxxxx"}, {"Line 0004: repeat event daily until 12/31/05"},
       [](TvObject& v) {
         v.RepeatKind = rkDaily;
         v.RepeatUntil = 38717;
       }},
  });
}

TEST(ParserVEvent, AudioReminders) {
  const auto alarm = [](TvObject& v) {
    v.AlarmDate = 37621;
    v.AlarmTime = 10 / 24.0;
  };
  RunCases({
      {"reminder with content ID", {"AALARM;VALUE=CONTENT-ID;TYPE=RTTTL:20021231T100000;PT10M;3;402"},
       {"Line 0004: audio reminder date = 12/31/02, time = 10:00:00 AM, content ID = \"402\""},
       [&](TvObject& v) {
         alarm(v);
         v.AlarmContentID = 402;
       }},
      {"content ID 400 and -1 accepted", {"aalarm;type=rtttl;value=content-id:20021231T100000Z;PT10M;3;400",
                                          "AALARM;TYPE=RTTTL;VALUE=CONTENT-ID:20021231T100000;;;-1"},
       {"Line 0004: audio reminder date = 12/31/02, time = 10:00:00 AM, content ID = \"400\"",
        "Line 0005: audio reminder date = 12/31/02, time = 10:00:00 AM, content ID = \"-1\""},
       [&](TvObject& v) {
         alarm(v);
         v.AlarmContentID = -1;
       }},
      {"content ID 399: date and time kept", {"AALARM;TYPE=RTTTL;VALUE=CONTENT-ID:20021231T100000;PT10M;3;399"},
       {"Line 0004: audio content ID \"399\" invalid"}, alarm},
      {"content ID missing or no number", {"AALARM;TYPE=RTTTL;VALUE=CONTENT-ID:20021231T100000;PT10M;3",
                                           "AALARM;TYPE=RTTTL;VALUE=CONTENT-ID:20021231T100000;PT10M;3;40x"},
       {"Line 0004: \"\" is not a valid integer value", "Line 0005: \"40x\" is not a valid integer value"}, alarm},
      {"parameters missing or other", {"AALARM:20021231T100000;PT10M;3;402", "AALARM;TYPE=WAVE;VALUE=CONTENT-ID:x",
                                       "AALARM;TYPE=RTTTL:x"},
       {"Line 0004: audio alarm parameter(s) \"\" invalid or not supported",
        "Line 0005: audio alarm parameter(s) \"TYPE=WAVE;VALUE=CONTENT-ID\" invalid or not supported",
        "Line 0006: audio alarm parameter(s) \"TYPE=RTTTL\" invalid or not supported"},
       {}},
      {"bad length, date and time", {"AALARM;TYPE=RTTTL;VALUE=CONTENT-ID:20021231;PT10M;3;402",
                                     "AALARM;TYPE=RTTTL;VALUE=CONTENT-ID:20021232T100000;PT10M;3;402",
                                     "AALARM;TYPE=RTTTL;VALUE=CONTENT-ID:20021231T240000;PT10M;3;402"},
       {"Line 0004: audio reminder date and time \"20021231\" invalid",
        "Line 0005: audio reminder date 32.12.2002 invalid", "Line 0006: audio reminder time 24:00:00 invalid"},
       [](TvObject& v) { v.AlarmDate = 37621; }},
  });
}

TEST(ParserVEvent, AttachmentsAndDescriptions) {
  RunCases({
      {"attachments", {"ATTACH;VALUE=PB-ID:12", "attach;value=memo-id:-1"},
       {"Line 0004: PB-ID = \"12\"", "Line 0005: MEMO-ID = \"-1\""}, [](TvObject& v) { v.PBID = 12; }},
      {"other attachment", {"ATTACH;VALUE=URL:x", "ATTACH:y"},
       {"Line 0004: attachment \"x\" invalid or not supported", "Line 0005: attachment \"y\" invalid or not supported"},
       {}},
      {"attachment that is no number", {"ATTACH;VALUE=PB-ID:1x"}, {"Line 0004: \"1x\" is not a valid integer value"}, {}},
      {"description joined and decoded, line numbers jump",
       {"DESCRIPTION;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:=", "Lunch =3D=", "fun=0D=0Abring =3D0D=3D0A", "UID:1"},
       {"Line 0004: description = \"Lunch =fun\r\nbring =0D=0A\"", "Line 0007: UID = \"1\""},
       [](TvObject& v) {
         v.Note = "Lunch =fun\r\nbring =0D=0A";
         v.UID = 1;
       }},
      {"description with refused encoding: the continued lines go with it", {"DESCRIPTION;ENCODING=BASE64:=", "UID:9=", "END:VEVENT"},
       {"Line 0004: \"BASE64\" encoding invalid or not supported"}, [](TvObject& v) { v.Note = "<Error>"; }},
  });
}

}  // namespace
