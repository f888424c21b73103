#pragma once
// Text helpers of the vObject parser: the split of a property line, the comparison of
// names in upper case (letters a to z only, as the phone's tables are spelled), the
// integer conversion, the decoding of the two escapes that notes and addresses carry,
// and the "Line 0000" prefix of the parser's log lines.
//
// Pure functions on 8-bit text; they never read outside the views they are given and
// throw nothing but std::bad_alloc.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "Entries.h"

// Upper case of the letters a to z; every other byte, those above 127 included, stays.
constexpr char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
std::string UpperAscii(std::string_view text);

// True when text, upper-cased, equals upper (which is spelled in upper case already).
bool SameUpper(std::string_view text, std::string_view upper);
// Position of upper in text upper-cased, or npos.
std::size_t FindUpper(std::string_view text, std::string_view upper);
// Index of the first table entry that equals name upper-cased, or -1.
int IndexOfUpper(std::span<const std::string_view> table, std::string_view name);

// One property line: NAME;PARAMS:VALUE. The name is the text before the first colon
// (empty without a colon), cut at its first semicolon, whose rest are the params; the
// value is the text after the first colon (the whole line without a colon). Nothing is
// trimmed. The views point into the line.
struct TPropertyLine {
  std::string_view Name;
  std::string_view Params;
  std::string_view Value;
};
TPropertyLine SplitPropertyLine(std::string_view line);

// The integer conversion: optional leading blanks, an optional "+" or "-", then one or
// more decimal digits and nothing else, within the 32-bit range. False (and value left
// alone) for anything else.
bool TryStrToInt(std::string_view text, std::int32_t& value);

// "=3D" to "=" and "=0D=0A" to CR LF, in any letter case, in one pass from the left, so
// that an escaped "=0D=0A" written as "=3D0D=3D0A" comes back as those six characters.
// Nothing else is decoded.
std::string DecodeEscapes(std::string_view text);

// A text as lines: CR LF, a lone CR and a lone LF each end a line, a NUL ends the text,
// and a line end at the very end makes no empty line after it.
TLines SplitLines(std::string_view text);

// Appends "Line " and the 1-based number of the 0-based line index, with at least four
// digits ("Line 0007", "Line 12345").
void AppendLinePrefix(std::string& out, std::size_t lineIndex);
// Appends value in decimal with at least width digits, zero-padded after any sign.
void AppendPadded(std::string& out, std::int64_t value, int width);
