#pragma once
// The edge of every handler: the body runs, then its end steps run however the body
// ended, and only then is an exception shown through the application's standard
// exception report (AppException.h). Nothing leaves: no exception crosses the Qt event
// loop. Window thread only.

#include <exception>
#include <utility>

#include "AppException.h"

namespace handler_detail {
inline void Report(std::exception_ptr failure) noexcept {
  try {
    std::rethrow_exception(failure);
  } catch (...) {
    ReportCurrentException();
  }
}
}  // namespace handler_detail

// Runs body, then endSteps (also after a throw), then reports the first exception that
// either of them threw.
template <class Body, class EndSteps>
void RunHandler(Body&& body, EndSteps&& endSteps) noexcept {
  std::exception_ptr failure;
  try {
    std::forward<Body>(body)();
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    std::forward<EndSteps>(endSteps)();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) handler_detail::Report(failure);
}

// A handler without end steps of its own.
template <class Body>
void RunHandler(Body&& body) noexcept {
  RunHandler(std::forward<Body>(body), [] {});
}

// Runs every step, also those after one that threw, then rethrows the first failure: a
// step that fails must not leave the later ones (the controls enabled again) undone.
template <class... Steps>
void RunEachStep(Steps&&... steps) {
  std::exception_ptr failure;
  const auto run = [&](auto&& step) {
    try {
      step();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  };
  (run(std::forward<Steps>(steps)), ...);
  if (failure) std::rethrow_exception(failure);
}
