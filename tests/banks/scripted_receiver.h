#pragma once
// A receiver at the far end of port 1 that answers each command the panel
// sends with scripted lines, each arriving a number of port polls after the
// previous one, so that exchanges spread over several receives (bank
// listings, the bank size check) can be scripted.

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/context.h"
#include "core/platform.h"

namespace talvaro::testing {

class ScriptedReceiver final : public SerialDevice {
 public:
  struct Answer {
    std::string bytes;
    int polls_after = 0;  // the receiver's time, since the fake clips take none
  };
  // Given one command (without its CR), the lines the receiver sends back.
  using Script = std::function<std::vector<Answer>(const std::string& command)>;
  struct Record {
    std::vector<std::string> commands;
    std::deque<std::pair<std::string, long>> pending;  // bytes, poll count at arrival
    std::string arrived;
    long clock = 0;
    long last_arrival = 0;
  };

  // Puts a receiver running this script on port 1 of the context.
  static std::shared_ptr<Record> install(Context& cx, Script script) {
    auto record = std::make_shared<Record>();
    cx.ports.devices[1] = std::make_unique<ScriptedReceiver>(record, std::move(script));
    cx.st.com_port = 1;
    return record;
  }
  ScriptedReceiver(std::shared_ptr<Record> record, Script script) : r_(std::move(record)), script_(std::move(script)) {}

  bool set_line_format(int, int, int) override { return true; }
  void set_read_timeouts(int) override {}
  int bytes_waiting() override {
    ++r_->clock;
    return static_cast<int>(deliver().size());
  }
  int read(char* buffer, int max_count) override {
    std::string& bytes = deliver();
    const auto count = std::min(bytes.size(), static_cast<std::size_t>(std::max(max_count, 0)));
    std::copy_n(bytes.begin(), count, buffer);
    bytes.erase(0, count);
    return static_cast<int>(count);
  }
  int write(const char* bytes, int count) override {
    for (const char c : std::string(bytes, static_cast<std::size_t>(count))) {
      if (c != '\r') {
        line_.push_back(c);
        continue;
      }
      r_->commands.push_back(line_);
      for (auto& answer : script_(line_)) {
        r_->last_arrival = std::max(r_->clock, r_->last_arrival) + answer.polls_after;
        r_->pending.emplace_back(std::move(answer.bytes), r_->last_arrival);
      }
      line_.clear();
    }
    return count;
  }

 private:
  // Moves the lines whose time has come to the bytes that can be read.
  std::string& deliver() {
    while (!r_->pending.empty() && r_->pending.front().second <= r_->clock) {
      r_->arrived += r_->pending.front().first;
      r_->pending.pop_front();
    }
    return r_->arrived;
  }

  std::shared_ptr<Record> r_;
  Script script_;
  std::string line_;
};

}  // namespace talvaro::testing
