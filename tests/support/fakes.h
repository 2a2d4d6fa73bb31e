#pragma once
// Recording fakes of the platform services, a bench running the core on them,
// and a panel connected to a scripted receiver.

#include <deque>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/context.h"
#include "core/platform.h"

namespace talvaro::testing {

struct DrawCall {
  int x = 0, y = 0;
  std::string text;
  FontSpec font;
  int colour = 0;
};

// Records every draw; each character is 10 pixels wide.
class FakeDisplay final : public Display {
 public:
  bool open_window(const WindowSpec& spec) override { return window = spec, true; }
  void close_window() override { closed = true; }
  int draw_text(int x, int y, std::string_view text, const FontSpec& font, int rgb) override {
    draws.push_back({x, y, std::string(text), font, rgb});
    return static_cast<int>(text.size()) * 10;
  }
  // The last draw with its top-left corner at (x, y), or an empty one.
  DrawCall at(int x, int y) const;
  std::string text_at(int x, int y) const { return at(x, y).text; }

  WindowSpec window;
  bool closed = false;
  std::vector<DrawCall> draws;
};

struct PlayCall {
  std::string clip, path;  // clip: the file name without folder and extension, lower case
  bool wait = true;
};

// Records clips; plays nothing and takes no time.
class FakeAudio final : public Audio {
 public:
  void play(std::shared_ptr<const Sound> sound, bool wait) override;
  void stop() override { ++stops; }
  // Clip names played, in order, skipping the pause "shdel" unless asked.
  std::vector<std::string> spoken(bool with_pauses = false) const;
  std::string spoken_text(bool with_pauses = false) const;  // joined with " "
  long pauses() const { return static_cast<long>(spoken(true).size() - spoken().size()); }

  std::vector<PlayCall> plays;
  int stops = 0;
};

// The far end of the serial line: every byte written, bytes queued to read, and
// a script that answers each command line some port polls after the last.
class FakeSerialDevice final : public SerialDevice {
 public:
  struct Answer {
    std::string bytes;
    int polls_after = 0;
  };
  using Script = std::function<std::vector<Answer>(const std::string& command)>;
  struct Line {
    std::string written, incoming, partial;
    Script script;
    std::deque<std::pair<std::string, long>> pending;  // bytes, poll count at arrival
    long clock = 0, last_arrival = 0;
    int data_bits = 8, parity = 0, stop_bits = 1, read_timeout = 0;
    bool hung_up = false;
  };
  explicit FakeSerialDevice(std::shared_ptr<Line> line) : line_(std::move(line)) {}
  bool set_line_format(int data_bits, int parity, int stop_bits) override;
  void set_read_timeouts(int multiplier) override { line_->read_timeout = multiplier; }
  int bytes_waiting() override;
  int read(char* buffer, int max_count) override;
  int write(const char* bytes, int count) override;

 private:
  std::shared_ptr<Line> line_;
};
using Answers = std::vector<FakeSerialDevice::Answer>;

class FakeSerialPorts final : public SerialPorts {
 public:
  std::unique_ptr<SerialDevice> open(int port_number, int baud) override;

  std::shared_ptr<FakeSerialDevice::Line> line = std::make_shared<FakeSerialDevice::Line>();
  int available_port = 1;  // the one port number that opens
  int opened_port = 0, opened_baud = 0, open_count = 0;
};

class FakeClock final : public Clock {
 public:
  LocalTime local_time() override { return now; }
  LocalTime now{2026, 12, 6, 9, 5, 7};
};

// Hands out scripted events; when the script is empty it asks to close.
class FakeEvents final : public EventSource {
 public:
  void start_timer(int period_ms) override { timer_period = period_ms; }
  void stop_timer() override { timer_stopped = true; }
  void wait_events(std::vector<Event>& events) override;

  std::deque<Event> script;
  int timer_period = 0;
  bool timer_stopped = false;
};

// Runs the core on the fakes in a fresh temporary working folder.
class Bench {
 public:
  Bench();
  ~Bench();
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  void write_file(const std::string& name, const std::string& bytes) const;
  std::string read_file(const std::string& name) const;  // "" when missing
  bool exists(const std::string& name) const { return std::filesystem::exists(dir / name); }
  // Writes TALVARO.CFG: port digit, baud, voice, debug.
  void write_config(int port = 1, int baud = 9600, int voice = 1, int debug = 1) const;
  void make_clips() const;
  void prime_state();
  void press(int key_code);
  void tick(int count = 1);
  void settle(int max_ticks = 400);
  // Lines the panel wrote since the last call, split at CR (byte 30 as "<RS>").
  std::vector<std::string> take_commands();
  std::string sent();  // the same, joined with "|"
  void reply(const std::string& bytes) { serial.line->incoming += bytes; }

  std::filesystem::path dir;
  FakeDisplay display;
  FakeAudio audio;
  FakeSerialPorts serial;
  FakeClock clock;
  FakeEvents events;
  Platform platform;
  std::unique_ptr<Context> cx;
  State& st;

 private:
  std::filesystem::path previous_dir_;
  std::size_t taken_ = 0;
};

// The bytes of a bank file with these entries (frequency, label).
std::string bank_file(const std::string& name, const std::string& mode, const std::string& step,
                      const std::vector<std::pair<std::string, std::string>>& entries);

// The panel once connected by the real connection start to a receiver that
// answers "LM" with `level` and the commands in `replies`; what happened up to
// then is forgotten. Unless `connect`, it stops after connection start.
class Panel : public Bench {
 public:
  explicit Panel(int debug = 0, const std::map<std::string, std::string>& files = {}, bool connect = true);
  // Each key pressed and dispatched. In text: "\n" Enter, "," Delete, "~"
  // Space, "#" Shift, "^_<>" arrows, "{}" Page Up/Down, "p" to "v" F1 to F7.
  void keys(std::initializer_list<int> codes);
  void type(const std::string& text);
  // One level poll from idle answered with this reply ("" for none).
  void poll(const std::string& reply) { level = reply, tick(3); }
  void forget();
  std::string spoken() const { return audio.spoken_text(); }
  DrawCall at(int x, int y) const { return display.at(x, y); }
  void script(FakeSerialDevice::Script s) { serial.line->script = std::move(s); }

  std::string level = "LM%000\r\n";
  std::map<std::string, std::string> replies;
};

// A minimal valid PCM WAV of the given number of 16-bit mono samples.
std::string tiny_wav(int samples = 8, int sample_rate = 8000);

}  // namespace talvaro::testing
