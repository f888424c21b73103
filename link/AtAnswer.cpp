#include "AtAnswer.h"

#include <cctype>

#include "PhoneCommands.h"
#include "PhoneErrors.h"

namespace {

constexpr std::string_view PhoneErrorMarker = "\r\n+CME ERROR:";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

TPieceFindings FindFinalResults(std::string_view answer, std::size_t pieceStart, bool carry) {
  TPieceFindings found;
  for (const TFinalResult& r : FinalResults) {
    std::size_t from = pieceStart;
    if (carry) from = pieceStart >= r.Text.size() - 1 ? pieceStart - (r.Text.size() - 1) : 0;
    const std::size_t at = answer.find(r.Text, from);
    if (at == std::string_view::npos) continue;
    switch (r.End) {
      case aeOk: found.Ok = true; break;
      case aeError: found.Error = true; break;
      case aePhoneError: found.PhoneErrorAt = at; break;
    }
  }
  return found;
}

std::string_view TrimControls(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return text.substr(begin, end - begin);
}

std::string_view CommandEcho(std::string_view command) {
  if (!command.starts_with("AT")) return {};
  return command.substr(0, command.find_first_of("\r\n"));
}

std::string CleanAnswer(std::string_view answer, std::string_view echo) {
  std::string text(TrimControls(answer));
  if (!echo.empty() && !text.starts_with("AT+")) {
    // Without this the echo stays, and the listing and ring tone decoders, which count
    // positions from the answer's start, read the wrong bytes.
    const std::size_t at = text.find(echo);
    if (at != std::string::npos && at < text.find("\r\n")) text.erase(0, at);
  }
  if (text.starts_with("AT+")) {
    const std::size_t p = text.find("\r\n\r\n");
    text.erase(0, p == std::string::npos ? 3 : p + 4);
  }
  // The final "OK" is the last thing of a complete answer. An earlier CR LF "OK" belongs
  // to the entry in the answer (an address line "OKLAHOMA", a folded note line) and must
  // stay, or the entry comes back damaged; only when the answer does not end in it is
  // the first one taken.
  if (text.ends_with("\r\nOK")) {
    text.erase(text.size() - 4);
  } else if (const std::size_t ok = text.find("\r\nOK"); ok != std::string::npos) {
    text.erase(ok, 4);
  }
  return text;
}

TPhoneErrorNumber ReadPhoneErrorNumber(std::string_view answer, std::size_t markerAt, bool final) {
  TPhoneErrorNumber result;
  std::size_t i = markerAt + PhoneErrorMarker.size();
  while (i < answer.size() && answer[i] == ' ') ++i;
  std::size_t digits = 0;
  while (digits < 3 && i + digits < answer.size() && IsDigit(answer[i + digits])) ++digits;
  const bool atEnd = i + digits >= answer.size();
  if (digits < 3 && atEnd && !final) return result;  // the number may still be arriving
  if (digits == 0) {
    result.State = TPhoneErrorNumber::pnNoNumber;
    for (std::size_t k = i; k < answer.size() && k < i + 3 && static_cast<unsigned char>(answer[k]) >= 32; ++k)
      result.Shown += answer[k];
    return result;
  }
  result.State = TPhoneErrorNumber::pnComplete;
  for (std::size_t k = 0; k < digits; ++k) result.Number = result.Number * 10 + (answer[i + k] - '0');
  result.Shown = std::to_string(result.Number);
  return result;
}

std::string PhoneErrorMessage(const TPhoneErrorNumber& number) {
  std::string_view text;
  if (number.State == TPhoneErrorNumber::pnComplete) text = PhoneErrorText(number.Number);
  return "+CME ERROR " + number.Shown + ": " + std::string(text) + ".";
}

TPieceOutcome TakeAnswerPiece(std::string& answer, TAnswerAssembly& state, std::string_view piece, bool waiting) {
  TPieceOutcome out;
  const std::size_t pieceStart = answer.size();
  answer += piece;

  // Everything is looked for before anything is cleaned away.
  const TPieceFindings found = FindFinalResults(answer, pieceStart, waiting);
  out.Prompt = state.PromptExpected && answer.find(InputPrompt) != std::string::npos;
  if (state.PendingPhoneError == std::string::npos) state.PendingPhoneError = found.PhoneErrorAt;
  if (state.PendingPhoneError != std::string::npos) {
    // Another end in the same answer means the number is all there is.
    const bool final = found.Ok || found.Error || out.Prompt;
    const TPhoneErrorNumber number = ReadPhoneErrorNumber(answer, state.PendingPhoneError, final);
    if (number.State != TPhoneErrorNumber::pnIncomplete) {
      out.PhoneError = number;
      state.PendingPhoneError = std::string::npos;
    }
  }
  out.Ok = found.Ok;
  out.Error = found.Error;
  if (out.Ok) answer = CleanAnswer(answer, state.Echo);
  return out;
}

std::string RenderLogLine(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (const char c : text) {
    const auto code = static_cast<unsigned char>(c);
    if (code < 32 && code != 13 && code != 10) {
      line += '(';
      line += std::to_string(code);
      line += ')';
    } else {
      line += c;
    }
  }
  return line;
}
