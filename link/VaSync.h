#pragma once
// Waitable signals and locks of the serial component.
//
// TVaWaitEvent is a manual-reset event built on an eventfd, so that a thread can wait
// for it together with the port itself in one poll(); it starts unsignalled and stays
// signalled until reset. TVaCriticalSection is a plain lock with the names the component
// uses (Enter/Leave) and the standard lockable ones, so that a condition variable can
// wait on it. Any thread may use them; nothing here raises except construction when the
// system has no descriptors left (std::system_error).

#include <chrono>
#include <initializer_list>
#include <mutex>

// Outcome of a wait.
enum TVaWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };

// A wait without a time limit.
inline constexpr int VaInfinite = -1;

// Wraps a system waitable object: its handle (a descriptor) and the error of the last
// failed wait. Destroying it closes the descriptor.
class TVaHandleObject {
 public:
  TVaHandleObject(const TVaHandleObject&) = delete;
  TVaHandleObject& operator=(const TVaHandleObject&) = delete;
  virtual ~TVaHandleObject();

  int Handle() const { return handle_; }
  int LastError() const { return lastError_; }

 protected:
  explicit TVaHandleObject(int handle) : handle_(handle) {}
  void SetLastError(int error) { lastError_ = error; }

 private:
  int handle_;
  int lastError_ = 0;
};

class TVaEvent : public TVaHandleObject {
 public:
  void SetEvent();
  void ResetEvent();
  bool IsSet() const;

 protected:
  TVaEvent();
};

// The manual-reset event with a bounded wait.
class TVaWaitEvent : public TVaEvent {
 public:
  TVaWaitEvent() = default;
  // Waits up to timeoutMs milliseconds (VaInfinite: without limit).
  TVaWaitResult WaitFor(int timeoutMs);

  // Waits for the first of several events; returns the index of the first signalled one
  // in the order given (so the first listed wins when several are set), or -1 when the
  // time ran out or the wait failed.
  static int WaitForAny(std::initializer_list<TVaWaitEvent*> events, int timeoutMs);
};

// Milliseconds left until a monotonic deadline, never below 0; for poll() time-outs.
int MillisecondsUntil(std::chrono::steady_clock::time_point deadline);

class TVaCriticalSection {
 public:
  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }
  // Lockable, for std::lock_guard and std::condition_variable_any.
  void lock() { mutex_.lock(); }
  void unlock() { mutex_.unlock(); }

 private:
  std::mutex mutex_;
};
