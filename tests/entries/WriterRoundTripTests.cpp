// The round trip: whatever record the parser can produce, written and parsed again,
// comes back the same (identifiers aside). Checked over many generated records.
#include <gtest/gtest.h>

#include <string>

#include "VObjectParser.h"
#include "VObjectWriter.h"
#include "WriterRecordGenerator.h"

namespace {

constexpr int kRecordsPerKind = 3000;

// The writers' list as text lines: an item may hold CR LF (an address with a line
// break), which a file or the phone turns into separate lines.
TLines TextLines(const TLines& items) {
  TLines lines;
  for (const auto& item : items) {
    std::size_t start = 0, at;
    while ((at = item.find("\r\n", start)) != std::string::npos) {
      lines.push_back(item.substr(start, at - start));
      start = at + 2;
    }
    lines.push_back(item.substr(start));
  }
  return lines;
}

// Parses the lines and hands back the one record they must give.
TvObject ParseOne(const TLines& lines, int expectedKind, std::string& log) {
  std::vector<TvObject> parsed;
  log.clear();
  EXPECT_TRUE(ParseVObjects(TextLines(lines), parsed,
                            [&log](const std::string& l) { log += l + "\n"; }));
  EXPECT_EQ(parsed.size(), 1u) << log;
  if (parsed.empty()) return {};
  EXPECT_EQ(parsed[0].Kind, expectedKind) << log;
  return parsed[0];
}

std::string Joined(const TLines& lines) {
  std::string s;
  for (const auto& l : lines) s += Escaped(l) + "\n";
  return s;
}

TEST(WriterRoundTrip, Groups) {
  TRecordGenerator gen(1);
  TLines lines;
  std::string log;
  for (int i = 0; i < kRecordsPerKind; ++i) {
    const TGroup g = gen.Group();
    GroupToVCard(g, lines);
    const TvObject v = ParseOne(lines, vkGroup, log);
    TGroup back;
    FillGroup(back, v);
    back.UID = g.UID;
    back.NewGroupID = g.NewGroupID;
    ASSERT_EQ(back, g) << Joined(lines) << log;
    ASSERT_EQ(v.UID, g.UID);
  }
}

TEST(WriterRoundTrip, Contacts) {
  TRecordGenerator gen(2);
  TLines lines;
  std::string log;
  for (int i = 0; i < kRecordsPerKind; ++i) {
    TContact c = gen.Contact();
    c.UID = static_cast<std::int32_t>(i) - 5;
    ContactToVCard(c, lines);
    const TvObject v = ParseOne(lines, vkContact, log);
    TContact back;
    FillContact(back, v);
    back.UID = v.UID;
    back.NewGroupID = c.NewGroupID;
    ASSERT_EQ(back, c) << Joined(lines) << log;
  }
}

TEST(WriterRoundTrip, Events) {
  TRecordGenerator gen(3);
  TLines lines;
  std::string log;
  for (int i = 0; i < kRecordsPerKind; ++i) {
    TEvent e = gen.Event();
    e.UID = i;
    EventToVEvent(e, lines);
    lines.insert(lines.begin(), {"BEGIN:VCALENDAR", "VERSION:1.0"});
    lines.push_back("END:VCALENDAR");
    const TvObject v = ParseOne(lines, vkEvent, log);
    TEvent back;
    FillEvent(back, v);
    back.UID = v.UID;
    // Without a recurrence nothing is written of RepeatUntil, which then means nothing;
    // it comes back as the reader's initial 0.
    if (e.RepeatKind == rkNone) {
      ASSERT_EQ(back.RepeatUntil, 0.0);
      e.RepeatUntil = 0;
    }
    ASSERT_EQ(back, e) << Joined(lines) << log;
  }
}

TEST(WriterRoundTrip, RingTones) {
  TRecordGenerator gen(4);
  TLines lines;
  std::string log;
  for (int i = 0; i < kRecordsPerKind; ++i) {
    const TRingTone r = gen.RingTone();
    RingToneToVCard(r, lines);
    const TvObject v = ParseOne(lines, vkRingTone, log);
    TRingTone back;
    FillRingTone(back, v);
    ASSERT_EQ(back, r) << Joined(lines) << log;
  }
}

// The cases that once did not come back, kept by name.
TEST(WriterRoundTrip, AddressAndTextEdges) {
  struct TCase {
    const char* What;
    std::string TContact::*Field;
    std::string Text;
  };
  const TCase cases[] = {
      {"country ending in =", &TContact::Country, "X="},
      {"country ending in \\", &TContact::Country, "X\\"},
      {"country of a single \\", &TContact::Country, "\\"},
      {"country ending in a line break", &TContact::Country, "X\r\n"},
      {"country ending in \\ and a line break", &TContact::Country, "X\\\r\n"},
      {"country holding ;", &TContact::Country, "a;b;c"},
      {"street holding =3D literally", &TContact::Street, "a=3Db"},
      {"street holding =0D=0A literally", &TContact::Street, "a=0d=0Ab"},
      {"street ending in = before a line break", &TContact::Street, "a=\r\nb"},
      {"street ending in \\ before a line break", &TContact::Street, "a\\\r\nb"},
      {"street of =0D before a line break", &TContact::Street, "=0D\r\n=0A"},
      {"postal code with a line break", &TContact::PostalCode, "12\r\n34"},
      {"note holding =0D=0A literally", &TContact::Note, "=0D=0A"},
      {"note of a line break only", &TContact::Note, "\r\n"},
      {"note ending in = at the fold", &TContact::Note, std::string(74, 'n') + "="},
      {"note of 76 characters", &TContact::Note, std::string(76, 'n')},
      {"note of =", &TContact::Note, "="},
  };
  std::string log;
  for (const TCase& t : cases) {
    TContact c;
    c.*t.Field = t.Text;
    TLines lines;
    ContactToVCard(c, lines);
    const TvObject v = ParseOne(lines, vkContact, log);
    TContact back;
    FillContact(back, v);
    back.UID = c.UID;
    EXPECT_EQ(back, c) << t.What << "\n" << Joined(lines) << log;
  }
}

}  // namespace
