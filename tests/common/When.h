#pragma once
// TWhen: runs act once, on a pass of the event loop while the window works (inside the
// exchange's waits), when check first holds. Window thread only.

#include <QObject>
#include <QTimer>

#include <functional>
#include <utility>

class TWhen {
 public:
  TWhen(std::function<bool()> check, std::function<void()> act, int intervalMs = 5)
      : check_(std::move(check)), act_(std::move(act)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (!done_ && check_()) {
        done_ = true;
        act_();
      }
    });
    timer_.start(intervalMs);
  }
  bool Done() const { return done_; }

 private:
  QTimer timer_;
  std::function<bool()> check_;
  std::function<void()> act_;
  bool done_ = false;
};
