#pragma once
// A receiver at the far end of port 1 that answers each command the panel
// sends, one reply line per read, so that exchanges spread over several
// receives (bank listings, the bank size check) can be scripted.

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
    // Port polls (waiting-byte counts) after the previous line before this
    // one arrives: the receiver's time, since the fake clips take none.
    int polls_after = 0;
  };
  // Given one command (without its CR), the lines the receiver sends back.
  using Script = std::function<std::vector<Answer>(const std::string& command)>;

  struct Record {
    std::vector<std::string> commands;
    struct Pending {
      std::string bytes;
      long arrival = 0;
    };
    std::deque<Pending> pending;
    long clock = 0;
    long last_arrival = 0;
  };

  ScriptedReceiver(std::shared_ptr<Record> record, Script script)
      : record_(std::move(record)), script_(std::move(script)) {}

  // Puts a receiver running this script on port 1 of the context.
  static std::shared_ptr<Record> install(Context& cx, Script script) {
    auto record = std::make_shared<Record>();
    cx.ports.devices[1] = std::make_unique<ScriptedReceiver>(record, std::move(script));
    cx.st.com_port = 1;
    return record;
  }

  bool set_line_format(int, int, int) override { return true; }
  void set_read_timeouts(int) override {}
  // Every poll moves the receiver's time on by one step.
  int bytes_waiting() override {
    ++record_->clock;
    return static_cast<int>(arrived().size());
  }
  int read(char* buffer, int max_count) override {
    const std::string bytes = arrived().substr(0, static_cast<std::size_t>(std::max(max_count, 0)));
    std::copy(bytes.begin(), bytes.end(), buffer);
    std::size_t left = bytes.size();
    while (left > 0) {
      auto& first = record_->pending.front();
      const std::size_t taken = std::min(left, first.bytes.size());
      first.bytes.erase(0, taken);
      left -= taken;
      if (first.bytes.empty()) record_->pending.pop_front();
    }
    return static_cast<int>(bytes.size());
  }
  int write(const char* bytes, int count) override {
    for (int i = 0; i < count; ++i) {
      if (bytes[i] != '\r') {
        line_.push_back(bytes[i]);
        continue;
      }
      record_->commands.push_back(line_);
      for (auto& answer : script_(line_)) {
        const long arrival = std::max(record_->clock, record_->last_arrival) + answer.polls_after;
        record_->last_arrival = arrival;
        record_->pending.push_back({std::move(answer.bytes), arrival});
      }
      line_.clear();
    }
    return count;
  }

 private:
  // The bytes that have arrived by now.
  std::string arrived() const {
    std::string bytes;
    for (const auto& line : record_->pending) {
      if (line.arrival > record_->clock) break;
      bytes += line.bytes;
    }
    return bytes;
  }

  std::shared_ptr<Record> record_;
  Script script_;
  std::string line_;
};

}  // namespace talvaro::testing
