#include "support/fakes.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <fstream>
#include <sstream>

#include "commands/keys.h"
#include "core/start/connection.h"
#include "link/serial.h"
#include "panel/poll/events.h"
#include "voice/clip_inventory.h"

namespace talvaro::testing {

DrawCall FakeDisplay::at(int x, int y) const {
  auto it = std::find_if(draws.rbegin(), draws.rend(), [&](const DrawCall& d) { return d.x == x && d.y == y; });
  return it == draws.rend() ? DrawCall{} : *it;
}

void FakeAudio::play(std::shared_ptr<const Sound> sound, bool wait) {
  const std::string path = sound ? sound->path : std::string();
  std::string name = std::filesystem::path(path).stem().string();
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  plays.push_back({name, path, wait});
}

std::vector<std::string> FakeAudio::spoken(bool with_pauses) const {
  std::vector<std::string> names;
  for (const auto& call : plays)
    if (with_pauses || call.clip != "shdel") names.push_back(call.clip);
  return names;
}

std::string FakeAudio::spoken_text(bool with_pauses) const {
  std::string joined;
  for (const auto& name : spoken(with_pauses)) joined += (joined.empty() ? "" : " ") + name;
  return joined;
}

bool FakeSerialDevice::set_line_format(int data_bits, int parity, int stop_bits) {
  if (line_->hung_up) return false;
  line_->data_bits = data_bits;
  line_->parity = parity;
  line_->stop_bits = stop_bits == 1 ? 1 : 2;
  return true;
}

int FakeSerialDevice::bytes_waiting() {
  if (line_->hung_up) return 0;
  ++line_->clock;
  return read(nullptr, 0), static_cast<int>(line_->incoming.size());
}

int FakeSerialDevice::read(char* buffer, int max_count) {
  // The answers whose time has come can be read.
  for (auto& p = line_->pending; !p.empty() && p.front().second <= line_->clock; p.pop_front())
    line_->incoming += p.front().first;
  if (line_->hung_up || max_count <= 0) return 0;
  const auto count = std::min<std::size_t>(line_->incoming.size(), static_cast<std::size_t>(max_count));
  std::copy_n(line_->incoming.begin(), count, buffer);
  line_->incoming.erase(0, count);
  return static_cast<int>(count);
}

int FakeSerialDevice::write(const char* bytes, int count) {
  if (line_->hung_up || count <= 0) return 0;
  Line& l = *line_;
  l.written.append(bytes, static_cast<std::size_t>(count));
  // Byte 30 (resume the scan) stands on its own, outside any command line.
  for (int i = 0; i < count; ++i) l.partial += bytes[i] == 30 ? "" : std::string(1, bytes[i]);
  for (auto end = l.partial.find('\r'); end != std::string::npos; end = l.partial.find('\r')) {
    const std::string command = l.partial.substr(0, end);
    l.partial.erase(0, end + 1);
    for (auto& answer : l.script ? l.script(command) : std::vector<Answer>{}) {
      l.last_arrival = std::max(l.clock, l.last_arrival) + answer.polls_after;
      l.pending.emplace_back(std::move(answer.bytes), l.last_arrival);
    }
  }
  return count;
}

std::unique_ptr<SerialDevice> FakeSerialPorts::open(int port_number, int baud) {
  ++open_count;
  if (port_number != available_port) return nullptr;
  opened_port = port_number;
  opened_baud = baud;
  return std::make_unique<FakeSerialDevice>(line);
}

void FakeEvents::wait_events(std::vector<Event>& events) {
  events.push_back(script.empty() ? Event{event_close, 0} : script.front());
  if (!script.empty()) script.pop_front();
}

Bench::Bench()
    : platform{display, audio, serial, clock, events, ""},
      cx(std::make_unique<Context>(platform)),
      st(cx->st),
      previous_dir_(std::filesystem::current_path()) {
  static std::atomic<int> counter{0};
  dir = std::filesystem::temp_directory_path() /
        ("talvaro-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
}

Bench::~Bench() {
  cx.reset();
  std::error_code ignored;
  std::filesystem::current_path(previous_dir_, ignored);
  std::filesystem::remove_all(dir, ignored);
}

void Bench::write_file(const std::string& name, const std::string& bytes) const {
  const auto path = dir / name;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Bench::read_file(const std::string& name) const {
  std::ostringstream all;
  all << std::ifstream(dir / name, std::ios::binary).rdbuf();
  return all.str();
}

void Bench::write_config(int port, int baud, int voice, int debug) const {
  write_file("TALVARO.CFG", "PRT=COM" + std::to_string(port) + "\r\nBAUDR=" + std::to_string(baud) +
                                "\r\nDEVIC=AR8600\r\nVOICE=" + std::to_string(voice) +
                                "\r\nDEBUG=" + std::to_string(debug) + "\r\n");
}

std::string tiny_wav(int samples, int sample_rate) {
  auto le = [](std::uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
  };
  const auto data = static_cast<std::uint32_t>(samples * 2);
  const auto rate = static_cast<std::uint32_t>(sample_rate);
  return "RIFF" + le(36 + data, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(rate, 4) + le(rate * 2, 4) +
         le(2, 2) + le(16, 2) + "data" + le(data, 4) + std::string(data, '\0');
}

void Bench::make_clips() const {
  for (auto name : clip_inventory) write_file("wave/" + std::string(name) + ".wav", tiny_wav());
}

void Bench::prime_state() {
  st.version_text = "4.1b";
  st.banner_text = cat("*** Talvaro V ", st.version_text, " ***");
  st.wave_path = "wave\\";
  st.pause_wave_path = "wave\\";
}

void Bench::press(int key_code) {
  handle_event(*cx, event_key_down, key_code);
  handle_event(*cx, event_key_up, 0);
}

void Bench::tick(int count) {
  for (int i = 0; i < count; ++i) handle_event(*cx, event_timer, 0);
}

void Bench::settle(int max_ticks) {
  for (int i = 0; i < max_ticks && (st.key_queue_length != 0 || st.meter_state != MeterState::idle); ++i) tick();
}

std::vector<std::string> Bench::take_commands() {
  const std::string& written = serial.line->written;
  std::vector<std::string> commands;
  std::string current;  // an unterminated tail stays for the next call
  for (std::size_t i = taken_; i < written.size(); ++i) {
    const char c = written[i];
    if (c == '\r' || (c == 30 && !current.empty())) commands.push_back(current);
    if (c == 30) commands.push_back("<RS>");
    current = c == '\r' || c == 30 ? "" : current + c;
  }
  taken_ = written.size() - current.size();
  return commands;
}

std::string bank_file(const std::string& name, const std::string& mode, const std::string& step,
                      const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string bytes = name + "\r\n" + mode + "\r\n" + step + "\r\n \r\n";
  for (const auto& [frequency, label] : entries) bytes += frequency + "\r\n" + label + "\r\n";
  return bytes + "9999\r\n";
}

Panel::Panel(int debug, const std::map<std::string, std::string>& files, bool connect) {
  make_clips();
  for (const auto& [name, bytes] : files) write_file(name, bytes);
  prime_state();
  st.config_port_text = "COM1";
  st.config_baud_text = "9600";
  st.debug_enabled = debug;
  if (debug == 1) open_text_file(st.debug_file, "debug1.dat", "W");
  script([this](const std::string& command) {
    if (command == "LM") return Answers{{level, 0}};
    const auto it = replies.find(command);
    return it == replies.end() ? Answers{} : Answers{{it->second, 0}};
  });
  connection_start(*cx);
  st.running = 1;
  for (int i = 0; connect && i < 6 && st.connection_state != ConnectionState::answered; ++i) tick();
  if (connect) settle();
  forget();
}

void Panel::keys(std::initializer_list<int> codes) {
  for (const int code : codes) press(code), settle();
}

void Panel::type(const std::string& text) {
  static const std::map<char, int> named = {
      {'\n', key::enter}, {'.', key::full_stop}, {',', key::point},    {'~', key::space},
      {'#', 16},          {'^', key::up},        {'_', key::down},     {'<', key::left},
      {'>', key::right},  {'{', key::page_up},   {'}', key::page_down}};
  for (const char c : text) keys({named.contains(c) ? named.at(c) : int{c}});
}

void Panel::forget() {
  take_commands();
  audio.plays.clear();
  display.draws.clear();
}

std::string Bench::sent() {
  std::string all;
  for (const auto& command : take_commands()) all += (all.empty() ? "" : "|") + command;
  return all;
}

}  // namespace talvaro::testing
