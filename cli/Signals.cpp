#include "Signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "AppException.h"

namespace {

int gWriteEnd = -1;

extern "C" void OnSignal(int signal) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(signal);
  // A full pipe holds enough signals already.
  if (::write(gWriteEnd, &byte, 1) < 0) {
  }
  errno = saved;
}

}  // namespace

TSignalWatch::TSignalWatch(THandler handler) : handler_(std::move(handler)) {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
  gWriteEnd = pipe_[1];
  notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { RunGuarded([this] { Take(); }); });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, &oldInt_);
  ::sigaction(SIGTERM, &action, &oldTerm_);
}

TSignalWatch::~TSignalWatch() {
  ::sigaction(SIGINT, &oldInt_, nullptr);
  ::sigaction(SIGTERM, &oldTerm_, nullptr);
  notifier_.reset();
  gWriteEnd = -1;
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

void TSignalWatch::Take() {
  unsigned char taken[16];
  ssize_t n;
  while ((n = ::read(pipe_[0], taken, sizeof taken)) > 0) {
    for (ssize_t i = 0; i < n; ++i) {
      if (first_ == 0) first_ = taken[i];
      if (handler_) handler_(taken[i]);
    }
  }
}
