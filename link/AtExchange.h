#pragma once
// The AT command exchange: the only way the program talks to the phone.
//
// One command (or one block of data) at a time: the text is written to the serial
// component, then the window thread waits in WaitForAnswer (sleep 100 ms, process
// messages) until the answer is complete, the phone reports an error, or nothing has
// arrived for the timer's interval. The receive handler assembles the answer from the
// pieces the port delivers, classifies it and cleans it (echo and final "OK" removed);
// error answers and the time-out are shown to the user through the dialogs seam. Every
// command, data byte and received piece is written to the log, one line each.
//
// Everything here runs on the window thread. The object does not own the serial
// component, the timer, the log pane or the dialogs: the main window does, and hands
// them in. It never opens or closes the port.

#include <QTimer>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "LogPane.h"

class TVaComm;

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

 private:
  TVaComm& comm_;
  QTimer& timer_;
  ILogPane& log_;
  IDialogs& dialogs_;
};
