#include "support/fakes.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "commands/keys.h"
#include "panel/poll/events.h"
#include "voice/clip_inventory.h"

namespace talvaro::testing {

std::string FakeDisplay::text_at(int x, int y) const {
  for (auto it = draws.rbegin(); it != draws.rend(); ++it) {
    if (it->x == x && it->y == y) return it->text;
  }
  return {};
}

std::string FakeDisplay::all_text() const {
  std::string joined;
  for (const auto& draw : draws) {
    if (!joined.empty()) joined += "|";
    joined += draw.text;
  }
  return joined;
}

void FakeAudio::play(std::shared_ptr<const Sound> sound, bool wait) {
  PlayCall call;
  call.path = sound ? sound->path : std::string();
  std::string name = std::filesystem::path(call.path).filename().string();
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (name.size() > 4 && name.ends_with(".wav")) name.resize(name.size() - 4);
  call.clip = name;
  call.wait = wait;
  plays.push_back(call);
}

std::vector<std::string> FakeAudio::spoken(bool with_pauses) const {
  std::vector<std::string> names;
  for (const auto& call : plays) {
    if (!with_pauses && call.clip == "shdel") continue;
    names.push_back(call.clip);
  }
  return names;
}

std::string FakeAudio::spoken_text(bool with_pauses) const {
  std::string joined;
  for (const auto& name : spoken(with_pauses)) {
    if (!joined.empty()) joined += " ";
    joined += name;
  }
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
  return static_cast<int>(line_->incoming.size());
}

int FakeSerialDevice::read(char* buffer, int max_count) {
  if (line_->hung_up || max_count <= 0) return 0;
  const auto count = std::min<std::size_t>(line_->incoming.size(), static_cast<std::size_t>(max_count));
  std::copy_n(line_->incoming.begin(), count, buffer);
  line_->incoming.erase(0, count);
  return static_cast<int>(count);
}

int FakeSerialDevice::write(const char* bytes, int count) {
  if (line_->hung_up || count <= 0) return 0;
  line_->written.append(bytes, static_cast<std::size_t>(count));
  return count;
}

std::unique_ptr<SerialDevice> FakeSerialPorts::open(int port_number, int baud) {
  ++open_count;
  if (refuse || port_number != available_port) return nullptr;
  opened_port = port_number;
  opened_baud = baud;
  return std::make_unique<FakeSerialDevice>(line);
}

void FakeEvents::wait_events(std::vector<Event>& events) {
  if (script.empty()) {
    events.push_back({event_close, 0});
    return;
  }
  events.push_back(script.front());
  script.pop_front();
}

namespace {
std::filesystem::path make_temp_dir() {
  static std::atomic<int> counter{0};
  auto base = std::filesystem::temp_directory_path() /
              ("talvaro-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(base);
  std::filesystem::create_directories(base);
  return base;
}
}  // namespace

Bench::Bench()
    : dir(make_temp_dir()),
      platform{display, audio, serial, clock, events, ""},
      cx(std::make_unique<Context>(platform)),
      st(cx->st),
      previous_dir_(std::filesystem::current_path()) {
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
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string Bench::read_file(const std::string& name) const {
  std::ifstream in(dir / name, std::ios::binary);
  if (!in) throw std::runtime_error("no file " + name);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

bool Bench::exists(const std::string& name) const { return std::filesystem::exists(dir / name); }

void Bench::write_config(int port, int baud, int voice, int debug) const {
  write_file("TALVARO.CFG", "PRT=COM" + std::to_string(port) + "\r\nBAUDR=" + std::to_string(baud) +
                                "\r\nDEVIC=AR8600\r\nVOICE=" + std::to_string(voice) +
                                "\r\nDEBUG=" + std::to_string(debug) + "\r\n");
}

std::string tiny_wav(int samples, int sample_rate) {
  auto u32 = [](std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
  };
  auto u16 = [](std::uint16_t v) {
    std::string s(2, '\0');
    s[0] = static_cast<char>(v & 0xFF);
    s[1] = static_cast<char>((v >> 8) & 0xFF);
    return s;
  };
  const auto data_bytes = static_cast<std::uint32_t>(samples * 2);
  std::string wav = "RIFF" + u32(36 + data_bytes) + "WAVE";
  wav += "fmt " + u32(16) + u16(1) + u16(1) + u32(static_cast<std::uint32_t>(sample_rate)) +
         u32(static_cast<std::uint32_t>(sample_rate * 2)) + u16(2) + u16(16);
  wav += "data" + u32(data_bytes) + std::string(data_bytes, '\0');
  return wav;
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
  for (int i = 0; i < max_ticks; ++i) {
    if (st.key_queue_length == 0 && st.meter_state == MeterState::idle) return;
    tick();
  }
}

std::vector<std::string> Bench::take_commands() {
  const std::string& written = serial.line->written;
  std::vector<std::string> commands;
  std::string current;
  for (std::size_t i = taken_; i < written.size(); ++i) {
    const char c = written[i];
    if (c == '\r') {
      commands.push_back(current);
      current.clear();
    } else if (c == 30) {
      if (!current.empty()) commands.push_back(current);
      current.clear();
      commands.push_back("<RS>");
    } else {
      current.push_back(c);
    }
  }
  // An unterminated tail stays for the next call.
  taken_ = written.size() - current.size();
  return commands;
}

}  // namespace talvaro::testing
