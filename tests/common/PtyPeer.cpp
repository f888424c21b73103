#include "PtyPeer.h"

#include <QCoreApplication>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace {

int LeftMs(TClock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

TPtyPeer::TPtyPeer() {
  char name[256] = {};
  if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
  termios t{};
  ::tcgetattr(slave_, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(slave_, TCSANOW, &t);
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  path_ = name;
}

TPtyPeer::~TPtyPeer() {
  Join();
  HangUp();
}

void TPtyPeer::Send(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size() && master_ >= 0) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{master_, POLLOUT, 0};
      ::poll(&p, 1, 100);
    } else {
      return;
    }
  }
}

bool TPtyPeer::ReadSome(int timeoutMs) {
  if (master_ < 0) return false;
  pollfd p{master_, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) <= 0) return false;
  char buffer[65536];
  const ssize_t n = ::read(master_, buffer, sizeof buffer);
  if (n <= 0) return false;
  std::lock_guard<std::mutex> lock(lock_);
  received_.append(buffer, static_cast<std::size_t>(n));
  return true;
}

bool TPtyPeer::Expect(std::string_view text, int timeoutMs) {
  const auto deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(lock_);
      if (received_.find(text) != std::string::npos) return true;
    }
    if (TClock::now() >= deadline) return false;
    ReadSome(std::min(LeftMs(deadline), 50));
  }
}

bool TPtyPeer::ReceiveTotal(std::size_t n, int timeoutMs) {
  const auto deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(lock_);
      if (received_.size() >= n) return true;
    }
    if (TClock::now() >= deadline) return false;
    ReadSome(std::min(LeftMs(deadline), 50));
  }
}

void TPtyPeer::Drain(int quietMs) {
  while (ReadSome(quietMs)) {
  }
}

std::string TPtyPeer::Received() {
  std::lock_guard<std::mutex> lock(lock_);
  return received_;
}

std::string TPtyPeer::Take() {
  std::lock_guard<std::mutex> lock(lock_);
  std::string all;
  all.swap(received_);
  return all;
}

void TPtyPeer::HangUp() {
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  master_ = slave_ = -1;
}

void TPtyPeer::Play(std::function<void(TPtyPeer&)> script) {
  Join();
  player_ = std::thread([this, script = std::move(script)] { script(*this); });
}

void TPtyPeer::Join() {
  if (player_.joinable()) player_.join();
}

void TWatchedLog::InsertLine(const std::string& rendered) {
  if (Delay.count() > 0) std::this_thread::sleep_for(Delay);
  {
    std::lock_guard<std::mutex> lock(lock_);
    lines_.push_back(rendered);
  }
  grown_.notify_all();
}

bool TWatchedLog::WaitForLines(std::size_t n, int timeoutMs) {
  std::unique_lock<std::mutex> lock(lock_);
  return grown_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return lines_.size() >= n; });
}

std::vector<std::string> TWatchedLog::Lines() {
  std::lock_guard<std::mutex> lock(lock_);
  return lines_;
}
