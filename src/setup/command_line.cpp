// The setup without a window: options in, reports out, an exit code.

#include <algorithm>
#include <chrono>
#include <optional>
#include <ostream>
#include <string_view>
#include <thread>

#include "core/text.h"
#include "setup/detect.h"
#include "setup/session.h"
#include "setup/setup.h"

namespace talvaro::setup {

namespace {

constexpr int exit_ok = 0;
constexpr int exit_bad_arguments = 1;
constexpr int exit_no_receiver = 2;
constexpr int exit_cannot_save = 3;

constexpr auto step_period = std::chrono::milliseconds(10);

constexpr std::string_view usage_text = R"usage(Usage: talvaro-setup [OPTION]...
Finds the serial ports and the receiver and writes TALVARO.CFG, the panel's
configuration, in the working folder. Without options it opens its window,
which is used by keys alone and speaks every step.

Options:
  --list           list the serial ports, one a line: the number the panel
                   reaches it by, the device, "USB" for an adapter, "(folder)"
                   for a COMn link or device in the working folder
  --detect         look for the receiver on every port (or only on the one of
                   --port) at 9600, 19200 and 4800 baud (or only at --baud):
                   sends "LM", waits up to 500 ms for an answer, sends "EX"
                   when it has one; says where it answered
  --port N         the port (1 to 9, as --list numbers them)
  --baud B         the baud rate: 4800, 9600 or 19200
  --voice on|off   the panel speaks, or stays silent
  --debug on|off   the panel writes its debug log (debug1.dat), or not
  --write          write TALVARO.CFG (and the COMn link the port needs); with
                   --detect only when the receiver answered. Settings not
                   given keep the values of an existing TALVARO.CFG; a new
                   one gets the first port, 9600 baud, voice on, debug off
  --help           show this text

A receiver found by --detect sets the port and the baud rate. The COMn link
leads to the port's /dev/serial/by-id name when it has one; an old link is
replaced, a file of that name never.

Exit status: 0 done; 1 bad arguments (nothing written); 2 no receiver
answered; 3 the settings could not be saved (nothing written).
)usage";

struct Options {
  bool list = false;
  bool detect = false;
  bool write = false;
  bool help = false;
  std::optional<int> port;
  std::optional<int> baud;
  std::optional<bool> voice;
  std::optional<bool> debug;
};

std::optional<bool> on_off(std::string_view value) {
  if (value == "on") return true;
  if (value == "off") return false;
  return std::nullopt;
}

// A whole decimal number, nothing else.
std::optional<int> whole_number(std::string_view value) {
  if (value.empty() || value.size() > 7 ||
      !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  return round_to_int(numeric_value(value));
}

// One option: its name, whether it takes a value, and what it sets. A setter
// returns false when the value is not one it takes.
struct OptionRow {
  std::string_view name;
  bool takes_value;
  bool (*set)(Options& options, std::string_view value);
  std::string_view values;  // what a bad value is told
};

constexpr OptionRow option_table[] = {
    {"--list", false, [](Options& o, std::string_view) { return o.list = true; }, ""},
    {"--detect", false, [](Options& o, std::string_view) { return o.detect = true; }, ""},
    {"--write", false, [](Options& o, std::string_view) { return o.write = true; }, ""},
    {"--help", false, [](Options& o, std::string_view) { return o.help = true; }, ""},
    {"--port", true,
     [](Options& o, std::string_view v) {
       o.port = whole_number(v);
       return o.port && *o.port >= 1 && *o.port <= highest_port;
     },
     "a number from 1 to 9"},
    {"--baud", true,
     [](Options& o, std::string_view v) {
       o.baud = whole_number(v);
       return o.baud && std::find(receiver_bauds.begin(), receiver_bauds.end(), *o.baud) != receiver_bauds.end();
     },
     "4800, 9600 or 19200"},
    {"--voice", true, [](Options& o, std::string_view v) { return (o.voice = on_off(v)).has_value(); }, "on or off"},
    {"--debug", true, [](Options& o, std::string_view v) { return (o.debug = on_off(v)).has_value(); }, "on or off"},
};

std::optional<Options> parse(const std::vector<std::string>& args, std::ostream& err) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view argument = args[i];
    const auto row = std::find_if(std::begin(option_table), std::end(option_table),
                                  [&](const OptionRow& option) { return option.name == argument; });
    if (row == std::end(option_table)) {
      err << "talvaro-setup: unknown option '" << argument << "' (try --help)\n";
      return std::nullopt;
    }
    std::string_view value;
    if (row->takes_value) {
      if (i + 1 == args.size()) {
        err << "talvaro-setup: " << argument << " needs " << row->values << "\n";
        return std::nullopt;
      }
      value = args[++i];
    }
    if (!row->set(options, value)) {
      err << "talvaro-setup: " << argument << " takes " << row->values << ", not '" << value << "'\n";
      return std::nullopt;
    }
  }
  if (!options.help && !options.list && !options.detect && !options.write) {
    err << "talvaro-setup: nothing to do: give --list, --detect or --write (try --help)\n";
    return std::nullopt;
  }
  return options;
}

void list_ports(const Session& session, std::ostream& out) {
  for (const NumberedPort& entry : session.ports) {
    out << entry.port.number << " " << entry.port.device << (entry.port.usb ? " USB" : "")
        << (entry.port.in_folder ? " (folder)" : "") << "\n";
  }
}

// Looks for the receiver; true when it answered, with the session set to
// its port and rate.
bool detect(PortFinder& finder, Session& session, std::optional<std::size_t> only, std::optional<int> baud,
            std::ostream& out, std::ostream& err) {
  std::vector<NumberedPort> ports = session.ports;
  if (only) ports = {session.ports[*only]};
  std::vector<int> bauds(receiver_bauds.begin(), receiver_bauds.end());
  if (baud) bauds = {*baud};
  Detector detector(finder, ports, bauds);
  for (;;) {
    switch (detector.step(std::chrono::steady_clock::now())) {
      case Detector::Event::none:
        std::this_thread::sleep_for(step_period);
        break;
      case Detector::Event::unopened:
        err << "talvaro-setup: port " << detector.unopened().port.number << " (" << detector.unopened().port.device
            << ") cannot be opened\n";
        break;
      case Detector::Event::found: {
        const int number = detector.found().port.number;
        out << "receiver found: port " << number << ", " << detector.found_baud() << " baud\n";
        const auto index = std::find_if(session.ports.begin(), session.ports.end(),
                                        [&](const NumberedPort& p) { return p.port.number == number; });
        choose_port(session, static_cast<std::size_t>(index - session.ports.begin()));
        session.settings.baud_text = baud_text(detector.found_baud());
        return true;
      }
      case Detector::Event::no_answer:
        out << "no receiver answered\n";
        return false;
    }
  }
}

}  // namespace

int run_command_line(PortFinder& ports, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const std::optional<Options> options = parse(args, err);
  if (!options) return exit_bad_arguments;
  if (options->help) {
    out << usage_text;
    return exit_ok;
  }
  Session session = start_session(ports);
  std::optional<std::size_t> port_index;
  if (options->port) {
    const auto found = std::find_if(session.ports.begin(), session.ports.end(),
                                    [&](const NumberedPort& p) { return p.port.number == *options->port; });
    if (found == session.ports.end()) {
      err << "talvaro-setup: there is no port " << *options->port << " (try --list)\n";
      return exit_bad_arguments;
    }
    port_index = static_cast<std::size_t>(found - session.ports.begin());
    choose_port(session, *port_index);
  }
  if (options->baud) session.settings.baud_text = baud_text(*options->baud);
  if (options->voice) session.settings.voice = *options->voice;
  if (options->debug) session.settings.debug = *options->debug;

  if (options->list) list_ports(session, out);
  if (options->detect && !detect(ports, session, port_index, options->baud, out, err)) return exit_no_receiver;
  if (!options->write) return exit_ok;
  switch (save(ports, session)) {
    case SaveResult::saved:
      out << "settings saved: PRT=" << session.settings.port_text << ", BAUDR=" << session.settings.baud_text
          << ", VOICE=" << (session.settings.voice ? 1 : 0) << ", DEBUG=" << (session.settings.debug ? 1 : 0) << "\n";
      return exit_ok;
    case SaveResult::cannot_link:
      err << "talvaro-setup: cannot make the link " << session.settings.port_text
          << " in the working folder (a file of that name, or no right to write there): nothing saved\n";
      return exit_cannot_save;
    case SaveResult::cannot_write:
      err << "talvaro-setup: cannot write " << config_name << " (read-only file or folder): nothing saved\n";
      return exit_cannot_save;
  }
  return exit_cannot_save;
}

}  // namespace talvaro::setup
