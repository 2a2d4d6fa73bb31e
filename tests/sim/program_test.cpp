// The real simulator program on a pseudo-terminal: what goes over the line,
// the log, the control channel's faults, pacing and a clean exit.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Generous: the tests run under sanitizers on a busy machine.
constexpr auto kPatience = 10s;

bool eventually(const std::function<bool()>& condition) {
  for (const auto end = Clock::now() + kPatience; !condition(); std::this_thread::sleep_for(10ms)) {
    if (Clock::now() > end) return false;
  }
  return true;
}

std::string read_file(const fs::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// The simulator running in a temporary folder, with a link, a log and a
// control FIFO there; stopped with SIGTERM at the end.
class Simulator {
 public:
  explicit Simulator(const std::vector<std::string>& extra) {
    char pattern[] = "/tmp/ar8600-sim-test-XXXXXX";
    folder_ = ::mkdtemp(pattern);
    std::vector<std::string> arguments = {AR8600_SIM_PATH, "--link",           link().string(), "--log", log().string(),
                                          "--control",     control().string(), "--latency",     "5"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, (folder_ / "out.txt").c_str(), O_WRONLY | O_CREAT, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, (folder_ / "err.txt").c_str(), O_WRONLY | O_CREAT, 0644);
    started_ = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ready_ = started_ && eventually([&] { return reap(WNOHANG), fs::exists(link()) || exit_status_; }) && !exit_status_;
  }
  ~Simulator() {
    stop();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  bool ready() const { return ready_; }
  fs::path link() const { return folder_ / "COM1"; }
  fs::path log() const { return folder_ / "sim.log"; }
  fs::path control() const { return folder_ / "control"; }
  std::string errors() const { return read_file(folder_ / "err.txt"); }
  // How many terminals the simulator has opened (one line on its output each).
  std::size_t announcements() const {
    return static_cast<std::size_t>(std::ranges::count(read_file(folder_ / "out.txt"), '\n'));
  }

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

  // Sends a control line and waits until the simulator has carried it out.
  void control_line(const std::string& line) {
    const int fd = ::open(control().c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    const std::string text = line + "\n";
    EXPECT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(fd);
    EXPECT_TRUE(eventually([&] { return read_file(log()).find("# " + line) != std::string::npos; })) << line;
  }

  // SIGTERM unless it has ended already; the exit status, or -1.
  int stop() {
    if (started_ && !exit_status_) ::kill(pid_, SIGTERM);
    return reap(0);
  }

 private:
  int reap(int flags) {
    int status = 0;
    if (started_ && !exit_status_ && ::waitpid(pid_, &status, flags) == pid_)
      exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exit_status_.value_or(-1);
  }

  fs::path folder_;
  pid_t pid_ = -1;
  bool started_ = false;
  bool ready_ = false;
  std::optional<int> exit_status_;
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
