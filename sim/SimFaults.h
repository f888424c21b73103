#pragma once
// Misbehaviour on purpose: the switches that make the simulated phone answer as a
// broken, slow or unplugged phone would.
//
// Two kinds of switch:
// - phone-wide settings, plain atomics a test sets in one line
//   (sim.Faults().SplitEveryByte = true; sim.Faults().FactoryRingTones = 41;);
//   FoldResultCodes serves every fetched entry so that it holds lines that read as
//   result codes while it means the same (SimFoldResultCodes), and ends a piece of the
//   answer right behind each of them, where a premature end would be taken;
// - rules that pick answers by command prefix (case-insensitive, compared with the
//   command line without its CR LF), optionally by the entry identifier of an
//   "AT+C#SGET=" or "AT+C#SPUT=" answer, once, n times or for good:
//     sim.Faults().ErrorOn("AT+C#SLST=0");
//     sim.Faults().Add(TFault::CmeError(258).On("AT+C#SGET=0").ForEntry(id).Once());
//     sim.Faults().PullCableAfterBytes("AT+C#SGET=", 20);
//     sim.Faults().Add(TFault::PullCableAfterAnswer(300).On("AT+C#SPUT=0").Once());
//     sim.Faults().Add(TFault::PauseAfterLine("OK", 700).On("AT+C#SGET=0"));
//     sim.Faults().Add(TFault::LeaveOutLine("END:VCARD").On("AT+C#SGET=0").ForEntry(id));
//   A rule with AfterData() picks the answer to the entry data of a store, not the
//   prompt. Every rule that matches an answer applies, in the order added.
//
// Thread-safe: tests change switches while the serving thread reads them.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

enum TFaultKind {
  fkError,          // "ERROR" instead of the answer; the command is not carried out
  fkCmeError,       // "+CME ERROR: n" instead of the answer; not carried out
  fkNoAnswer,       // nothing at all, not even the echo; not carried out
  fkSlow,           // the whole answer, echo included, starts Value ms late
  fkCutAt,          // the answer goes out in pieces cut at Positions
  fkEveryByte,      // the answer goes out one byte per piece
  fkPullCable,      // the line is closed after Value bytes of the answer, echo included
  fkPullCableAfterAnswer,  // the whole answer, then the phone takes nothing for Value ms
                           // (after a store prompt: while the data comes), then the line goes
  fkNeverFinish,    // the answer stops before its final "OK" CR LF and never goes on
  fkGarbageAfter,   // Bytes go out as a piece of their own after the answer
  fkBadRingTone,    // byte 46 of a fetched ring tone record becomes Value
  fkPauseAfterLine, // the phone stops for Value ms after the first line Bytes of the answer
  fkLeaveOutLine,   // a fetched entry is served without its first line Bytes ("END:VCARD")
};

struct TFault {
  TFaultKind Kind = fkError;
  int Value = 0;
  std::vector<std::size_t> Positions;
  std::string Bytes;
  std::string Prefix;                 // empty: every command
  std::optional<std::int32_t> Entry;  // only answers about this identifier
  bool AfterData = false;
  int Times = -1;                     // -1: for good; otherwise how many answers left

  static TFault Error() { return Make(fkError); }
  static TFault CmeError(int number) { return Make(fkCmeError, number); }
  static TFault NoAnswer() { return Make(fkNoAnswer); }
  static TFault Slow(int ms) { return Make(fkSlow, ms); }
  static TFault CutAt(std::vector<std::size_t> positions);
  static TFault EveryByte() { return Make(fkEveryByte); }
  static TFault PullCable(int afterBytes) { return Make(fkPullCable, afterBytes); }
  static TFault PullCableAfterAnswer(int stallMs) { return Make(fkPullCableAfterAnswer, stallMs); }
  static TFault NeverFinish() { return Make(fkNeverFinish); }
  static TFault GarbageAfter(std::string bytes);
  static TFault BadRingTone(int byte46 = 0) { return Make(fkBadRingTone, byte46); }
  static TFault PauseAfterLine(std::string line, int ms);
  static TFault LeaveOutLine(std::string line);

  TFault On(std::string prefix) && { Prefix = std::move(prefix); return std::move(*this); }
  TFault ForEntry(std::int32_t id) && { Entry = id; return std::move(*this); }
  TFault OnData() && { AfterData = true; return std::move(*this); }
  TFault Once() && { Times = 1; return std::move(*this); }
  TFault Count(int times) && { Times = times; return std::move(*this); }

 private:
  static TFault Make(TFaultKind kind, int value = 0) {
    TFault fault;
    fault.Kind = kind;
    fault.Value = value;
    return fault;
  }
};

// What a command looks like to the rules.
struct TFaultQuery {
  std::string Command;                // the command line, without CR LF
  std::optional<std::int32_t> Entry;  // the identifier the answer is about
  bool AfterData = false;
};

class TSimFaults {
 public:
  // Phone-wide settings.
  std::atomic<bool> SplitEveryByte{false};  // every answer, one byte per piece
  std::atomic<bool> WrongIdentity{false};   // "AT+CGSN" answers another maker's phone
  std::atomic<int> FactoryRingTones{42};    // factory ring tones in the listing (0..42)
  std::atomic<int> ContactsTotalDelta{0};   // added to the totals of "AT+C#SMDE=1"
  std::atomic<int> GroupsTotalDelta{0};
  std::atomic<int> EventsTotalDelta{0};
  std::atomic<bool> FoldResultCodes{false};  // fetched entries hold "OK", "ERROR" ... lines

  // What the phone keeps of what it is sent, as phones with short fields do: with n > 0,
  // a stored contact's name (N), group's name (X-SIEMENS-GROUP-NAME) and ring tone's
  // name are cut to their first n characters before they are stored (SimCutNames).
  std::atomic<int> CutNamesTo{0};

  // Rules.
  void Add(TFault fault);
  void Clear();
  std::size_t RuleCount() const;

  // One-liners for the common rules (for good; add .Once() through Add for one shot).
  void ErrorOn(std::string prefix) { Add(TFault::Error().On(std::move(prefix))); }
  void CmeErrorOn(std::string prefix, int number) {
    Add(TFault::CmeError(number).On(std::move(prefix)));
  }
  void NoAnswerOn(std::string prefix) { Add(TFault::NoAnswer().On(std::move(prefix))); }
  void SlowOn(std::string prefix, int ms) { Add(TFault::Slow(ms).On(std::move(prefix))); }
  void CutOn(std::string prefix, std::vector<std::size_t> positions) {
    Add(TFault::CutAt(std::move(positions)).On(std::move(prefix)));
  }
  // One shot: a pulled cable stays pulled until the test plugs the line in again.
  void PullCableAfterBytes(std::string prefix, int bytes) {
    Add(TFault::PullCable(bytes).On(std::move(prefix)).Once());
  }
  void NeverFinishOn(std::string prefix) { Add(TFault::NeverFinish().On(std::move(prefix))); }
  void GarbageAfter(std::string prefix, std::string bytes) {
    Add(TFault::GarbageAfter(std::move(bytes)).On(std::move(prefix)));
  }
  void BadRingToneRecord(std::int32_t id, int byte46 = 0) {
    Add(TFault::BadRingTone(byte46).On("AT+C#SGET=9").ForEntry(id));
  }

  // The rules that pick this answer, each used up by one; called by the phone.
  std::vector<TFault> Take(const TFaultQuery& query);

  void SetIdentity(std::string identity);
  std::string Identity() const;  // the "AT+CGSN" answer, honouring WrongIdentity

  // Unsolicited result codes: when not empty, every answer to a command or to a store's
  // data is followed by CR LF, this text and CR LF ("RING", "+CMTI: \"SM\",1", or a
  // "+CMT: ..." line with its message line), right behind it in the same piece and once
  // more as a piece of its own.
  void SetUnsolicited(std::string text);
  std::string Unsolicited() const;

 private:
  mutable std::mutex mutex_;
  std::vector<TFault> rules_;
  std::string identity_;
  std::string unsolicited_;
};

// An entry as FoldResultCodes serves it. In a note, a description or an address, every
// "OK", "ERROR", "+CME ERROR: 3" and ">" gets a line of its own behind a soft break "="
// (one that ends the value stands there alone), and an address's encoded line breaks are
// continued with "\" instead. A ring tone record gets "OK" CR LF in its first four bytes
// and the other codes, each after CR LF, in the name's bytes behind its end; the read
// examines neither. Anything else is served as stored.
std::string SimFoldResultCodes(int type, const std::string& data);
// A stored entry with its names cut to length characters (CutNamesTo): the value of a
// contact's N and a group's X-SIEMENS-GROUP-NAME line, the name in a ring tone record
// (its bytes behind the cut zeroed). Anything else is kept as sent.
std::string SimCutNames(int type, const std::string& data, std::size_t length);
// Where in an answer a piece must end so that each result code inside it ends a piece.
std::vector<std::size_t> SimResultCodeEnds(const std::string& answer);

inline constexpr const char* SimS40Identity = "350077801234563";
inline constexpr const char* SimOtherIdentity = "490154203237518";
