// The whole panel driven by a script: start-up, then key downs and ups, timer
// ticks, bytes from a hostile receiver and bank files written into the working
// folder, all through the real event handler (dispatch, the poll cycle, bank
// operations, transfers, scans and search), then the shutdown.
//
// The receiver at the far end is the simulator's model, answering every
// command as the real receiver would, on a clock that moves with the ticks
// (100 ms each) and with every clip the panel waits for; the script can
// silence it, or slip its own bytes onto the line.
//
// Script: the first byte holds flags (bit 0: debug log on, bit 1: voice off).
// Then one operation after another:
//   0x00 code        key down with any key code
//   0x01             key up
//   0x02 n           n % 64 + 1 timer ticks
//   0x03             the receiver falls silent / answers again
//   0x04             settling after a key press off / on
//   0x05 n bytes     n bytes arrive from the receiver
//   0x06 b n1 n2 ... a bank file bank<b % 100>.dat of n1 + 256 * n2 bytes
//                    (ops before the first key or tick come before start-up,
//                    so a script can begin with a state record)
//   0x07             the window is closed
//   0x08             a carrier appears at the receiver's frequency / the
//                    carriers there go
//   any other byte   a key press (down, up), then ticks until the key has
//                    been dispatched and the poll cycle is idle, unless
//                    settling is off. Keys by name: digits, letters in either
//                    case, "." full stop, "," Delete, " " Space, "(" ")" "{"
//                    "}" Left, Right, Up, Down, "[" "]" Page Up, Page Down,
//                    "!" "@" "#" "$" "%" "&" F1 to F6, "~" F7, LF or CR
//                    Enter; any other byte is the key code itself.
// The work per input is bounded: at most max_ticks ticks in all.
// With FUZZ_PANEL_TRACE set in the environment, each input ends with the bytes
// on the line and the clips played, to follow a reproducer.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "clock.h"
#include "commands/keys.h"
#include "core/context.h"
#include "core/start/startup.h"
#include "fuzz_support.h"
#include "panel/poll/events.h"
#include "protocol.h"
#include "receiver.h"
#include "support/fakes.h"

namespace talvaro::fuzzing {
namespace {

constexpr int max_ticks = 4000;
constexpr int settle_ticks = 200;
constexpr ar8600sim::Millis tick_length{100};

class SimClock final : public ar8600sim::Clock {
 public:
  ar8600sim::Millis now() const override { return time; }
  ar8600sim::Millis time{0};
};

// The simulated receiver and the bytes in flight on the line.
struct Air {
  SimClock clock;
  ar8600sim::Receiver receiver{clock};
  ar8600sim::CommandSplitter splitter;
  std::deque<std::pair<std::string, ar8600sim::Millis>> pending;  // line, due time
  std::string arrived;                                            // bytes the panel can read
  std::string written;                                            // every byte the panel wrote
  bool silent = false;
  bool flow_stopped = false;

  void enqueue(const ar8600sim::Replies& replies) {
    if (silent) return;
    for (const auto& reply : replies) pending.emplace_back(reply.text + "\r\n", clock.time + reply.delay);
  }
  // Runs the receiver up to now and moves the lines that are due.
  void run(ar8600sim::Millis span) {
    clock.time += span;
    enqueue(receiver.advance());
    while (!flow_stopped && !pending.empty() && pending.front().second <= clock.time) {
      arrived += pending.front().first;
      pending.pop_front();
    }
  }
};

class SimDevice final : public SerialDevice {
 public:
  explicit SimDevice(Air& air) : air_(air) {}
  bool set_line_format(int, int, int) override { return true; }
  void set_read_timeouts(int) override {}
  int bytes_waiting() override {
    air_.run(ar8600sim::Millis{1});
    return static_cast<int>(air_.arrived.size());
  }
  int read(char* buffer, int max_count) override {
    const auto count = std::min(air_.arrived.size(), static_cast<std::size_t>(std::max(max_count, 0)));
    std::copy_n(air_.arrived.begin(), count, buffer);
    air_.arrived.erase(0, count);
    return static_cast<int>(count);
  }
  int write(const char* bytes, int count) override {
    if (count <= 0) return 0;
    const std::string_view sent(bytes, static_cast<std::size_t>(count));
    air_.written += sent;
    using Kind = ar8600sim::ReceivedItem::Kind;
    for (const auto& item : air_.splitter.feed(sent)) {
      switch (item.kind) {
        case Kind::command:
          air_.enqueue(item.overlong ? air_.receiver.handle_overlong() : air_.receiver.handle_command(item.text));
          break;
        case Kind::key:
          air_.enqueue(air_.receiver.handle_key(item.byte));
          break;
        case Kind::flow_off:
        case Kind::flow_on:
          air_.flow_stopped = item.kind == Kind::flow_off;
          break;
      }
    }
    return count;
  }

 private:
  Air& air_;
};

class SimPorts final : public SerialPorts {
 public:
  explicit SimPorts(Air& air) : air_(air) {}
  std::unique_ptr<SerialDevice> open(int port_number, int) override {
    return port_number == 1 ? std::make_unique<SimDevice>(air_) : nullptr;
  }

 private:
  Air& air_;
};

// Plays nothing; a clip the panel waits for lets the receiver's time run for
// the clip's length.
class TimedAudio final : public Audio {
 public:
  explicit TimedAudio(Air& air) : air_(air) {}
  void play(std::shared_ptr<const Sound> sound, bool wait) override {
    if (trace && sound) clips += std::filesystem::path(sound->path).stem().string() + " ";
    if (wait && sound)
      air_.run(std::chrono::duration_cast<ar8600sim::Millis>(std::chrono::duration<double>(sound->seconds())));
  }
  void stop() override {}

  bool trace = false;
  std::string clips;  // names of the clips played, while tracing

 private:
  Air& air_;
};

// A display that keeps nothing but the count of draws.
class CountingDisplay final : public Display {
 public:
  bool open_window(const WindowSpec&) override { return true; }
  void close_window() override {}
  int draw_text(int, int, std::string_view text, const FontSpec&, int) override {
    ++draws;
    return static_cast<int>(text.size()) * 10;
  }
  long draws = 0;
};

// The working folder with the clips (the pause clip as long as the real one,
// every other clip a few samples), made once for the whole run (in memory
// where the machine allows) and removed at its end.
testing::Bench& folder() {
  static const bool in_memory = (prefer_memory_folders(), true);
  (void)in_memory;
  static testing::Bench bench;
  static const bool made = [] {
    bench.make_clips();
    bench.write_file("wave/shdel.wav", testing::tiny_wav(1200, 8000));
    return true;
  }();
  (void)made;
  return bench;
}

// The clips looked up so far, handed from run to run: the clip files never
// change, and reading them again for every input would cost most of its time.
ClipCache& clip_cache() {
  static ClipCache cache;
  return cache;
}

// Leaves only the clips in the working folder.
void clear_folder(const std::filesystem::path& dir) {
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().filename() != "wave") std::filesystem::remove_all(entry.path());
  }
}

int key_for_byte(unsigned char byte) {
  static const std::array<int, 256> table = [] {
    std::array<int, 256> keys{};
    for (int i = 0; i < 256; ++i) keys[static_cast<std::size_t>(i)] = i;
    for (int c = 'a'; c <= 'z'; ++c) keys[static_cast<std::size_t>(c)] = c - 'a' + 'A';
    const std::pair<char, int> named[] = {
        {'.', key::full_stop}, {',', key::point},   {'(', key::left},      {')', key::right},  {'{', key::up},
        {'}', key::down},      {'[', key::page_up}, {']', key::page_down}, {'\n', key::enter}, {'\r', key::enter},
        {'!', key::f1},        {'@', key::f1 + 1},  {'#', key::f1 + 2},    {'$', key::f1 + 3}, {'%', key::f1 + 4},
        {'&', key::f1 + 5},    {'~', key::f7}};
    for (const auto& [c, code] : named) keys[static_cast<unsigned char>(c)] = code;
    return keys;
  }();
  return table[byte];
}

class Script {
 public:
  Script(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool done() const { return at_ >= size_; }
  std::uint8_t next() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint8_t peek() const { return at_ < size_ ? data_[at_] : 0; }
  std::string bytes(std::size_t count) {
    count = std::min(count, size_ - at_);
    std::string out(reinterpret_cast<const char*>(data_ + at_), count);
    at_ += count;
    return out;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

enum Op : std::uint8_t {
  op_key_down = 0,
  op_key_up,
  op_ticks,
  op_silence,
  op_settling,
  op_receiver_bytes,
  op_bank_file,
  op_close,
  op_carrier
};

// Cheap checks of the state after every operation.
void check_state(const State& st) {
  const bool sound = st.key_queue_length >= 0 && st.key_queue_length <= key_queue_size && st.bank_cell_index >= -2 &&
                     st.bank_cell_index < bank_table_size && st.pass_list_count >= 1 &&
                     st.pass_list_count <= pass_list_size && st.meter_state >= MeterState::idle &&
                     st.meter_state <= MeterState::read_scan_stop && st.found_count >= 0 && st.found_count <= 91;
  if (!sound) __builtin_trap();
}

// Below 32 only CR and the receiver's up-key byte (30, for Space) go on the
// line, whatever the receiver sends and the files hold; checked unless the
// script typed a control key (a raw command sends its keys as they are).
bool clean_line(std::string_view written) {
  return std::all_of(written.begin(), written.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 32 || c == '\r' || c == 30; });
}

class Run {
 public:
  explicit Run(Script& script)
      : script_(script),
        ports_(air_),
        audio_(air_),
        platform_{display_, audio_, ports_, folder().clock, folder().events, ""},
        cx_(std::make_unique<Context>(platform_)) {
    audio_.trace = std::getenv("FUZZ_PANEL_TRACE") != nullptr;
    air_.receiver.add_signal({145'500'000, 49, {}, {}, {}, {}});
    air_.receiver.add_signal({146'000'000, 30, {}, {}, ar8600sim::Millis{1000}, ar8600sim::Millis{2000}});
  }

  void go() {
    const std::uint8_t flags = script_.next();
    folder().write_config(1, 9600, (flags & 2) ? 0 : 1, flags & 1);
    // Files and receiver bytes before the first key or tick are there at start-up.
    while (!script_.done() && (script_.peek() == op_bank_file || script_.peek() == op_receiver_bytes)) step();
    cx_->clips = std::move(clip_cache());
    if (!start_up(*cx_)) __builtin_trap();
    cx_->st.running = 1;
    while (!script_.done() && cx_->st.running != 0) {
      step();
      check_state(cx_->st);
    }
    shut_down(*cx_, true);
    clip_cache() = std::move(cx_->clips);
    if (!control_key_ && !clean_line(air_.written)) __builtin_trap();
    if (audio_.trace) {
      std::fprintf(stderr, "line: %s\nclips: %s\nticks: %d\n", ar8600sim::visible_text(air_.written).c_str(),
                   audio_.clips.c_str(), ticks_);
    }
  }

 private:
  void event(int code, int param = 0) {
    if (code == event_timer) {
      if (ticks_ >= max_ticks) return;
      ++ticks_;
      air_.run(tick_length);
    }
    if (cx_->st.running != 0) handle_event(*cx_, code, param);
  }
  void key_down(int key_code) {
    // A raw command typed in the debug mode sends the key codes as bytes.
    if (key_code < 32 && key_code != key::enter) control_key_ = true;
    event(event_key_down, key_code);
  }
  void press(int key_code) {
    key_down(key_code);
    event(event_key_up);
    if (!settling_) return;
    for (int i = 0; i < settle_ticks && cx_->st.running != 0 && ticks_ < max_ticks; ++i) {
      if (cx_->st.key_queue_length == 0 && cx_->st.meter_state == MeterState::idle) break;
      event(event_timer);
    }
  }
  void step() {
    const std::uint8_t op = script_.next();
    switch (op) {
      case op_key_down:
        key_down(script_.next());
        break;
      case op_key_up:
        event(event_key_up);
        break;
      case op_ticks:
        for (int n = script_.next() % 64 + 1; n > 0; --n) event(event_timer);
        break;
      case op_silence:
        air_.silent = !air_.silent;
        break;
      case op_settling:
        settling_ = !settling_;
        break;
      case op_receiver_bytes:
        air_.arrived += script_.bytes(script_.next());
        break;
      case op_bank_file: {
        const int number = script_.next() % 100;
        const std::size_t length = script_.next() + 256u * script_.next();
        const std::string name =
            std::string("bank") + static_cast<char>('0' + number / 10) + static_cast<char>('0' + number % 10) + ".dat";
        std::ofstream(folder().dir / name, std::ios::binary | std::ios::trunc) << script_.bytes(length);
        break;
      }
      case op_close:
        event(event_close);
        break;
      case op_carrier: {
        const std::int64_t hz = air_.receiver.tuned().hz;
        carrier_ = !carrier_;
        if (carrier_) {
          air_.receiver.add_signal({hz, 60, {}, {}, {}, {}});
        } else {
          air_.receiver.remove_signals_at(hz);
        }
        break;
      }
      default:
        press(key_for_byte(op));
        break;
    }
  }

  Script& script_;
  Air air_;
  SimPorts ports_;
  TimedAudio audio_;
  CountingDisplay display_;
  Platform platform_;
  std::unique_ptr<Context> cx_;
  int ticks_ = 0;
  bool settling_ = true;
  bool carrier_ = false;
  bool control_key_ = false;
};

}  // namespace
}  // namespace talvaro::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace talvaro::fuzzing;
  clear_folder(folder().dir);
  Script script(data, size);
  // The state is large (two bank tables); keep it off the stack.
  auto run = std::make_unique<Run>(script);
  run->go();
  return 0;
}
