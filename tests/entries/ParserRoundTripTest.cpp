// Generated records through the writers into backup file text and back through the
// parser: every field comes back as it was, as Save followed by Load relies on.
#include <gtest/gtest.h>

#include <random>

#include "ParserTestSupport.h"
#include "VObjectWriter.h"

namespace {

class TGenerator {
 public:
  explicit TGenerator(unsigned seed) : rng_(seed) {}

  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  std::int32_t Integer() {
    switch (Between(0, 3)) {
      case 0: return -1;
      case 1: return Between(0, 500);
      default: return std::uniform_int_distribution<std::int32_t>(INT32_MIN, INT32_MAX)(rng_);
    }
  }
  // Text of the bytes a file line can carry: anything but CR, LF and NUL, with the
  // characters that mean something to the parser or the writer made frequent.
  std::string Text(int maxLength, bool lineBreaks, std::string_view avoid = {}) {
    static constexpr std::string_view kSpecial = "=;:\\3D0A \xe9\xff\t,.";
    std::string text;
    const int length = Between(0, maxLength);
    while (static_cast<int>(text.size()) < length) {
      char c;
      const int pick = Between(0, 9);
      if (pick < 4) {
        c = kSpecial[static_cast<std::size_t>(Between(0, static_cast<int>(kSpecial.size()) - 1))];
      } else if (pick == 4 && lineBreaks) {
        text += "\r\n";
        continue;
      } else {
        c = static_cast<char>(Between(1, 255));
        if (c == '\r' || c == '\n') continue;
      }
      if (avoid.find(c) != std::string_view::npos) continue;
      text += c;
    }
    return text;
  }
  TDateTime Date() { return Between(0, 3) == 0 ? 0 : Between(-693593, 2958465); }
  TDateTime Time() { return Between(0, 86399) / 86400.0; }

 private:
  std::mt19937 rng_;
};

TGroup MakeGroup(TGenerator& g) {
  TGroup v;
  v.Name = g.Text(30, false);
  v.GroupID = g.Integer();
  v.GroupSoundID = g.Integer();
  v.GroupNofEntries = g.Integer();
  v.NPIHome = g.Integer();
  v.NPIWork = g.Integer();
  v.NPICell = g.Integer();
  v.NPIFax = g.Integer();
  v.NPIModem = g.Integer();
  return v;
}

TContact MakeContact(TGenerator& g) {
  TContact v;
  for (std::string* text : {&v.Name, &v.TelHome, &v.TelWork, &v.TelCell, &v.TelFax, &v.TelModem, &v.EMail}) {
    *text = g.Between(0, 2) == 0 ? "" : g.Text(25, false);
  }
  // The address components are split at semicolons, which nobody escapes; the postal
  // code carries no line break.
  for (std::string* text : {&v.Street, &v.City, &v.Region, &v.Country}) *text = g.Text(25, true, ";");
  v.PostalCode = g.Text(8, false, ";");
  v.Birthday = g.Date();
  v.Note = g.Text(200, true);
  for (std::int32_t* n : {&v.GroupID, &v.GroupSoundID, &v.GroupNofEntries, &v.NPIHome, &v.NPIWork, &v.NPICell,
                          &v.NPIFax, &v.NPIModem}) {
    *n = g.Integer();
  }
  return v;
}

TEvent MakeEvent(TGenerator& g) {
  TEvent v;
  v.UID = g.Integer();
  v.StartDate = g.Date();
  v.StartTime = g.Time();
  v.EndDate = g.Date();
  v.EndTime = g.Time();
  v.RepeatKind = g.Between(rkNone, rkYearly);
  // Without a recurrence nothing of its end is written.
  if (v.RepeatKind != rkNone) v.RepeatUntil = g.Between(0, 1) == 0 ? RepeatForever : g.Between(1, 2958465);
  v.AlarmDate = g.Date();
  v.AlarmTime = g.Time();
  v.AlarmContentID = g.Between(0, 1) == 0 ? -1 : g.Between(400, 100000);  // what the phone accepts
  v.Description = g.Text(200, true);
  v.PBID = g.Integer();
  v.MemoID = g.Integer();
  return v;
}

TRingTone MakeRingTone(TGenerator& g) {
  TRingTone v;
  v.UID = g.Integer();
  v.Name = g.Text(21, false);
  const int pairs = g.Between(0, 40);
  v.Data = std::to_string(pairs) + ",";
  for (int k = 0; k < 2 * pairs; ++k) v.Data += std::to_string(g.Between(0, 65535)) + (k + 1 < 2 * pairs ? "," : "");
  return v;
}

void Append(std::string& file, const TLines& lines) {
  for (const std::string& line : lines) file += line + "\r\n";
}

TEST(ParserRoundTrip, WrittenRecordsReadBackUnchanged) {
  TGenerator g(20021231);
  std::vector<TGroup> groups;
  std::vector<TContact> contacts;
  std::vector<TEvent> events;
  std::vector<TRingTone> tones;
  for (int k = 0; k < 60; ++k) groups.push_back(MakeGroup(g));
  for (int k = 0; k < 300; ++k) contacts.push_back(MakeContact(g));
  for (int k = 0; k < 300; ++k) events.push_back(MakeEvent(g));
  for (int k = 0; k < 60; ++k) tones.push_back(MakeRingTone(g));

  std::string file = "// ZARVO\r\n// notice\r\n// This is a generated backup file. Do not edit!\r\n";
  TLines lines;
  for (const TGroup& v : groups) Append(file, GroupToVCard(v, lines));
  for (const TContact& v : contacts) Append(file, ContactToVCard(v, lines));
  file += "\r\nBEGIN:VCALENDAR\r\nVERSION:1.0\r\n";
  for (const TEvent& v : events) Append(file, EventToVEvent(v, lines));
  file += "END:VCALENDAR\r\n";
  for (const TRingTone& v : tones) Append(file, RingToneToVCard(v, lines));

  const TParsed p = Parse(SplitText(file));
  ASSERT_EQ(p.Records.size(), groups.size() + contacts.size() + events.size() + tones.size());
  std::size_t at = 0;
  for (TGroup want : groups) {
    const TvObject& v = p.Records[at++];
    ASSERT_EQ(v.Kind, vkGroup);
    TGroup got;
    FillGroup(got, v);
    want.UID = 0;
    EXPECT_EQ(got, want) << "group " << want.Name;
  }
  for (TContact want : contacts) {
    const TvObject& v = p.Records[at++];
    ASSERT_EQ(v.Kind, vkContact);
    TContact got;
    FillContact(got, v);
    want.UID = 0;
    EXPECT_EQ(got, want) << "contact " << want.Name;
  }
  for (TEvent want : events) {
    const TvObject& v = p.Records[at++];
    ASSERT_EQ(v.Kind, vkEvent);
    EXPECT_EQ(v.UID, want.UID);
    TEvent got;
    FillEvent(got, v);
    want.UID = 0;
    EXPECT_EQ(got, want) << "event " << want.Description;
  }
  for (const TRingTone& want : tones) {
    const TvObject& v = p.Records[at++];
    ASSERT_EQ(v.Kind, vkRingTone);
    TRingTone got;
    FillRingTone(got, v);
    EXPECT_EQ(got, want);
  }
}

}  // namespace
