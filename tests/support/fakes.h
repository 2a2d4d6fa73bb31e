#pragma once
// Recording fakes of the platform services, and a bench that runs the core
// on them in a fresh temporary working folder.

#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/context.h"
#include "core/platform.h"

namespace talvaro::testing {

struct DrawCall {
  int x = 0;
  int y = 0;
  std::string text;
  FontSpec font;
  int colour = 0;
};

// Records every draw; each character is 10 pixels wide.
class FakeDisplay final : public Display {
 public:
  bool open_window(const WindowSpec& spec) override {
    window = spec;
    opened = true;
    return true;
  }
  void close_window() override { closed = true; }
  int draw_text(int x, int y, std::string_view text, const FontSpec& font, int rgb) override {
    draws.push_back({x, y, std::string(text), font, rgb});
    return static_cast<int>(text.size()) * 10;
  }
  // The last text drawn with its top-left corner at (x, y), or "".
  std::string text_at(int x, int y) const;
  // Every text drawn, joined with "|" (for quick assertions).
  std::string all_text() const;

  WindowSpec window;
  bool opened = false;
  bool closed = false;
  std::vector<DrawCall> draws;
};

struct PlayCall {
  std::string clip;  // file name without folder and extension, lower case
  std::string path;
  bool wait = true;
};

// Records clips; plays nothing and takes no time.
class FakeAudio final : public Audio {
 public:
  void play(std::shared_ptr<const Sound> sound, bool wait) override;
  void stop() override { ++stops; }
  // Clip names played, in order, skipping "shdel" unless asked.
  std::vector<std::string> spoken(bool with_pauses = false) const;
  std::string spoken_text(bool with_pauses = false) const;  // joined with " "

  std::vector<PlayCall> plays;
  int stops = 0;
};

// A serial device whose far end is the test: it sees every byte written and
// supplies the bytes to read.
class FakeSerialDevice final : public SerialDevice {
 public:
  struct Line {
    std::string written;   // everything the panel wrote
    std::string incoming;  // bytes waiting to be read by the panel
    int data_bits = 8;
    int parity = 0;
    int stop_bits = 1;
    int read_timeout = 0;
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

class FakeSerialPorts final : public SerialPorts {
 public:
  std::unique_ptr<SerialDevice> open(int port_number, int baud) override;

  std::shared_ptr<FakeSerialDevice::Line> line = std::make_shared<FakeSerialDevice::Line>();
  int available_port = 1;  // the one port number that opens
  bool refuse = false;
  int opened_port = 0;
  int opened_baud = 0;
  int open_count = 0;
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

// Runs the core on the fakes inside a fresh temporary folder, which becomes
// the working folder for the bench's lifetime.
class Bench {
 public:
  Bench();
  ~Bench();
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  // Writes a file (bytes as given) into the working folder.
  void write_file(const std::string& name, const std::string& bytes) const;
  std::string read_file(const std::string& name) const;
  bool exists(const std::string& name) const;
  // Writes TALVARO.CFG: port digit, baud, voice, debug.
  void write_config(int port = 1, int baud = 9600, int voice = 1, int debug = 1) const;
  // Creates wave/ with a tiny playable clip for every clip of the inventory.
  void make_clips() const;

  // Sets up the start-up values of the state as the program does before
  // connection start (folders, version, banner), without a window.
  void prime_state();
  // Key press (down then up) through the event handler, and timer ticks.
  void press(int key_code);
  void tick(int count = 1);
  // Ticks until the key queue is empty and the poll cycle is idle again.
  void settle(int max_ticks = 200);
  // Bytes the panel wrote to the serial line since the last call, commands
  // split at CR (byte 30 shown as "<RS>").
  std::vector<std::string> take_commands();
  // Queues bytes for the panel to read.
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

// A minimal valid PCM WAV of the given number of 16-bit mono samples.
std::string tiny_wav(int samples = 8, int sample_rate = 8000);

}  // namespace talvaro::testing
