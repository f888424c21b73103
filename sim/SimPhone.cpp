#include "SimPhone.h"

#include <algorithm>

#include "SimVObject.h"

namespace {

constexpr std::size_t MaxLine = 1024;        // a command longer than this is refused
constexpr std::size_t MaxEntryBytes = 65535;  // the largest entry the phone takes

std::string CommandText(const std::string& line) {
  std::string upper = SimUpper(line);
  std::size_t at = upper.find("AT");
  if (at == std::string::npos) return "";
  std::string command = line.substr(at);
  while (!command.empty() && (command.back() == ' ' || command.back() == '\t')) command.pop_back();
  return command;
}

// "t" or "t,n": the numbers after "=" of a command.
std::vector<std::optional<std::int32_t>> Arguments(const std::string& command) {
  std::vector<std::optional<std::int32_t>> values;
  std::size_t at = command.find('=');
  if (at == std::string::npos) return values;
  std::string rest = command.substr(at + 1);
  for (std::size_t start = 0;;) {
    std::size_t comma = rest.find(',', start);
    values.push_back(SimParseInt(rest.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return values;
}

bool Has(const std::vector<TFault>& faults, TFaultKind kind) {
  return std::any_of(faults.begin(), faults.end(), [&](const TFault& f) { return f.Kind == kind; });
}

// The identifier that an "AT+C#SGET=t,id" answer is about.
std::optional<std::int32_t> EntryOf(const std::string& command) {
  if (SimUpper(command).rfind("AT+C#SGET=", 0) != 0) return std::nullopt;
  auto args = Arguments(command);
  if (args.size() != 2) return std::nullopt;
  return args[1];
}

// Error, "+CME ERROR" and no answer replace the answer; the rest shape its delivery.
void Shape(TSimDelivery& delivery, const std::vector<TFault>& faults) {
  for (const auto& fault : faults) {
    switch (fault.Kind) {
      case fkSlow: delivery.StartDelayMs += std::max(0, fault.Value); break;
      case fkCutAt: delivery.Cuts.insert(delivery.Cuts.end(), fault.Positions.begin(), fault.Positions.end()); break;
      case fkEveryByte: delivery.EveryByte = true; break;
      case fkPullCable: delivery.PullAfter = std::size_t(std::max(0, fault.Value)); break;
      case fkPullCableAfterAnswer:
        delivery.PullAfter = delivery.Echo.size() + delivery.Response.size();
        delivery.PullDelayMs = std::max(0, fault.Value);
        break;
      case fkGarbageAfter: delivery.Garbage += fault.Bytes; break;
      case fkPauseAfterLine: {
        // Not after the final result that ends the answer.
        const std::string all = delivery.Echo + delivery.Response, line = "\n" + fault.Bytes + "\r\n";
        const std::size_t at = all.find(line);
        if (at != std::string::npos && at + line.size() < all.size())
          delivery.Pauses.emplace_back(at + line.size(), std::max(0, fault.Value));
        break;
      }
      case fkNeverFinish: {
        // Everything but the final "OK" CR LF (or the last byte of an answer without one).
        std::string& r = delivery.Response;
        if (r.size() >= 6 && r.compare(r.size() - 6, 6, "\r\nOK\r\n") == 0)
          r.resize(r.size() - 4);
        else if (!r.empty())
          r.pop_back();
        break;
      }
      default: break;
    }
  }
}

// The unsolicited result codes behind an answer, in its piece and in one of their own.
void FollowWithUnsolicited(TSimDelivery& delivery, const std::string& text) {
  if (text.empty() || delivery.Response.empty()) return;
  const std::string block = "\r\n" + text + "\r\n";
  delivery.Response += block;
  delivery.Garbage += block;
}

bool Replaces(const std::vector<TFault>& faults, TSimDelivery& delivery) {
  for (const auto& fault : faults) {
    if (fault.Kind == fkNoAnswer) {
      delivery = TSimDelivery{};
      return true;
    }
    if (fault.Kind == fkError) {
      delivery.Response = "\r\nERROR\r\n";
      return true;
    }
    if (fault.Kind == fkCmeError) {
      delivery.Response = SimCmeError(fault.Value);
      return true;
    }
  }
  return false;
}

}  // namespace

std::string SimOk(const std::string& information) {
  return information.empty() ? "\r\nOK\r\n" : "\r\n" + information + "\r\nOK\r\n";
}

std::string SimCmeError(int number) { return "\r\n+CME ERROR: " + std::to_string(number) + "\r\n"; }

TSimPhone::TSimPhone(TSimContent& content, TSimFaults& faults, TSimPhoneSettings settings)
    : content_(content), faults_(faults), settings_(settings) {
  settings_.ListingPieceEntries = std::max(1, settings_.ListingPieceEntries);
}

void TSimPhone::DropInput() {
  line_.clear();
  echoed_.clear();
  lineTooLong_ = afterCr_ = false;
  input_ = inCommand;
  storeData_.clear();
}

std::vector<TSimDelivery> TSimPhone::Feed(const std::string& bytes, TSimClock::time_point now) {
  now_ = now;
  std::vector<TSimDelivery> out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char c = bytes[i];
    if (input_ == inData) {
      storeData_ += c;
      storeDeadline_ = now + std::chrono::milliseconds(settings_.DataTimeoutMs);
      if (storeData_.size() < storeCount_) continue;
      if (storeType_ == stRingTone) {
        // The record is followed by CR LF, which belongs to it and is not counted.
        input_ = inTrailer;
        storeDeadline_ = now + std::chrono::milliseconds(settings_.TrailerTimeoutMs);
      } else {
        FinishStore(out);
      }
      continue;
    }
    if (input_ == inTrailer) {
      if (c == '\r') continue;
      FinishStore(out);
      if (c == '\n') continue;  // otherwise the byte begins the next command
    }
    bool lfOfCrLf = c == '\n' && afterCr_;
    afterCr_ = c == '\r';
    if (echo_) echoed_ += c;
    if (lfOfCrLf) continue;
    if (c == '\r' || c == '\n') {
      // Echo the LF of a CR LF with its command when it came in the same piece.
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
        if (echo_) echoed_ += '\n';
        afterCr_ = false;
        ++i;
      }
      EndLine(out);
      continue;
    }
    if (line_.size() < MaxLine)
      line_ += c;
    else
      lineTooLong_ = true;
  }
  if (!echoed_.empty() && input_ == inCommand) {
    TSimDelivery typed;  // characters typed by hand, echoed as they come
    typed.Echo = std::move(echoed_);
    echoed_.clear();
    out.push_back(std::move(typed));
  }
  return out;
}

std::optional<TSimClock::time_point> TSimPhone::Deadline() const {
  if (input_ == inCommand) return std::nullopt;
  return storeDeadline_;
}

std::vector<TSimDelivery> TSimPhone::Tick(TSimClock::time_point now) {
  now_ = now;
  std::vector<TSimDelivery> out;
  if (input_ == inCommand || now < storeDeadline_) return out;
  if (input_ == inTrailer) {
    FinishStore(out);
  } else {
    commands_.push_back("<data " + std::to_string(storeData_.size()) + " bytes, timed out>");
    input_ = inCommand;
    storeData_.clear();
    TSimDelivery refused;
    refused.Response = SimCmeError(273);  // "DP transfer timeout error"
    out.push_back(std::move(refused));
  }
  return out;
}

void TSimPhone::EndLine(std::vector<TSimDelivery>& out) {
  std::string line = std::move(line_);
  line_.clear();
  bool tooLong = lineTooLong_;
  lineTooLong_ = false;
  std::string command = CommandText(line);
  TSimDelivery delivery;
  if (command.empty() && !tooLong) {
    delivery.Echo = std::move(echoed_);  // a line without "AT": echoed, not answered
  } else if (tooLong) {
    commands_.push_back(line.substr(0, 40) + "...");
    delivery.Echo = std::move(echoed_);
    delivery.Response = "\r\nERROR\r\n";
  } else {
    commands_.push_back(command);
    delivery = Answer(command);
  }
  echoed_.clear();
  if (!delivery.Echo.empty() || !delivery.Response.empty() || !delivery.Garbage.empty() || delivery.PullAfter)
    out.push_back(std::move(delivery));
}

TSimDelivery TSimPhone::Answer(const std::string& command) {
  std::vector<TFault> faults = faults_.Take({command, EntryOf(command), false});
  TSimDelivery delivery;
  delivery.Echo = echoed_;
  delivery.ProcessMs = settings_.AnswerDelayMs;
  if (!Replaces(faults, delivery)) delivery.Response = Execute(command, faults);
  if (!Has(faults, fkNoAnswer)) Shape(delivery, faults);
  if (faults_.FoldResultCodes && EntryOf(command)) {
    const std::vector<std::size_t> ends = SimResultCodeEnds(delivery.Echo + delivery.Response);
    delivery.Cuts.insert(delivery.Cuts.end(), ends.begin(), ends.end());
  }
  FollowWithUnsolicited(delivery, faults_.Unsolicited());
  return delivery;
}

void TSimPhone::ResetListings(int except) {
  std::erase_if(listingAt_, [&](const auto& at) { return at.first != except; });
}

std::string TSimPhone::Execute(const std::string& command, const std::vector<TFault>& faults) {
  std::string upper = SimUpper(command);
  if (upper == "AT") return SimOk();
  if (upper == "ATZ" || upper == "ATE1") {
    echo_ = true;
    return SimOk();
  }
  if (upper == "ATE0") {
    echo_ = false;
    return SimOk();
  }
  if (upper == "AT+CGMI") return SimOk("SIEMENS");
  if (upper == "AT+CGMM") return SimOk("S40");
  if (upper == "AT+CGSN") return SimOk(faults_.Identity());
  if (upper == "AT+C#SMDE?") return SimOk(dataMode_ ? "+C#SMDE: 1" : "+C#SMDE: 0");
  if (upper == "AT+C#SMDE=0" || upper == "AT+C#SMDE=1") {
    dataMode_ = upper.back() == '1';
    ResetListings();
    if (!dataMode_) return SimOk();
    // The totals' information ends in CR LF: each total is read up to the next CR LF.
    auto total = [&](int type, int delta) {
      return "Total-Records: " + std::to_string(int(content_.List(type).size()) + delta) + "\r\n";
    };
    return SimOk(total(stContact, faults_.ContactsTotalDelta) + total(stGroup, faults_.GroupsTotalDelta) +
                 total(stEvent, faults_.EventsTotalDelta));
  }

  bool list = upper.rfind("AT+C#SLST=", 0) == 0, get = upper.rfind("AT+C#SGET=", 0) == 0,
       put = upper.rfind("AT+C#SPUT=", 0) == 0;
  if (!list && !get && !put) return "\r\nERROR\r\n";
  auto args = Arguments(command);
  if (args.size() != (list ? 1u : 2u) || !args[0] || (!list && !args[1])) return "\r\nERROR\r\n";
  if (!dataMode_) return SimCmeError(3);  // "Operation not allowed"
  int type = *args[0];
  if (!TSimContent::IsType(type)) return SimCmeError(263);  // "Entry type does not exist"

  if (list) {
    ResetListings(type);
    std::vector<std::int32_t> ids;
    if (type == stRingTone) {
      int factory = std::clamp(faults_.FactoryRingTones.load(), 0, SimFactoryRingToneCount);
      ids.assign(content_.FactoryRingTones().begin(), content_.FactoryRingTones().begin() + factory);
    }
    for (const auto& entry : content_.List(type)) ids.push_back(entry.Id);
    auto at = std::find_if(listingAt_.begin(), listingAt_.end(), [&](const auto& a) { return a.first == type; });
    std::size_t start = at == listingAt_.end() ? 0 : at->second;
    std::size_t end = std::min(ids.size(), start + std::size_t(settings_.ListingPieceEntries));
    bool more = end < ids.size();
    ResetListings();
    if (more) listingAt_.push_back({type, end});
    std::string bytes;
    for (std::size_t k = start; k < end; ++k) {
      auto id = static_cast<std::uint32_t>(ids[k]);
      for (int b = 0; b < 4; ++b) bytes += char((id >> (8 * b)) & 0xFF);
      bytes += std::string(2, '\0');
    }
    return SimOk("+C#SLST: " + std::string(more ? "1" : "0") + "," + std::to_string(bytes.size()) + "\r\n" + bytes);
  }

  ResetListings();
  if (get) {
    std::int32_t id = *args[1];
    if (type == stRingTone && content_.IsFactoryRingTone(id)) return SimCmeError(260);  // "Access denied"
    const TSimEntry* entry = content_.Find(type, id);
    if (!entry) return SimCmeError(258);  // "Entry does not exist"
    std::string data = faults_.FoldResultCodes ? SimFoldResultCodes(type, entry->Data) : entry->Data;
    for (const auto& fault : faults) {
      if (fault.Kind == fkBadRingTone && data.size() > 46) data[46] = char(fault.Value);
      const std::size_t line = fault.Kind == fkLeaveOutLine ? ("\n" + data).find("\n" + fault.Bytes + "\r\n") : std::string::npos;
      if (line != std::string::npos) data.erase(line, fault.Bytes.size() + 2);
    }
    return SimOk("+C#SGET: " + std::to_string(type) + "," + std::to_string(id) + "\r\n" + data);
  }

  std::int32_t count = *args[1];
  if (count <= 0) return SimCmeError(262);  // "Wrong amount of data transferred"
  if (std::size_t(count) > MaxEntryBytes) return SimCmeError(256);  // "Not enough memory"
  input_ = inData;
  storeCommand_ = command;
  storeType_ = type;
  storeCount_ = std::size_t(count);
  storeData_.clear();
  storeDeadline_ = now_ + std::chrono::milliseconds(settings_.DataTimeoutMs);
  return "\r\n>";
}

void TSimPhone::FinishStore(std::vector<TSimDelivery>& out) {
  input_ = inCommand;
  std::string data = std::move(storeData_);
  storeData_.clear();
  commands_.push_back("<data " + std::to_string(data.size()) + " bytes>");
  std::vector<TFault> faults = faults_.Take({storeCommand_, std::nullopt, true});
  TSimDelivery delivery;
  delivery.ProcessMs = settings_.AnswerDelayMs;
  if (!Replaces(faults, delivery)) {
    if (auto refusal = TSimContent::CheckEntry(storeType_, data)) {
      delivery.Response = SimCmeError(*refusal);
    } else {
      const int cut = faults_.CutNamesTo;
      std::int32_t id = content_.Store(storeType_, cut > 0 ? SimCutNames(storeType_, data, std::size_t(cut)) : data);
      delivery.Response = SimOk("+C#SPUT: " + std::to_string(id));
    }
  }
  if (!Has(faults, fkNoAnswer)) Shape(delivery, faults);
  FollowWithUnsolicited(delivery, faults_.Unsolicited());
  out.push_back(std::move(delivery));
}
