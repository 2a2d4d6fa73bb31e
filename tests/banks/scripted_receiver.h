#pragma once
// A receiver at the far end of port 1 that answers each command the panel
// sends with scripted lines, each arriving some port polls after the previous
// one (the receiver's time, since the fake clips take none), so that
// exchanges spread over several receives can be scripted.

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
    int polls_after = 0;
  };
  // Given one command (without its CR), the lines the receiver sends back.
  using Script = std::function<std::vector<Answer>(const std::string& command)>;
  struct Record {
    std::vector<std::string> commands;
    std::deque<std::pair<std::string, long>> pending;  // bytes, poll count at arrival
    std::string arrived, line;
    long clock = 0, last_arrival = 0;
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
    r_->line.append(bytes, static_cast<std::size_t>(count));
    for (auto end = r_->line.find('\r'); end != std::string::npos; end = r_->line.find('\r')) {
      r_->commands.push_back(r_->line.substr(0, end));
      r_->line.erase(0, end + 1);
      for (auto& answer : script_(r_->commands.back())) {
        r_->last_arrival = std::max(r_->clock, r_->last_arrival) + answer.polls_after;
        r_->pending.emplace_back(std::move(answer.bytes), r_->last_arrival);
      }
    }
    return count;
  }

 private:
  // Moves the lines whose time has come to the bytes that can be read.
  std::string& deliver() {
    for (; !r_->pending.empty() && r_->pending.front().second <= r_->clock; r_->pending.pop_front())
      r_->arrived += r_->pending.front().first;
    return r_->arrived;
  }

  std::shared_ptr<Record> r_;
  Script script_;
};

}  // namespace talvaro::testing
