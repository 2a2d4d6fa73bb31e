#include "terminal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace ar8600sim {
namespace {

std::string reason(const std::string& what) { return what + ": " + std::strerror(errno); }

// The termios speed for a baud rate; 9600 when it has none.
speed_t speed_for(long baud) {
  struct SpeedRow {
    long baud;
    speed_t speed;
  };
  static constexpr SpeedRow kSpeeds[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
                                         {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};
  for (const auto& row : kSpeeds) {
    if (row.baud == baud) return row.speed;
  }
  return B9600;
}

}  // namespace

bool line_speed_is(const PseudoTerminal& terminal, long baud) {
  termios settings{};
  if (::tcgetattr(terminal.master.get(), &settings) != 0) return false;
  return ::cfgetospeed(&settings) == speed_for(baud) && ::cfgetispeed(&settings) == speed_for(baud);
}

void FileDescriptor::reset() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::optional<PseudoTerminal> open_pseudo_terminal(long baud, std::string& error) {
  PseudoTerminal terminal;
  terminal.master = FileDescriptor(::posix_openpt(O_RDWR | O_NOCTTY));
  if (!terminal.master.valid()) {
    error = reason("posix_openpt");
    return std::nullopt;
  }
  const int master = terminal.master.get();
  if (::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    error = reason("grantpt/unlockpt");
    return std::nullopt;
  }
  const char* name = ::ptsname(master);
  if (name == nullptr) {
    error = reason("ptsname");
    return std::nullopt;
  }
  terminal.slave_path = name;
  // Opened only to set it up; the settings stay with the terminal.
  const FileDescriptor slave(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!slave.valid()) {
    error = reason("open " + terminal.slave_path);
    return std::nullopt;
  }
  termios settings{};
  if (::tcgetattr(slave.get(), &settings) != 0) {
    error = reason("tcgetattr");
    return std::nullopt;
  }
  // Raw: every byte passes as it is (0x11, 0x13 and 0x1E too), no echo.
  ::cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD | CSTOPB;
  settings.c_cflag &= ~static_cast<tcflag_t>(PARENB | CRTSCTS);
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  ::cfsetispeed(&settings, speed_for(baud));
  ::cfsetospeed(&settings, speed_for(baud));
  if (::tcsetattr(slave.get(), TCSANOW, &settings) != 0) {
    error = reason("tcsetattr");
    return std::nullopt;
  }
  const int flags = ::fcntl(master, F_GETFL);
  if (flags < 0 || ::fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0 || ::fcntl(master, F_SETFD, FD_CLOEXEC) != 0) {
    error = reason("fcntl");
    return std::nullopt;
  }
  return terminal;
}

bool SymbolicLink::point(const std::string& path, const std::string& target, std::string& error) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
    error = path + " exists and is not a symbolic link: left alone";
    return false;
  }
  // Made beside it and renamed over it, so the path never goes missing.
  const std::string temporary = path + ".new" + std::to_string(::getpid());
  ::unlink(temporary.c_str());
  if (::symlink(target.c_str(), temporary.c_str()) != 0) {
    error = reason("symlink " + temporary);
    return false;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    error = reason("rename to " + path);
    ::unlink(temporary.c_str());
    return false;
  }
  path_ = path;
  target_ = target;
  return true;
}

void SymbolicLink::remove() {
  if (path_.empty()) return;
  std::vector<char> buffer(4096);
  const ssize_t length = ::readlink(path_.c_str(), buffer.data(), buffer.size());
  if (length >= 0 && std::string(buffer.data(), static_cast<std::size_t>(length)) == target_) {
    ::unlink(path_.c_str());
  }
  path_.clear();
}

bool ControlFifo::create(const std::string& path, std::string& error) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0) {
    if (!S_ISFIFO(info.st_mode)) {
      error = path + " exists and is not a FIFO: left alone";
      return false;
    }
    ::unlink(path.c_str());
  }
  if (::mkfifo(path.c_str(), 0600) != 0) {
    error = reason("mkfifo " + path);
    return false;
  }
  path_ = path;
  // Open for writing too, so the FIFO never reads as ended between writers.
  fd_ = FileDescriptor(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
  if (!fd_.valid()) {
    error = reason("open " + path);
    return false;
  }
  return true;
}

ControlFifo::~ControlFifo() {
  fd_.reset();
  if (!path_.empty()) ::unlink(path_.c_str());
}

}  // namespace ar8600sim
