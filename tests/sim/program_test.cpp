// The real simulator program on a pseudo-terminal: what goes over the line,
// the log, the control channel's faults, pacing and a clean exit.

#include <poll.h>
#include <termios.h>

#include "sim/sim_process.h"

namespace {

using namespace simtest;

// The simulator in a temporary folder of its own, removed at the end.
struct TempFolder {
  TempFolder() {
    char pattern[] = "/tmp/ar8600-sim-test-XXXXXX";
    path = ::mkdtemp(pattern);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  fs::path path;
};

class Simulator : TempFolder, public SimProcess {
 public:
  explicit Simulator(const std::vector<std::string>& extra) : SimProcess(AR8600_SIM_PATH, path, extra) {}
  // The commands of the log, without their time stamps (seconds with ms).
  std::vector<std::string> logged() const {
    std::vector<std::string> commands;
    std::istringstream lines(read_file(log()));
    for (std::string line; std::getline(lines, line);) {
      const auto space = line.find(' ');
      EXPECT_TRUE(space != std::string::npos && line.find('.') + 4 == space) << line;
      if (space != std::string::npos) commands.push_back(line.substr(space + 1));
    }
    return commands;
  }
};

std::size_t line_count(const std::string& text) {
  std::size_t count = 0;
  for (auto at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++count;
  return count;
}

// The panel's end of the line, raw.
class Port {
 public:
  explicit Port(const fs::path& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
    termios settings{};
    if (fd_ >= 0 && ::tcgetattr(fd_, &settings) == 0) {
      ::cfmakeraw(&settings);
      ::tcsetattr(fd_, TCSANOW, &settings);
    }
  }
  ~Port() {
    if (fd_ >= 0) ::close(fd_);
  }

  void send(const std::string& bytes) {
    EXPECT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Reads until `lines` lines came, or nothing came for `quiet`; "" with
  // nothing at all on a hung-up line.
  std::string read_lines(std::size_t lines, std::chrono::milliseconds quiet = kPatience) {
    std::string received;
    while (line_count(received) < lines) {
      pollfd poller{fd_, POLLIN, 0};
      if (::poll(&poller, 1, static_cast<int>(quiet.count())) <= 0) break;
      char buffer[1024];
      const ssize_t count = ::read(fd_, buffer, sizeof buffer);
      if (count <= 0) break;
      received.append(buffer, static_cast<std::size_t>(count));
    }
    return received;
  }
  std::string ask(const std::string& command, std::size_t lines = 1) {
    send(command + "\r");
    return read_lines(lines);
  }
  // True once the line reads as hung up (end of file or an error).
  bool hung_up() {
    for (const auto end = Clock::now() + kPatience; Clock::now() < end;) {
      pollfd poller{fd_, POLLIN, 0};
      char byte;
      if (::poll(&poller, 1, 100) > 0 && ::read(fd_, &byte, 1) <= 0 && errno != EAGAIN) return true;
    }
    return false;
  }

 private:
  int fd_ = -1;
};

std::string blank_block(char bank) {
  std::string block;
  for (int channel = 0; channel < 10; ++channel)
    block += std::string("MX") + bank + "0" + char('0' + channel) + " ---\r\n";
  return block;
}

TEST(SimulatorProgram, AnswersOverTheLinkAndLogsEveryCommand) {
  Simulator simulator({"--signal", "145.5:49"});
  ASSERT_TRUE(simulator.ready()) << simulator.errors();
  Port port(simulator.link());

  EXPECT_EQ(port.ask("LM"), "LM%000\r\n");
  EXPECT_EQ(port.ask("RX"), "VA RF0145000000 ST012500 AU0 MD1 AT0\r\n");
  EXPECT_EQ(port.ask("VA0145.50000"), "\r\n");
  EXPECT_EQ(port.ask("LM"), "LM 049\r\n");
  EXPECT_EQ(port.ask("MD2"), "\r\n");
  EXPECT_EQ(port.ask("MA A", 10), blank_block('A'));
  port.send("\x1E");
  EXPECT_EQ(port.read_lines(1), "\r\n");
  EXPECT_EQ(port.ask("RX"), "VA RF0145512500 ST012500 AU0 MD2 AT0\r\n");
  EXPECT_EQ(port.ask("XX\n"), "?\r\n") << "LF ends a command too; the CR after it is an empty line";

  const std::vector<std::string> expected = {"LM", "RX", "VA0145.50000", "LM", "MD2", "MA A", "<1E>", "RX", "XX"};
  EXPECT_TRUE(eventually([&] { return simulator.logged().size() >= expected.size(); }));
  EXPECT_EQ(simulator.logged(), expected);
}

TEST(SimulatorProgram, ControlChannelSilencesDelaysHangsUpAndReconnects) {
  Simulator simulator({});
  ASSERT_TRUE(simulator.ready()) << simulator.errors();
  {
    Port port(simulator.link());
    simulator.control_line("fault silence");
    port.send("LM\r");
    EXPECT_EQ(port.read_lines(1, 300ms), "");
    simulator.control_line("fault none");
    EXPECT_EQ(port.ask("LM"), "LM%000\r\n");

    simulator.control_line("signal add 145.0 30");
    simulator.control_line("fault late 300");
    const auto sent = Clock::now();
    EXPECT_EQ(port.ask("LM"), "LM 030\r\n");
    EXPECT_GE(Clock::now() - sent, 250ms);

    simulator.control_line("fault hangup");
    EXPECT_TRUE(port.hung_up());
  }
  simulator.control_line("fault none");
  // The new terminal may well get the old one's number: count the announcements.
  ASSERT_TRUE(eventually([&] { return simulator.announcements() == 2 && fs::exists(simulator.link()); }));
  EXPECT_EQ(Port(simulator.link()).ask("LM"), "LM 030\r\n") << "the receiver kept its state";
}

TEST(SimulatorProgram, PacesAtTheBaudRateAndSendsBytewiseOrGarbled) {
  Simulator simulator({"--baud", "9600"});
  ASSERT_TRUE(simulator.ready()) << simulator.errors();
  Port port(simulator.link());
  const auto sent = Clock::now();
  // 110 bytes at 11 bit times a byte take 126 ms at 9600 baud.
  EXPECT_EQ(port.ask("MA A", 10), blank_block('A'));
  EXPECT_GE(Clock::now() - sent, 115ms);

  simulator.control_line("fault bytewise 1");
  EXPECT_EQ(port.ask("MA B", 10), blank_block('B'));
  simulator.control_line("fault none");
  simulator.control_line("fault garbage");
  port.send("MA C\r");
  EXPECT_NE(port.read_lines(10, 1s), blank_block('C'));
}

TEST(SimulatorProgram, LoadsTheDemoScenarioEndsCleanlyOnSigtermAndRefusesABadScenario) {
  Simulator simulator({"--scenario", AR8600_DEMO_SCENARIO});
  ASSERT_TRUE(simulator.ready()) << simulator.errors();
  EXPECT_EQ(Port(simulator.link()).ask("MA A", 10).substr(0, 12), "MXA00 MP0 RF");
  EXPECT_TRUE(fs::exists(simulator.control()));
  EXPECT_EQ(simulator.stop(), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(simulator.link())));
  EXPECT_FALSE(fs::exists(simulator.control()));

  Simulator refused({"--signal", "nonsense"});
  EXPECT_FALSE(fs::exists(refused.link()));
  EXPECT_EQ(refused.stop(), 1);
}

}  // namespace
