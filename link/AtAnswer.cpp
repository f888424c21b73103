#include "AtAnswer.h"

#include <algorithm>
#include <cctype>

#include "PhoneCommands.h"
#include "PhoneErrors.h"

namespace {

constexpr std::string_view PhoneErrorMarker = "\r\n+CME ERROR:";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Letters a to z in any case; upper is spelled in upper case.
bool SameLetters(std::string_view text, std::string_view upper) {
  if (text.size() != upper.size()) return false;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const char c = text[k] >= 'a' && text[k] <= 'z' ? static_cast<char>(text[k] - 'a' + 'A') : text[k];
    if (c != upper[k]) return false;
  }
  return true;
}

// One line of a vCard or vCalendar entry, read as the parser reads it: true when it ends
// the entry. A line that continues a value is text, whatever it says; a property whose
// value the parser continues notes whether the next line goes on with it.
bool EndsEntry(std::string_view line, TEntryFrame& entry) {
  const auto continues = [](std::string_view text, TEntryFrame::TContinued how) {
    return !text.empty() && (text.back() == '=' || (how == TEntryFrame::ctAddress && text.back() == '\\'));
  };
  if (entry.Continued != TEntryFrame::ctNo) {
    if (!continues(line, entry.Continued)) entry.Continued = TEntryFrame::ctNo;
    return false;
  }
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return false;
  std::string_view name = line.substr(0, colon);
  name = name.substr(0, name.find(';'));
  const std::string_view value = line.substr(colon + 1);
  const bool vCard = entry.Framing == efVCard;
  if (SameLetters(name, "END")) return SameLetters(value, vCard ? "VCARD" : "VCALENDAR");
  TEntryFrame::TContinued how = TEntryFrame::ctNo;
  if (vCard && SameLetters(name, "ADR"))
    how = TEntryFrame::ctAddress;
  else if (vCard ? SameLetters(name, "NOTE") || SameLetters(name, "X-ZARVO-RINGTONE-DATA") : SameLetters(name, "DESCRIPTION"))
    how = TEntryFrame::ctSoftBreak;
  if (how != TEntryFrame::ctNo && continues(value, how)) entry.Continued = how;
  return false;
}

// Finds, as far as the answer has come, where its entry begins and where it ends.
void FrameEntry(std::string_view answer, TAnswerAssembly& state) {
  TEntryFrame& entry = state.Entry;
  if (entry.Framing == efNone || entry.End != std::string_view::npos) return;
  if (entry.Begin == std::string_view::npos) {
    const std::size_t first = CleanStart(answer, state.Echo, false);
    if (first == std::string_view::npos) return;
    const std::size_t lineEnd = answer.find("\r\n", first);
    if (lineEnd == std::string_view::npos) return;
    const std::string_view line = answer.substr(first, lineEnd - first);
    if (line == "OK" || line == "ERROR" || line.starts_with("+CME ERROR:")) {
      entry = TEntryFrame();  // the phone answered in place of the entry
      return;
    }
    entry.Begin = entry.ScanAt = lineEnd + 2;
  }
  if (entry.Framing == efRingTone) {
    constexpr std::size_t kPairCountAt = 47;
    if (answer.size() > entry.Begin + kPairCountAt)
      entry.End = entry.Begin + kPairCountAt + 1 + 4 * static_cast<unsigned char>(answer[entry.Begin + kPairCountAt]);
    return;
  }
  // Lines as the read splits them: NUL bytes dropped first, then a line ends at CR LF,
  // a lone CR or a lone LF. So NUL bytes between a CR and its LF make no line of their own.
  while (entry.ScanAt < answer.size()) {
    if (entry.LfMayFollow) {
      if (answer[entry.ScanAt] == '\0') {
        ++entry.ScanAt;
        continue;
      }
      entry.LfMayFollow = false;
      if (answer[entry.ScanAt] == '\n') ++entry.ScanAt;
      continue;
    }
    const std::size_t lineEnd = answer.find_first_of("\r\n", entry.ScanAt);
    if (lineEnd == std::string_view::npos) return;
    std::string_view line = answer.substr(entry.ScanAt, lineEnd - entry.ScanAt);
    std::string withoutNul;
    if (line.find('\0') != std::string_view::npos) {
      withoutNul.assign(line);
      std::erase(withoutNul, '\0');
      line = withoutNul;
    }
    if (EndsEntry(line, entry)) {
      entry.End = lineEnd;
      return;
    }
    entry.LfMayFollow = answer[lineEnd] == '\r';
    entry.ScanAt = lineEnd + 1;
  }
}

}  // namespace

TEntryFraming FetchFraming(std::string_view command) {
  if (!command.starts_with(cmdGet)) return efNone;
  command.remove_prefix(cmdGet.size());
  const std::string_view type = command.substr(0, command.find(','));
  if (type == "0" || type == "1") return efVCard;
  if (type == "2") return efVCalendar;
  if (type == "9") return efRingTone;
  return efNone;
}

TAnswerAssembly AssemblyFor(std::string_view command) {
  TAnswerAssembly state;
  state.PromptExpected = command.starts_with(cmdPut);
  state.Echo = CommandEcho(command);
  state.Entry.Framing = FetchFraming(command);
  return state;
}

TPieceFindings FindFinalResults(std::string_view answer, std::size_t pieceStart, bool carry, const TEntryFrame& entry) {
  TPieceFindings found;
  for (const TFinalResult& r : FinalResults) {
    std::size_t from = pieceStart;
    if (carry) from = pieceStart >= r.Text.size() - 1 ? pieceStart - (r.Text.size() - 1) : 0;
    std::size_t at = answer.find(r.Text, from);
    if (at != std::string_view::npos && entry.Hides(at))
      at = entry.End == std::string_view::npos ? entry.End : answer.find(r.Text, std::max(from, entry.End));
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

std::size_t CleanStart(std::string_view answer, std::string_view echo, bool complete) {
  std::size_t start = 0;
  while (start < answer.size() && static_cast<unsigned char>(answer[start]) <= 32) ++start;
  std::string_view text = answer.substr(start);
  if (!echo.empty() && !text.starts_with("AT+")) {
    // Without this the echo stays, and the listing and ring tone decoders, which count
    // positions from the answer's start, read the wrong bytes.
    const std::size_t at = text.find(echo);
    if (at != std::string_view::npos && at < text.find("\r\n")) {
      start += at;
      text.remove_prefix(at);
    }
  }
  if (text.starts_with("AT+")) {
    const std::size_t p = text.find("\r\n\r\n");
    if (p == std::string_view::npos && !complete) return p;
    start += p == std::string_view::npos ? 3 : p + 4;
  }
  return start;
}

std::string CleanAnswer(std::string_view answer, std::string_view echo) {
  const std::string_view trimmed = TrimControls(answer);
  std::string text(trimmed.substr(CleanStart(trimmed, echo, true)));
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
  FrameEntry(answer, state);
  const TPieceFindings found = FindFinalResults(answer, pieceStart, waiting, state.Entry);
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
  if (out.Ends()) {
    state.Entry = TEntryFrame();  // what comes after the answer is tested as it stands
  } else {
    const std::string_view ok = FinalResults[0].Text;
    out.Unframed = state.PendingPhoneError == std::string::npos && answer.ends_with(ok) &&
                   state.Entry.Hides(answer.size() - ok.size());
  }
  return out;
}

void TakeUnframedAnswer(std::string& answer, TAnswerAssembly& state) {
  answer = CleanAnswer(answer, state.Echo);
  state.Entry = TEntryFrame();
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
