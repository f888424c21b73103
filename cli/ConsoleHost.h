#pragma once
// The console host: the main window's interface (IMainWindowHost) for a program without
// a window, so that zarvo-cli runs the read, Save, Load and the restore through the very
// functions the window runs.
//
// Message boxes and the exception report become lines on standard error, "zarvo-cli: "
// and the box's title in front ("zarvo-cli: COM4: Error: ERROR: Invalid command."); the
// file dialogs are answered with the file named on the command line; the progress window
// becomes a progress line on standard error (redrawn in place on a terminal, one line
// per kind elsewhere, or JSON); the tree is not kept; the log pane goes to a file.
//
// A stop request (the first SIGINT or SIGTERM) acts as the progress window's Cancel: the
// entry in hand is finished, then the operation ends as after Cancel. Abandoning (the
// second) closes the port under the running exchange, which then ends at its next look.
//
// Everything runs on the main thread, which the exchange's waits let process events.

#include <QString>
#include <QTimer>
#include <array>
#include <cstdio>
#include <map>
#include <optional>
#include <string>

#include "AtExchange.h"
#include "Dialogs.h"
#include "LogPane.h"
#include "MainWindowHost.h"
#include "VaComm.h"

// How progress is shown: chosen by the terminal, whole lines, JSON, or not at all.
enum class TProgressStyle { Auto, Lines, Json, None };

// Standard error as the program's messages and progress share it.
class TConsoleOutput {
 public:
  TConsoleOutput(std::FILE* to, bool terminal) : to_(to), terminal_(terminal) {}
  bool Terminal() const { return terminal_; }
  // Every line of the text (UTF-8) with "zarvo-cli: " in front, below a progress line.
  void Message(const std::string& text);
  // A line shown in place of the last one shown so (a terminal's progress line).
  void InPlace(const std::string& text);
  // A line as it stands.
  void Line(const std::string& text);
  // Removes the line shown in place, if any.
  void ClearInPlace();

 private:
  std::FILE* to_;
  bool terminal_;
  bool inPlace_ = false;
};

// The progress window: the work's caption ("Reading..." shows as "reading") and, per
// kind, how many entries of how many are done.
class TConsoleProgress : public IProgressWindow {
 public:
  TConsoleProgress(TConsoleOutput& out, TProgressStyle style, bool& stopRequested)
      : out_(out), style_(style), stopRequested_(stopRequested) {}

  void SetCaption(const QString& caption) override;
  void ResetBars() override;
  void ShowProgress() override;
  void SetTotal(TProgressKind kind, int n) override;
  void StepDone(TProgressKind kind, int done, int n) override;
  void CloseProgress() override;

  // Entries done per kind since the bars were reset, by TProgressKind.
  std::array<int, 4> Done() const;
  // A stop was requested: a progress window shown from now on closes again at once, so
  // that the work stops at its first look, also when it had not begun yet.
  bool StopPending = false;

 private:
  struct TBar {
    int Done = 0;
    int Total = -1;  // not known yet
    bool Printed = false;
  };
  void Show(TProgressKind kind);
  void PrintLine(std::size_t kind);

  TConsoleOutput& out_;
  TProgressStyle style_;
  bool& stopRequested_;
  std::string operation_;
  std::array<TBar, 4> bars_{};
  bool shown_ = false;
};

// The boxes and the dialogs.
class TConsoleDialogs : public IDialogs {
 public:
  explicit TConsoleDialogs(TConsoleOutput& out) : out_(out) {}

  void ShowMessage(TMsgKind kind, const QString& title, const QString& text) override;
  std::optional<QString> OpenFile(const TFileDialogSettings&) override { return FileAnswer; }
  std::optional<QString> SaveFile(const TFileDialogSettings&) override { return FileAnswer; }
  std::optional<QStringList> OpenFiles(const TFileDialogSettings&) override {
    if (!FileAnswer) return std::nullopt;
    return QStringList{*FileAnswer};
  }
  // Never asked: the console host offers no choices (IMainWindowHost::OffersPortLink).
  std::optional<int> ChooseItem(const TChoiceSettings&) override { return std::nullopt; }
  void ShowException(const QString& text) override;

  // The file named on the command line, for the open and save dialogs.
  std::optional<QString> FileAnswer;
  // Named in front of the phone's messages: the port.
  std::string Context;
  // Once the exchange is abandoned, its failures are no news.
  bool Silent = false;
  int Warnings = 0;
  int Errors = 0;  // error boxes and exceptions

 private:
  TConsoleOutput& out_;
};

class TConsoleHost : public IMainWindowHost, private ILogPane {
 public:
  TConsoleHost(TConsoleOutput& out, TProgressStyle style);
  ~TConsoleHost() override;
  TConsoleHost(const TConsoleHost&) = delete;
  TConsoleHost& operator=(const TConsoleHost&) = delete;

  // Every log line also to this file (created anew); throws "Cannot create file <name>".
  void OpenLog(const QString& fileName);
  void SetPort(const TPortChoice& port);

  TConsoleDialogs& Messages() { return dialogs_; }
  TConsoleProgress& ProgressLine() { return progress_; }
  // What the last read or restore enabled.
  bool SaveEnabled() const { return Enabled(TMainControl::Save); }
  bool LoadEnabled() const { return Enabled(TMainControl::Load); }

  // The first signal: Cancel, now or as soon as the progress shows.
  void RequestStop();
  // The second: the port is closed at once, which ends the running exchange.
  void Abandon();
  bool Abandoned() const { return abandoned_; }

  // IMainWindowHost
  TVaComm& VaComm() override { return comm_; }
  TAtExchange& Exchange() override { return exchange_; }
  TEntryLists& Lists() override { return lists_; }
  TLines& ParseLines() override { return parseLines_; }
  IDialogs& Dialogs() override { return dialogs_; }
  IProgressWindow& Progress() override { return progress_; }
  bool& StopRequested() override { return stopRequested_; }
  TPortChoice PortTarget() const override { return port_; }
  bool OffersPortLink() const override { return false; }
  TRetryAction PortHintRetry() const override { return TRetryAction::RunAgain; }
  void SetControlEnabled(TMainControl control, bool enabled) override { enabled_[control] = enabled; }
  void SetWindowEnabled(bool) override {}
  void RepaintWindow() override {}
  void FocusWindow() override {}
  void SetBusyCursor(bool) override {}
  void ClearTree() override {}
  void AddFixedNode(TTreeNode, const QString&, int) override {}
  bool HasNode(TNodeRef) const override { return false; }
  void AddEntryNode(TNodeRef, const QString&, int, std::optional<std::int32_t>) override {}
  void ExpandTree() override {}
  void SelectFirstNode() override {}

 private:
  void InsertLine(const std::string& rendered) override;
  bool Enabled(TMainControl control) const;

  TConsoleOutput& out_;
  QTimer timer_;
  TVaComm comm_;
  TConsoleDialogs dialogs_;
  TAtExchange exchange_;
  TEntryLists lists_;
  TLines parseLines_;
  bool stopRequested_ = false;
  TConsoleProgress progress_;
  TPortChoice port_;
  std::map<TMainControl, bool> enabled_;
  std::FILE* log_ = nullptr;
  bool abandoned_ = false;
};
