#include "ConsoleHost.h"

#include <QFile>
#include <stdexcept>
#include <string_view>

#include "AppException.h"
#include "PhoneCommands.h"

namespace {

// By TProgressKind: the words of the progress line, and the kind's name in JSON.
constexpr const char* kKindWords[] = {"groups", "contacts", "events", "custom ring tones"};
constexpr const char* kKindKeys[] = {"groups", "contacts", "events", "ringtones"};

std::size_t Index(TProgressKind kind) { return static_cast<std::size_t>(kind); }

}  // namespace

// ---------------------------------------------------------------------------------------
// Standard error

void TConsoleOutput::Message(const std::string& text) {
  ClearInPlace();
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find('\n', start);
    const std::string_view line = std::string_view(text).substr(start, end == std::string::npos ? end : end - start);
    std::fprintf(to_, "zarvo-cli: %.*s\n", static_cast<int>(line.size()), line.data());
    if (end == std::string::npos) break;
    start = end + 1;
  }
  std::fflush(to_);
}

void TConsoleOutput::InPlace(const std::string& text) {
  // Back to the line's start, the text, and the rest of the old text wiped.
  std::fprintf(to_, "\r%s\x1b[K", text.c_str());
  std::fflush(to_);
  inPlace_ = true;
}

void TConsoleOutput::Line(const std::string& text) {
  ClearInPlace();
  std::fprintf(to_, "%s\n", text.c_str());
  std::fflush(to_);
}

void TConsoleOutput::ClearInPlace() {
  if (!inPlace_) return;
  std::fputs("\r\x1b[K", to_);
  inPlace_ = false;
}

// ---------------------------------------------------------------------------------------
// Progress

void TConsoleProgress::SetCaption(const QString& caption) {
  operation_ = caption.toLower().toStdString();
  while (!operation_.empty() && operation_.back() == '.') operation_.pop_back();
}

void TConsoleProgress::ResetBars() { bars_ = {}; }

void TConsoleProgress::ShowProgress() {
  shown_ = true;
  if (StopPending) CloseProgress();
}

void TConsoleProgress::SetTotal(TProgressKind kind, int n) {
  bars_[Index(kind)] = {0, n, false};
  if (style_ == TProgressStyle::Json || (style_ == TProgressStyle::Auto && out_.Terminal())) Show(kind);
}

void TConsoleProgress::StepDone(TProgressKind kind, int done, int n) {
  TBar& bar = bars_[Index(kind)];
  bar.Done = done;
  bar.Total = n;
  Show(kind);
}

void TConsoleProgress::CloseProgress() {
  if (shown_ && (style_ == TProgressStyle::Lines || (style_ == TProgressStyle::Auto && !out_.Terminal())))
    for (std::size_t k = 0; k < bars_.size(); ++k) PrintLine(k);
  out_.ClearInPlace();
  shown_ = false;
  stopRequested_ = true;
}

std::array<int, 4> TConsoleProgress::Done() const {
  return {bars_[0].Done, bars_[1].Done, bars_[2].Done, bars_[3].Done};
}

void TConsoleProgress::Show(TProgressKind kind) {
  const TBar& bar = bars_[Index(kind)];
  switch (style_) {
    case TProgressStyle::None:
      return;
    case TProgressStyle::Json:
      out_.Line("{\"operation\":\"" + operation_ + "\",\"kind\":\"" + kKindKeys[Index(kind)] +
                "\",\"done\":" + std::to_string(bar.Done) + ",\"total\":" + std::to_string(bar.Total) + "}");
      return;
    case TProgressStyle::Auto:
      if (out_.Terminal()) {
        out_.InPlace(operation_ + ": " + kKindWords[Index(kind)] + " " + std::to_string(bar.Done) + "/" +
                     std::to_string(bar.Total));
        return;
      }
      [[fallthrough]];
    case TProgressStyle::Lines:
      // The kinds go one after the other: those before this one are done.
      for (std::size_t k = 0; k < Index(kind); ++k) PrintLine(k);
      if (bar.Done >= bar.Total) PrintLine(Index(kind));
      return;
  }
}

void TConsoleProgress::PrintLine(std::size_t kind) {
  TBar& bar = bars_[kind];
  if (bar.Printed || bar.Total < 0) return;
  bar.Printed = true;
  out_.Line(operation_ + ": " + kKindWords[kind] + " " + std::to_string(bar.Done) + "/" + std::to_string(bar.Total));
}

// ---------------------------------------------------------------------------------------
// Boxes

void TConsoleDialogs::ShowMessage(TMsgKind kind, const QString& title, const QString& text) {
  if (Silent) return;
  if (kind == TMsgKind::Warning) ++Warnings;
  if (kind == TMsgKind::Error) ++Errors;
  out_.Message((Context.empty() ? std::string() : Context + ": ") + title.toStdString() + ": " + text.toStdString());
}

void TConsoleDialogs::ShowException(const QString& text) {
  if (Silent) return;
  ++Errors;
  // The port's failures name the device mostly, but not all of them.
  const std::string shown = text.toStdString();
  const bool named = Context.empty() || shown.find(Context) != std::string::npos;
  out_.Message((named ? std::string() : Context + ": ") + "Error: " + shown);
}

// ---------------------------------------------------------------------------------------
// The host

TConsoleHost::TConsoleHost(TConsoleOutput& out, TProgressStyle style)
    : out_(out),
      dialogs_(out),
      exchange_(comm_, timer_, *this, dialogs_),
      progress_(out, style, stopRequested_) {
  timer_.setInterval(AnswerTimeoutMs);
  timer_.stop();
  ApplyPhoneDesignSettings(comm_);
}

TConsoleHost::~TConsoleHost() {
  // Reached with the port open only when a command did not end as it should; the port is
  // then closed without a word to the phone.
  try {
    comm_.Close();
  } catch (...) {
  }
  if (log_) std::fclose(log_);
}

void TConsoleHost::OpenLog(const QString& fileName) {
  log_ = std::fopen(QFile::encodeName(fileName).constData(), "w");
  if (!log_) throw std::runtime_error("Cannot create file " + fileName.toStdString());
  // A line as soon as it is made: the log of a run that hangs or is killed is whole.
  std::setvbuf(log_, nullptr, _IOLBF, 0);
}

void TConsoleHost::SetPort(const TPortChoice& port) { port_ = port; }

void TConsoleHost::RequestStop() {
  progress_.StopPending = true;
  progress_.CloseProgress();
}

void TConsoleHost::Abandon() {
  RequestStop();
  abandoned_ = true;
  dialogs_.Silent = true;
  // The wait sees the line gone at its next look; a wait for the port's opening ends
  // there too.
  exchange_.AnswerDone = true;
  exchange_.AnswerOk = false;
  comm_.Close();
}

void TConsoleHost::InsertLine(const std::string& rendered) {
  if (!log_) return;
  ForEachLogLine(rendered, [this](std::string_view line) {
    const std::string text = Latin1ToUtf8(line);
    std::fprintf(log_, "%s\n", text.c_str());
  });
}

bool TConsoleHost::Enabled(TMainControl control) const {
  const auto at = enabled_.find(control);
  return at != enabled_.end() && at->second;
}
