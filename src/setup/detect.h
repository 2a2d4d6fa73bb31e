#pragma once
// Looking for the receiver: on each port, at each baud rate in turn, "LM" is
// sent and a reply beginning with "LM" awaited for a bounded time. Nothing but
// "LM" and, once the receiver has answered, "EX" is ever written. A step never
// waits: the caller steps it from its own timer with the time of the step.

#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/platform.h"
#include "setup/ports.h"

namespace talvaro::setup {

// The receiver's rates, in the order they are tried.
inline constexpr std::array<int, 3> receiver_bauds{9600, 19200, 4800};
// How long one try waits for the reply.
inline constexpr std::chrono::milliseconds reply_time_limit{500};

class Detector {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  enum class Event {
    none,       // still looking
    unopened,   // unopened() cannot be opened: skipped
    found,      // found() answered at found_baud(); finished
    no_answer,  // every try done without an answer; finished
  };

  Detector(PortFinder& finder, std::vector<NumberedPort> ports, std::vector<int> bauds);

  // Does what is due at now: reads a reply, ends a try whose time is up, starts
  // the next one. Reports at most one event per step.
  Event step(TimePoint now);
  bool finished() const { return finished_; }
  const NumberedPort& found() const { return ports_[port_]; }
  int found_baud() const { return bauds_[baud_]; }
  const NumberedPort& unopened() const { return ports_[unopened_]; }

 private:
  bool answered();
  void start_try(TimePoint now);

  PortFinder& finder_;
  std::vector<NumberedPort> ports_;
  std::vector<int> bauds_;
  std::size_t port_ = 0;
  std::size_t baud_ = 0;
  std::size_t unopened_ = 0;
  std::unique_ptr<SerialDevice> device_;  // the try under way
  TimePoint deadline_{};
  std::string received_;  // the reply so far: bytes after the last CR
  bool finished_ = false;
};

}  // namespace talvaro::setup
