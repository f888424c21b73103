#pragma once
// Answer assembly: how the pieces that the port delivers become one classified, cleaned
// answer. Pure text functions over 8-bit strings; the exchange (AtExchange.h) calls
// them on the window thread.
//
// Final results are found in the assembled answer, not only in the newest piece, so a
// result split across two pieces is still found; each search starts just early enough
// to catch a result that ends in the new piece, so nothing is found twice.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

enum TAnswerEnd { aeOk, aeError, aePhoneError };

struct TFinalResult {
  std::string_view Text;
  TAnswerEnd End;
};

// The phone's final result codes, as they appear inside an answer.
inline constexpr TFinalResult FinalResults[] = {
    {"\r\nOK\r\n", aeOk},
    {"\r\nERROR\r\n", aeError},
    {"\r\n+CME ERROR:", aePhoneError},
};

struct TPieceFindings {
  bool Ok = false;
  bool Error = false;
  std::size_t PhoneErrorAt = std::string_view::npos;  // where CR LF "+CME ERROR:" begins
};

// The final results that end within the piece that starts at pieceStart. With carry,
// a result may begin in the characters before the piece (it was split); without, only
// the piece itself is searched.
TPieceFindings FindFinalResults(std::string_view answer, std::size_t pieceStart, bool carry);

// The text with the characters of codes 0 to 32 removed from both ends.
std::string_view TrimControls(std::string_view text);

// A complete answer without the echo of the command (through the first CR LF CR LF)
// and without its final CR LF "OK" (the first one when the answer does not end in it).
// Given the command's echo, bytes in front of it on its line are dropped first: line
// noise that followed the previous answer and was read together with this one.
std::string CleanAnswer(std::string_view answer, std::string_view echo = {});

// How the phone echoes a command: its text up to the first CR or LF; empty for what is
// not an AT command (the entry text of a store, which is not echoed).
std::string_view CommandEcho(std::string_view command);

// The number after "+CME ERROR: ": at most three digits.
struct TPhoneErrorNumber {
  enum TState { pnComplete, pnNoNumber, pnIncomplete };
  TState State = pnIncomplete;
  int Number = 0;
  std::string Shown;  // how the message shows the number (or what came instead of one)
};

// Reads the number of the phone error whose CR LF "+CME ERROR:" begins at markerAt.
// While the answer ends inside the number more digits may follow: pnIncomplete, unless
// final is set (nothing more will come), which takes what is there.
TPhoneErrorNumber ReadPhoneErrorNumber(std::string_view answer, std::size_t markerAt, bool final);

// "+CME ERROR " number ": " text "."; the text is empty for a number without one.
std::string PhoneErrorMessage(const TPhoneErrorNumber& number);

// What one received piece does to the answer: the receive handler's assembly and
// classification without the port, the timer or the message boxes, which stay with the
// handler (AtExchange.cpp) and act on the outcome.
struct TAnswerAssembly {
  // Where a "+CME ERROR:" begins whose number has not fully arrived; npos when none.
  std::size_t PendingPhoneError = std::string::npos;
  bool PromptExpected = true;  // the input prompt ends this answer (a store command)
  std::string Echo;            // CommandEcho of the command sent; empty for data
};

struct TPieceOutcome {
  bool Ok = false;      // CR LF "OK" CR LF: the answer has been cleaned
  bool Prompt = false;  // the input prompt CR LF ">"
  bool Error = false;   // CR LF "ERROR" CR LF
  std::optional<TPhoneErrorNumber> PhoneError;  // a phone error whose number is complete
  bool Ends() const { return Ok || Prompt || Error || PhoneError.has_value(); }
};

// Appends the piece to the answer and classifies it; waiting tells whether an exchange
// awaits the answer (only then may a result begin before the piece). After an "OK" the
// answer is the cleaned answer.
TPieceOutcome TakeAnswerPiece(std::string& answer, TAnswerAssembly& state, std::string_view piece, bool waiting);

// A log line: control characters other than CR and LF as "(code)".
std::string RenderLogLine(std::string_view text);
