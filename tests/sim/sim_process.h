#pragma once
// The receiver simulator (build/ar8600-sim) as a child process for tests on
// pseudo-terminals: started with options, ready once it has printed its
// terminal's path, ended by SIGTERM.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace talvaro::testing {

class SimProcess {
 public:
  explicit SimProcess(std::vector<std::string> options) {
    std::string program = SIM_PROGRAM;
    std::vector<char*> argv{program.data()};
    for (auto& option : options) argv.push_back(option.data());
    argv.push_back(nullptr);
    int ends[2];
    if (::pipe(ends) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(ends[1], STDOUT_FILENO);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(ends[1]);
    output_ = ::fdopen(ends[0], "r");
    char line[512] = {};
    // "ar8600-sim: /dev/pts/N[ linked from PATH]"
    const std::string text = std::fgets(line, sizeof line, output_) != nullptr ? line : "";
    const auto start = text.find("/dev/");
    if (start == std::string::npos) throw std::runtime_error("the simulator did not start");
    path = text.substr(start, text.find_first_of(" \n", start) - start);
  }
  ~SimProcess() {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    std::fclose(output_);
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  std::string path;  // the slave end of its terminal

 private:
  pid_t pid_ = -1;
  std::FILE* output_ = nullptr;
};

}  // namespace talvaro::testing
