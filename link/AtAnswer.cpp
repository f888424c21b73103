#include "AtAnswer.h"

#include <algorithm>
#include <cctype>

#include "PhoneCommands.h"
#include "PhoneErrors.h"

namespace {

constexpr std::string_view PhoneErrorMarker = "\r\n+CME ERROR:";
constexpr std::string_view CrLf = "\r\n";
constexpr std::size_t npos = std::string::npos;

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

// The byte count of a listing piece's first line, "+C#SLST: m,n", read where the
// listing's decoder reads it; nothing when it is no plain number.
std::optional<std::size_t> ListingBytes(std::string_view line) {
  constexpr std::size_t kCountAt = 11;
  constexpr std::size_t kMaxDigits = 9;
  if (line.size() <= kCountAt) return std::nullopt;
  std::string_view digits = line.substr(kCountAt);
  while (!digits.empty() && digits.front() == ' ') digits.remove_prefix(1);
  if (digits.empty() || digits.size() > kMaxDigits) return std::nullopt;
  std::size_t n = 0;
  for (const char c : digits) {
    if (!IsDigit(c)) return std::nullopt;
    n = n * 10 + static_cast<std::size_t>(c - '0');
  }
  return n;
}

// Finds, as far as the answer has come, where its entry begins and where it ends.
void FrameEntry(std::string_view answer, TAnswerAssembly& state) {
  TEntryFrame& entry = state.Entry;
  if (entry.Framing == efNone || entry.End != npos) return;
  if (entry.Begin == npos) {
    const std::size_t first = CleanStart(answer, state.Echo, false);
    if (first == npos) return;
    const std::size_t lineEnd = answer.find(CrLf, first);
    if (lineEnd == npos) return;
    const std::string_view line = answer.substr(first, lineEnd - first);
    if (UnsolicitedCode(line)) return;  // not the answer's: it goes first
    if (line == "OK" || line == "ERROR" || line.starts_with("+CME ERROR:")) {
      entry = TEntryFrame();  // the phone answered in place of the entry
      return;
    }
    entry.Begin = entry.ScanAt = lineEnd + 2;
    if (entry.Framing == efListing) {
      const std::optional<std::size_t> bytes = ListingBytes(line);
      if (!bytes) {
        entry = TEntryFrame();  // no count to frame its data by
        return;
      }
      entry.End = entry.Begin + *bytes;
      return;
    }
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
    if (lineEnd == npos) return;
    std::string_view line = answer.substr(entry.ScanAt, lineEnd - entry.ScanAt);
    std::string withoutNul;
    if (line.find('\0') != npos) {
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

// Removes the unsolicited result codes among the lines that have fully arrived, finding
// the entry's framing on the way: an entry's first line is known only once the codes in
// front of it are gone, and inside the entry nothing is removed. A code goes with its
// line end, and with the CR LF in front of it when that is its own: when it makes an
// empty line, or when the next line begins with a CR LF of its own (so a code is taken
// only once a byte has come after it). Returns where the answer first changed; npos
// when nowhere.
std::size_t TakeUnsolicited(std::string& answer, TAnswerAssembly& state, TAnswerNotes& notes) {
  std::size_t changedAt = npos;
  state.Held = npos;
  const TEntryFrame& entry = state.Entry;
  for (;;) {
    FrameEntry(answer, state);
    std::size_t at = state.LineAt;
    std::size_t floor = 0;  // nothing in front of this is taken
    if (entry.Framing != efNone) {
      if (entry.Begin == npos) {
        // Only the entry's first line may be a code here: FrameEntry took it when not.
        at = CleanStart(answer, state.Echo, false);
        if (at == npos) break;
      } else if (entry.End == npos) {
        break;
      } else {
        floor = entry.End;
        at = std::max(at, floor);
      }
    }
    if (at >= answer.size()) break;
    const std::size_t lineEnd = answer.find(CrLf, at);
    if (lineEnd == npos) break;
    const TUnsolicitedCode* code = UnsolicitedCode(std::string_view(answer).substr(at, lineEnd - at));
    if (!code) {
      state.LineAt = lineEnd + 2;
      continue;
    }
    std::size_t end = lineEnd + 2;
    if (code->TakesNextLine) {
      end = answer.find(CrLf, end);
      if (end != npos) end += 2;
    }
    if (end == npos || end >= answer.size()) {
      state.Held = at;
      break;
    }
    const bool crLfBefore = at >= floor + 2 && answer.compare(at - 2, 2, CrLf) == 0;
    const bool own = crLfBefore && ((at - 2 > floor && answer[at - 3] == '\n') || answer[end] == '\r');
    notes.Unsolicited.push_back(answer.substr(at, end - 2 - at));
    const std::size_t from = own ? at - 2 : at;
    answer.erase(from, end - from);
    changedAt = std::min(changedAt, from);
    state.LineAt = from;
  }
  return changedAt;
}

// Bytes in front of the command's echo on its line, the text's leading control
// characters gone: noise that followed the previous answer. Empty when there is none.
std::string_view NoiseBeforeEcho(std::string_view text, std::string_view echo) {
  if (echo.empty() || text.starts_with("AT+")) return {};
  const std::size_t at = text.find(echo);
  if (at == npos || at >= text.find(CrLf)) return {};
  return text.substr(0, at);
}

// The "OK" answer cleaned, and the noise in front of its echo noted as dropped.
void CleanOkAnswer(std::string& answer, const TAnswerAssembly& state, TAnswerNotes& notes) {
  const std::string_view noise = NoiseBeforeEcho(TrimControls(answer), state.Echo);
  if (!noise.empty()) notes.Dropped.emplace_back(noise);
  answer = CleanAnswer(answer, state.Echo);
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

const TUnsolicitedCode* UnsolicitedCode(std::string_view line) {
  for (const TUnsolicitedCode& code : UnsolicitedCodes)
    if (line.starts_with(code.Text)) return &code;
  return nullptr;
}

TAnswerAssembly AssemblyFor(std::string_view command) {
  TAnswerAssembly state;
  state.PromptExpected = command.starts_with(cmdPut);
  state.Echo = CommandEcho(command);
  state.Entry.Framing = command.starts_with(cmdList) ? efListing : FetchFraming(command);
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
    if (r.End != aePhoneError) found.OkErrorEnd = std::max(found.OkErrorEnd, at + r.Text.size());
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
  // Without this the echo stays, and the listing and ring tone decoders, which count
  // positions from the answer's start, read the wrong bytes.
  const std::size_t noise = NoiseBeforeEcho(text, echo).size();
  start += noise;
  text.remove_prefix(noise);
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
  // The final "OK" is the last thing of a complete answer. Any other CR LF "OK" belongs
  // to the answer's text (an address line "OKLAHOMA", a folded note line) and must stay,
  // or the entry comes back damaged.
  if (text.ends_with("\r\nOK")) text.erase(text.size() - 4);
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
  if (state.Ended) {
    out.Notes.Dropped.emplace_back(piece);
    return out;
  }
  const std::size_t pieceStart = answer.size();
  answer += piece;

  // Everything is looked for before anything is cleaned away, once the codes that
  // nobody asked for are gone; a code's message line still arriving counts for nothing.
  const std::size_t changedAt = TakeUnsolicited(answer, state, out.Notes);
  // A phone error found earlier whose place the removal moved is looked for again from
  // there, as if the answer had come whole.
  if (state.PendingPhoneError != npos && changedAt <= state.PendingPhoneError + PhoneErrorMarker.size())
    state.PendingPhoneError = npos;
  const std::string_view settled = std::string_view(answer).substr(0, state.Held);
  const std::size_t searchFrom = std::min({pieceStart, changedAt, settled.size()});
  const TPieceFindings found = FindFinalResults(settled, searchFrom, waiting, state.Entry);
  out.Prompt = state.PromptExpected && settled.find(InputPrompt) != npos;
  if (state.PendingPhoneError == npos) state.PendingPhoneError = found.PhoneErrorAt;
  std::size_t end = found.OkErrorEnd;
  if (state.PendingPhoneError != npos) {
    // Another end in the same answer means the number is all there is.
    const bool final = found.Ok || found.Error || out.Prompt;
    const TPhoneErrorNumber number = ReadPhoneErrorNumber(answer, state.PendingPhoneError, final);
    if (number.State != TPhoneErrorNumber::pnIncomplete) {
      out.PhoneError = number;
      const std::size_t lineEnd = answer.find(CrLf, state.PendingPhoneError + PhoneErrorMarker.size());
      end = std::max(end, lineEnd == npos ? answer.size() : lineEnd + 2);
      state.PendingPhoneError = npos;
    }
  }
  out.Ok = found.Ok;
  out.Error = found.Error;
  if (out.Ok || out.Error || out.PhoneError) {
    // The answer ends at its final result; what follows belongs to no answer.
    if (end < answer.size()) {
      out.Notes.Dropped.push_back(answer.substr(end));
      answer.erase(end);
    }
    state.Ended = true;
  }
  if (out.Ok) CleanOkAnswer(answer, state, out.Notes);
  if (out.Ends()) {
    state.Entry = TEntryFrame();  // what comes after the answer is tested as it stands
  } else {
    const std::string_view ok = FinalResults[0].Text;
    out.Unframed = state.PendingPhoneError == npos && state.Held == npos && answer.ends_with(ok) &&
                   state.Entry.Hides(answer.size() - ok.size());
  }
  return out;
}

TAnswerNotes TakeUnframedAnswer(std::string& answer, TAnswerAssembly& state) {
  TAnswerNotes notes;
  CleanOkAnswer(answer, state, notes);
  state.Entry = TEntryFrame();
  state.Ended = true;
  return notes;
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
