#include "ScriptedPhone.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace {

void WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EAGAIN) {
      pollfd out{fd, POLLOUT, 0};
      ::poll(&out, 1, 50);
    } else if (n < 0 && errno != EINTR) {
      return;  // the line is gone
    }
  }
}

}  // namespace

TScriptedPhone::TScriptedPhone(std::map<std::string, std::string> answers) : answers_(std::move(answers)) {
  char name[256] = {};
  if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
  slavePath_ = name;
  // Raw from the start, so that nothing is echoed back before the program sets the line.
  termios raw{};
  ::tcgetattr(slave_, &raw);
  ::cfmakeraw(&raw);
  ::tcsetattr(slave_, TCSANOW, &raw);
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  if (::pipe(wake_) != 0) throw std::runtime_error("pipe failed");
  thread_ = std::thread([this] { Serve(); });
}

TScriptedPhone::~TScriptedPhone() {
  const char stop = 1;
  (void)!::write(wake_[1], &stop, 1);
  thread_.join();
  for (int fd : {master_, slave_, wake_[0], wake_[1]})
    if (fd >= 0) ::close(fd);
}

void TScriptedPhone::ReleaseSlave() {
  if (slave_ >= 0) ::close(slave_);
  slave_ = -1;
  released_ = true;
}

std::vector<std::string> TScriptedPhone::Events() const {
  std::lock_guard<std::mutex> guard(lock_);
  return events_;
}

std::string TScriptedPhone::Received() const {
  std::lock_guard<std::mutex> guard(lock_);
  return received_;
}

void TScriptedPhone::Record(const std::string& event) {
  std::lock_guard<std::mutex> guard(lock_);
  events_.push_back(event);
}

void TScriptedPhone::Serve() {
  std::string line;
  bool hungUp = false;
  for (;;) {
    pollfd fds[2] = {{wake_[0], POLLIN, 0}, {master_, static_cast<short>(hungUp ? 0 : POLLIN), 0}};
    const int ready = ::poll(fds, 2, 20);
    if (ready < 0 && errno != EINTR) return;
    if (fds[0].revents) return;
    if (hungUp || !(fds[1].revents & (POLLIN | POLLHUP | POLLERR))) continue;

    char buffer[512];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) {
      // Nobody holds the program's side any more. Before the release that is only the
      // moment between our hold and the program's open, not worth a record.
      if (released_) {
        Record("hang-up");
        hungUp = true;
      } else {
        ::usleep(10000);
      }
      continue;
    }
    {
      std::lock_guard<std::mutex> guard(lock_);
      received_.append(buffer, static_cast<std::size_t>(n));
    }
    line.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t end; (end = line.find("\r\n")) != std::string::npos;) {
      const std::string command = line.substr(0, end);
      line.erase(0, end + 2);
      Record(command + "\r\n");
      const auto answer = answers_.find(command);
      if (answer != answers_.end()) WriteAll(master_, answer->second);
    }
  }
}
