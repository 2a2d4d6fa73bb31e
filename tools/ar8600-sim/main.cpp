// ar8600-sim: a pseudo-terminal that answers like the receiver, for running
// and testing the panel without the hardware.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "clock.h"
#include "directives.h"
#include "protocol.h"
#include "receiver.h"
#include "terminal.h"

namespace ar8600sim {
namespace {

using SteadyClock = std::chrono::steady_clock;
using TimePoint = SteadyClock::time_point;

constexpr const char* kUsageHead = R"(Usage: ar8600-sim [OPTION]...
Simulates the receiver on a pseudo-terminal: 8 data bits, 2 stop bits, raw.
Commands end with CR (LF is taken too); replies end with CR LF; no echo.
The path of the terminal is printed on the standard output once it is ready.

Options:
  --link PATH          make PATH a symbolic link to the terminal (an existing
                       link is replaced; removed again at exit)
  --scenario FILE      carry out the directives of FILE (below) first
  --signal MHZ:LEVEL   a signal on MHZ at LEVEL (raw, 49 is about S9); repeatable
  --squelch N          the squelch threshold (default 10)
  --search-rate N      search steps per second (default 20)
  --scan-rate N        memory scan channels per second (default 20)
  --resume-delay S     seconds until a stopped search or scan resumes after the
                       signal has gone, 0 = at once (default 2)
  --resize-delay S     seconds before a bank resize is answered (default 1)
  --baud N             pace the output like a serial line at N baud
                       (11 bit times a byte; default: unpaced), and answer
                       only while the other end has set the line to N baud:
                       at another speed each command gets a few junk bytes
                       instead, as a real line at the wrong speed does
  --latency MS         milliseconds before each reply (default 10)
  --fault KIND[:MS]    start with a fault (see fault below); repeatable
  --seed N             seed of the garbage fault
  --log FILE           write every command received to FILE, one a line:
                       seconds since start (ms precision), a space, the
                       command as received (control bytes as <1E>);
                       control lines are logged as "S.mmm # LINE"
  --control PATH       make a FIFO at PATH that takes directives while running,
                       one a line, e.g.: echo 'fault silence' > PATH
  --help               show this text

The other options override what the scenario sets. SIGINT, SIGTERM and
SIGHUP end the simulator cleanly.

Directives (scenario file lines, control lines; # starts a comment; times
in seconds with decimals allowed):
)";

constexpr const char* kUsageTail = R"(
Scenario example:
  # a repeater keyed 5 s on, 10 s off, and a beacon
  signal 145.5 49 on=5 off=10
  signal 145.8 30
  memory A05 145.5 NFM "REPEATER"
  search-rate 20
  resume-delay 2
  squelch 10

Behaviour: commands EX LM LC RX VA VB RF ST MD AU AT NL VS MA MX MR MP MS MW
MQ VR; bytes 0x1E/0x1F are the up/down keys (a step in a VFO, resume of a
stopped search or scan), 0x11/0x13 are XON/XOFF. An accepted set command is
answered with an empty line, anything refused or unknown with "?". While
nobody has the terminal open, what the receiver sends is lost.
Faults: silence answers nothing (commands still act), late adds MS to every
reply, bytewise writes each byte on its own, garbage mixes random bytes in,
hangup closes the terminal (the link then reads EOF or EIO); fault none ends
them all and, after a hang-up, opens a new terminal behind the same link.
)";

struct Options {
  std::string link_path;
  std::string scenario_path;
  std::string log_path;
  std::string control_path;
  std::vector<std::string> directives;  // from the other options, in order
  bool help = false;
};

// The option that takes a value, and the directive it becomes.
struct OptionRow {
  std::string_view name;
  std::string_view directive;  // "" = a path kept in Options
};
constexpr OptionRow kOptionTable[] = {
    {"--link", ""},
    {"--scenario", ""},
    {"--log", ""},
    {"--control", ""},
    {"--signal", "signal"},
    {"--squelch", "squelch"},
    {"--search-rate", "search-rate"},
    {"--scan-rate", "scan-rate"},
    {"--resume-delay", "resume-delay"},
    {"--resize-delay", "resize-delay"},
    {"--baud", "baud"},
    {"--latency", "latency"},
    {"--fault", "fault"},
    {"--seed", "seed"},
};

std::optional<Options> parse_options(int argc, char** argv, std::string& error) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string_view argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      options.help = true;
      continue;
    }
    std::string value;
    const std::size_t equals = argument.find('=');
    const std::string_view name = argument.substr(0, equals);
    const auto row = std::find_if(std::begin(kOptionTable), std::end(kOptionTable),
                                  [&](const OptionRow& option) { return option.name == name; });
    if (row == std::end(kOptionTable)) {
      error = "unknown option '" + std::string(argument) + "'";
      return std::nullopt;
    }
    if (equals != std::string_view::npos) {
      value = argument.substr(equals + 1);
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else {
      error = std::string(name) + " needs a value";
      return std::nullopt;
    }
    if (name == "--link") {
      options.link_path = value;
    } else if (name == "--scenario") {
      options.scenario_path = value;
    } else if (name == "--log") {
      options.log_path = value;
    } else if (name == "--control") {
      options.control_path = value;
    } else {
      // MHZ:LEVEL and KIND:MS are written with a colon on the command line.
      std::replace(value.begin(), value.end(), ':', ' ');
      options.directives.push_back(std::string(row->directive) + " " + value);
    }
  }
  return options;
}

// The write end of the pipe the signal handler wakes the main loop through:
// the one piece of state a signal handler can reach.
int stop_pipe_write_end = -1;

void request_stop(int) {
  const char byte = 1;
  if (stop_pipe_write_end >= 0 && ::write(stop_pipe_write_end, &byte, 1) < 0) {
    // Nothing to do: the pipe is full, so a stop is already pending.
  }
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using LogFile = std::unique_ptr<std::FILE, FileCloser>;

// One reply on its way to the line.
struct PendingOutput {
  std::string bytes;
  std::size_t sent = 0;
  TimePoint due;
};

constexpr std::size_t kMaxQueuedBytes = 1 << 20;
constexpr std::size_t kMaxControlLine = 4096;
constexpr auto kPacingSlack = std::chrono::milliseconds(2);
constexpr auto kListenerCheck = std::chrono::milliseconds(20);

class Simulator {
 public:
  explicit Simulator(Options options) : options_(std::move(options)) {}
  int run();

 private:
  bool set_up();
  bool open_terminal();
  void hang_up();
  void listener_gone();
  void log_received(std::string_view text);
  void log_line(std::string_view text);
  void receive();
  void read_control();
  void enqueue(const Replies& replies);
  void write_due();
  int poll_timeout() const;
  Millis since_start(TimePoint when) const { return std::chrono::duration_cast<Millis>(when - clock_.start()); }

  Options options_;
  MonotonicClock clock_;
  Receiver receiver_{clock_};
  LineSettings line_;
  std::mt19937 random_;
  std::uint32_t seeded_with_ = 0;

  std::optional<PseudoTerminal> terminal_;
  SymbolicLink link_;
  ControlFifo control_;
  FileDescriptor stop_read_end_;
  FileDescriptor stop_write_end_;
  LogFile log_;

  CommandSplitter splitter_;
  std::deque<PendingOutput> queue_;
  std::size_t queued_bytes_ = 0;
  bool queue_overflow_reported_ = false;
  TimePoint next_byte_at_{};
  bool flow_stopped_ = false;   // XOFF received
  bool write_blocked_ = false;  // the terminal's buffer is full: wait for POLLOUT
  bool listener_ = false;       // somebody has the other end open
  std::optional<TimePoint> master_quiet_until_;
  std::string control_buffer_;
};

bool Simulator::set_up() {
  if (!options_.scenario_path.empty()) {
    std::ifstream file(options_.scenario_path, std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "ar8600-sim: cannot read %s\n", options_.scenario_path.c_str());
      return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    const auto problems = apply_scenario(text.str(), receiver_, line_);
    for (const auto& problem : problems) {
      std::fprintf(stderr, "ar8600-sim: %s: %s\n", options_.scenario_path.c_str(), problem.c_str());
    }
    if (!problems.empty()) return false;
  }
  for (const auto& directive : options_.directives) {
    const std::string problem = apply_directive(directive, receiver_, line_, Millis{0});
    if (!problem.empty()) {
      std::fprintf(stderr, "ar8600-sim: %s\n", problem.c_str());
      return false;
    }
  }
  random_.seed(line_.seed);
  seeded_with_ = line_.seed;

  if (!options_.log_path.empty()) {
    log_.reset(std::fopen(options_.log_path.c_str(), "w"));
    if (!log_) {
      std::fprintf(stderr, "ar8600-sim: cannot write %s: %s\n", options_.log_path.c_str(), std::strerror(errno));
      return false;
    }
    std::setvbuf(log_.get(), nullptr, _IOLBF, 0);
  }

  int ends[2];
  if (::pipe(ends) != 0) {
    std::perror("ar8600-sim: pipe");
    return false;
  }
  stop_read_end_ = FileDescriptor(ends[0]);
  stop_write_end_ = FileDescriptor(ends[1]);
  for (const int fd : ends) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  stop_pipe_write_end = stop_write_end_.get();
  struct sigaction action {};
  action.sa_handler = request_stop;
  sigemptyset(&action.sa_mask);
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal_number, &action, nullptr);
  action.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &action, nullptr);

  std::string error;
  if (!options_.control_path.empty() && !control_.create(options_.control_path, error)) {
    std::fprintf(stderr, "ar8600-sim: %s\n", error.c_str());
    return false;
  }
  return open_terminal();
}

// Opens a terminal and points the link at it; the link comes last, so a
// link that exists leads to a terminal that is ready.
bool Simulator::open_terminal() {
  std::string error;
  terminal_ = open_pseudo_terminal(line_.baud, error);
  if (!terminal_) {
    std::fprintf(stderr, "ar8600-sim: %s\n", error.c_str());
    return false;
  }
  if (!options_.link_path.empty() && !link_.point(options_.link_path, terminal_->slave_path, error)) {
    std::fprintf(stderr, "ar8600-sim: %s\n", error.c_str());
    terminal_.reset();
    return false;
  }
  splitter_ = CommandSplitter{};
  flow_stopped_ = false;
  write_blocked_ = false;
  listener_ = false;
  master_quiet_until_.reset();
  std::printf("ar8600-sim: %s%s%s\n", terminal_->slave_path.c_str(), options_.link_path.empty() ? "" : " linked from ",
              options_.link_path.c_str());
  std::fflush(stdout);
  return true;
}

void Simulator::hang_up() {
  terminal_.reset();
  queue_.clear();
  queued_bytes_ = 0;
  std::fprintf(stderr, "ar8600-sim: line hung up\n");
}

// Nobody has the other end open: what the receiver sends is lost, as on a
// serial port that is not open, and nothing is left over for the next
// program that opens it. The master polls as hung up meanwhile, so it is
// looked at again only every kListenerCheck.
void Simulator::listener_gone() {
  if (listener_) {
    std::fprintf(stderr, "ar8600-sim: the other end closed the line\n");
    ::tcflush(terminal_->master.get(), TCOFLUSH);
    splitter_ = CommandSplitter{};
    flow_stopped_ = false;
    write_blocked_ = false;
  }
  listener_ = false;
  queue_.clear();
  queued_bytes_ = 0;
  master_quiet_until_ = SteadyClock::now() + kListenerCheck;
}

void Simulator::log_received(std::string_view text) { log_line(visible_text(text)); }

void Simulator::log_line(std::string_view text) {
  if (!log_) return;
  const long long ms = clock_.now().count();
  std::fprintf(log_.get(), "%lld.%03lld %.*s\n", ms / 1000, ms % 1000, static_cast<int>(text.size()), text.data());
  std::fflush(log_.get());
}

// What a command sent at the wrong line speed gets back: bytes that are no
// reply and no line end, as the receiver's UART makes of misread bits.
constexpr std::string_view kWrongSpeedJunk = "\xF0\x80\xFE";

void Simulator::receive() {
  char buffer[4096];
  for (int reads = 0; reads < 16 && terminal_; ++reads) {
    const ssize_t count = ::read(terminal_->master.get(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      if (count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) listener_gone();
      return;
    }
    // At --baud N the receiver hears only a line set to N baud. The speed is
    // looked at once the bytes are in: the other end sets its line before it
    // writes, but may do both in the moment between a wake-up and the read.
    const bool wrong_speed = line_.baud > 0 && !line_speed_is(*terminal_, line_.baud);
    for (const auto& item : splitter_.feed(std::string_view(buffer, static_cast<std::size_t>(count)))) {
      if (wrong_speed && item.kind != ReceivedItem::Kind::flow_off && item.kind != ReceivedItem::Kind::flow_on) {
        log_line("# wrong line speed: " + visible_text(item.kind == ReceivedItem::Kind::command
                                                           ? item.text
                                                           : std::string(1, static_cast<char>(item.byte))));
        if (listener_) {
          queue_.push_back({std::string(kWrongSpeedJunk), 0, SteadyClock::now() + line_.latency});
          queued_bytes_ += kWrongSpeedJunk.size();
        }
        continue;
      }
      switch (item.kind) {
        case ReceivedItem::Kind::command:
          log_received(item.overlong ? item.text + "..." : item.text);
          enqueue(item.overlong ? receiver_.handle_overlong() : receiver_.handle_command(item.text));
          break;
        case ReceivedItem::Kind::key:
          log_received(std::string(1, static_cast<char>(item.byte)));
          enqueue(receiver_.handle_key(item.byte));
          break;
        case ReceivedItem::Kind::flow_off:
        case ReceivedItem::Kind::flow_on:
          log_received(std::string(1, static_cast<char>(item.byte)));
          flow_stopped_ = item.kind == ReceivedItem::Kind::flow_off;
          break;
      }
    }
  }
}

void Simulator::read_control() {
  char buffer[1024];
  const ssize_t count = ::read(control_.fd(), buffer, sizeof buffer);
  if (count <= 0) return;
  control_buffer_.append(buffer, static_cast<std::size_t>(count));
  std::size_t end;
  while ((end = control_buffer_.find('\n')) != std::string::npos) {
    const std::string line = control_buffer_.substr(0, end);
    control_buffer_.erase(0, end + 1);
    const std::string problem = apply_directive(line, receiver_, line_, clock_.now());
    log_line("# " + visible_text(line) + (problem.empty() ? "" : " (refused: " + problem + ")"));
    if (problem.empty()) {
      std::fprintf(stderr, "ar8600-sim: control: %s\n", line.c_str());
    } else {
      std::fprintf(stderr, "ar8600-sim: control: %s: %s\n", line.c_str(), problem.c_str());
    }
    if (line_.seed != seeded_with_) {
      random_.seed(line_.seed);
      seeded_with_ = line_.seed;
    }
  }
  if (control_buffer_.size() > kMaxControlLine) control_buffer_.clear();
}

void Simulator::enqueue(const Replies& replies) {
  const TimePoint now = SteadyClock::now();
  for (const auto& reply : replies) {
    if (line_.faults.silence || !terminal_ || !listener_) continue;
    std::string bytes = reply.text + "\r\n";
    if (line_.faults.garbage) bytes = garble(bytes, random_);
    if (queued_bytes_ + bytes.size() > kMaxQueuedBytes) {
      if (!queue_overflow_reported_) std::fprintf(stderr, "ar8600-sim: nobody reads the replies: dropping them\n");
      queue_overflow_reported_ = true;
      continue;
    }
    queue_overflow_reported_ = false;
    queued_bytes_ += bytes.size();
    queue_.push_back({std::move(bytes), 0, now + line_.latency + line_.faults.late + reply.delay});
  }
}

void Simulator::write_due() {
  if (!terminal_ || flow_stopped_ || write_blocked_) return;
  const TimePoint now = SteadyClock::now();
  const auto byte_time =
      line_.baud > 0 ? std::chrono::nanoseconds(11'000'000'000LL / line_.baud) : std::chrono::nanoseconds(0);
  while (!queue_.empty()) {
    PendingOutput& head = queue_.front();
    if (head.due > now) break;
    std::size_t count = head.bytes.size() - head.sent;
    if (line_.faults.bytewise || line_.baud > 0) {
      if (next_byte_at_ > now) break;
      if (line_.faults.bytewise) {
        count = 1;
      } else {
        // No credit for idle time beyond the poll's granularity.
        next_byte_at_ = std::max(next_byte_at_, TimePoint(now - kPacingSlack));
        const auto due_bytes = static_cast<std::size_t>((now - next_byte_at_) / byte_time) + 1;
        count = std::min(count, due_bytes);
      }
    }
    const ssize_t written = ::write(terminal_->master.get(), head.bytes.data() + head.sent, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) write_blocked_ = true;
      break;
    }
    const auto sent = static_cast<std::size_t>(written);
    head.sent += sent;
    if (line_.faults.bytewise) {
      next_byte_at_ = now + std::max<SteadyClock::duration>(line_.faults.byte_gap, byte_time);
    } else if (line_.baud > 0) {
      next_byte_at_ += byte_time * static_cast<long long>(sent);
    }
    if (head.sent == head.bytes.size()) {
      queued_bytes_ -= head.bytes.size();
      queue_.pop_front();
    }
  }
}

int Simulator::poll_timeout() const {
  std::optional<TimePoint> wake;
  auto consider = [&](TimePoint when) {
    if (!wake || when < *wake) wake = when;
  };
  if (const auto due = receiver_.next_due()) consider(clock_.start() + *due);
  if (terminal_ && !queue_.empty() && !flow_stopped_ && !write_blocked_) {
    const bool paced = line_.faults.bytewise || line_.baud > 0;
    consider(paced ? std::max(queue_.front().due, next_byte_at_) : queue_.front().due);
  }
  if (terminal_ && line_.faults.hangup_at) consider(clock_.start() + *line_.faults.hangup_at);
  if (master_quiet_until_) consider(*master_quiet_until_);
  if (!wake) return -1;
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*wake - SteadyClock::now());
  return static_cast<int>(std::clamp<long long>(wait.count(), 0, 60'000));
}

int Simulator::run() {
  if (!set_up()) return 1;
  while (true) {
    const TimePoint now = SteadyClock::now();
    if (master_quiet_until_ && *master_quiet_until_ <= now) master_quiet_until_.reset();
    if (terminal_ && line_.faults.hangup_at && *line_.faults.hangup_at <= since_start(now)) hang_up();
    if (!terminal_ && !line_.faults.hangup_at && !open_terminal()) return 1;
    enqueue(receiver_.advance());
    write_due();

    pollfd fds[3] = {};
    nfds_t count = 0;
    fds[count++] = {stop_read_end_.get(), POLLIN, 0};
    const int control_index = control_.fd() >= 0 ? static_cast<int>(count) : -1;
    if (control_index >= 0) fds[count++] = {control_.fd(), POLLIN, 0};
    int master_index = -1;
    if (terminal_ && !master_quiet_until_) {
      short events = POLLIN;
      if (write_blocked_) events = static_cast<short>(events | POLLOUT);
      master_index = static_cast<int>(count);
      fds[count++] = {terminal_->master.get(), events, 0};
    }
    if (::poll(fds, count, poll_timeout()) < 0) {
      if (errno == EINTR) continue;
      std::perror("ar8600-sim: poll");
      return 1;
    }
    if (fds[0].revents != 0) break;  // SIGINT, SIGTERM or SIGHUP
    if (control_index >= 0 && (fds[control_index].revents & POLLIN) != 0) read_control();
    if (master_index >= 0 && terminal_) {
      const short revents = fds[master_index].revents;
      const bool hung_up = (revents & (POLLHUP | POLLERR)) != 0;
      if (!hung_up) listener_ = true;
      if ((revents & POLLOUT) != 0) write_blocked_ = false;
      // What came before a hang-up is still read: the last command may be EX.
      if ((revents & POLLIN) != 0) receive();
      if (hung_up && terminal_) listener_gone();
    }
  }
  stop_pipe_write_end = -1;
  std::fprintf(stderr, "ar8600-sim: stopped\n");
  return 0;
}

}  // namespace
}  // namespace ar8600sim

int main(int argc, char** argv) {
  std::string error;
  auto options = ar8600sim::parse_options(argc, argv, error);
  if (!options) {
    std::fprintf(stderr, "ar8600-sim: %s (try --help)\n", error.c_str());
    return 2;
  }
  if (options->help) {
    std::fputs(ar8600sim::kUsageHead, stdout);
    std::fputs(ar8600sim::kDirectiveHelp, stdout);
    std::fputs(ar8600sim::kUsageTail, stdout);
    return 0;
  }
  ar8600sim::Simulator simulator(std::move(*options));
  return simulator.run();
}
