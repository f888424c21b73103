#include "AtExchange.h"

#include <QCoreApplication>
#include <QThread>

#include "AppException.h"
#include "AtAnswer.h"
#include "PhoneCommands.h"
#include "VaComm.h"

namespace {

// watchedOpen_ of a command sent to a closed port: no open count is ever this.
constexpr unsigned kNoLine = ~0u;

}  // namespace

TAtExchange::TAtExchange(TVaComm& comm, QTimer& timer, ILogPane& log, IDialogs& dialogs)
    : comm_(comm), timer_(timer), log_(log), dialogs_(dialogs) {
  comm_.OnOpen = [this](TVaComm* sender) { VaCommOpen(sender); };
  comm_.OnRxChar = [this](TVaComm* sender, int count) { VaCommRxChar(sender, count); };
  timerConnection_ = QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { RunGuarded([this] { TimerTimer(); }); });
}

TAtExchange::~TAtExchange() {
  QObject::disconnect(timerConnection_);
  comm_.OnOpen = nullptr;
  comm_.OnRxChar = nullptr;
}

void TAtExchange::AddLogLine(const std::string& text) { log_.InsertLine(RenderLogLine(text)); }

void TAtExchange::BeginExchange(std::string_view command) {
  Answer.clear();
  AnswerDone = false;
  AnswerOk = true;
  TimedOut = false;
  Failure = TSendFailure::None;
  FailureText.clear();
  assembly_ = AssemblyFor(command);
  timerFired_ = false;
  unframed_ = false;
  // A port that is closed already (the line hung up between two operations) takes no
  // bytes: the wait finds the line lost at its first look instead of waiting for the
  // time-out, three minutes during a restore.
  watchedOpen_ = comm_.IsOpen() ? comm_.OpenCount() : kNoLine;
  timer_.start();
}

// The port refused the bytes: nothing is awaited, and no time-out may follow later.
void TAtExchange::AbandonExchange() {
  timer_.stop();
  AnswerOk = false;
  watchedOpen_ = 0;
}

bool TAtExchange::SendCommand(const std::string& text) {
  BeginExchange(text);
  try {
    comm_.WriteString(text);
  } catch (...) {
    AbandonExchange();
    throw;
  }
  AddLogLine(text);
  WaitForAnswer();
  return AnswerOk;
}

bool TAtExchange::SendData(const std::vector<unsigned char>& data) {
  BeginExchange({});
  try {
    for (const unsigned char byte : data) {
      comm_.WriteByte(byte);
      std::string line = "[";
      line += std::to_string(byte);
      line += ']';
      AddLogLine(line);
    }
    comm_.WriteByte(13);
    comm_.WriteByte(10);
  } catch (...) {
    AbandonExchange();
    throw;
  }
  AddLogLine("");
  WaitForAnswer();
  return AnswerOk;
}

bool TAtExchange::IsDataModeOn() {
  bool result = false;
  if (SendCommand(std::string(cmdDataModeQuery)) && !Answer.empty() && Answer.back() == '1') result = true;
  return result;
}

bool TAtExchange::ConnectionLost() const {
  return watchedOpen_ != 0 && (!comm_.IsOpen() || comm_.OpenCount() != watchedOpen_);
}

void TAtExchange::WaitForAnswer() {
  do {
    QThread::msleep(100);
    QCoreApplication::processEvents();
    if (!AnswerDone && !TimedOut && ConnectionLost()) {
      timer_.stop();
      assembly_.PendingPhoneError = std::string::npos;
      watchedOpen_ = 0;
      ShowError(TSendFailure::LineLost, msgConnectionLost);
      AnswerDone = true;
      AnswerOk = false;
    }
  } while (!AnswerDone && !TimedOut);
  watchedOpen_ = 0;
  // However the wait ended, no time-out may come after it.
  timer_.stop();
  unframed_ = false;
}

void TAtExchange::TakeUnframed() {
  timer_.stop();
  unframed_ = false;
  LogNotes(TakeUnframedAnswer(Answer, assembly_));
  AnswerDone = true;
}

void TAtExchange::LogNotes(const TAnswerNotes& notes) {
  for (const std::string& code : notes.Unsolicited) AddLogLine("Unsolicited result code removed: " + code);
  for (const std::string& bytes : notes.Dropped) AddLogLine("Not part of the answer, dropped: " + bytes);
}

void TAtExchange::ShowError(TSendFailure failure, const std::string& text) {
  Failure = failure;
  FailureText = text;
  if (failure == TSendFailure::Refused && HoldRefusals) return;
  dialogs_.ShowMessage(TMsgKind::Error, QStringLiteral("Error"),
                       QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void TAtExchange::VaCommOpen(TVaComm*) { AnswerDone = true; }

void TAtExchange::VaCommRxChar(TVaComm*, int) {
  const bool waiting = !AnswerDone && !TimedOut;
  timer_.stop();
  const std::string piece = comm_.ReadString();
  AddLogLine(piece);
  const TPieceOutcome found = TakeAnswerPiece(Answer, assembly_, piece, waiting);
  LogNotes(found.Notes);
  // Every piece of an unfinished answer gives the phone another interval, until the
  // timer has fired: its box is shown once.
  if (waiting && !found.Ends() && !timerFired_) timer_.start();
  unframed_ = waiting && found.Unframed;

  if (found.Ok || found.Prompt) AnswerDone = true;
  if (found.Error) {
    ShowError(TSendFailure::Refused, msgInvalidCommand);
    AnswerDone = true;
    AnswerOk = false;
  }
  if (found.PhoneError) {
    ShowError(TSendFailure::Refused, PhoneErrorMessage(*found.PhoneError));
    AnswerDone = true;
    AnswerOk = false;
  }
}

void TAtExchange::TimerTimer() {
  timer_.stop();
  timerFired_ = true;
  if (unframed_) {
    // The answer was complete but for an entry's framing: no time-out for that.
    TakeUnframed();
    return;
  }
  if (assembly_.PendingPhoneError != std::string::npos) {
    // The phone fell silent inside a phone error's number: take what came.
    const TPhoneErrorNumber number = ReadPhoneErrorNumber(Answer, assembly_.PendingPhoneError, true);
    assembly_.PendingPhoneError = std::string::npos;
    assembly_.Ended = true;
    ShowError(TSendFailure::Refused, PhoneErrorMessage(number));
    AnswerDone = true;
    AnswerOk = false;
    return;
  }
  ShowError(TSendFailure::NoAnswer, TimeoutHint.empty() ? std::string(msgTimeout) : msgTimeout + ("\n" + TimeoutHint));
  TimedOut = true;
  AnswerOk = false;
}
