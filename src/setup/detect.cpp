#include "setup/detect.h"

#include <string>
#include <string_view>
#include <utility>

#include "link/receiver.h"

namespace talvaro::setup {

namespace {

// The level query is harmless at any time and answered at once, with a
// reply that starts with its own command.
constexpr std::string_view reply_start = receiver::command::level;
// A line longer than any reply is junk; so are bytes beyond it.
constexpr std::size_t longest_reply = 64;
// Reads per step: bounds a step on a line that never stops sending.
constexpr int reads_per_step = 16;

// A command as the receiver takes it: ended by CR.
void send(SerialDevice& device, std::string_view command) {
  const std::string line = std::string(command) + "\r";
  device.write(line.data(), static_cast<int>(line.size()));
}

}  // namespace

Detector::Detector(PortFinder& finder, std::vector<NumberedPort> ports, std::vector<int> bauds)
    : finder_(finder), ports_(std::move(ports)), bauds_(std::move(bauds)) {
  if (bauds_.empty()) port_ = ports_.size();
}

// Reads what has arrived; true once a whole line beginning with "LM" is in.
// A line that begins otherwise is junk (a wrong speed, another device) and is
// dropped; the try goes on until its time is up.
bool Detector::answered() {
  char buffer[longest_reply];
  for (int reads = 0; reads < reads_per_step; ++reads) {
    const int count = device_->read(buffer, static_cast<int>(sizeof buffer));
    if (count <= 0) break;
    for (const char c : std::string_view(buffer, static_cast<std::size_t>(count))) {
      if (c == '\r') {
        if (received_.starts_with(reply_start)) return true;
        received_.clear();
      } else if (c == '\n' && received_.empty()) {
        continue;  // the LF of the CR LF before
      } else if (received_.size() < longest_reply) {
        received_.push_back(c);
      } else {
        received_ = "junk";  // too long: no longer a reply, whatever follows
      }
    }
  }
  return false;
}

void Detector::start_try(TimePoint now) {
  device_->set_read_timeouts(-1);
  // What was waiting before the question is not its answer.
  char buffer[longest_reply];
  for (int reads = 0; reads < reads_per_step && device_->bytes_waiting() > 0; ++reads) {
    if (device_->read(buffer, static_cast<int>(sizeof buffer)) <= 0) break;
  }
  received_.clear();
  send(*device_, receiver::command::level);
  deadline_ = now + reply_time_limit;
}

Detector::Event Detector::step(TimePoint now) {
  if (finished_) return Event::none;
  if (device_) {
    if (answered()) {
      send(*device_, receiver::command::exit_remote);
      device_.reset();
      finished_ = true;
      return Event::found;
    }
    if (now < deadline_) return Event::none;
    device_.reset();  // gives the port its settings back
    ++baud_;
  }
  while (port_ < ports_.size()) {
    if (baud_ == bauds_.size()) {
      ++port_;
      baud_ = 0;
      continue;
    }
    device_ = finder_.open_device(ports_[port_].port.device, bauds_[baud_]);
    if (!device_) {
      unopened_ = port_++;
      baud_ = 0;
      return Event::unopened;
    }
    const receiver::LineFormat& format = receiver::line_format;
    if (device_->set_line_format(format.data_bits, format.parity, format.stop_bits)) {
      start_try(now);
      return Event::none;
    }
    device_.reset();
    ++baud_;
  }
  finished_ = true;
  return Event::no_answer;
}

}  // namespace talvaro::setup
