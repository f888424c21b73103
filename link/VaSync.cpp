#include "VaSync.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>
#include <vector>

namespace {

int NewEventDescriptor() {
  const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  return fd;
}

}  // namespace

TVaHandleObject::~TVaHandleObject() {
  if (handle_ >= 0) ::close(handle_);
}

TVaEvent::TVaEvent() : TVaHandleObject(NewEventDescriptor()) {}

void TVaEvent::SetEvent() {
  const std::uint64_t one = 1;
  // The counter only saturates after 2^64-1 sets; EAGAIN there still leaves it readable.
  while (::write(Handle(), &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void TVaEvent::ResetEvent() {
  std::uint64_t value = 0;
  while (::read(Handle(), &value, sizeof value) < 0 && errno == EINTR) {
  }
}

bool TVaEvent::IsSet() const {
  pollfd p{Handle(), POLLIN, 0};
  int r;
  do {
    r = ::poll(&p, 1, 0);
  } while (r < 0 && errno == EINTR);
  return r > 0 && (p.revents & POLLIN);
}

int MillisecondsUntil(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

TVaWaitResult TVaWaitEvent::WaitFor(int timeoutMs) {
  const int index = WaitForAny({this}, timeoutMs);
  if (index == 0) return wrSignaled;
  return LastError() != 0 ? wrError : wrTimeout;
}

int TVaWaitEvent::WaitForAny(std::initializer_list<TVaWaitEvent*> events, int timeoutMs) {
  std::vector<pollfd> fds;
  fds.reserve(events.size());
  for (TVaWaitEvent* e : events) {
    e->SetLastError(0);
    fds.push_back({e->Handle(), POLLIN, 0});
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const int wait = timeoutMs < 0 ? -1 : MillisecondsUntil(deadline);
    const int r = ::poll(fds.data(), fds.size(), wait);
    if (r < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      for (TVaWaitEvent* e : events) e->SetLastError(error);
      return -1;
    }
    if (r == 0) return -1;
    for (std::size_t i = 0; i < fds.size(); ++i)
      if (fds[i].revents & POLLIN) return static_cast<int>(i);
  }
}
