#include "AppException.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex gReporterLock;
TExceptionReporter gReporter;
}  // namespace

std::string Latin1ToUtf8(std::string_view text) {
  std::string utf8;
  utf8.reserve(text.size());
  for (const char c : text) AppendLatin1AsUtf8(utf8, c);
  return utf8;
}

TExceptionReporter SetExceptionReporter(TExceptionReporter reporter) {
  std::lock_guard<std::mutex> lock(gReporterLock);
  std::swap(gReporter, reporter);
  return reporter;
}

void ReportCurrentException() noexcept {
  QString text;
  try {
    throw;
  } catch (const std::exception& e) {
    text = QString::fromUtf8(e.what());
  } catch (...) {
    text = QStringLiteral("Unknown exception");
  }
  TExceptionReporter reporter;
  {
    std::lock_guard<std::mutex> lock(gReporterLock);
    reporter = gReporter;
  }
  try {
    if (reporter) {
      reporter(text);
      return;
    }
  } catch (...) {
    // A failing report must not take the program down; fall back to standard error.
  }
  std::fprintf(stderr, "zarvo: %s\n", text.toLocal8Bit().constData());
}
