#pragma once
// The application's standard exception report. Whatever leaves a handler (a button's,
// or one the serial component hands to the window thread) is caught at the handler's
// edge and its text shown here; no exception ever crosses the Qt event loop.

#include <QString>
#include <exception>
#include <functional>
#include <utility>

using TExceptionReporter = std::function<void(const QString& text)>;

// Installs the report (the windows show a modal box; tests record). Returns the old one.
// Without one, the text goes to standard error.
TExceptionReporter SetExceptionReporter(TExceptionReporter reporter);

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
