// The parser's text helpers: the integer conversion, the one-pass escape decoding, the
// property-line split, the upper-case comparison and the line prefix.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "VObjectText.h"

namespace {

TEST(ParserText, IntegerConversionTakesDecimalWithinThirtyTwoBits) {
  struct TCase {
    const char* Text;
    bool Ok;
    std::int32_t Value;
  };
  const TCase cases[] = {
      {"0", true, 0},
      {"17", true, 17},
      {"-1", true, -1},
      {"+5", true, 5},
      {"007", true, 7},
      {"  42", true, 42},  // leading blanks, as the classic conversion skips them
      {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN},
      {"2147483648", false, 0},
      {"-2147483649", false, 0},
      {"99999999999999999999999", false, 0},
      {"", false, 0},
      {" ", false, 0},
      {"-", false, 0},
      {"+-1", false, 0},
      {"42 ", false, 0},
      {"4 2", false, 0},
      {"\t1", false, 0},
      {"$1F", false, 0},  // hexadecimal forms are not numbers in vObject text
      {"0x1F", false, 0},
      {"1e3", false, 0},
      {"12a", false, 0},
      {"\xb9", false, 0},  // superscript one: no digit
  };
  for (const TCase& c : cases) {
    std::int32_t value = 12345;
    EXPECT_EQ(TryStrToInt(c.Text, value), c.Ok) << '"' << c.Text << '"';
    EXPECT_EQ(value, c.Ok ? c.Value : 12345) << '"' << c.Text << '"';
  }
}

TEST(ParserText, EscapesAreDecodedInOnePassFromTheLeft) {
  const std::array<std::array<std::string, 2>, 12> cases = {{
      {"a=3Db", "a=b"},
      {"a=0D=0Ab", "a\r\nb"},
      {"=3d=0d=0a=0D=0a", "=\r\n\r\n"},       // any letter case
      {"=3D0D=3D0A", "=0D=0A"},                // the escaped escape survives as text
      {"=3D3D", "=3D"},                        // decoded once, not until nothing is left
      {"==3D", "=="},
      {"=0D", "=0D"},                          // a lone CR escape is not decoded
      {"=0A", "=0A"},
      {"=20=C3=A9", "=20=C3=A9"},              // no other quoted-printable sequence
      {"ends in =", "ends in ="},
      {"=0D=0", "=0D=0"},
      {"", ""},
  }};
  for (const auto& c : cases) EXPECT_EQ(DecodeEscapes(c[0]), c[1]) << c[0];
}

TEST(ParserText, PropertyLineSplitsAtFirstColonAndFirstSemicolon) {
  struct TCase {
    const char* Line;
    const char* Name;
    const char* Params;
    const char* Value;
  };
  const TCase cases[] = {
      {"TEL;HOME:123", "TEL", "HOME", "123"},
      {"TEL;HOME;VOICE:123", "TEL", "HOME;VOICE", "123"},
      {"N:Doe;John", "N", "", "Doe;John"},
      {"DTSTART:20021231T10:00:00", "DTSTART", "", "20021231T10:00:00"},
      {"no colon;here", "", "", "no colon;here"},
      {" N : x ", " N ", "", " x "},
      {":value", "", "", "value"},
      {"NAME:", "NAME", "", ""},
      {"", "", "", ""},
  };
  for (const TCase& c : cases) {
    const TPropertyLine p = SplitPropertyLine(c.Line);
    EXPECT_EQ(p.Name, c.Name) << c.Line;
    EXPECT_EQ(p.Params, c.Params) << c.Line;
    EXPECT_EQ(p.Value, c.Value) << c.Line;
  }
}

TEST(ParserText, UpperCaseComparesLettersAToZOnly) {
  EXPECT_TRUE(SameUpper("x-siemens-npi", "X-SIEMENS-NPI"));
  EXPECT_TRUE(SameUpper("VeRsIoN", "VERSION"));
  EXPECT_FALSE(SameUpper("versio", "VERSION"));
  EXPECT_FALSE(SameUpper("\xe9", "\xc9"));  // e acute is not folded
  EXPECT_EQ(UpperAscii("a\xe9z{"), "A\xe9Z{");
  EXPECT_EQ(FindUpper("x;charset=utf-8", "CHARSET"), 2u);
  EXPECT_EQ(FindUpper("CHARSE", "CHARSET"), std::string::npos);
  EXPECT_EQ(FindUpper("xxbegin:vcalendarxx", "BEGIN:VCALENDAR"), 2u);

  constexpr std::array<std::string_view, 3> table = {"END", "VERSION", "N"};
  EXPECT_EQ(IndexOfUpper(table, "n"), 2);
  EXPECT_EQ(IndexOfUpper(table, "End"), 0);
  EXPECT_EQ(IndexOfUpper(table, "ND"), -1);
  EXPECT_EQ(IndexOfUpper(table, ""), -1);
}

TEST(ParserText, LinePrefixHasAtLeastFourDigits) {
  const std::array<std::pair<std::size_t, const char*>, 5> cases = {{
      {0, "Line 0001"}, {6, "Line 0007"}, {9998, "Line 9999"}, {9999, "Line 10000"},
      {12344, "Line 12345"}}};
  for (const auto& [index, text] : cases) {
    std::string out = "x";
    AppendLinePrefix(out, index);
    EXPECT_EQ(out, std::string("x") + text);
  }
  std::string padded;
  AppendPadded(padded, -1, 2);
  padded += ' ';
  AppendPadded(padded, 31, 4);
  padded += ' ';
  AppendPadded(padded, 123456, 4);
  EXPECT_EQ(padded, "-01 0031 123456");
}

}  // namespace
