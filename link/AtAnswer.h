#pragma once
// Answer assembly: how the pieces that the port delivers become one classified, cleaned
// answer. Pure text functions over 8-bit strings; the exchange (AtExchange.h) calls
// them on the window thread.
//
// Final results are found in the assembled answer, not only in the newest piece, so a
// result split across two pieces is still found; each search starts just early enough
// to catch a result that ends in the new piece, so nothing is found twice. The answer
// ends at its final result: what follows it, in the same piece or later, belongs to no
// answer and is dropped (and named in the log).
//
// A fetched entry is data: its text may hold a line "OK" or "ERROR" (a folded note, an
// address) and a ring tone record any bytes. So in the answer to "AT+C#SGET=" nothing
// from the start of the entry (after the answer's first line) to the end that the
// entry's own framing gives counts as a result code: the first "END:VCARD" or
// "END:VCALENDAR" line that does not continue a value, or 48 + 4n bytes of a ring tone
// record. The n bytes of a listing piece ("+C#SLST: m,n") are framed the same way. An
// entry whose framing never comes is taken as complete once the answer ends in CR LF
// "OK" CR LF and nothing more arrives for the answer time-out (the exchange's part).
//
// The phone may send unsolicited result codes at any moment (a call, a text message).
// Outside an entry's framing, a whole line beginning with one of UnsolicitedCodes is
// removed wherever it falls, before the echo, inside the answer or after it, together
// with the empty line in front of it, so that the answer reads as if it had not come;
// "+CMT:" and "+CBM:" take their message line with them. Inside the framing every line
// is the entry's.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Unsolicited result codes, and whether the line after theirs (the message) goes with them.
struct TUnsolicitedCode {
  std::string_view Text;
  bool TakesNextLine;
};
inline constexpr TUnsolicitedCode UnsolicitedCodes[] = {
    {"RING", false},   {"+CRING:", false}, {"+CLIP:", false}, {"+CMTI:", false}, {"+CMT:", true},
    {"+CDSI:", false}, {"+CBM:", true},    {"+CIEV:", false}, {"+CREG:", false}, {"+CGREG:", false},
};

// The code a line begins with; nullptr for a line that is no unsolicited result code.
const TUnsolicitedCode* UnsolicitedCode(std::string_view line);

// How the data in an answer ends; efNone for an answer that carries none.
enum TEntryFraming { efNone, efVCard, efVCalendar, efRingTone, efListing };

// The framing of the entry in the answer to a command: "AT+C#SGET=" with type 0 or 1
// (vCard), 2 (vCalendar) or 9 (ring tone record); efNone for anything else.
TEntryFraming FetchFraming(std::string_view command);

// Where the entry (or the listing's data) lies in the assembled answer, found as the
// pieces come.
struct TEntryFrame {
  TEntryFraming Framing = efNone;
  std::size_t Begin = std::string_view::npos;  // after the answer's first line, once complete
  std::size_t End = std::string_view::npos;    // where its framing ends it, once known
  // The scan of the entry's lines: where the next one begins, whether the value in hand
  // goes on in it (after "=", or in an address also after "\"), and whether the last
  // line ended in a CR whose LF may still come.
  enum TContinued { ctNo, ctSoftBreak, ctAddress };
  std::size_t ScanAt = 0;
  TContinued Continued = ctNo;
  bool LfMayFollow = false;

  // Whether a result code whose CR LF begins at `at` lies inside the entry (a listing
  // without data has no inside).
  bool Hides(std::size_t at) const {
    return Begin != std::string_view::npos && End != Begin && at + 2 >= Begin &&
           (End == std::string_view::npos || at < End);
  }
};

struct TPieceFindings {
  bool Ok = false;
  bool Error = false;
  std::size_t PhoneErrorAt = std::string_view::npos;  // where CR LF "+CME ERROR:" begins
  std::size_t OkErrorEnd = 0;  // behind the last of the "OK" and "ERROR" found
};

// The final results that end within the piece that starts at pieceStart. With carry,
// a result may begin in the characters before the piece (it was split); without, only
// the piece itself is searched. Results inside the entry do not count.
TPieceFindings FindFinalResults(std::string_view answer, std::size_t pieceStart, bool carry,
                                const TEntryFrame& entry = {});

// The text with the characters of codes 0 to 32 removed from both ends.
std::string_view TrimControls(std::string_view text);

// A complete answer without the echo of the command (through the first CR LF CR LF)
// and without the CR LF "OK" that ends it; an "OK" anywhere else is the answer's own.
// Given the command's echo, bytes in front of it on its line are dropped first: line
// noise that followed the previous answer and was read together with this one.
std::string CleanAnswer(std::string_view answer, std::string_view echo = {});

// Where the cleaned answer's text begins in the answer: after the leading control
// characters, and after the echo through its CR LF CR LF. For an answer still arriving
// (not complete), npos while the echo's CR LF CR LF has not come.
std::size_t CleanStart(std::string_view answer, std::string_view echo, bool complete);

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
  TEntryFrame Entry;           // the fetched entry (or listing data) in the answer
  std::size_t LineAt = 0;      // the next line to look at for unsolicited result codes
  // A "+CMT:" or "+CBM:" line whose message line has not ended: nothing from here on
  // counts as a result yet. npos when none.
  std::size_t Held = std::string::npos;
  bool Ended = false;  // the final result came: later bytes belong to no answer
};

// The assembly for the answer to a command as sent (empty for a block of data).
TAnswerAssembly AssemblyFor(std::string_view command);

// What the assembly took out of the answer, for the log.
struct TAnswerNotes {
  std::vector<std::string> Unsolicited;  // each removed code with its message line
  std::vector<std::string> Dropped;      // bytes of no answer: behind its end, before the echo
};

struct TPieceOutcome {
  TAnswerNotes Notes;
  bool Ok = false;      // CR LF "OK" CR LF: the answer has been cleaned
  bool Prompt = false;  // the input prompt CR LF ">"
  bool Error = false;   // CR LF "ERROR" CR LF
  std::optional<TPhoneErrorNumber> PhoneError;  // a phone error whose number is complete
  // The answer ends in CR LF "OK" CR LF but its entry's framing has not come: complete
  // when nothing more arrives (TakeUnframedAnswer).
  bool Unframed = false;
  bool Ends() const { return Ok || Prompt || Error || PhoneError.has_value(); }
};

// Appends the piece to the answer and classifies it; waiting tells whether an exchange
// awaits the answer (only then may a result begin before the piece). After an "OK" the
// answer is the cleaned answer. Once the answer has ended, a piece is not appended.
TPieceOutcome TakeAnswerPiece(std::string& answer, TAnswerAssembly& state, std::string_view piece, bool waiting);

// Ends an answer whose last piece was Unframed as an "OK" answer: cleans it.
TAnswerNotes TakeUnframedAnswer(std::string& answer, TAnswerAssembly& state);

// A log line: control characters other than CR and LF as "(code)".
std::string RenderLogLine(std::string_view text);
