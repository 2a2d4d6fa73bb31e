#pragma once
// A clock the tests move by hand, and a receiver driven through it.

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "clock.h"
#include "receiver.h"

namespace ar8600sim::testing {

class FakeClock final : public Clock {
 public:
  Millis now() const override { return time; }
  Millis time{0};
};

// A receiver on a fake clock, with helpers that keep only the reply texts.
struct Bench {
  FakeClock clock;
  Receiver receiver{clock};

  static std::vector<std::string> texts(const Replies& replies) {
    std::vector<std::string> out;
    for (const auto& reply : replies) out.push_back(reply.text);
    return out;
  }
  std::vector<std::string> send(std::string_view line) { return texts(receiver.handle_command(line)); }
  std::vector<std::string> key(unsigned char byte) { return texts(receiver.handle_key(byte)); }
  // The one line a query answers ("" when it answered otherwise).
  std::string ask(std::string_view line) {
    const auto replies = send(line);
    return replies.size() == 1 ? replies[0] : "";
  }
  // Moves the clock on in 10 ms ticks, as the program's loop would.
  std::vector<std::string> wait(Millis span) {
    std::vector<std::string> out;
    const Millis end = clock.time + span;
    while (clock.time < end) {
      clock.time = std::min(end, clock.time + Millis{10});
      for (auto& text : texts(receiver.advance())) out.push_back(text);
    }
    return out;
  }
  // The RF field of RX: the ten digits the receiver is on.
  std::string frequency() {
    const std::string line = ask("RX");
    const auto at = line.find("RF");
    return at == std::string::npos ? "" : line.substr(at + 2, 10);
  }
};

}  // namespace ar8600sim::testing
