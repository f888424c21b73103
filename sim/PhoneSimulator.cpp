#include "PhoneSimulator.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <set>
#include <system_error>
#include <utility>

#include "SimLog.h"
#include "SimPhone.h"

namespace {

constexpr int LfGraceMs = 10;       // a CR at the end of a piece may have its LF coming
constexpr int WriteStallMs = 5000;  // a client that takes nothing for this long loses the rest
using std::chrono::milliseconds;

int MsUntil(TSimClock::time_point deadline) {
  auto left = std::chrono::ceil<milliseconds>(deadline - TSimClock::now()).count();
  return int(std::clamp<long long>(left, 0, INT_MAX));
}

}  // namespace

TPhoneSimulator::TPhoneSimulator(TSimContent content, TSimOptions options)
    : options_(std::move(options)), content_(std::move(content)) {
  TSimPhoneSettings settings;
  settings.ListingPieceEntries = options_.ListingPieceEntries;
  settings.AnswerDelayMs = options_.AnswerDelayMs;
  settings.DataTimeoutMs = options_.DataTimeoutMs;
  phone_ = std::make_unique<TSimPhone>(content_, faults_, settings);
  if (!options_.LogPath.empty()) log_ = std::make_unique<TSimLog>(options_.LogPath);
  wake_.Reset(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
  if (!wake_.Valid()) throw std::system_error(errno, std::generic_category(), "eventfd");
  line_ = TSimLine::Open();
  slavePath_ = line_.SlavePath();
  connected_ = true;
  PointLink();
  if (log_) log_->Note("serving on " + slavePath_);
  thread_ = std::thread([this] { Run(); });
}

TPhoneSimulator::~TPhoneSimulator() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  Wake();
  thread_.join();
  line_.Close();
  if (!options_.LinkPath.empty()) {
    char target[PATH_MAX];
    long n = ::readlink(options_.LinkPath.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, std::size_t(n)) == slavePath_) ::unlink(options_.LinkPath.c_str());
  }
  if (log_) log_->Note("stopped");
}

void TPhoneSimulator::Wake() {
  std::uint64_t one = 1;
  SimWrite(wake_.Get(), &one, sizeof one);
}

std::string TPhoneSimulator::SlavePath() const {
  std::lock_guard lock(mutex_);
  return slavePath_;
}

bool TPhoneSimulator::CableConnected() const {
  std::lock_guard lock(mutex_);
  return connected_;
}

void TPhoneSimulator::PullCable() {
  {
    std::lock_guard lock(mutex_);
    pullRequested_ = true;
  }
  Wake();
}

std::string TPhoneSimulator::PlugIn() {
  std::unique_lock lock(mutex_);
  if (connected_ && !pullRequested_) return slavePath_;
  plugRequested_ = true;
  lock.unlock();
  Wake();
  lock.lock();
  changed_.wait_for(lock, milliseconds(5000), [&] { return connected_ && !plugRequested_; });
  return slavePath_;
}

bool TPhoneSimulator::WaitForCable(bool connected, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, milliseconds(timeoutMs), [&] { return connected_ == connected; });
}

void TPhoneSimulator::SendUnsolicited(std::string bytes) {
  {
    std::lock_guard lock(mutex_);
    unsolicited_.push_back(std::move(bytes));
  }
  Wake();
}

std::vector<TSimEntry> TPhoneSimulator::Entries(int type) const {
  std::lock_guard lock(mutex_);
  return content_.List(type);
}

bool TPhoneSimulator::DataMode() const {
  std::lock_guard lock(mutex_);
  return phone_->DataMode();
}

std::vector<std::string> TPhoneSimulator::Commands() const {
  std::lock_guard lock(mutex_);
  return phone_->Commands();
}

bool TPhoneSimulator::WaitForCommands(std::size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, milliseconds(timeoutMs), [&] { return phone_->Commands().size() >= count; });
}

std::string TPhoneSimulator::BackupText() const {
  std::lock_guard lock(mutex_);
  return content_.BackupText();
}

void TPhoneSimulator::WriteBackupFile(const std::string& path) const {
  std::lock_guard lock(mutex_);
  content_.WriteBackupFile(path);
}

void TPhoneSimulator::Edit(const std::function<void(TSimContent&)>& f) {
  std::lock_guard lock(mutex_);
  f(content_);
}

void TPhoneSimulator::PointLink() {
  if (options_.LinkPath.empty()) return;
  // A new link renamed over the old one, so the path never dangles half-way.
  std::string temporary = options_.LinkPath + ".new";
  ::unlink(temporary.c_str());
  if (::symlink(slavePath_.c_str(), temporary.c_str()) != 0 ||
      ::rename(temporary.c_str(), options_.LinkPath.c_str()) != 0)
    throw std::system_error(errno, std::generic_category(), "link " + options_.LinkPath);
}

void TPhoneSimulator::Pull() {
  line_.Close();
  {
    std::lock_guard lock(mutex_);
    connected_ = false;
    phone_->DropInput();
  }
  changed_.notify_all();
  if (log_) log_->Note("cable pulled");
}

void TPhoneSimulator::Plug() {
  try {
    TSimLine line = TSimLine::Open();
    line_ = std::move(line);
    lineClients_ = 0;
    {
      std::lock_guard lock(mutex_);
      slavePath_ = line_.SlavePath();
      PointLink();
    }
    if (log_) log_->Note("plugged in on " + line_.SlavePath());
  } catch (const std::exception& error) {
    if (log_) log_->Note(std::string("plugging in failed: ") + error.what());
  }
  {
    std::lock_guard lock(mutex_);
    connected_ = line_.IsOpen();
    plugRequested_ = false;
  }
  changed_.notify_all();
}

bool TPhoneSimulator::Sleep(int ms) {
  auto deadline = TSimClock::now() + milliseconds(ms);
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stop_) return false;
    }
    int left = MsUntil(deadline);
    if (left <= 0) return true;
    pollfd fd{wake_.Get(), POLLIN, 0};
    if (::poll(&fd, 1, left) > 0) {
      std::uint64_t count;
      SimRead(wake_.Get(), &count, sizeof count);
    }
  }
}

void TPhoneSimulator::Run() {
  for (;;) {
    bool pull, plug;
    std::vector<std::string> unsolicited;
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
      pull = std::exchange(pullRequested_, false);
      plug = plugRequested_;
      unsolicited.swap(unsolicited_);
    }
    if (pull && line_.IsOpen()) Pull();
    if (plug) Plug();
    if (!line_.IsOpen()) {
      pollfd fd{wake_.Get(), POLLIN, 0};
      if (::poll(&fd, 1, -1) > 0) {
        std::uint64_t count;
        SimRead(wake_.Get(), &count, sizeof count);
      }
      continue;
    }
    for (auto& bytes : unsolicited) {
      TSimDelivery delivery;
      delivery.Response = std::move(bytes);
      Deliver(delivery);
    }

    std::optional<TSimClock::time_point> deadline;
    {
      std::lock_guard lock(mutex_);
      deadline = phone_->Deadline();
    }
    pollfd fds[3] = {{line_.Master(), POLLIN, 0}, {wake_.Get(), POLLIN, 0}, {line_.Watch(), POLLIN, 0}};
    int ready = ::poll(fds, 3, deadline ? MsUntil(*deadline) : -1);
    if (ready < 0 && errno != EINTR) Sleep(20);
    if (fds[1].revents & POLLIN) {
      std::uint64_t count;
      SimRead(wake_.Get(), &count, sizeof count);
    }
    if (fds[2].revents & POLLIN) {
      for (TLineEvent event : line_.ReadWatchEvents()) {
        // Only the last close lets go of the line: another program that opens the
        // device and is refused (its lock fails) closes it while the client stays.
        if (event == leOpened) ++lineClients_;
        if (event == leClosed && --lineClients_ <= 0) {
          lineClients_ = 0;
          line_.ClientGone();
        }
        if (log_) log_->Note(event == leOpened ? "line opened" : "line closed");
      }
    }
    if (fds[0].revents & POLLIN) {
      char buffer[4096];
      long n = SimRead(line_.Master(), buffer, sizeof buffer);
      if (n > 0) {
        Serve(std::string(buffer, std::size_t(n)));
      } else if (n < 0 && errno != EAGAIN) {
        Sleep(20);  // the line is in trouble; do not spin on it
      }
    } else if (fds[0].revents & (POLLHUP | POLLERR)) {
      Sleep(20);
    }
    if (deadline && TSimClock::now() >= *deadline) {
      std::vector<TSimDelivery> deliveries;
      {
        std::lock_guard lock(mutex_);
        deliveries = phone_->Tick(TSimClock::now());
      }
      for (const auto& delivery : deliveries)
        if (!Deliver(delivery)) break;
    }
  }
}

void TPhoneSimulator::Serve(std::string bytes) {
  bool command;
  {
    std::lock_guard lock(mutex_);
    command = !phone_->InDataInput();
  }
  if (command && bytes.back() == '\r') {
    pollfd fd{line_.Master(), POLLIN, 0};
    if (::poll(&fd, 1, LfGraceMs) > 0 && (fd.revents & POLLIN)) {
      char buffer[4096];
      long n = SimRead(line_.Master(), buffer, sizeof buffer);
      if (n > 0) bytes.append(buffer, std::size_t(n));
    }
  }
  if (log_) log_->Bytes("in ", bytes);
  std::vector<TSimDelivery> deliveries;
  {
    std::lock_guard lock(mutex_);
    deliveries = phone_->Feed(bytes, TSimClock::now());
  }
  changed_.notify_all();
  for (const auto& delivery : deliveries)
    if (!Deliver(delivery)) break;
}

bool TPhoneSimulator::Deliver(const TSimDelivery& delivery) {
  const std::string all = delivery.Echo + delivery.Response;
  if (delivery.StartDelayMs > 0 && !Sleep(delivery.StartDelayMs)) return false;

  bool split = delivery.EveryByte || faults_.SplitEveryByte || !delivery.Cuts.empty();
  std::set<std::size_t> cuts;
  if (delivery.EveryByte || faults_.SplitEveryByte)
    for (std::size_t at = 1; at < all.size(); ++at) cuts.insert(at);
  for (std::size_t at : delivery.Cuts)
    if (at > 0 && at < all.size()) cuts.insert(at);
  const std::size_t echoEnd = delivery.Echo.size();
  bool think = delivery.ProcessMs > 0 && !delivery.Response.empty();
  if (think && echoEnd > 0 && echoEnd < all.size()) cuts.insert(echoEnd);
  if (delivery.PullAfter && *delivery.PullAfter > 0 && *delivery.PullAfter < all.size())
    cuts.insert(*delivery.PullAfter);
  for (const auto& pause : delivery.Pauses) cuts.insert(pause.first);

  std::size_t at = 0;
  while (at < all.size()) {
    if (delivery.PullAfter && at >= *delivery.PullAfter) break;
    // The echo goes out at once and is read by itself; then the phone thinks.
    if (think && at == echoEnd && ((at > 0 && !WaitTaken()) || !Sleep(delivery.ProcessMs))) return false;
    for (const auto& [where, ms] : delivery.Pauses)
      if (where == at && at > 0 && (!WaitTaken() || !Sleep(ms))) return false;
    auto next = cuts.upper_bound(at);
    std::size_t end = next == cuts.end() ? all.size() : *next;
    if (!WritePaced(all.substr(at, end - at))) return false;
    at = end;
    if (split && at < all.size() && !WaitTaken()) return false;
  }
  if (delivery.PullAfter) {
    WaitTaken();  // what went out before the cut must reach the client whole
    // Reading nothing meanwhile: what the client sends piles up in the line, as on a
    // real line that is slower than the program writes.
    if (delivery.PullDelayMs > 0 && !Sleep(delivery.PullDelayMs)) return false;
    Pull();
    return false;
  }
  if (!delivery.Garbage.empty()) {
    if (!WaitTaken()) return false;
    if (!WritePaced(delivery.Garbage)) return false;
  }
  return true;
}

bool TPhoneSimulator::WritePaced(const std::string& bytes) {
  if (options_.BaudRate <= 0) return WriteAll(bytes);
  // Ten bits a byte on the wire: start, eight data, stop.
  const double bytesPerSecond = options_.BaudRate / 10.0;
  auto start = TSimClock::now();
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    double elapsed = std::chrono::duration<double>(TSimClock::now() - start).count();
    auto due = std::min(bytes.size(), std::size_t(elapsed * bytesPerSecond) + 1);
    if (due > sent) {
      if (!WriteAll(bytes.substr(sent, due - sent))) return false;
      sent = due;
    } else if (!Sleep(1)) {
      return false;
    }
  }
  return true;
}

bool TPhoneSimulator::WriteAll(const std::string& bytes) {
  std::size_t done = 0;
  auto stall = TSimClock::now() + milliseconds(WriteStallMs);
  while (done < bytes.size()) {
    long n = SimWrite(line_.Master(), bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      if (log_) log_->Bytes("out", bytes.substr(done, std::size_t(n)));
      done += std::size_t(n);
      stall = TSimClock::now() + milliseconds(WriteStallMs);
      continue;
    }
    if (n < 0 && errno != EAGAIN) return false;
    if (TSimClock::now() >= stall) {
      if (log_) log_->Note("the client takes nothing; " + std::to_string(bytes.size() - done) + " bytes dropped");
      return false;
    }
    pollfd fds[2] = {{line_.Master(), POLLOUT, 0}, {wake_.Get(), POLLIN, 0}};
    if (::poll(fds, 2, 10) > 0 && (fds[1].revents & POLLIN)) {
      std::uint64_t count;
      SimRead(wake_.Get(), &count, sizeof count);
    }
    std::lock_guard lock(mutex_);
    if (stop_) return false;
  }
  return true;
}

bool TPhoneSimulator::WaitTaken() {
  // The next piece may go only once the client has read this one, or the two would be
  // read as one.
  auto deadline = TSimClock::now() + milliseconds(options_.PieceTimeoutMs);
  while (line_.ClientHasUnread() && TSimClock::now() < deadline)
    if (!Sleep(1)) return false;
  std::lock_guard lock(mutex_);
  return !stop_;
}
