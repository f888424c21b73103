// vCard properties: one table of cases, each a few property lines inside BEGIN:VCARD and
// END:VCARD, the log lines they give and the record they leave (compared whole, so that
// a case also proves that nothing else changed).
#include <gtest/gtest.h>

#include <functional>

#include "ParserTestSupport.h"

namespace {

using TStrings = std::vector<std::string>;

struct TCardCase {
  const char* Title;
  TLines Body;                           // from line 2
  TStrings Messages;                     // the findings between vCard start and end
  std::function<void(TvObject&)> Fill;   // the initial record, changed as expected
};

void RunCases(const std::vector<TCardCase>& cases) {
  for (const TCardCase& c : cases) {
    SCOPED_TRACE(c.Title);
    const TLines lines = InVCard(c.Body);
    const TParsed p = Parse(lines);
    TStrings expected{"Line 0001: vCard start"};
    expected.insert(expected.end(), c.Messages.begin(), c.Messages.end());
    char end[32];
    std::snprintf(end, sizeof end, "Line %04zu: vCard end", lines.size());
    expected.push_back(end);
    EXPECT_EQ(p.Findings(), expected);
    TvObject want;
    if (c.Fill) c.Fill(want);
    ASSERT_EQ(p.Records.size(), 1u);
    EXPECT_EQ(p.Records[0], want);
  }
}

TEST(ParserVCard, VersionAndUnknownProperties) {
  RunCases({
      {"version exact", {"VERSION:2.1"}, {"Line 0002: vCard version valid (2.1)"}, {}},
      {"version name in any case", {"version:2.1"}, {"Line 0002: vCard version valid (2.1)"}, {}},
      {"other version", {"VERSION:3.0"}, {"Line 0002: vCard version \"3.0\" invalid, must be 2.1"}, {}},
      {"version with blank", {"VERSION:2.1 "}, {"Line 0002: vCard version \"2.1 \" invalid, must be 2.1"}, {}},
      {"known, not supported", {"FN:John", "key:x", "PHOTO;ENCODING=BASE64:AAAA"},
       {"Line 0002: vCard property \"FN\" not supported", "Line 0003: vCard property \"KEY\" not supported",
        "Line 0004: vCard property \"PHOTO\" not supported"},
       {}},
      {"unknown", {"X-FOO:1", "x-irmc-luid:2"},
       {"Line 0002: vCard property \"X-FOO\" invalid", "Line 0003: vCard property \"x-irmc-luid\" invalid"}, {}},
      {"grouped", {"A.TEL;HOME:1", "item1.EMAIL;INTERNET:a@b"},
       {"Line 0002: grouped vCard properties not supported", "Line 0003: grouped vCard properties not supported"},
       {}},
      {"full stop in params is no group", {"TEL;X.Y:1"}, {"Line 0002: telephone type \"X.Y\" invalid"}, {}},
      {"no colon", {"TEL;HOME"}, {"Line 0002: vCard property \"\" invalid"}, {}},
      {"other END values and a nested BEGIN of another kind", {"END:VCALENDAR", "BEGIN:VEVENT", "END:"},
       {"Line 0003: vCard property \"BEGIN\" invalid"}, {}},
  });
}

TEST(ParserVCard, NamesAndCharacterSets) {
  RunCases({
      {"name", {"N:Doe;John"}, {"Line 0002: name = \"Doe;John\""}, [](TvObject& v) { v.Name = "Doe;John"; }},
      {"charset and encoding accepted, value as written",
       {"n;charset=iso-8859-1;encoding=quoted-printable:M=FCller=3D"},
       {"Line 0002: name = \"M=FCller=3D\""}, [](TvObject& v) { v.Name = "M=FCller=3D"; }},
      {"8-bit bytes untouched", {"N;CHARSET=ISO-8859-1:M\xfcller"}, {"Line 0002: name = \"M\xfcller\""},
       [](TvObject& v) { v.Name = "M\xfcller"; }},
      {"other charset", {"N;CHARSET=UTF-8:x"}, {"Line 0002: \"UTF-8\" character set invalid or not supported"},
       [](TvObject& v) { v.Name = "<Error>"; }},
      {"charset judged up to its semicolon, in any case", {"N;charset=Utf-8;ENCODING=QUOTED-PRINTABLE:x"},
       {"Line 0002: \"Utf-8\" character set invalid or not supported"}, [](TvObject& v) { v.Name = "<Error>"; }},
      {"charset checked before encoding", {"N;ENCODING=BASE64;CHARSET=UTF-8:x"},
       {"Line 0002: \"UTF-8\" character set invalid or not supported"}, [](TvObject& v) { v.Name = "<Error>"; }},
      {"other encoding", {"N;CHARSET=ISO-8859-1;ENCODING=8BIT:x"},
       {"Line 0002: \"8BIT\" encoding invalid or not supported"}, [](TvObject& v) { v.Name = "<Error>"; }},
      {"charset without value", {"N;CHARSET:x"}, {"Line 0002: \"CHARSET\" character set invalid or not supported"},
       [](TvObject& v) { v.Name = "<Error>"; }},
      {"group name takes no charset check and makes a group",
       {"X-SIEMENS-GROUP-NAME;CHARSET=UTF-8:Friends"}, {"Line 0002: group name = \"Friends\""},
       [](TvObject& v) {
         v.Kind = vkGroup;
         v.Name = "Friends";
       }},
      {"a later N overwrites the group name", {"X-SIEMENS-GROUP-NAME:Friends", "N:Doe"},
       {"Line 0002: group name = \"Friends\"", "Line 0003: name = \"Doe\""},
       [](TvObject& v) {
         v.Kind = vkGroup;
         v.Name = "Doe";
       }},
  });
}

TEST(ParserVCard, TelephoneAndEMailTypes) {
  RunCases({
      {"the five telephone types", {"TEL;HOME:1", "tel;work:2", "TEL;Cell:+49 3", "TEL;FAX:4", "TEL;MODEM:5"},
       {"Line 0002: telephone number home = \"1\"", "Line 0003: telephone number work = \"2\"",
        "Line 0004: telephone number mobile = \"+49 3\"", "Line 0005: telephone number fax = \"4\"",
        "Line 0006: telephone number data = \"5\""},
       [](TvObject& v) {
         v.TelHome = "1";
         v.TelWork = "2";
         v.TelCell = "+49 3";
         v.TelFax = "4";
         v.TelModem = "5";
       }},
      {"known types not supported", {"TEL;PREF:1", "TEL;voice:2", "TEL;VIDEO:3"},
       {"Line 0002: telephone type \"PREF\" not supported", "Line 0003: telephone type \"VOICE\" not supported",
        "Line 0004: telephone type \"VIDEO\" not supported"},
       {}},
      {"params are one type as a whole", {"TEL;HOME;VOICE:123", "TEL;TYPE=HOME:123", "TEL:123"},
       {"Line 0002: telephone type \"HOME;VOICE\" invalid", "Line 0003: telephone type \"TYPE=HOME\" invalid",
        "Line 0004: telephone type \"\" invalid"},
       {}},
      {"a second number of a type overwrites the first", {"TEL;HOME:1", "TEL;HOME:2"},
       {"Line 0002: telephone number home = \"1\"", "Line 0003: telephone number home = \"2\""},
       [](TvObject& v) { v.TelHome = "2"; }},
      {"e-mail", {"EMAIL;internet:a@b.c"}, {"Line 0002: eMail = \"a@b.c\""}, [](TvObject& v) { v.EMail = "a@b.c"; }},
      {"e-mail types not supported or invalid", {"EMAIL;AOL:x", "EMAIL;x400:y", "EMAIL:someone", "EMAIL;PREF;INTERNET:z"},
       {"Line 0002: eMail type \"AOL\" not supported", "Line 0003: eMail type \"X400\" not supported",
        "Line 0004: eMail type \"\" invalid", "Line 0005: eMail type \"PREF;INTERNET\" invalid"},
       {}},
  });
}

TEST(ParserVCard, AddressesAndTheirContinuations) {
  RunCases({
      {"five components", {"ADR;CHARSET=ISO-8859-1:;;Main Street 1;Springfield;;12345;Utopia"},
       {"Line 0002: address = \";;Main Street 1;Springfield;;12345;Utopia\""},
       [](TvObject& v) {
         v.Street = "Main Street 1";
         v.City = "Springfield";
         v.PostalCode = "12345";
         v.Country = "Utopia";
       }},
      {"no semicolon: all in Country", {"ADR:Utopia"}, {"Line 0002: address = \"Utopia\""},
       [](TvObject& v) { v.Country = "Utopia"; }},
      {"too few semicolons", {"ADR:box;ext;street;city"}, {"Line 0002: address = \"box;ext;street;city\""},
       [](TvObject& v) {
         v.Street = "street";
         v.Country = "city";
       }},
      {"extra semicolons stay in Country", {"ADR:;;s;c;r;p;co;un;try"}, {"Line 0002: address = \";;s;c;r;p;co;un;try\""},
       [](TvObject& v) {
         v.Street = "s";
         v.City = "c";
         v.Region = "r";
         v.PostalCode = "p";
         v.Country = "co;un;try";
       }},
      {"backslash gives a line break, line numbers jump", {"ADR:;;A\\", "B\\", "C;City;;;X", "N:n"},
       {"Line 0002: address = \";;A\r\nB\r\nC;City;;;X\"", "Line 0005: name = \"n\""},
       [](TvObject& v) {
         v.Street = "A\r\nB\r\nC";
         v.City = "City";
         v.Country = "X";
         v.Name = "n";
       }},
      {"soft break and escapes", {"ADR;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:;;Ma=", "in=3D1;C=0D=0Aity;;;"},
       {"Line 0002: address = \";;Main=1;C\r\nity;;;\""},
       [](TvObject& v) {
         v.Street = "Main=1";
         v.City = "C\r\nity";
       }},
      {"refused charset: five errors, the continued lines go with the value",
       {"ADR;CHARSET=UTF-8:;;A\\", "N:Other=", "END:VCARD"},
       {"Line 0002: \"UTF-8\" character set invalid or not supported"},
       [](TvObject& v) { v.Street = v.City = v.Region = v.PostalCode = v.Country = "<Error>"; }},
  });
}

TEST(ParserVCard, Birthdays) {
  RunCases({
      {"date with hyphens and zone", {"BDAY:1970-01-01T000000Z"}, {"Line 0002: birthday = 1/1/70"},
       [](TvObject& v) { v.Birthday = 25569; }},
      {"time part not looked at", {"BDAY:20000229Txxxxxx"}, {"Line 0002: birthday = 2/29/00"},
       [](TvObject& v) { v.Birthday = Day(2000, 2, 29); }},
      {"date alone", {"BDAY:1970-01-01"}, {"Line 0002: birthday date \"19700101\" invalid"}, {}},
      {"colons in the time", {"BDAY:1970-01-01T00:00:00"}, {"Line 0002: birthday date \"19700101T00:00:00\" invalid"}, {}},
      {"impossible dates", {"BDAY:19700231T000000", "BDAY:19001301T000000", "BDAY:00000101T000000", "BDAY:19000229T000000"},
       {"Line 0002: birthday date 31.02.1970 invalid", "Line 0003: birthday date 01.13.1900 invalid",
        "Line 0004: birthday date 01.01.0000 invalid", "Line 0005: birthday date 29.02.1900 invalid"},
       {}},
      {"digits that are no number", {"BDAY:19AB0101T000000", "BDAY:1970 1 1T000000"},
       {"Line 0002: \"19AB\" is not a valid integer value", "Line 0003: birthday = 1/1/70"},
       [](TvObject& v) { v.Birthday = 25569; }},
  });
}

TEST(ParserVCard, NumbersOfGroupsAndNumberingPlans) {
  RunCases({
      {"group numbers", {"X-SIEMENS-GROUP-ID:3", "X-SIEMENS-GROUP-SOUND-ID:-1", "x-siemens-group-nof-entries:12"},
       {"Line 0002: group ID = \"3\"", "Line 0003: group sound ID = \"-1\"", "Line 0004: group NOF entries = \"12\""},
       [](TvObject& v) {
         v.GroupID = 3;
         v.GroupNofEntries = 12;
       }},
      {"numbering plans", {"X-SIEMENS-NPI;HOME:129", "X-SIEMENS-NPI;work:145", "X-SIEMENS-NPI;CELL:1",
                           "X-SIEMENS-NPI;FAX:2", "X-SIEMENS-NPI;MODEM:3", "X-SIEMENS-NPI;PREF:4", "X-SIEMENS-NPI:5"},
       {"Line 0002: NPI home = \"129\"", "Line 0003: NPI work = \"145\"", "Line 0004: NPI cell = \"1\"",
        "Line 0005: NPI fax = \"2\"", "Line 0006: NPI modem = \"3\"", "Line 0007: NPI type \"PREF\" invalid",
        "Line 0008: NPI type \"\" invalid"},
       [](TvObject& v) {
         v.NPIHome = 129;
         v.NPIWork = 145;
         v.NPICell = 1;
         v.NPIFax = 2;
         v.NPIModem = 3;
       }},
      {"UID", {"UID:17", "UID: 18"}, {"Line 0002: UID = \"17\"", "Line 0003: UID = \" 18\""},
       [](TvObject& v) { v.UID = 18; }},
      {"values that are no whole number leave the field alone and the parse goes on",
       {"X-SIEMENS-GROUP-ID:3", "X-SIEMENS-GROUP-ID:abc", "UID:2147483648", "UID:", "X-SIEMENS-NPI;HOME:0x10",
        "X-SIEMENS-GROUP-SOUND-ID:4 ", "N:after"},
       {"Line 0002: group ID = \"3\"", "Line 0003: \"abc\" is not a valid integer value",
        "Line 0004: \"2147483648\" is not a valid integer value", "Line 0005: \"\" is not a valid integer value",
        "Line 0006: \"0x10\" is not a valid integer value", "Line 0007: \"4 \" is not a valid integer value",
        "Line 0008: name = \"after\""},
       [](TvObject& v) {
         v.GroupID = 3;
         v.Name = "after";
       }},
  });
}

TEST(ParserVCard, NotesAndRingTones) {
  RunCases({
      {"note over three lines", {"NOTE;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:=", "a=3Db=0D=", "=0Axy", "UID:1"},
       {"Line 0002: note = \"a=b\r\nxy\"", "Line 0005: UID = \"1\""},
       [](TvObject& v) {
         v.Note = "a=b\r\nxy";
         v.UID = 1;
       }},
      {"the six characters =0D=0A written as =3D0D=3D0A survive", {"NOTE:=", "=3D0D=3D0A"},
       {"Line 0002: note = \"=0D=0A\""}, [](TvObject& v) { v.Note = "=0D=0A"; }},
      {"escapes in lower case", {"NOTE:x=3dy=0d=0az"}, {"Line 0002: note = \"x=y\r\nz\""},
       [](TvObject& v) { v.Note = "x=y\r\nz"; }},
      {"other escapes stay", {"NOTE:=C3=A9=20"}, {"Line 0002: note = \"=C3=A9=20\""},
       [](TvObject& v) { v.Note = "=C3=A9=20"; }},
      {"an empty continuing line ends the note", {"NOTE:a=", "", "UID:1"},
       {"Line 0002: note = \"a\"", "Line 0004: UID = \"1\""},
       [](TvObject& v) {
         v.Note = "a";
         v.UID = 1;
       }},
      {"a backslash does not continue a note", {"NOTE:a\\", "UID:1"},
       {"Line 0002: note = \"a\\\"", "Line 0003: UID = \"1\""},
       [](TvObject& v) {
         v.Note = "a\\";
         v.UID = 1;
       }},
      {"refused charset: the continued lines go with the value", {"NOTE;CHARSET=UTF-8:=", "N:Other=", "TEL;HOME:2"},
       {"Line 0002: \"UTF-8\" character set invalid or not supported"}, [](TvObject& v) { v.Note = "<Error>"; }},
      {"ring tone", {"X-ZARVO-RINGTONE-UID:70", "X-ZARVO-RINGTONE-NAME:Tune 1", "X-ZARVO-RINGTONE-DATA:2,100,=", "200,300,4=",
                     "00", "VERSION:2.1"},
       {"Line 0002: custom ring tone UID = \"70\"", "Line 0003: custom ring tone Name = \"Tune 1\"",
        "Line 0004: custom ring tone data = 2,100,200,300,400", "Line 0007: vCard version valid (2.1)"},
       [](TvObject& v) {
         v.Kind = vkRingTone;
         v.RingToneUID = 70;
         v.RingToneName = "Tune 1";
         v.RingToneData = "2,100,200,300,400";
       }},
      {"ring tone data is not decoded", {"X-ZARVO-RINGTONE-DATA:1=3D=0D=0A"},
       {"Line 0002: custom ring tone data = 1=3D=0D=0A"}, [](TvObject& v) { v.RingToneData = "1=3D=0D=0A"; }},
  });
}

}  // namespace
