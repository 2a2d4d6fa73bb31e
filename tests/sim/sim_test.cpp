// The receiver simulator: its model on a fake clock, one script per row, and
// the real program on a pseudo-terminal.

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
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "clock.h"
#include "directives.h"
#include "protocol.h"
#include "receiver.h"

extern char** environ;

namespace ar8600sim {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct FakeClock final : Clock {
  Millis now() const override { return time; }
  Millis time{0};
};

std::string joined(const Replies& replies) {
  std::string out;
  for (std::size_t i = 0; i < replies.size(); ++i) out += (i == 0 ? "" : "|") + replies[i].text;
  return out;
}

// What the model answers to each line ("line=>replies", joined by '|'): "!" lines are
// directives (answered by their problem), "~" lines move the clock on in
// 10 ms ticks (answered by the reports meanwhile), "up"/"down" the keys.
TEST(Receiver, AnswersEachScriptStepByStep) {
  const std::vector<std::vector<std::string>> scripts = {
      // Frequencies in hertz or megahertz, rounded to 50 Hz; out of range or
      // malformed refused, changing nothing; parameters and keys.
      {"VA0145.51237=>", "RX=>VA RF0145512350 ST012500 AU0 MD1 AT0", "VB0000.1=>", "VA2040.1=>?", "VA0145.5.0=>?",
       "RX=>VB RF0000100000 ST012500 AU0 MD1 AT0", "ST8.33=>", "ST=>ST008330", "MD9=>?", "lm=>?", "VA0145.0=>",
       "ST025000=>", "up=>", "down=>", "down=>", "RX=>VA RF0144975000 ST025000 AU0 MD1 AT0"},
      // Levels: within the bandwidth, against the squelch, less the attenuator;
      // a signal that starts later; one removed.
      {"!signal 145.5 25=>", "VA0145.504=>", "LM=>LM 025", "MD3=>", "LM=>LM%000", "MD1=>", "AT1=>", "LM=>LM%005",
       "AT0=>", "!signal add 145.6 30 start=1=>", "VA0145.6=>", "LM=>LM%000", "~1500=>", "LM=>LM 030",
       "!signal remove 145.6=>", "LM=>LM%000", "!whatever 1=>unknown directive 'whatever'"},
      // A search stops on a signal, queries keep it going, a setting ends it.
      {"!signal 145.5 49=>", "VA0145000000=>", "VB0146000000=>", "VS=>", "~2000=>",
       "RX=>VS RF0145500000 ST012500 AU0 MD1 AT0", "up=>", "RX=>VS RF0145512500 ST012500 AU0 MD1 AT0", "MD2=>",
       "RX=>VA RF0145000000 ST012500 AU0 MD2 AT0"},
      // Level reports on each opening and closing.
      {"!signal 145.5 49=>", "LC1=>", "VA0145.50000=>|LC049 VA RF0145500000", "VA0145.60000=>|LC%000 VA"},
      // Memory: channels written in any field order, recalled, resized,
      // deleted; a memory scan skips passed channels and stops on a signal.
      {"MXC01 MD2 RF0145200000 TMFIRST=>", "MRC01=>",
       "MR=>MR MXC01 MP0 RF0145200000 ST012500 AU0 MD2 AT0 TMFIRST       ", "MXC50 RF0118100000=>?", "MW C90=>",
       "MW c=>MW C:90 c:10", "MQ=>", "MRC01=>?", "!signal 145.4 49=>", "MXA01 RF0145200000=>",
       "MXA02 RF0145400000 MP1=>", "MXA03 RF0145400000=>", "MSA=>", "~1000=>",
       "MR=>MR MXA03 MP0 RF0145400000 ST012500 AU0 MD1 AT0 TM            "},
  };
  for (std::size_t s = 0; s < scripts.size(); ++s) {
    FakeClock clock;
    Receiver receiver{clock};
    LineSettings line;
    for (const std::string& step : scripts[s]) {
      const std::string text = step.substr(0, step.find("=>")), answer = step.substr(step.find("=>") + 2);
      std::string got;
      if (text[0] == '!') {
        got = apply_directive(text.substr(1), receiver, line, clock.time);
      } else if (text[0] == '~') {
        for (const Millis end = clock.time + Millis{std::stoi(text.substr(1))}; clock.time < end;) {
          clock.time += Millis{10};
          got += joined(receiver.advance());
        }
      } else {
        got = joined(text == "up"     ? receiver.handle_key(kKeyUp)
                     : text == "down" ? receiver.handle_key(kKeyDown)
                                      : receiver.handle_command(text));
      }
      EXPECT_EQ(got, answer) << "script " << s << ": " << text;
    }
  }
}

bool eventually(const std::function<bool()>& condition) {
  for (const auto end = std::chrono::steady_clock::now() + 10s; !condition(); std::this_thread::sleep_for(5ms)) {
    if (std::chrono::steady_clock::now() > end) return false;
  }
  return true;
}

std::string read_file(const fs::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// The program with a scenario, asked over its terminal link by the panel's
// end of the line (raw); it logs every command with a time stamp, takes a
// hang-up through its control FIFO, and on SIGTERM removes its link.
TEST(SimulatorProgram, AnswersOverTheLinkLogsHangsUpAndEndsCleanly) {
  char pattern[] = "/tmp/ar8600-sim-test-XXXXXX";
  const fs::path folder = ::mkdtemp(pattern);
  std::ofstream(folder / "scenario") << "signal 145.5 49\nmemory A00 145.2 NFM \"ONE\"\n";
  std::vector<std::string> arguments = {AR8600_SIM_PATH, "--link",           folder / "COM1",
                                        "--log",         folder / "sim.log", "--control",
                                        folder / "c",    "--scenario",       folder / "scenario"};
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  ASSERT_EQ(::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
  const std::shared_ptr<void> stop(nullptr, [&](void*) { pid > 0 && ::kill(pid, SIGTERM); });
  ASSERT_TRUE(eventually([&] { return fs::exists(folder / "COM1"); }));

  const int fd = ::open((folder / "COM1").c_str(), O_RDWR | O_NOCTTY);
  termios settings{};
  ASSERT_EQ(::tcgetattr(fd, &settings), 0);
  ::cfmakeraw(&settings);
  ::tcsetattr(fd, TCSANOW, &settings);
  const auto ask = [&](const std::string& bytes, std::size_t lines) {
    EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    std::string got;
    char buffer[1024];
    pollfd watch{fd, POLLIN, 0};
    while (static_cast<std::size_t>(std::ranges::count(got, '\n')) < lines && ::poll(&watch, 1, 10000) > 0) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n <= 0) break;
      got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  };
  EXPECT_EQ(ask("LM\r", 1), "LM%000\r\n");
  EXPECT_EQ(ask("VA0145.50000\rLM\r", 2), "\r\nLM 049\r\n");
  EXPECT_EQ(ask("MA A\r", 10).substr(0, 46), "MXA00 MP0 RF0145200000 ST012500 AU0 MD1 AT0 TM");
  EXPECT_EQ(ask("\x1E", 1), "\r\n");
  EXPECT_EQ(ask("XX\n", 1), "?\r\n") << "LF ends a command too";
  std::ofstream(folder / "c") << "fault hangup\n";
  EXPECT_EQ(ask("LM\r", 1), "") << "hung up";
  ::close(fd);

  ASSERT_TRUE(eventually([&] { return read_file(folder / "sim.log").find("# fault hangup") != std::string::npos; }));
  std::string commands;
  std::istringstream log(read_file(folder / "sim.log"));
  for (std::string line; std::getline(log, line);) commands += line.substr(line.find(' ') + 1) + "|";
  EXPECT_EQ(commands.substr(0, 38), "LM|VA0145.50000|LM|MA A|<1E>|XX|# faul");
  ::kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  pid = -1;
  EXPECT_EQ(std::tuple(WIFEXITED(status), WEXITSTATUS(status), fs::exists(fs::symlink_status(folder / "COM1"))),
            std::tuple(true, 0, false));
  fs::remove_all(folder);
}

}  // namespace
}  // namespace ar8600sim
