#pragma once
// The POSIX side of the simulator: file descriptors, the pseudo-terminal the
// receiver talks through, the symbolic link to it, and the control FIFO.

#include <optional>
#include <string>
#include <utility>

namespace ar8600sim {

// Owns one file descriptor; -1 when it holds none.
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
  void reset();

 private:
  int fd_ = -1;
};

// A pseudo-terminal whose slave end is in raw mode, 8 data bits, 2 stop
// bits. The slave is not held open here: while nobody has it open the master
// polls as hung up, which tells the simulator that nobody is listening.
struct PseudoTerminal {
  FileDescriptor master;  // non-blocking
  std::string slave_path;
};

// Nothing, with the reason in `error`, when the terminal cannot be made.
std::optional<PseudoTerminal> open_pseudo_terminal(long baud, std::string& error);

// Whether the line speed set on the terminal (by whoever has the slave end
// open: on Linux the master reads the slave's settings) is baud.
bool line_speed_is(const PseudoTerminal& terminal, long baud);

// A symbolic link at `path` to `target`, replacing a link that is there
// (but never a file). Removed again by its destructor when it still points
// to the same target.
class SymbolicLink {
 public:
  SymbolicLink() = default;
  SymbolicLink(SymbolicLink&& other) noexcept : path_(std::move(other.path_)), target_(std::move(other.target_)) {
    other.path_.clear();
  }
  SymbolicLink& operator=(SymbolicLink&&) = delete;
  SymbolicLink(const SymbolicLink&) = delete;
  SymbolicLink& operator=(const SymbolicLink&) = delete;
  ~SymbolicLink() { remove(); }

  // Points the link (again) at `target`; false with the reason in `error`.
  bool point(const std::string& path, const std::string& target, std::string& error);
  void remove();

 private:
  std::string path_;
  std::string target_;
};

// A FIFO made at `path` and open for reading; removed by its destructor.
class ControlFifo {
 public:
  ControlFifo() = default;
  ControlFifo(const ControlFifo&) = delete;
  ControlFifo& operator=(const ControlFifo&) = delete;
  ~ControlFifo();

  bool create(const std::string& path, std::string& error);
  int fd() const { return fd_.get(); }

 private:
  std::string path_;
  FileDescriptor fd_;
};

}  // namespace ar8600sim
