#pragma once
// The application's standard exception report. Whatever leaves a handler (a button's,
// or one the serial component hands to the window thread) is caught at the handler's
// edge and its text shown here; no exception ever crosses the Qt event loop.
//
// An exception's text (what()) is UTF-8, the encoding the report reads it in: file and
// device names go in as the file system spells them, text from the phone or a backup,
// which is ISO-8859-1, through Latin1ToUtf8.

#include <QString>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

using TExceptionReporter = std::function<void(const QString& text)>;

// Installs the report (the windows show a modal box; tests record). Returns the old one.
// Without one, the text goes to standard error.
TExceptionReporter SetExceptionReporter(TExceptionReporter reporter);

// ISO-8859-1 text (a name from the phone, a value from a backup) for an exception's text.
std::string Latin1ToUtf8(std::string_view text);

// One ISO-8859-1 character appended to out as UTF-8 (the export's texts use it too).
inline void AppendLatin1AsUtf8(std::string& out, char c) {
  const auto b = static_cast<unsigned char>(c);
  if (b < 0x80) {
    out += c;
  } else {
    out += static_cast<char>(0xC0 | (b >> 6));
    out += static_cast<char>(0x80 | (b & 0x3F));
  }
}

// Shows the text of the exception being handled; call only inside a catch block.
void ReportCurrentException() noexcept;

// Runs f and reports anything it throws.
template <class F>
void RunGuarded(F&& f) noexcept {
  try {
    std::forward<F>(f)();
  } catch (...) {
    ReportCurrentException();
  }
}
