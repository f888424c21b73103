#pragma once
// Helpers shared by the tests: dialogs and a log pane that record instead of showing,
// and the exception report routed into a list.

#include <QString>
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
