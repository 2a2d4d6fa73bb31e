// The setup's window: keys in, clips and large text out, until W saves or
// Escape (or the close box) leaves.

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/context.h"
#include "core/text.h"
#include "panel/display.h"
#include "setup/detect.h"
#include "setup/session.h"
#include "setup/setup.h"
#include "voice/voice.h"

namespace talvaro::setup {

namespace {

constexpr std::string_view caption = "*** AR8600 Talvaro Setup v4.1b***";
constexpr int tick_ms = 100;

namespace keys {
constexpr int enter = 13;
constexpr int escape = 27;
constexpr int up = 38;
constexpr int down = 40;
}  // namespace keys

// clang-format off
//                                        position     font            colour
constexpr layout::Field title_field    {{270,   0}, &layout::normal, colour_black};
constexpr layout::Field port_field     {{ 20,  50}, &layout::large,  colour_blue};
constexpr layout::Field device_field   {{ 20, 120}, &layout::normal, colour_black};
constexpr layout::Field baud_field     {{ 20, 170}, &layout::large,  colour_blue};
constexpr layout::Field switches_field {{ 20, 240}, &layout::normal, colour_black};
constexpr layout::Field status_field   {{ 20, 310}, &layout::normal, colour_red};
constexpr layout::Field keys_field     {{ 20, 420}, &layout::normal, colour_green};
// clang-format on

// Every line is drawn this wide, so a shorter text covers a longer one.
constexpr std::size_t line_width = 56;

// The program state of the setup window.
struct SetupState {
  SetupState(Platform& platform, PortFinder& ports) : cx(platform), finder(ports) {}
  Context cx;  // voice and display
  PortFinder& finder;
  Session session;
  std::size_t selected = 0;
  std::optional<Detector> detector;
  std::string status;
  bool running = true;
};

struct BaudClip {
  int baud;
  ClipName clip;
};
// In the order B steps through them.
constexpr std::array<BaudClip, 3> baud_clips{{{9600, clip::b9600}, {19200, clip::b19200}, {4800, clip::b4800}}};

void say_all(SetupState& s, std::initializer_list<ClipName> clips) {
  for (const ClipName name : clips) say(s.cx, name);
}

void say_port(SetupState& s, const NumberedPort& port) {
  say(s.cx, clip::port);
  say(s.cx, clip::digits[static_cast<std::size_t>(port.port.number)]);
  if (port.port.usb) say(s.cx, clip::usb);
}

// The rate's clip; a rate of an existing file that has none is said digit by digit.
void say_baud(SetupState& s, const std::string& text) {
  const auto row =
      std::find_if(baud_clips.begin(), baud_clips.end(), [&](const BaudClip& b) { return baud_text(b.baud) == text; });
  if (row != baud_clips.end()) {
    say(s.cx, row->clip);
    return;
  }
  for (const char c : text) say(s.cx, clip::named(std::string_view(&c, 1)));
}

void say_switch(SetupState& s, ClipName name, bool on) { say_all(s, {name, on ? clip::on : clip::off}); }

void draw(SetupState& s, const layout::Field& field, const std::string& text) {
  place(s.cx, field);
  std::string line = text.substr(0, line_width);
  line.resize(line_width, ' ');
  print_text(s.cx, {line});
}

void show(SetupState& s) {
  const Settings& settings = s.session.settings;
  std::string port = cat("Port ", settings.port_text);
  std::string device = "(no serial port found)";
  if (!s.session.ports.empty()) {
    const PortCandidate& shown = s.session.ports[s.selected].port;
    if (!s.session.chosen) port = cat(port, "   (from the file)");
    port = cat(port, shown.usb ? "  USB" : "");
    device = shown.in_folder ? cat(shown.device, " in the folder: ", shown.identity)
                             : cat(port_text(shown.number), ": ", shown.device);
  }
  draw(s, title_field, "Talvaro Setup");
  draw(s, port_field, port);
  draw(s, device_field, device);
  draw(s, baud_field, cat(settings.baud_text, " baud"));
  draw(s, switches_field,
       cat("Voice ", settings.voice ? "on" : "off", "    Debug log ", settings.debug ? "on" : "off"));
  draw(s, status_field, s.status);
  draw(s, keys_field, "H help    W save    Esc leave");
}

void start_detection(SetupState& s, bool every_port) {
  std::vector<NumberedPort> ports = s.session.ports;
  if (!every_port) ports = {s.session.ports[s.selected]};
  s.detector.emplace(s.finder, std::move(ports), std::vector<int>(receiver_bauds.begin(), receiver_bauds.end()));
  s.status = "Looking for the receiver...";
  show(s);
  say(s.cx, clip::looking);
}

void step_detection(SetupState& s) {
  if (!s.detector) return;
  switch (s.detector->step(std::chrono::steady_clock::now())) {
    case Detector::Event::none:
      return;
    case Detector::Event::unopened:
      say_port(s, s.detector->unopened());
      say(s.cx, clip::noopen);
      return;
    case Detector::Event::found: {
      const int number = s.detector->found().port.number;
      const int baud = s.detector->found_baud();
      const auto at = std::find_if(s.session.ports.begin(), s.session.ports.end(),
                                   [&](const NumberedPort& p) { return p.port.number == number; });
      s.selected = static_cast<std::size_t>(at - s.session.ports.begin());
      choose_port(s.session, s.selected);
      s.session.settings.baud_text = baud_text(baud);
      s.status = cat("Receiver found: port ", decimal(number), ", ", decimal(baud), " baud");
      s.detector.reset();
      show(s);
      say(s.cx, clip::found);
      say_port(s, s.session.ports[s.selected]);
      say_baud(s, s.session.settings.baud_text);
      return;
    }
    case Detector::Event::no_answer:
      s.detector.reset();
      s.status = "No receiver answered";
      show(s);
      say(s.cx, clip::noanswer);
      return;
  }
}

// ---------------------------------------------------------------- keys

void move_selection(SetupState& s, int by) {
  if (s.session.ports.empty()) {
    say(s.cx, clip::inv);
    return;
  }
  const auto last = static_cast<int>(s.session.ports.size()) - 1;
  s.selected = static_cast<std::size_t>(std::clamp(static_cast<int>(s.selected) + by, 0, last));
  choose_port(s.session, s.selected);
  show(s);
  say_port(s, s.session.ports[s.selected]);
}

void previous_port(SetupState& s) { move_selection(s, -1); }
void next_port(SetupState& s) { move_selection(s, 1); }

void detect_here(SetupState& s) {
  if (s.session.ports.empty()) {
    say(s.cx, clip::inv);
    return;
  }
  choose_port(s.session, s.selected);
  start_detection(s, false);
}

void detect_everywhere(SetupState& s) { start_detection(s, true); }

void next_baud(SetupState& s) {
  std::string& text = s.session.settings.baud_text;
  const auto row =
      std::find_if(baud_clips.begin(), baud_clips.end(), [&](const BaudClip& b) { return baud_text(b.baud) == text; });
  const auto next = row == baud_clips.end() || row + 1 == baud_clips.end() ? baud_clips.begin() : row + 1;
  text = baud_text(next->baud);
  show(s);
  say(s.cx, next->clip);
}

void switch_voice(SetupState& s) {
  s.session.settings.voice = !s.session.settings.voice;
  show(s);
  say_switch(s, clip::voice, s.session.settings.voice);
}

void switch_debug(SetupState& s) {
  s.session.settings.debug = !s.session.settings.debug;
  show(s);
  say_switch(s, clip::debug, s.session.settings.debug);
}

void save_and_leave(SetupState& s) {
  s.detector.reset();  // the port it holds is given back first
  if (save(s.finder, s.session) != SaveResult::saved) {
    s.status = "Cannot save the settings";
    show(s);
    say(s.cx, clip::cannotsave);
    return;
  }
  s.status = "Settings saved";
  show(s);
  say(s.cx, clip::saved);
  s.running = false;
}

void leave(SetupState& s) {
  s.detector.reset();
  s.status = "Settings not saved";
  show(s);
  say_all(s, {clip::notsaved, clip::quit});
  s.running = false;
}

void help(SetupState& s) { say(s.cx, clip::setuphelp); }

struct KeyRow {
  int key;
  void (*action)(SetupState&);
};

constexpr KeyRow key_table[] = {
    {keys::up, previous_port}, {keys::down, next_port}, {keys::enter, detect_here},
    {'F', detect_everywhere},  {'B', next_baud},        {'V', switch_voice},
    {'D', switch_debug},       {'W', save_and_leave},   {'H', help},
    {keys::escape, leave},
};

void press(SetupState& s, int key) {
  const auto row =
      std::find_if(std::begin(key_table), std::end(key_table), [&](const KeyRow& r) { return r.key == key; });
  if (row == std::end(key_table)) {
    say(s.cx, clip::inv);
    return;
  }
  row->action(s);
}

void handle(SetupState& s, const Event& event) {
  switch (event.code) {
    case event_key_down:
      press(s, event.param);
      break;
    case event_timer:
      step_detection(s);
      break;
    case event_close:
      leave(s);
      break;
    default:
      break;
  }
}

void begin(SetupState& s) {
  s.cx.st.wave_path = "wave\\";
  s.cx.st.pause_wave_path = "wave\\";
  s.cx.io.display.open_window({std::string(caption), 250, 100, 950, 500});
  s.session = start_session(s.finder);
  // An existing file's port is shown when it is one of those found.
  for (std::size_t i = 0; i < s.session.ports.size(); ++i) {
    if (port_text(s.session.ports[i].port.number) == s.session.settings.port_text) s.selected = i;
  }
  show(s);
  say_all(s, {clip::talvaro, clip::setup, clip::ports});
  speak_count(s.cx, static_cast<int>(s.session.ports.size()));
  start_detection(s, true);
}

}  // namespace

int run_window(Platform& platform, PortFinder& ports) {
  // The context holds the panel's whole state record: kept off the stack.
  auto s = std::make_unique<SetupState>(platform, ports);
  begin(*s);
  platform.events.start_timer(tick_ms);
  std::vector<Event> events;
  while (s->running) {
    events.clear();
    platform.events.wait_events(events);
    for (const Event& event : events) {
      handle(*s, event);
      if (!s->running) break;
    }
  }
  platform.events.stop_timer();
  s->detector.reset();
  platform.audio.stop();
  platform.display.close_window();
  return 0;
}

}  // namespace talvaro::setup
