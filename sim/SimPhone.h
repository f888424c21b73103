#pragma once
// The simulated phone's command interpreter: bytes from the line in, answers out.
//
// It keeps the phone's state (echo, data mode, the listing position per type, a store
// waiting for its data) over a TSimContent, asks TSimFaults which misbehaviour applies
// to each answer, and hands the serving thread a TSimDelivery per answer: what to
// send and how (late, in pieces, cut off). It does no I/O and keeps no clock of its
// own: the caller passes the time in. Not thread-safe; the simulator serialises calls.
//
// Commands are taken from "AT" on (case-insensitive) up to CR, or LF; an LF right
// after the CR belongs to the same command. Each byte is echoed as it comes while the
// echo is on (ATE1, the default; ATE0 off). Lines without "AT" are ignored, as a modem
// does. The answer layouts are listed in PhoneSimulator.h.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "SimContent.h"
#include "SimFaults.h"

using TSimClock = std::chrono::steady_clock;

struct TSimPhoneSettings {
  int ListingPieceEntries = 32;  // entries per "AT+C#SLST=" piece
  int AnswerDelayMs = 0;         // between the echo and the rest of each answer
  int DataTimeoutMs = 30000;     // a store whose data stops coming is refused (273)
  int TrailerTimeoutMs = 1000;   // how long a ring tone record's CR LF is waited for
};

struct TSimDelivery {
  std::string Echo;      // goes out at once
  std::string Response;  // after ProcessMs
  int StartDelayMs = 0;  // before the echo: a slow answer
  int ProcessMs = 0;
  std::vector<std::size_t> Cuts;        // piece boundaries, counted over Echo + Response
  bool EveryByte = false;               // one byte per piece
  std::optional<std::size_t> PullAfter; // close the line after this many bytes
  int PullDelayMs = 0;                  // with PullAfter: reading nothing this long first
  std::string Garbage;                  // a piece of its own after the answer
  // Where the phone stops sending, and for how long (ms): positions over Echo + Response.
  std::vector<std::pair<std::size_t, int>> Pauses;
};

class TSimPhone {
 public:
  TSimPhone(TSimContent& content, TSimFaults& faults, TSimPhoneSettings settings);

  std::vector<TSimDelivery> Feed(const std::string& bytes, TSimClock::time_point now);
  // A store waiting for data or for its trailer runs out of time.
  std::optional<TSimClock::time_point> Deadline() const;
  std::vector<TSimDelivery> Tick(TSimClock::time_point now);

  bool DataMode() const { return dataMode_; }
  bool InDataInput() const { return input_ != inCommand; }
  // A pulled cable loses what was half received.
  void DropInput();

  // The command lines handled, in order; a store's data is noted as "<data N bytes>".
  const std::vector<std::string>& Commands() const { return commands_; }

 private:
  enum TInput { inCommand, inData, inTrailer };

  void EndLine(std::vector<TSimDelivery>& out);
  TSimDelivery Answer(const std::string& command);
  std::string Execute(const std::string& command, const std::vector<TFault>& faults);
  void FinishStore(std::vector<TSimDelivery>& out);
  void ResetListings(int except = -1);

  TSimContent& content_;
  TSimFaults& faults_;
  TSimPhoneSettings settings_;

  bool echo_ = true;
  bool dataMode_ = false;
  std::string line_;
  std::string echoed_;  // echo not yet sent
  bool lineTooLong_ = false;
  bool afterCr_ = false;
  std::vector<std::pair<int, std::size_t>> listingAt_;  // type, next position

  TInput input_ = inCommand;
  std::string storeCommand_;
  int storeType_ = 0;
  std::size_t storeCount_ = 0;
  std::string storeData_;
  TSimClock::time_point storeDeadline_{};
  TSimClock::time_point now_{};

  std::vector<std::string> commands_;
};

// Success answer: CR LF, the information (when there is any), CR LF "OK" CR LF.
std::string SimOk(const std::string& information = "");
std::string SimCmeError(int number);
