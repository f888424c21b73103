#include "SimFaults.h"

#include <algorithm>
#include <cctype>

namespace {

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  if (prefix.size() > text.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
  });
}

}  // namespace

TFault TFault::CutAt(std::vector<std::size_t> positions) {
  TFault fault = Make(fkCutAt);
  fault.Positions = std::move(positions);
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
