#include "platform/posix/posix_serial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <utility>

namespace talvaro {
namespace {

using SteadyClock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

// How long one write may wait for the driver to take bytes (XOFF received,
// CTS low, buffer full) before it gives up and reports what was taken.
constexpr Milliseconds write_time_limit{200};
// How long closing waits for queued output to leave before it discards it.
constexpr Milliseconds close_drain_limit{200};
// Longest gap between two received bytes that a waiting read sits out.
constexpr Milliseconds read_interval_limit{1000};
// Ceiling on a waiting read's whole time-out, however large the multiplier
// and count: keeps the clock arithmetic in range.
constexpr std::int64_t read_total_limit_ms = 3'600'000;
// Per-byte read time-out in force right after opening.
constexpr int initial_read_multiplier_ms = 5;

struct BaudRow {
  int baud;
  speed_t speed;
};

// The rates the terminal interface can name. Anything else cannot be set.
constexpr BaudRow baud_table[] = {
    {50, B50},           {75, B75},     {110, B110},   {134, B134},     {150, B150},
    {200, B200},         {300, B300},   {600, B600},   {1200, B1200},   {1800, B1800},
    {2400, B2400},       {4800, B4800}, {9600, B9600}, {19200, B19200}, {38400, B38400},
#ifdef B57600
    {57600, B57600},
#endif
#ifdef B115200
    {115200, B115200},
#endif
#ifdef B230400
    {230400, B230400},
#endif
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},
#endif
#ifdef B576000
    {576000, B576000},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
#ifdef B1152000
    {1152000, B1152000},
#endif
#ifdef B1500000
    {1500000, B1500000},
#endif
#ifdef B2000000
    {2000000, B2000000},
#endif
#ifdef B2500000
    {2500000, B2500000},
#endif
#ifdef B3000000
    {3000000, B3000000},
#endif
#ifdef B3500000
    {3500000, B3500000},
#endif
#ifdef B4000000
    {4000000, B4000000},
#endif
};

struct DataBitsRow {
  int data_bits;
  tcflag_t size;
};

constexpr DataBitsRow data_bits_table[] = {{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}};

struct ParityRow {
  int code;
  tcflag_t bits;
};

// Parity codes as the port layer numbers them: 0 none, 1 odd, 2 even. Mark
// and space (3, 4) have no portable terminal setting and are refused.
constexpr ParityRow parity_table[] = {{0, 0}, {1, PARENB | PARODD}, {2, PARENB}};

// The character-format bits of c_cflag that set_line_format owns.
constexpr tcflag_t format_bits = CSIZE | PARENB | PARODD | CSTOPB;

// Flow-control bits that stay as the driver had them.
constexpr tcflag_t kept_input_bits = IXON | IXOFF | IXANY;

const speed_t* speed_for(int baud) {
  for (const BaudRow& row : baud_table) {
    if (row.baud == baud) return &row.speed;
  }
  return nullptr;
}

template <typename Call>
auto retry_on_eintr(Call call) {
  for (;;) {
    const auto result = call();
    if (result != -1 || errno != EINTR) return result;
  }
}

// Milliseconds left until the deadline, rounded up so that a wait never ends
// just before it; 0 once the deadline has passed.
int ms_until(SteadyClock::time_point deadline) {
  const auto left = std::chrono::ceil<Milliseconds>(deadline - SteadyClock::now()).count();
  return static_cast<int>(std::clamp<std::int64_t>(left, 0, 1'000'000'000));
}

// Errors after which the device is gone for good (hung up, unplugged).
bool is_hang_up_error(int error) { return error == EIO || error == ENXIO || error == ENODEV || error == EBADF; }

// Owns one file descriptor and closes it once. close() is not retried on
// EINTR: the descriptor is released either way, and a retry could close a
// descriptor another part of the program has just been given.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

// Port N's device: COMN in the working folder when that name exists in any
// form (even a dangling link, which then fails to open rather than quietly
// falling back to another port), otherwise the N-th built-in serial port.
std::string device_path(int port_number) {
  const std::string local = "COM" + std::to_string(port_number);
  struct stat info {};
  if (::lstat(local.c_str(), &info) == 0) return local;
  return "/dev/ttyS" + std::to_string(port_number - 1);
}

// Opens the path only if it leads to a terminal device. Non-blocking, so that
// neither a missing carrier nor a FIFO can hold the open up.
FileDescriptor open_terminal(const std::string& path) {
  FileDescriptor fd(retry_on_eintr([&] { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); }));
  if (!fd.valid()) return fd;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISCHR(info.st_mode) || ::isatty(fd.get()) != 1) fd.reset();
  return fd;
}

// Takes the advisory lock that keeps a second opener (in this or another
// process) away. Only "somebody holds it" refuses the port; a device whose
// file system cannot lock still relies on TIOCEXCL alone.
bool lock_exclusive(int fd) {
  if (retry_on_eintr([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) == 0) return true;
  return errno != EWOULDBLOCK && errno != EAGAIN;
}

class PosixSerialDevice final : public SerialDevice {
 public:
  PosixSerialDevice(FileDescriptor fd, const termios& found) : fd_(std::move(fd)), found_(found) {
    ::ioctl(fd_.get(), TIOCEXCL);
  }

  PosixSerialDevice(const PosixSerialDevice&) = delete;
  PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

  ~PosixSerialDevice() override { give_back(); }

  // Raw mode at the speed, 8 data bits, no parity, one stop bit.
  bool set_up(speed_t speed) {
    termios raw = found_;
    raw.c_iflag &= kept_input_bits;
    raw.c_oflag = 0;
    raw.c_lflag = 0;
    raw.c_cflag &= ~format_bits;
#ifdef CMSPAR
    raw.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
    raw.c_cflag |= CS8 | CREAD | CLOCAL;
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    if (::cfsetispeed(&raw, speed) != 0 || ::cfsetospeed(&raw, speed) != 0) return false;
    return apply(raw);
  }

  bool set_line_format(int data_bits, int parity, int stop_bits) override {
    if (hung_up_) return false;
    const auto size = std::find_if(std::begin(data_bits_table), std::end(data_bits_table),
                                   [&](const DataBitsRow& row) { return row.data_bits == data_bits; });
    const auto parity_row = std::find_if(std::begin(parity_table), std::end(parity_table),
                                         [&](const ParityRow& row) { return row.code == parity; });
    if (size == std::end(data_bits_table) || parity_row == std::end(parity_table)) return false;

    termios wanted{};
    if (::tcgetattr(fd_.get(), &wanted) != 0) {
      note_error(errno);
      return false;
    }
    wanted.c_cflag &= ~format_bits;
    wanted.c_cflag |= size->size | parity_row->bits | (stop_bits == 1 ? 0 : CSTOPB);
    return apply(wanted);
  }

  void set_read_timeouts(int multiplier) override { read_multiplier_ms_ = multiplier; }

  int bytes_waiting() override {
    if (hung_up_) return 0;
    int count = 0;
    if (::ioctl(fd_.get(), FIONREAD, &count) != 0) {
      note_error(errno);
      return 0;
    }
    // Line errors need no clearing here: raw mode without parity checking
    // delivers a damaged character as data and never holds the input up.
    if (count > 0) return count;
    check_hang_up();
    return 0;
  }

  int read(char* buffer, int max_count) override {
    if (hung_up_ || buffer == nullptr || max_count <= 0) return 0;
    if (read_multiplier_ms_ <= 0) return read_arrived(buffer, max_count);
    return read_waiting(buffer, max_count);
  }

  int write(const char* bytes, int count) override {
    if (hung_up_ || bytes == nullptr || count <= 0) return 0;
    const auto deadline = SteadyClock::now() + write_time_limit;
    int written = 0;
    bool woken_for_room = false;
    while (written < count) {
      const ssize_t n = ::write(fd_.get(), bytes + written, static_cast<std::size_t>(count - written));
      if (n > 0) {
        written += static_cast<int>(n);
        woken_for_room = false;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        note_error(errno);
        break;
      }
      // The driver takes nothing now. A driver that reported room and still
      // takes nothing would only spin us until the deadline: give up at once.
      if (woken_for_room) break;
      const int wait_ms = ms_until(deadline);
      if (wait_ms == 0) break;
      pollfd watch{fd_.get(), POLLOUT, 0};
      const int ready = ::poll(&watch, 1, wait_ms);
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) break;
      if (line_gone(watch.revents)) {
        hung_up_ = true;
        break;
      }
      woken_for_room = true;
    }
    return written;
  }

 private:
  // Writes the settings and reads them back: a driver may accept the call
  // yet quietly keep some of its old settings. Anything short of the wanted
  // result puts the previous settings back and reports failure.
  bool apply(const termios& wanted) {
    termios before{};
    if (::tcgetattr(fd_.get(), &before) != 0) {
      note_error(errno);
      return false;
    }
    if (retry_on_eintr([&] { return ::tcsetattr(fd_.get(), TCSANOW, &wanted); }) != 0) {
      note_error(errno);
      put_back(before);
      return false;
    }
    termios now{};
    if (::tcgetattr(fd_.get(), &now) != 0) {
      note_error(errno);
      put_back(before);
      return false;
    }
    if (!took(wanted, now)) {
      put_back(before);
      return false;
    }
    return true;
  }

  static bool took(const termios& wanted, const termios& now) {
    constexpr tcflag_t checked_cflag = format_bits | CREAD | CLOCAL;
    return (now.c_cflag & checked_cflag) == (wanted.c_cflag & checked_cflag) && now.c_iflag == wanted.c_iflag &&
           now.c_lflag == wanted.c_lflag && now.c_cc[VMIN] == wanted.c_cc[VMIN] &&
           now.c_cc[VTIME] == wanted.c_cc[VTIME] && ::cfgetospeed(&now) == ::cfgetospeed(&wanted) &&
           ::cfgetispeed(&now) == ::cfgetispeed(&wanted);
  }

  void put_back(const termios& settings) {
    retry_on_eintr([&] { return ::tcsetattr(fd_.get(), TCSANOW, &settings); });
  }

  // One read of what has arrived; never waits.
  int read_arrived(char* buffer, int max_count) {
    const ssize_t n = retry_on_eintr([&] { return ::read(fd_.get(), buffer, static_cast<std::size_t>(max_count)); });
    if (n > 0) return static_cast<int>(n);
    if (n == 0) {
      // Raw mode with VMIN = VTIME = 0 also reads 0 when nothing is there,
      // so only the poll state tells an idle line from a hung-up one.
      check_hang_up();
    } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
      note_error(errno);
    }
    return 0;
  }

  // Waits for up to multiplier ms per requested byte in all, and after the
  // first byte for at most the interval limit between two arrivals.
  int read_waiting(char* buffer, int max_count) {
    const auto total =
        Milliseconds(std::min(static_cast<std::int64_t>(read_multiplier_ms_) * max_count, read_total_limit_ms));
    const auto deadline = SteadyClock::now() + total;
    int got = 0;
    bool woken = false;
    for (;;) {
      const int n = read_arrived(buffer + got, max_count - got);
      got += n;
      if (got == max_count || hung_up_) return got;
      // Reported readable, yet the read found nothing: stop rather than spin.
      if (woken && n == 0) return got;
      int wait_ms = ms_until(deadline);
      if (got > 0) wait_ms = std::min(wait_ms, static_cast<int>(read_interval_limit.count()));
      if (wait_ms == 0) return got;
      pollfd watch{fd_.get(), POLLIN, 0};
      const int ready = ::poll(&watch, 1, wait_ms);
      woken = ready > 0;
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return got;
      if (line_gone(watch.revents) && (watch.revents & POLLIN) == 0) {
        hung_up_ = true;
        return got;
      }
    }
  }

  static bool line_gone(short revents) { return (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0; }

  // A zero-time poll: a hung-up terminal reports POLLHUP for good.
  void check_hang_up() {
    pollfd watch{fd_.get(), POLLIN, 0};
    if (retry_on_eintr([&] { return ::poll(&watch, 1, 0); }) > 0 && line_gone(watch.revents)) hung_up_ = true;
  }

  void note_error(int error) {
    if (is_hang_up_error(error)) hung_up_ = true;
  }

  // Lets queued output leave at the current settings for a short while; what
  // is still stuck then (XOFF, CTS low) is discarded, so that neither the
  // restore nor the close can wait on it.
  bool output_drained() {
    const auto deadline = SteadyClock::now() + close_drain_limit;
    for (;;) {
      int queued = 0;
      if (::ioctl(fd_.get(), TIOCOUTQ, &queued) != 0) return false;
      if (queued <= 0) return true;
      if (SteadyClock::now() >= deadline) return false;
      ::poll(nullptr, 0, 5);
    }
  }

  void give_back() {
    if (!fd_.valid()) return;
    if (output_drained()) {
      // The driver's queue is empty; TCSADRAIN now waits only for the
      // characters still in the UART, which the driver bounds itself.
      retry_on_eintr([&] { return ::tcsetattr(fd_.get(), TCSADRAIN, &found_); });
    } else {
      retry_on_eintr([&] { return ::tcflush(fd_.get(), TCOFLUSH); });
      put_back(found_);
    }
    ::ioctl(fd_.get(), TIOCNXCL);
    fd_.reset();
  }

  FileDescriptor fd_;
  termios found_;
  int read_multiplier_ms_ = initial_read_multiplier_ms;
  bool hung_up_ = false;
};

}  // namespace

std::unique_ptr<SerialDevice> PosixSerialPorts::open(int port_number, int baud) {
  if (port_number < 1 || port_number > 256) return nullptr;
  return open_serial_device(device_path(port_number), baud);
}

std::unique_ptr<SerialDevice> open_serial_device(const std::string& path, int baud) {
  const speed_t* speed = speed_for(baud);
  if (speed == nullptr) return nullptr;

  FileDescriptor fd = open_terminal(path);
  if (!fd.valid() || !lock_exclusive(fd.get())) return nullptr;
  termios found{};
  if (::tcgetattr(fd.get(), &found) != 0) return nullptr;

  // From here on the device owns the descriptor: a failed set-up gives the
  // found settings back and closes it.
  auto device = std::make_unique<PosixSerialDevice>(std::move(fd), found);
  if (!device->set_up(*speed)) return nullptr;
  return device;
}

}  // namespace talvaro
