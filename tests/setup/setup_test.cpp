// The setup program's portable part on fakes: port numbering, the search for
// the receiver, TALVARO.CFG kept or written, and the window driven by keys.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "setup/detect.h"
#include "setup/setup.h"
#include "support/fakes.h"

namespace talvaro::setup {
namespace {

using namespace std::chrono_literals;
using TimePoint = Detector::TimePoint;

// A port: the rate it answers at (0 never, -1 it cannot be opened), junk at others.
struct FakePort {
  PortCandidate candidate;
  int answers_at = 0;
  std::string junk = "\xF0\x80";
};

class FakeFinder final : public PortFinder {
 public:
  std::vector<PortCandidate> find_ports() override {
    std::vector<PortCandidate> found;
    for (const auto& port : ports) found.push_back(port.candidate);
    return found;
  }
  std::unique_ptr<SerialDevice> open_device(const std::string& device, int baud) override {
    opened.push_back(device + "@" + std::to_string(baud));
    for (const auto& port : ports) {
      if (port.candidate.device != device || port.answers_at < 0) continue;
      auto line = std::make_shared<testing::FakeSerialDevice::Line>();
      const std::string reply = baud == port.answers_at ? "LM012\r\n" : port.junk;
      line->script = [reply](const std::string&) { return testing::Answers{{reply, 0}}; };
      lines.push_back(line);
      return std::make_unique<testing::FakeSerialDevice>(line);
    }
    return nullptr;
  }
  bool link_port(int number, const std::string& device) override {
    links.push_back(std::to_string(number) + ">" + device);
    return link_works;
  }
  std::vector<FakePort> ports;
  std::vector<std::string> opened, links;
  std::vector<std::shared_ptr<testing::FakeSerialDevice::Line>> lines;
  bool link_works = true;
};

PortCandidate port(int number, const std::string& device, bool usb = false, bool in_folder = false,
                   std::string identity = "") {
  return {number, device, identity.empty() ? device : identity, usb, in_folder};
}

TEST(SetupPorts, NumberedAsThePanelReachesThem) {
  struct Case {
    std::vector<PortCandidate> found;
    std::string numbered;  // number:device[+link], sorted
  };
  std::vector<Case> cases = {
      // Built-in ports keep k + 1, adapters take the lowest free numbers.
      {{port(1, "/dev/ttyS0"), port(0, "usb-A", true), port(3, "/dev/ttyS2"), port(0, "usb-B", true)},
       "1:/dev/ttyS0 2:usb-A+ 3:/dev/ttyS2 4:usb-B+"},
      // A folder link to an adapter is that adapter, once, with the link's
      // number; a link on a built-in port's number moves the port.
      {{port(0, "usb-A", true, false, "/dev/ttyUSB0"), port(1, "/dev/ttyS0"),
        port(1, "COM1", false, true, "/dev/ttyUSB0")},
       "1:COM1 2:/dev/ttyS0+"},
      // Nothing above 9: ttyS9 has number 10, the tenth adapter none free.
      {{}, "1:u1+ 2:u2+ 3:u3+ 4:u4+ 5:u5+ 6:u6+ 7:u7+ 8:u8+ 9:u9+"},
  };
  cases[2].found.push_back(port(10, "/dev/ttyS9"));
  for (int n = 1; n <= 10; ++n) cases[2].found.push_back(port(0, "u" + std::to_string(n), true));
  for (const auto& c : cases) {
    std::string numbered;
    for (const auto& entry : number_ports(c.found)) {
      numbered += (numbered.empty() ? "" : " ") + std::to_string(entry.port.number) + ":" + entry.port.device +
                  (entry.needs_link ? "+" : "");
    }
    EXPECT_EQ(numbered, c.numbered);
  }
  EXPECT_TRUE(number_ports({port(0, "usb-A", true, false, "x"), port(2, "COM2", false, true, "x")})[0].port.usb);
}

// Steps the detector at 100 ms ticks from t0 until it finishes; the events it
// reported, as text.
std::string run(Detector& detector, TimePoint t0) {
  std::string events;
  for (int tick = 0; tick < 100 && !detector.finished(); ++tick) {
    const auto event = detector.step(t0 + tick * 100ms);
    if (event == Detector::Event::unopened) events += "unopened " + detector.unopened().port.device + ", ";
    if (event == Detector::Event::found) {
      events += "found " + detector.found().port.device + " " + std::to_string(detector.found_baud());
    }
    if (event == Detector::Event::no_answer) events += "none";
  }
  return events;
}

TEST(SetupDetect, TriesEachPortAtEachRateAndTakesOnlyAnLmReply) {
  FakeFinder finder;
  finder.ports = {{port(1, "gone"), -1},
                  {port(2, "junk"), 0, "LX1\r\nLM0"},  // a wrong reply, then a partial one
                  {port(3, "slow"), 4800}};
  const auto t0 = TimePoint{} + 1h;
  Detector detector(finder, number_ports(finder.find_ports()),
                    std::vector<int>(receiver_bauds.begin(), receiver_bauds.end()));
  EXPECT_EQ(run(detector, t0), "unopened gone, found slow 4800");
  EXPECT_EQ(finder.opened, (std::vector<std::string>{"gone@9600", "junk@9600", "junk@19200", "junk@4800", "slow@9600",
                                                     "slow@19200", "slow@4800"}));
  // Only LM and, to the receiver, EX; each try in 8N2 with reads that never wait.
  std::string written;
  for (const auto& line : finder.lines) {
    written += line->written;
    EXPECT_EQ(std::tuple(line->data_bits, line->parity, line->stop_bits, line->read_timeout), std::tuple(8, 0, 2, -1));
  }
  EXPECT_EQ(finder.lines[0].use_count(), 1) << "each port is closed after its try";

  // A silent line: each try ends after 500 ms, not before.
  finder.ports = {{port(1, "silent"), 0, ""}};
  Detector silent(finder, number_ports(finder.find_ports()), {9600});
  EXPECT_EQ(silent.step(t0), Detector::Event::none);
  EXPECT_EQ(silent.step(t0 + 499ms), Detector::Event::none);
  EXPECT_EQ(silent.step(t0 + 500ms), Detector::Event::no_answer);
}

TEST(SetupConfig, KeepsWhatWasNotChangedAndWritesNothingWhenTheLinkIsRefused) {
  testing::Bench bench;
  FakeFinder finder;
  finder.ports = {{port(1, "/dev/ttyS0")}, {port(0, "usb-A", true)}};
  std::ostringstream out, err;
  auto command = [&](std::vector<std::string> args) { return run_command_line(finder, args, out, err); };

  // A new file: the first port, 9600, voice on, debug off.
  EXPECT_EQ(command({"--write"}), 0);
  EXPECT_EQ(bench.read_file("TALVARO.CFG"), "PRT=COM1\r\nBAUDR=9600\r\nMODEL=AR8600\r\nVOICE=1\r\nDEBUG=0\r\n");
  // An existing file's texts stand as they are unless changed.
  bench.write_file("TALVARO.CFG", "PRT=COM7 \nBAUDR=38400\r\nMODEL=X\r\nVOICE=0\r\nDEBUG=1\r\n");
  EXPECT_EQ(command({"--voice", "on", "--write"}), 0);
  EXPECT_EQ(bench.read_file("TALVARO.CFG"), "PRT=COM7 \r\nBAUDR=38400\r\nMODEL=AR8600\r\nVOICE=1\r\nDEBUG=1\r\n");
  // The adapter needs its link; refused, nothing is written.
  finder.link_works = false;
  EXPECT_EQ(command({"--port", "2", "--baud", "4800", "--write"}), 3);
  EXPECT_EQ(finder.links, (std::vector<std::string>{"2>usb-A"}));
  EXPECT_EQ(bench.read_file("TALVARO.CFG"), "PRT=COM7 \r\nBAUDR=38400\r\nMODEL=AR8600\r\nVOICE=1\r\nDEBUG=1\r\n");
  // A read-only file is not replaced, not even by root.
  std::filesystem::permissions(bench.dir / "TALVARO.CFG", std::filesystem::perms::owner_read);
  EXPECT_EQ(command({"--voice", "off", "--write"}), 3);
  EXPECT_EQ(bench.read_file("TALVARO.CFG"), "PRT=COM7 \r\nBAUDR=38400\r\nMODEL=AR8600\r\nVOICE=1\r\nDEBUG=1\r\n");
  // Writable again, so that Windows can delete it with the folder.
  std::filesystem::permissions(bench.dir / "TALVARO.CFG", std::filesystem::perms::owner_all);
  // Bad arguments: exit 1, nothing done.
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--port", "12", "--write"}, {"--baud", "1200", "--write"}, {"--voice"}, {"--port", "3", "--write"}, {}}) {
    EXPECT_EQ(command(args), 1);
  }
  EXPECT_EQ(finder.links.size(), 1U);
}

TEST(SetupWindow, KeysAnsweredAloudThenSaved) {
  testing::Bench bench;
  bench.make_clips();
  FakeFinder finder;
  finder.ports = {{port(1, "/dev/ttyS0"), -1}, {port(0, "usb-A", true), 9600}};
  auto keys = [&](std::string codes) {
    bench.events.script = {{event_timer, 0}, {event_timer, 0}, {event_timer, 0}};
    for (const char c : codes) bench.events.script.push_back({event_key_down, c});
  };
  keys(
      "\x26\x28"
      "BVDH\x0dQW");
  EXPECT_EQ(run_window(bench.platform, finder), 0);
  EXPECT_EQ(bench.display.window.caption, "*** AR8600 Talvaro Setup v4.1b***");
  EXPECT_EQ(bench.audio.spoken_text(),
            "talvaro setup ports 2 looking port 1 noopen found port 2 usb b9600 "
            "port 1 port 2 usb b19200 voice off debug on setuphelp looking inv saved");
  EXPECT_EQ(bench.read_file("TALVARO.CFG"), "PRT=COM2\r\nBAUDR=19200\r\nMODEL=AR8600\r\nVOICE=0\r\nDEBUG=1\r\n");
  EXPECT_EQ(finder.links, (std::vector<std::string>{"2>usb-A"}));

  // Escape (and the close box) leave without writing.
  bench.write_file("TALVARO.CFG", "old");
  keys("\x1b");
  bench.audio.plays.clear();
  EXPECT_EQ(run_window(bench.platform, finder), 0);
  EXPECT_EQ(bench.audio.spoken().back(), "quit");
  EXPECT_EQ(bench.read_file("TALVARO.CFG"), "old");
}

}  // namespace
}  // namespace talvaro::setup
