#pragma once
// Helpers shared by the tests: dialogs and a log pane that record instead of showing,
// the exception report routed into a list, and waiting with the event loop running.

#include <QString>
#include <chrono>
#include <functional>
#include <deque>
#include <ostream>
#include <optional>
#include <string>
#include <vector>

#include "AppException.h"
#include "Dialogs.h"
#include "LogPane.h"

// Lets GoogleTest print texts in failure messages instead of their bytes.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

struct TRecordedMessage {
  TMsgKind Kind;
  QString Title;
  QString Text;
};

class TRecordingDialogs : public IDialogs {
 public:
  std::vector<TRecordedMessage> Messages;
  std::vector<QString> Exceptions;
  std::vector<TFileDialogSettings> FileDialogs;
  // Answers for the next file dialogs, in order; an empty text is a Cancel, and so is
  // a dialog with no answer left.
  std::deque<QString> FileAnswers;
  std::vector<TChoiceSettings> Choices;
  // Answers for the next choices, in order; nothing is a Cancel, and so is a choice with
  // no answer left.
  std::deque<std::optional<int>> ChoiceAnswers;
  // Runs inside each message box, as a person would look at it before pressing OK.
  std::function<void(const TRecordedMessage&)> WhileShown;

  void ShowMessage(TMsgKind kind, const QString& title, const QString& text) override;
  std::optional<QString> OpenFile(const TFileDialogSettings& settings) override;
  std::optional<QString> SaveFile(const TFileDialogSettings& settings) override;
  // Takes the next of FileAnswers too: several files as one text, a name a line.
  std::optional<QStringList> OpenFiles(const TFileDialogSettings& settings) override;
  std::optional<int> ChooseItem(const TChoiceSettings& settings) override;
  void ShowException(const QString& text) override;

  // Every message and exception text, in order, for compact assertions.
  std::vector<QString> Texts() const;
};

class TRecordingLog : public ILogPane {
 public:
  std::vector<std::string> Lines;
  void InsertLine(const std::string& rendered) override { Lines.push_back(rendered); }
};

// Routes the application's exception report into a list for the life of the object.
class TExceptionRecorder {
 public:
  TExceptionRecorder();
  ~TExceptionRecorder();
  std::vector<QString> Texts;

 private:
  TExceptionReporter previous_;
};

using TClock = std::chrono::steady_clock;

inline long long MsSince(TClock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - start).count();
}

// Lets the window thread's events run until done() or the time is up.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs);
// Lets the window thread's events run for ms.
void PumpFor(int ms);

// Runs inChild in a forked process and waits for it; the child ends with the code
// inChild returns (0 to 255). Only system calls belong in inChild: the fork of a process
// with threads may use nothing that a lock guards. -1 when the fork failed or the child
// did not exit by itself.
int RunInChild(const std::function<int()>& inChild);
