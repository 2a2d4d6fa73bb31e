#pragma once
// The receiver simulator as a child process, its link ("COM1"), log
// ("sim.log") and control FIFO ("control") in a folder; stopped with SIGTERM
// at the end. Shared by the simulator's program test and the link tests.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
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

namespace simtest {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Generous: the tests run under sanitizers on a busy machine.
constexpr auto kPatience = 10s;

inline bool eventually(const std::function<bool()>& condition) {
  for (const auto end = Clock::now() + kPatience; !condition(); std::this_thread::sleep_for(5ms)) {
    if (Clock::now() > end) return false;
  }
  return true;
}

inline std::string read_file(const fs::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

class SimProcess {
 public:
  SimProcess(const std::string& program, fs::path folder, const std::vector<std::string>& extra,
             const std::string& latency = "5")
      : folder_(std::move(folder)) {
    std::vector<std::string> arguments = {program,     "--link",           link().string(), "--log", log().string(),
                                          "--control", control().string(), "--latency",     latency};
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
  ~SimProcess() { stop(); }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool ready() const { return ready_; }
  fs::path link() const { return folder_ / "COM1"; }
  fs::path log() const { return folder_ / "sim.log"; }
  fs::path control() const { return folder_ / "control"; }
  std::string errors() const { return read_file(folder_ / "err.txt"); }
  // How many terminals the simulator has opened (one line on its output each).
  std::size_t announcements() const {
    return static_cast<std::size_t>(std::ranges::count(read_file(folder_ / "out.txt"), '\n'));
  }

  // Sends a control line and waits until the simulator has logged it, so it
  // is in force before the next command.
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

}  // namespace simtest
