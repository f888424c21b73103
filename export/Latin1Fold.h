#pragma once
// Text for the phone, which keeps ISO-8859-1: every character of a foreign text that
// ISO-8859-1 lacks becomes its nearest form there, and what could not be kept is said.
//
// A character outside ISO-8859-1 is decomposed (canonical decomposition, then the
// compatibility one) and its marks are put back on the base letter for as long as the
// result stays in ISO-8859-1: "ấ" becomes "â", "ő" becomes "o", "ﬁ" becomes "fi". Letters
// that decompose into nothing of use (ł, đ, ħ, ı, œ and their capitals, a few more) and
// typographic punctuation (curly quotes, dashes, the ellipsis, the euro sign) come from
// one small table. Anything else becomes "?". Zero-width characters and the byte order
// mark are dropped, and so are control characters other than tab, CR and LF.
//
// Pure functions; they throw nothing but std::bad_alloc.

#include <QString>
#include <string>

// What one or more foldings changed, for the entry's finding.
struct TFoldReport {
  int Replaced = 0;      // characters given a nearest form
  int Unknown = 0;       // characters that became "?"
  int Dropped = 0;       // invisible and control characters removed
  std::string Examples;  // UTF-8, "ł→l, €→EUR", the first few distinct ones
  int Listed = 0;        // examples in Examples

  bool Changed() const { return Replaced + Unknown + Dropped > 0; }
};

// The text as ISO-8859-1 bytes; report (may be null) collects what was changed.
std::string FoldToLatin1(const QString& text, TFoldReport* report);
