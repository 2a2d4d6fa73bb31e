#pragma once
// Time as the simulated receiver sees it: milliseconds since the simulator
// started, from a clock that can be replaced in tests.

#include <chrono>

namespace ar8600sim {

using Millis = std::chrono::milliseconds;

class Clock {
 public:
  virtual ~Clock() = default;
  virtual Millis now() const = 0;
};

// The monotonic clock of the machine, counted from construction.
class MonotonicClock final : public Clock {
 public:
  MonotonicClock() : start_(std::chrono::steady_clock::now()) {}
  Millis now() const override { return std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - start_); }
  std::chrono::steady_clock::time_point start() const { return start_; }

 private:
  std::chrono::steady_clock::time_point start_;
};

}  // namespace ar8600sim
