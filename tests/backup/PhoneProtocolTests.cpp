// The phone's answers taken apart and its entries put together: the listing, the totals,
// the ring tone record in both directions, the entry text and the new identifier.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "PhoneProtocol.h"

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

// A listing piece as the cleaned answer holds it: 9-character prefix, mark, separator,
// count, CR LF, the entries.
std::string Piece(char mark, int count, const std::string& entries) {
  return std::string("+C#SLST: ") + mark + "," + std::to_string(count) + "\r\n" + entries;
}

TEST(PhoneProtocol, ListingPieces) {
  // Identifiers least significant byte first, signed; bytes 4 and 5 are not used.
  const std::string two = Bytes({1, 0, 0, 0x80, 7, 7}) + Bytes({0x01, 0x00, 0x07, 0x19, 0, 0});
  TListingPiece p = DecodeListingPiece(Piece('0', 12, two));
  EXPECT_TRUE(p.Last);
  ASSERT_EQ(p.Entries.size(), 2u);
  EXPECT_EQ(p.Entries[0], -2147483647);
  EXPECT_EQ(p.Entries[1], 419889153);

  // Any mark other than "0" means another piece follows.
  EXPECT_FALSE(DecodeListingPiece(Piece('1', 6, Bytes({5, 0, 0, 0, 0, 0}))).Last);

  // n = 13: two entries, the last byte ignored; n = 0: none.
  EXPECT_EQ(DecodeListingPiece(Piece('0', 13, two + "x")).Entries.size(), 2u);
  EXPECT_TRUE(DecodeListingPiece(Piece('0', 0, "")).Entries.empty());

  // An entry cut short reads its missing bytes as zeros; entries of which nothing
  // arrived are not made up, however large the count.
  p = DecodeListingPiece(Piece('0', 12, Bytes({9, 0, 0, 0, 0, 0, 0x34, 0x12})));
  ASSERT_EQ(p.Entries.size(), 2u);
  EXPECT_EQ(p.Entries[1], 0x1234);
  EXPECT_EQ(DecodeListingPiece(Piece('0', 600000000, Bytes({1, 2, 3, 4, 5, 6}))).Entries.size(), 1u);

  // A piece too short for its count is the conversion error, not another request.
  EXPECT_THROW(DecodeListingPiece("+C#"), std::runtime_error);

  // A count that is not a number is the conversion error the user sees.
  try {
    DecodeListingPiece(Piece('0', 0, "").replace(11, 1, "x"));
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "'x' is not a valid integer value");
  }
}

TEST(PhoneProtocol, HexConversions) {
  EXPECT_EQ(ByteToHex(0), "00");
  EXPECT_EQ(ByteToHex(0xAB), "AB");
  EXPECT_EQ(HexToInt("7FFFFFFF"), 2147483647);
  EXPECT_EQ(HexToInt("80000001"), -2147483647);
  EXPECT_EQ(HexToInt("FFFFFFFF"), -1);
}

TEST(PhoneProtocol, Totals) {
  TPhoneTotals t = DecodeTotals("+C#SMDE: 1\r\nTotal-Records: 12\r\nTotal-Records: 3\r\nTotal-Records: 7\r\n");
  EXPECT_EQ(t.Contacts, 12);
  EXPECT_EQ(t.Groups, 3);
  EXPECT_EQ(t.Events, 7);
  // The last count may end the answer without a line end of its own.
  t = DecodeTotals("Total-Records: 1\r\nTotal-Records: 2\r\nTotal-Records: 3");
  EXPECT_EQ(t.Events, 3);
  EXPECT_THROW(DecodeTotals("Total-Records: 1\r\nTotal-Records: x\r\nTotal-Records: 3\r\n"), std::runtime_error);
  EXPECT_THROW(DecodeTotals("Total-Records: 1\r\n"), std::runtime_error);
}

TEST(PhoneProtocol, RingToneRecordBothWays) {
  // Built: name in every second byte, 1 at 46, the count at 47, pairs little-endian.
  TRingTone tone;
  tone.Name = "Ab";
  tone.Data = "2,1,2,3,4";
  TDynamicCharArray record = BuildRingToneRecord(tone);
  ASSERT_EQ(record.size(), 56u);
  EXPECT_EQ(record[4], 'A');
  EXPECT_EQ(record[5], 0);
  EXPECT_EQ(record[6], 'b');
  EXPECT_EQ(record[8], 0);
  EXPECT_EQ(record[46], 1);
  EXPECT_EQ(record[47], 2);
  EXPECT_EQ(std::vector<unsigned char>(record.end() - 8, record.end()),
            (std::vector<unsigned char>{1, 0, 2, 0, 3, 0, 4, 0}));

  tone.Data = "0,";
  EXPECT_EQ(BuildRingToneRecord(tone).size(), 48u);

  // Read back: the same name and data.
  tone.Name = "Melody";
  tone.Data = "2,440,4,880,8";
  record = BuildRingToneRecord(tone);
  TRingToneRecordInfo info = DecodeRingToneRecord(std::string(record.begin(), record.end()));
  EXPECT_TRUE(info.Consistent);
  EXPECT_EQ(info.Name, "Melody");
  EXPECT_EQ(info.Data, "2,440,4,880,8");

  // A name of more than 21 characters is cut to 21, and 21 characters come back whole
  // without the name running on into byte 46 and the pairs.
  tone.Name = std::string(30, 'x');
  tone.Data = "1,65535,0";
  record = BuildRingToneRecord(tone);
  EXPECT_EQ(record[46], 1);
  info = DecodeRingToneRecord(std::string(record.begin(), record.end()));
  EXPECT_EQ(info.Name, std::string(21, 'x'));
  EXPECT_EQ(info.Data, "1,65535,0");

  // A record shorter than its count reads zeros in place of what is missing.
  info = DecodeRingToneRecord(std::string(record.begin(), record.begin() + 50));
  EXPECT_EQ(info.Data, "1,65535,0");
  info = DecodeRingToneRecord(std::string(record.begin(), record.begin() + 49));
  EXPECT_EQ(info.Data, "1,255,0");
  info = DecodeRingToneRecord("");
  EXPECT_FALSE(info.Consistent);
  EXPECT_EQ(info.Data, "0,");

  // Byte 46 other than 1 is an inconsistent record.
  std::string bad(record.begin(), record.end());
  bad[46] = 2;
  EXPECT_FALSE(DecodeRingToneRecord(bad).Consistent);
}

TEST(PhoneProtocol, RingToneDataRefusedBeforeSending) {
  TRingTone tone;
  tone.Name = "T";
  const std::vector<std::string> bad = {"", "x,1,2", "1,2", "1,2,3,4", "2,1,2,3", "1,65536,0", "1,-1,0", "1,a,b"};
  for (const auto& data : bad) {
    tone.Data = data;
    EXPECT_THROW(BuildRingToneRecord(tone), std::runtime_error) << data;
  }
  // 256 pairs do not fit the record's count byte; 255 do (1068 bytes).
  std::string data = "256";
  for (int i = 0; i < 512; ++i) data += ",1";
  tone.Data = data;
  EXPECT_THROW(BuildRingToneRecord(tone), std::runtime_error);
  data = "255";
  for (int i = 0; i < 510; ++i) data += ",1";
  tone.Data = data;
  EXPECT_EQ(BuildRingToneRecord(tone).size(), 1068u);
}

TEST(PhoneProtocol, EntryTextAndLines) {
  // The writer's leading empty line goes, every line ends in CR LF, the last too.
  EXPECT_EQ(EntryText({"", "BEGIN:VCARD", "VERSION:2.1", "END:VCARD"}),
            "BEGIN:VCARD\r\nVERSION:2.1\r\nEND:VCARD\r\n");
  // An address item spanning lines stays split at its line break.
  EXPECT_EQ(EntryText({"", "ADR:;;A\\\r\nB;;;;", "END:VCARD"}), "ADR:;;A\\\r\nB;;;;\r\nEND:VCARD\r\n");
  const std::string ev = EventEntryText({"BEGIN:VEVENT", "UID:-1", "END:VEVENT"});
  EXPECT_EQ(ev, "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nUID:-1\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");

  EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (TLines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n\r\nb\r\n"), (TLines{"a", "", "b"}));
  EXPECT_EQ(SplitLines(std::string("a\nb\0c\nd", 7)), (TLines{"a", "b"}));
}

TEST(PhoneProtocol, NewIdentifier) {
  EXPECT_EQ(DecodeNewIdentifier("+C#SPUT: 419889153"), 419889153);
  EXPECT_EQ(DecodeNewIdentifier("x\r\n+C#SPUT: 17\r\n"), 17);
  EXPECT_EQ(DecodeNewIdentifier("+C#SPUT: 1234567890"), 123456789);  // nine characters
  try {
    DecodeNewIdentifier("+C#SPUT: abc");
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
  }
  EXPECT_THROW(DecodeNewIdentifier("OK"), std::runtime_error);
}

}  // namespace
