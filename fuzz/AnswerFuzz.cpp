// Fuzz target of the answer assembly: arbitrary pieces fed to TakeAnswerPiece the way
// the receive handler feeds them, with the exchange's flags around it (a send resets
// them, the timer's silence ends the wait, pieces after a time-out are still taken).
//
// Input: byte 0 bit 0 says whether the first exchange expects the input prompt, bits 1
// to 4 pick the command that every exchange of the input answers (its echo, and for a
// fetch its entry's framing), or none, as for data. Then records: a header byte h and up
// to (h & 63) + 1 bytes of piece. h & 128 starts a new exchange first (its prompt
// expectation is h & 64); otherwise h & 64 lets the phone fall silent before the piece.
// Beyond not crashing: the first end of every exchange is the end that the same bytes
// give in one piece (split results are found, and found once; an entry's lines are
// skipped alike however they are cut), an answer taken at the silence after an entry
// without its end is what one piece gives, a pending phone error always points into the
// answer, every shown number is printable, and once an answer has ended at its final
// result nothing that follows changes it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "AtAnswer.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

constexpr std::size_t kMarkerSize = std::string_view("\r\n+CME ERROR:").size();

// Commands the exchange sends, and none for a data block; the fetches of every type.
constexpr std::string_view kCommands[] = {
    "",                    "AT+CGSN\r\n",         "AT+C#SMDE?\r\n",       "AT+C#SMDE=1\r\n",
    "AT+C#SLST=1\r\n",     "AT+C#SGET=0,5\r\n",   "AT+C#SPUT=0,120\r\n",  "AT+C#SLST=9\r\n",
    "AT+C#SGET=1,3\r\n",   "AT+C#SGET=2,7\r\n",   "AT+C#SGET=9,9\r\n",    "AT+C#SGET=0,123\r\n",
    "AT+C#SGET=2,1\r\n",   "AT+C#SGET=9,1\r\n",   "AT+C#SGET=1,1\r\n",    "AT+C#SGET=3,1\r\n"};

void RequireShowable(const TPhoneErrorNumber& number) {
  Require(number.State != TPhoneErrorNumber::pnIncomplete);
  Require(number.Shown.size() <= 3);
  for (const char c : number.Shown) Require(static_cast<unsigned char>(c) >= 32);
  if (number.State == TPhoneErrorNumber::pnComplete) Require(number.Number >= 0 && number.Number <= 999);
  Require(PhoneErrorMessage(number).starts_with("+CME ERROR "));
}

bool SameNumber(const std::optional<TPhoneErrorNumber>& a, const std::optional<TPhoneErrorNumber>& b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || (a->State == b->State && a->Number == b->Number && a->Shown == b->Shown);
}

// One exchange as TAtExchange keeps it.
struct TExchange {
  std::string Answer;
  TAnswerAssembly Assembly;
  bool AnswerDone = false;
  bool TimedOut = false;
  bool Unframed = false;  // the last piece's outcome
  std::string Raw;  // every byte received while waiting, as one piece would bring it
  std::string_view Command;

  void Begin(bool promptExpected, std::string_view command) {
    *this = TExchange();
    Command = command;
    Assembly = Fresh(promptExpected);
  }

  TAnswerAssembly Fresh(bool promptExpected) const {
    TAnswerAssembly assembly = AssemblyFor(Command);
    assembly.PromptExpected = promptExpected;
    return assembly;
  }

  void Silence() {
    if (AnswerDone || TimedOut) return;
    if (Unframed) {
      TakeUnframedAnswer(Answer, Assembly);
      AnswerDone = true;
      std::string whole;
      TAnswerAssembly fresh = Fresh(Assembly.PromptExpected);
      const TPieceOutcome once = TakeAnswerPiece(whole, fresh, Raw, true);
      Require(once.Unframed && !once.Ends());
      TakeUnframedAnswer(whole, fresh);
      Require(whole == Answer);
    } else if (Assembly.PendingPhoneError != std::string::npos) {
      RequireShowable(ReadPhoneErrorNumber(Answer, Assembly.PendingPhoneError, true));
      Assembly.PendingPhoneError = std::string::npos;
      Assembly.Ended = true;
      AnswerDone = true;
    } else {
      TimedOut = true;
    }
  }

  void Receive(std::string_view piece) {
    const bool waiting = !AnswerDone && !TimedOut;
    if (waiting) Raw += piece;
    const std::string before = Answer;
    const bool ended = Assembly.Ended;
    const TPieceOutcome out = TakeAnswerPiece(Answer, Assembly, piece, waiting);
    if (ended) Require(Answer == before && !out.Ends() && out.Notes.Dropped.size() == 1);
    if (out.PhoneError) RequireShowable(*out.PhoneError);
    if (Assembly.PendingPhoneError != std::string::npos)
      Require(Assembly.PendingPhoneError + kMarkerSize <= Answer.size());
    if (waiting && out.Ends()) {
      // The same bytes in a single piece end the same way, with the same answer left.
      std::string whole;
      TAnswerAssembly fresh = Fresh(Assembly.PromptExpected);
      const TPieceOutcome once = TakeAnswerPiece(whole, fresh, Raw, true);
      Require(once.Ok == out.Ok && once.Error == out.Error && once.Prompt == out.Prompt);
      Require(SameNumber(once.PhoneError, out.PhoneError));
      Require(whole == Answer);
      if (out.Ok) Require(Answer.size() <= Raw.size());
    }
    if (out.Ok || out.Prompt || out.Error || out.PhoneError) AnswerDone = true;
    Unframed = waiting && out.Unframed;
    if (Unframed) Require(!out.Ends());
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string_view command = kCommands[(data[0] >> 1) & 15];
  TExchange exchange;
  exchange.Begin((data[0] & 1) != 0, command);
  while (!rest.empty()) {
    const auto h = static_cast<unsigned char>(rest.front());
    rest.remove_prefix(1);
    if (h & 128)
      exchange.Begin((h & 64) != 0, command);
    else if (h & 64)
      exchange.Silence();
    const std::string_view piece = rest.substr(0, (h & 63u) + 1);
    rest.remove_prefix(piece.size());
    if (!piece.empty()) exchange.Receive(piece);
  }
  return 0;
}
