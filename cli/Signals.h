#pragma once
// SIGINT and SIGTERM for the console: the handler only writes the signal's number into a
// pipe of its own; a socket notifier on the pipe's other end hands each signal to the
// main thread whenever that processes its events, as the exchange's waits do. Nothing
// else happens inside the handler. The signals' former handling comes back when the
// watch ends. Main thread only; one watch at a time.

#include <QSocketNotifier>
#include <signal.h>

#include <functional>
#include <memory>

class TSignalWatch {
 public:
  using THandler = std::function<void(int signal)>;
  // Throws std::system_error when the pipe cannot be made.
  explicit TSignalWatch(THandler handler);
  ~TSignalWatch();
  TSignalWatch(const TSignalWatch&) = delete;
  TSignalWatch& operator=(const TSignalWatch&) = delete;

  // The first signal taken, 0 while none came.
  int First() const { return first_; }

 private:
  void Take();

  int pipe_[2] = {-1, -1};
  std::unique_ptr<QSocketNotifier> notifier_;
  THandler handler_;
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
  int first_ = 0;
};
