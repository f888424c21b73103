#include "SimTestLine.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cctype>
#include <stdexcept>
#include <thread>

namespace {

using TClock = std::chrono::steady_clock;

int MsLeft(TClock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
  return left < 0 ? 0 : int(left);
}

}  // namespace

TTestLine::TTestLine(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
  if (fd_ < 0) throw std::runtime_error("cannot open " + path);
}

TTestLine::~TTestLine() { ::close(fd_); }

void TTestLine::Write(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    long n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += std::size_t(n);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      throw std::runtime_error("write failed");
    } else {
      pollfd fd{fd_, POLLOUT, 0};
      ::poll(&fd, 1, 10);
    }
  }
}

bool EndsAnswer(const std::string& bytes) {
  auto ends = [&](const std::string& tail) {
    return bytes.size() >= tail.size() && bytes.compare(bytes.size() - tail.size(), tail.size(), tail) == 0;
  };
  if (ends("\r\nOK\r\n") || ends("\r\nERROR\r\n") || ends("\r\n>")) return true;
  if (!ends("\r\n")) return false;
  std::size_t digits = bytes.size() - 2;
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(bytes[digits - 1]))) --digits;
  const std::string cme = "\r\n+CME ERROR: ";
  return digits < bytes.size() - 2 && digits >= cme.size() && bytes.compare(digits - cme.size(), cme.size(), cme) == 0;
}

std::vector<std::string> TTestLine::ReadPieces(int timeoutMs, int pauseMs) {
  std::vector<std::string> pieces;
  std::string all;
  auto deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
  while (!EndsAnswer(all)) {
    pollfd fd{fd_, POLLIN, 0};
    int left = MsLeft(deadline);
    if (left == 0 || ::poll(&fd, 1, left) <= 0) break;
    if (!(fd.revents & POLLIN)) break;  // hung up
    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    char buffer[8192];
    long n = ::read(fd_, buffer, sizeof buffer);
    if (n <= 0) {
      if (fd.revents & POLLHUP) break;
      continue;
    }
    pieces.emplace_back(buffer, std::size_t(n));
    all += pieces.back();
  }
  return pieces;
}

std::string TTestLine::ReadAnswer(int timeoutMs) {
  std::string all;
  for (const auto& piece : ReadPieces(timeoutMs, 0)) all += piece;
  return all;
}

std::string TTestLine::ReadFor(int ms) {
  std::string all;
  auto deadline = TClock::now() + std::chrono::milliseconds(ms);
  for (int left; (left = MsLeft(deadline)) > 0;) {
    pollfd fd{fd_, POLLIN, 0};
    if (::poll(&fd, 1, left) <= 0 || !(fd.revents & POLLIN)) break;
    char buffer[8192];
    long n = ::read(fd_, buffer, sizeof buffer);
    if (n > 0)
      all.append(buffer, std::size_t(n));
    else if (fd.revents & POLLHUP)
      break;
  }
  return all;
}

std::string TTestLine::Command(const std::string& command, int timeoutMs) {
  Write(command + "\r\n");
  return ReadAnswer(timeoutMs);
}

bool TTestLine::HungUp(int timeoutMs) {
  auto deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    pollfd fd{fd_, POLLIN, 0};
    if (::poll(&fd, 1, MsLeft(deadline)) <= 0) return false;
    if (fd.revents & POLLHUP) return true;
    char buffer[256];
    if (::read(fd_, buffer, sizeof buffer) < 0 && errno == EIO) return true;
  }
}

std::string CleanAnswer(std::string answer) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::size_t begin = 0, end = answer.size();
  while (begin < end && blank(answer[begin])) ++begin;
  while (end > begin && blank(answer[end - 1])) --end;
  answer = answer.substr(begin, end - begin);
  if (answer.rfind("AT+", 0) == 0) {
    std::size_t p = answer.find("\r\n\r\n");
    answer.erase(0, p == std::string::npos ? 3 : p + 4);
  }
  std::size_t ok = answer.find("\r\nOK");
  if (ok != std::string::npos) answer.erase(ok, 4);
  return answer;
}

std::string DropFirstLine(const std::string& text) {
  std::size_t end = text.find("\r\n");
  return end == std::string::npos ? std::string() : text.substr(end + 2);
}

std::vector<int> ListedIds(const std::string& cleaned, char* mark) {
  if (mark) *mark = cleaned.size() > 9 ? cleaned[9] : '?';
  std::size_t end = cleaned.find("\r\n");
  if (end == std::string::npos || end < 11) return {};
  int n = std::stoi(cleaned.substr(11, end - 11));
  std::string bytes = cleaned.substr(end + 2);
  std::vector<int> ids;
  for (int k = 0; k + 6 <= n && std::size_t(k + 6) <= bytes.size(); k += 6) {
    unsigned value = 0;
    for (int b = 3; b >= 0; --b) value = value << 8 | static_cast<unsigned char>(bytes[std::size_t(k + b)]);
    ids.push_back(int(value));
  }
  return ids;
}
