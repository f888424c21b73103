#pragma once
// The content lines of vCard and iCalendar text: physical lines joined into properties,
// each taken apart into group, name, parameters and value, and the value decoded.
//
// Lines end at CR LF, a lone CR or a lone LF. A line that begins with a blank or a tab
// continues the one before it, that one character removed (RFC 2425 folding; vCard 2.1
// writers fold the same way in practice). A quoted-printable value that ends in "="
// continues on the next line whatever that line holds, an empty one included, unless it
// is a BEGIN or END line (and a quoted-printable value left empty right after its colon
// takes the next line without one); a vCard 2.1 base64 value takes the unindented lines
// of base64 that follow it; any other value that ends in a lone backslash goes on after
// a line break on the next line when that holds no colon (as the phone writes addresses).
// Empty lines between properties are skipped; CR CR LF ends one line.
//
// Parameters come in every spelling: bare vCard 2.1 types ("TEL;HOME;VOICE"), TYPE=a,b,
// TYPE="a,b", TYPE repeated; names are upper-cased, values unquoted, caret escapes
// (RFC 6868) undone. Pure functions; nothing is thrown but std::bad_alloc.

#include <QString>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct TParam {
  std::string Name;  // upper-cased: TYPE, CHARSET, ENCODING, VALUE, TZID, ...
  std::vector<std::string> Values;
};

struct TContentLine {
  std::size_t Line = 0;  // 1-based physical line it began on
  std::string Group;     // upper-cased, "ITEM1" of "item1.TEL"; empty for none
  std::string Name;      // upper-cased
  std::vector<TParam> Params;
  std::string Value;     // the bytes after the colon, soft breaks joined, not decoded
  bool IsProperty = true;  // false for a line without a colon or without a name

  const TParam* Find(std::string_view upperName) const;
  // The first value of the parameter, or empty.
  std::string First(std::string_view upperName) const;
  // A TYPE value, compared without letter case.
  bool HasType(std::string_view upperType) const;
  // Quoted-printable, by either spelling.
  bool IsQuotedPrintable() const;
  bool IsBase64() const;
};

// A component, BEGIN:NAME to END:NAME, with its properties and the components inside.
struct TComponent {
  std::string Name;      // upper-cased
  std::size_t Line = 0;  // of its BEGIN line
  std::vector<TContentLine> Properties;
  std::vector<TComponent> Children;
  bool Ended = true;  // false when its END line was missing

  // The first property of that name, or null.
  const TContentLine* Property(std::string_view upperName) const;
};

// Reads content lines one at a time, so that a large file is never held twice.
class TContentReader {
 public:
  explicit TContentReader(std::string_view text) : text_(text) {}
  // The next content line; false at the end of the text.
  bool Next(TContentLine& line);

 private:
  // The next physical line without its line end; false at the end.
  bool Peek(std::string_view& line) const;
  void Take();

  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t lineNo_ = 0;  // lines taken so far
};

// The value as text: its encoding undone, then its CHARSET (UTF-8 when none is given and
// the bytes are valid UTF-8, else Windows-1252). unknownCharset / notUtf8 (may be null)
// report a CHARSET that is not known (read as the default) and bytes that are not the
// UTF-8 they should be (read as Windows-1252).
QString DecodedValue(const TContentLine& line, std::string* unknownCharset, bool* notUtf8);

// Text escapes undone: "\n" and "\N" to a line break, "\\", "\,", "\;" and "\:" to the
// character; any other backslash stays.
QString Unescaped(QStringView text);

// The value split at every unescaped separator, each part unescaped.
std::vector<QString> SplitUnescaped(QStringView text, QChar separator);
