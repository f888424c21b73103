#pragma once
// The AT command exchange: the only way the program talks to the phone.
//
// One command (or one block of data) at a time: the text is written to the serial
// component, then the window thread waits in WaitForAnswer (sleep 100 ms, process
// messages) until the answer is complete, the phone reports an error, or nothing has
// arrived for the timer's interval. The receive handler assembles the answer from the
// pieces the port delivers, classifies it and cleans it (echo and final "OK" removed);
// error answers and the time-out are shown to the user through the dialogs seam, and
// the kind of failure is kept for the caller (Failure). Every command, data byte and
// received piece is written to the log, one line each.
//
// Everything here runs on the window thread. The object does not own the serial
// component, the timer, the log pane or the dialogs: the main window does, and hands
// them in, and destroys the exchange before them. It never opens or closes the port.
//
// How an answer is bounded: every received piece restarts the timer, so an answer that
// begins but never completes ends after the timer's interval of silence with the
// time-out message. A final result split across pieces is still found. A "+CME ERROR:"
// whose number is still arriving waits for the rest (or for the silence); one without a
// number ends as a phone error with an empty text. The input prompt CR LF ">" ends the
// wait only after a store command ("AT+C#SPUT="): fetched binary data may hold the same
// bytes. A fetched entry's own lines never count as results (AtAnswer.h); an answer
// whose entry never shows its end is taken as complete, without a box, when it ends in
// CR LF "OK" CR LF and then the timer's whole interval passes in silence: a phone may
// pause inside an entry for any time shorter than that. Once the timer has fired
// nothing starts it again, and every wait leaves it stopped, so one silence shows one
// time-out box. When the port that a command went out on closes while its answer is
// awaited (the line hung up), the exchange ends at once with "ERROR: Connection to
// phone lost."; so does a command for a port that the hang-up closed already, within
// the first wait.
// Bytes that belong to no answer are logged as dropped and never reach Answer: those
// after an answer's final result (in its last piece or later, until the next send) and
// those in front of the command's echo on its line (stray bytes after the previous
// answer). Unsolicited result codes ("RING", "+CMTI: ...") are logged as removed.
// SendCommand and SendData pass on EVaCommError from the port (the buffer is full).

#include <QMetaObject>
#include <QTimer>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "AtAnswer.h"
#include "Dialogs.h"
#include "LogPane.h"

class TVaComm;

// Why the last send failed, for a caller that goes on after some failures: the phone
// refused the command or its data ("ERROR", "+CME ERROR:"), no answer began in time, or
// the line was lost. None after a send that went through, or that the port refused.
enum class TSendFailure { None, Refused, NoAnswer, LineLost };

class TAtExchange {
 public:
  // Wires VaComm's OnOpen and OnRxChar and the timer's timeout to the handlers below.
  TAtExchange(TVaComm& comm, QTimer& timer, ILogPane& log, IDialogs& dialogs);
  ~TAtExchange();
  TAtExchange(const TAtExchange&) = delete;
  TAtExchange& operator=(const TAtExchange&) = delete;

  // The answer as assembled so far; after a successful end, the cleaned answer.
  std::string Answer;
  bool AnswerDone = false;
  bool AnswerOk = false;
  bool TimedOut = false;
  // When not empty, follows the time-out message on a new line of its box: what the
  // user may do about a phone that does not answer on this port.
  std::string TimeoutHint;
  // How the last send failed, and the text its box shows (or would have shown).
  TSendFailure Failure = TSendFailure::None;
  std::string FailureText;
  // While set, the phone's refusals show no box: the caller reports them itself. A
  // time-out or a lost line is shown all the same.
  bool HoldRefusals = false;

  // Renders control characters other than CR and LF as "(n)" and appends the line.
  void AddLogLine(const std::string& text);
  // Sends the text exactly as passed (the caller supplies CR LF) and waits; AnswerOk.
  bool SendCommand(const std::string& text);
  // Sends the bytes one at a time, then CR and LF, and waits; AnswerOk.
  bool SendData(const std::vector<unsigned char>& data);  // a TDynamicCharArray
  // "AT+C#SMDE?": true when the cleaned answer ends in "1".
  bool IsDataModeOn();
  // Sleep 100 ms, process messages, until AnswerDone or TimedOut.
  void WaitForAnswer();

  // Handlers of the serial component and the timer.
  void VaCommOpen(TVaComm* sender);
  void VaCommRxChar(TVaComm* sender, int count);
  void TimerTimer();

  TVaComm& VaComm() { return comm_; }
  QTimer& Timer() { return timer_; }

  // Whether the running exchange ends at the input prompt (set by each send).
  bool PromptExpected() const { return assembly_.PromptExpected; }

  static constexpr const char* msgInvalidCommand = "ERROR: Invalid command.";
  static constexpr const char* msgTimeout = "ERROR: No answer from phone (timeout).";
  static constexpr const char* msgConnectionLost = "ERROR: Connection to phone lost.";
 private:
  void BeginExchange(std::string_view command);  // empty for a block of data
  void TakeUnframed();
  void AbandonExchange();
  void ShowError(TSendFailure failure, const std::string& text);
  void LogNotes(const TAnswerNotes& notes);
  bool ConnectionLost() const;

  TVaComm& comm_;
  QTimer& timer_;
  ILogPane& log_;
  IDialogs& dialogs_;
  QMetaObject::Connection timerConnection_;
  TAnswerAssembly assembly_;  // the phone error still arriving, the prompt expected
  bool timerFired_ = false;    // since the send
  bool unframed_ = false;      // the last piece left an Unframed answer
  // The port's open count when the awaited command went out; 0 when nothing is awaited.
  unsigned watchedOpen_ = 0;
};
