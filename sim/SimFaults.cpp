#include "SimFaults.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include "SimContent.h"
#include "SimVObject.h"

namespace {

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  if (prefix.size() > text.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
  });
}

constexpr std::array<std::string_view, 4> ResultCodes = {"+CME ERROR: 3", "ERROR", "OK", ">"};

// The value of a note, description or address as the reader joins it: soft breaks gone,
// an address's "\" breaks as "=0D=0A". `at` is the property's line; it ends on the last
// line of the value.
std::string JoinedValue(const std::vector<std::string>& lines, std::size_t& at, bool address) {
  std::string joined = SimPropertyValue(lines[at]);
  while (!joined.empty() && (joined.back() == '=' || (address && joined.back() == '\\')) && at + 1 < lines.size()) {
    const char mark = joined.back();
    joined.pop_back();
    if (mark == '\\') joined += "=0D=0A";
    joined += lines[++at];
  }
  return joined;
}

// The value again, from the property's header (its line through the colon) on.
std::vector<std::string> FoldedValue(const std::string& header, const std::string& value, bool address) {
  std::vector<std::string> out{header};
  bool fresh = false;  // the last line holds nothing of the value yet (not the header)
  const auto breakWith = [&](char mark) {
    out.back() += mark;
    out.emplace_back();
    fresh = true;
  };
  for (std::size_t i = 0; i < value.size();) {
    const std::string_view rest = std::string_view(value).substr(i);
    if (address && rest.starts_with("=0D=0A") && rest.size() > 6) {
      breakWith('\\');
      i += 6;
      continue;
    }
    const auto code = std::find_if(ResultCodes.begin(), ResultCodes.end(),
                                   [&](std::string_view c) { return rest.starts_with(c); });
    if (code == ResultCodes.end()) {
      out.back() += value[i++];
      fresh = false;
      continue;
    }
    if (!fresh) breakWith('=');
    out.back() += *code;
    i += code->size();
    if (i < value.size()) breakWith('=');
  }
  return out;
}

}  // namespace

std::string SimFoldResultCodes(int type, const std::string& data) {
  if (type == stRingTone) {
    if (data.size() < SimRingToneHeader) return data;
    std::string record = data;
    record.replace(0, 4, "OK\r\n");
    std::size_t end = 4;  // the name ends at its first zero
    while (end < 46 && record[end] != '\0') end += 2;
    std::string codes;
    for (std::string_view code : ResultCodes) (codes += "\r\n") += code;
    for (std::size_t k = 0; end + 1 + k < 46 && k < codes.size(); ++k) record[end + 1 + k] = codes[k];
    return record;
  }
  const std::vector<std::string> lines = SimSplitLines(data);
  std::vector<std::string> out;
  for (std::size_t at = 0; at < lines.size(); ++at) {
    const std::string name = SimPropertyName(lines[at]);
    const bool address = type != stEvent && name == "ADR";
    if (!address && name != (type == stEvent ? "DESCRIPTION" : "NOTE")) {
      out.push_back(lines[at]);
      continue;
    }
    const std::string header = lines[at].substr(0, lines[at].find(':') + 1);
    const std::string value = JoinedValue(lines, at, address);
    for (auto& line : FoldedValue(header, value, address)) out.push_back(std::move(line));
  }
  return SimJoinLines(out);
}

std::string SimCutNames(int type, const std::string& data, std::size_t length) {
  if (type == stRingTone) {
    std::string record = data;
    for (std::size_t at = 4 + 2 * length; at < 46 && at < record.size(); ++at) record[at] = '\0';
    return record;
  }
  const std::string name = type == stContact ? "N" : type == stGroup ? "X-SIEMENS-GROUP-NAME" : "";
  std::vector<std::string> lines = SimSplitLines(data);
  for (std::string& line : lines) {
    const std::size_t colon = line.find(':');
    if (name.empty() || SimPropertyName(line) != name || colon == std::string::npos) continue;
    if (line.size() - colon - 1 > length) line.resize(colon + 1 + length);
  }
  return SimJoinLines(lines);
}

std::vector<std::size_t> SimResultCodeEnds(const std::string& answer) {
  std::vector<std::size_t> ends;
  for (std::string_view code : ResultCodes) {
    // "OK" and "ERROR" are results as whole lines only.
    const bool whole = code == "OK" || code == "ERROR";
    const std::string line = "\r\n" + std::string(code) + (whole ? "\r\n" : "");
    for (std::size_t at = answer.find(line); at != std::string::npos; at = answer.find(line, at + 1))
      if (at + line.size() < answer.size()) ends.push_back(at + line.size());
  }
  return ends;
}

TFault TFault::CutAt(std::vector<std::size_t> positions) {
  TFault fault = Make(fkCutAt);
  fault.Positions = std::move(positions);
  return fault;
}

TFault TFault::PauseAfterLine(std::string line, int ms) {
  TFault fault = Make(fkPauseAfterLine, ms);
  fault.Bytes = std::move(line);
  return fault;
}

TFault TFault::LeaveOutLine(std::string line) {
  TFault fault = Make(fkLeaveOutLine);
  fault.Bytes = std::move(line);
  return fault;
}

TFault TFault::GarbageAfter(std::string bytes) {
  TFault fault = Make(fkGarbageAfter);
  fault.Bytes = std::move(bytes);
  return fault;
}

void TSimFaults::Add(TFault fault) {
  std::lock_guard lock(mutex_);
  rules_.push_back(std::move(fault));
}

void TSimFaults::Clear() {
  std::lock_guard lock(mutex_);
  rules_.clear();
}

std::size_t TSimFaults::RuleCount() const {
  std::lock_guard lock(mutex_);
  return rules_.size();
}

std::vector<TFault> TSimFaults::Take(const TFaultQuery& query) {
  std::lock_guard lock(mutex_);
  std::vector<TFault> taken;
  for (auto it = rules_.begin(); it != rules_.end();) {
    bool match = it->AfterData == query.AfterData && StartsWithNoCase(query.Command, it->Prefix) &&
                 (!it->Entry || it->Entry == query.Entry);
    if (!match) {
      ++it;
      continue;
    }
    taken.push_back(*it);
    if (it->Times > 0 && --it->Times == 0)
      it = rules_.erase(it);
    else
      ++it;
  }
  return taken;
}

void TSimFaults::SetIdentity(std::string identity) {
  std::lock_guard lock(mutex_);
  identity_ = std::move(identity);
}

std::string TSimFaults::Identity() const {
  if (WrongIdentity) return SimOtherIdentity;
  std::lock_guard lock(mutex_);
  return identity_.empty() ? SimS40Identity : identity_;
}

void TSimFaults::SetUnsolicited(std::string text) {
  std::lock_guard lock(mutex_);
  unsolicited_ = std::move(text);
}

std::string TSimFaults::Unsolicited() const {
  std::lock_guard lock(mutex_);
  return unsolicited_;
}
