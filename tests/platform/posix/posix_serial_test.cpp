// The POSIX serial port against real pseudo-terminals: the test holds the
// master end (the "receiver") and a second descriptor on the slave end to
// look at and change the terminal settings from outside.

#include "platform/posix/posix_serial.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>

namespace talvaro {
namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Generous bound for anything that must happen "at once" or "promptly".
constexpr auto prompt = 2s;

class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    char name[128] = {};
    if (::ptsname_r(master_, name, sizeof name) != 0) return;
    slave_path_ = name;
    // Opened before the port under test, so its exclusive hold cannot keep
    // this descriptor out; it also keeps the slave's settings alive after
    // the port closes.
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;
  ~PseudoTerminal() {
    close_master();
    if (slave_ >= 0) ::close(slave_);
  }

  bool ready() const { return master_ >= 0 && slave_ >= 0; }
  const std::string& slave_path() const { return slave_path_; }
  int slave() const { return slave_; }

  void close_master() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  termios settings() const {
    termios t{};
    EXPECT_EQ(::tcgetattr(slave_, &t), 0);
    return t;
  }
  void set_settings(const termios& t) { ASSERT_EQ(::tcsetattr(slave_, TCSANOW, &t), 0); }

  // The receiver sends.
  void send(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::write(master_, bytes.data(), bytes.size());
      ASSERT_GT(n, 0);
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }

  // What the receiver got: reads until count bytes are in or nothing comes
  // for a long while.
  std::string receive(std::size_t count) {
    std::string got;
    while (got.size() < count) {
      pollfd watch{master_, POLLIN, 0};
      if (::poll(&watch, 1, 2000) <= 0) break;
      char buffer[4096];
      const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n <= 0) break;
      got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slave_path_;
};

int open_descriptor_count() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

// Collects count bytes from the port the way the core does (ask, then read
// at most 255), sleeping briefly while nothing is there.
std::string read_all(SerialDevice& port, std::size_t count) {
  std::string got;
  const auto give_up = SteadyClock::now() + 5s;
  while (got.size() < count && SteadyClock::now() < give_up) {
    if (port.bytes_waiting() == 0) {
      std::this_thread::sleep_for(1ms);
      continue;
    }
    char buffer[255];
    const int n = port.read(buffer, sizeof buffer);
    EXPECT_GE(n, 0);
    EXPECT_LE(n, 255);
    if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
  }
  return got;
}

class PosixSerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_folder_ = fs::current_path();
    std::string pattern = (fs::temp_directory_path() / "talvaro-serial-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    fs::current_path(folder_);

    ASSERT_TRUE(pty_.ready());
    // Distinctive settings for the port to find: a cooked, echoing line at
    // 4800 baud without flow control.
    termios found = pty_.settings();
    found.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    found.c_iflag |= ICRNL;
    found.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    found.c_oflag |= OPOST | ONLCR;
    found.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSTOPB);
    ASSERT_EQ(::cfsetspeed(&found, B4800), 0);
    pty_.set_settings(found);
    link("COM3", pty_);
  }

  void TearDown() override {
    fs::current_path(old_folder_);
    fs::remove_all(folder_);
  }

  static void link(const std::string& name, const PseudoTerminal& pty) {
    ASSERT_EQ(::symlink(pty.slave_path().c_str(), name.c_str()), 0) << name;
  }

  std::unique_ptr<SerialDevice> open_com3(int baud = 9600) { return ports_.open(3, baud); }

  PosixSerialPorts ports_;
  PseudoTerminal pty_;
  fs::path old_folder_;
  fs::path folder_;
};

TEST_F(PosixSerialTest, OpensThroughComLinkInRawModeAtTheBaudRate) {
  auto port = open_com3(19200);
  ASSERT_NE(port, nullptr);
  const termios t = pty_.settings();
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), 0u);
  EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
  EXPECT_EQ(t.c_cc[VMIN], 0);
  EXPECT_EQ(t.c_cc[VTIME], 0);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B19200));

  // The top of the table works too.
  port.reset();
  port = open_com3(4000000);
  ASSERT_NE(port, nullptr);
  const termios fast = pty_.settings();
  EXPECT_EQ(::cfgetospeed(&fast), static_cast<speed_t>(B4000000));
}

TEST_F(PosixSerialTest, KeepsFlowControlAsFound) {
  termios found = pty_.settings();
  found.c_iflag |= IXON | IXOFF;
  found.c_cflag |= CRTSCTS;
  pty_.set_settings(found);

  auto port = open_com3();
  ASSERT_NE(port, nullptr);
  const termios t = pty_.settings();
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), static_cast<tcflag_t>(IXON | IXOFF));
  EXPECT_EQ(t.c_cflag & CRTSCTS, static_cast<tcflag_t>(CRTSCTS));
  EXPECT_EQ(t.c_lflag & ICANON, 0u);
}

TEST_F(PosixSerialTest, BytesTravelUnchangedBothWays) {
  auto port = open_com3();
  ASSERT_NE(port, nullptr);
  port->set_read_timeouts(-1);

  // Nothing pending: both calls answer 0 at once.
  char buffer[255];
  const auto start = SteadyClock::now();
  EXPECT_EQ(port->bytes_waiting(), 0);
  EXPECT_EQ(port->read(buffer, sizeof buffer), 0);
  EXPECT_LT(SteadyClock::now() - start, prompt);

  // A command goes out as L, M, CR: no translation, no echo, nothing added.
  EXPECT_EQ(port->write("LM\r", 3), 3);
  EXPECT_EQ(port->write("\n\x1e", 2), 2);
  EXPECT_EQ(port->write("Z", 1), 1);
  EXPECT_EQ(pty_.receive(6), std::string("LM\r\n\x1eZ"));

  // A reply comes in byte for byte, control characters included.
  const std::string reply("LM%123\r\n\x03\x7f\x1a\x00\x15", 13);
  pty_.send(reply);
  EXPECT_EQ(read_all(*port, reply.size()), reply);
  EXPECT_EQ(port->bytes_waiting(), 0);
  EXPECT_EQ(port->read(buffer, sizeof buffer), 0);
}

TEST_F(PosixSerialTest, LargeReplyIsReadInPiecesWithoutLoss) {
  auto port = open_com3();
  ASSERT_NE(port, nullptr);
  port->set_read_timeouts(-1);

  std::string junk(4000, '\0');
  for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 7 + i / 256) % 256);
  pty_.send(junk);
  EXPECT_EQ(read_all(*port, junk.size()), junk);
}

TEST_F(PosixSerialTest, WaitingReadsCollectBytesUntilTheyAllArrive) {
  auto port = open_com3();
  ASSERT_NE(port, nullptr);
  char buffer[16] = {};

  // Right after opening, reads wait 5 ms per requested byte: 20 bytes, 100 ms.
  auto start = SteadyClock::now();
  EXPECT_EQ(port->read(buffer, 20), 0);
  auto waited = SteadyClock::now() - start;
  EXPECT_GE(waited, 90ms);
  EXPECT_LT(waited, prompt);

  // What is there already comes back without waiting for the rest.
  port->set_read_timeouts(1000);
  pty_.send("LM");
  std::thread later([&] {
    std::this_thread::sleep_for(10ms);
    pty_.send("%123");
  });
  EXPECT_EQ(port->read(buffer, 6), 6);
  later.join();
  EXPECT_EQ(std::string(buffer, 6), "LM%123");

  port->set_read_timeouts(-1);
  start = SteadyClock::now();
  EXPECT_EQ(port->read(buffer, 16), 0);
  EXPECT_LT(SteadyClock::now() - start, prompt);
}

TEST_F(PosixSerialTest, PortIsExclusiveWhileOpen) {
  PseudoTerminal other;
  ASSERT_TRUE(other.ready());
  link("COM4", pty_);  // a second name for the same device
  const int descriptors = open_descriptor_count();

  auto first = open_com3();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(open_com3(), nullptr);
  EXPECT_EQ(ports_.open(4, 9600), nullptr);
  EXPECT_EQ(open_descriptor_count(), descriptors + 1);

  // The first holder is undisturbed by the refused attempts.
  first->set_read_timeouts(-1);
  EXPECT_EQ(first->write("LM\r", 3), 3);
  EXPECT_EQ(pty_.receive(3), "LM\r");

  first.reset();
  EXPECT_EQ(open_descriptor_count(), descriptors);
  EXPECT_NE(open_com3(), nullptr);
}

TEST_F(PosixSerialTest, ClosingRestoresTheSettingsFoundAtOpen) {
  const termios found = pty_.settings();
  {
    auto port = open_com3(19200);
    ASSERT_NE(port, nullptr);
    ASSERT_TRUE(port->set_line_format(8, 0, 2));
    EXPECT_EQ(port->write("EX\r", 3), 3);
  }
  const termios after = pty_.settings();
  EXPECT_EQ(after.c_iflag, found.c_iflag);
  EXPECT_EQ(after.c_oflag, found.c_oflag);
  EXPECT_EQ(after.c_cflag, found.c_cflag);
  EXPECT_EQ(after.c_lflag, found.c_lflag);
  EXPECT_EQ(after.c_cc[VMIN], found.c_cc[VMIN]);
  EXPECT_EQ(after.c_cc[VTIME], found.c_cc[VTIME]);
  EXPECT_EQ(::cfgetospeed(&after), static_cast<speed_t>(B4800));
  EXPECT_EQ(after.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
  EXPECT_EQ(pty_.receive(3), "EX\r");
}

TEST_F(PosixSerialTest, LineFormatSetsStopBitsAndRefusesWhatItCannotSet) {
  auto port = open_com3();
  ASSERT_NE(port, nullptr);
  const auto two_stop_bits = [&] { return (pty_.settings().c_cflag & CSTOPB) != 0; };

  ASSERT_FALSE(two_stop_bits());
  EXPECT_TRUE(port->set_line_format(8, 0, 2));
  EXPECT_TRUE(two_stop_bits());
  EXPECT_TRUE(port->set_line_format(8, 0, 1));
  EXPECT_FALSE(two_stop_bits());
  EXPECT_TRUE(port->set_line_format(8, 0, 0));
  EXPECT_TRUE(two_stop_bits());

  // Mark and space parity, and data bits outside 5 to 8: refused, nothing changes.
  const termios before = pty_.settings();
  for (const auto& [data_bits, parity] : {std::pair{8, 3}, {8, 4}, {8, -1}, {9, 0}, {4, 0}}) {
    EXPECT_FALSE(port->set_line_format(data_bits, parity, 1)) << data_bits << " " << parity;
    EXPECT_EQ(pty_.settings().c_cflag, before.c_cflag) << data_bits << " " << parity;
  }

  // A driver may take the call yet keep its own format (pseudo-terminals
  // stay at 8 bits without parity): the answer must match what the device
  // really holds, and a refusal must leave the old format.
  const bool taken = port->set_line_format(7, 2, 1);
  const termios now = pty_.settings();
  const bool holds =
      (now.c_cflag & CSIZE) == CS7 && (now.c_cflag & (PARENB | PARODD)) == PARENB && (now.c_cflag & CSTOPB) == 0;
  EXPECT_EQ(taken, holds);
  if (!taken) {
    EXPECT_EQ(now.c_cflag, before.c_cflag);
  }
}

TEST_F(PosixSerialTest, UnsupportedBaudRateFailsWithoutTouchingTheDevice) {
  const termios found = pty_.settings();
  const int descriptors = open_descriptor_count();
  for (const int baud : {12345, 0, -9600, 4000001, 2147483647}) EXPECT_EQ(open_com3(baud), nullptr) << baud;
  EXPECT_EQ(open_descriptor_count(), descriptors);
  const termios after = pty_.settings();
  EXPECT_EQ(after.c_lflag, found.c_lflag);
  EXPECT_EQ(after.c_cflag, found.c_cflag);
  EXPECT_NE(open_com3(9600), nullptr);
}

TEST_F(PosixSerialTest, ComNameThatIsNoTerminalFails) {
  std::ofstream("COM5") << "hello";
  ASSERT_EQ(::mkfifo("COM6", 0600), 0);
  fs::create_directory("COM7");
  const int descriptors = open_descriptor_count();

  EXPECT_EQ(ports_.open(5, 9600), nullptr);
  EXPECT_EQ(ports_.open(6, 9600), nullptr);
  EXPECT_EQ(ports_.open(7, 9600), nullptr);
  EXPECT_EQ(open_descriptor_count(), descriptors);

  std::ifstream file("COM5");
  std::string content;
  std::getline(file, content);
  EXPECT_EQ(content, "hello");
}

TEST_F(PosixSerialTest, PortNumbersOutsideOneTo256NeverOpen) {
  link("COM0", pty_);
  link("COM257", pty_);
  link("COM-1", pty_);
  EXPECT_EQ(ports_.open(0, 9600), nullptr);
  EXPECT_EQ(ports_.open(257, 9600), nullptr);
  EXPECT_EQ(ports_.open(-1, 9600), nullptr);

  link("COM256", pty_);
  EXPECT_NE(ports_.open(256, 9600), nullptr);
}

TEST_F(PosixSerialTest, WritesGiveUpWhenTheLineIsHeld) {
  auto port = open_com3();
  ASSERT_NE(port, nullptr);

  // Output stopped, as after an XOFF from the receiver.
  ASSERT_EQ(::tcflow(pty_.slave(), TCOOFF), 0);
  auto start = SteadyClock::now();
  EXPECT_EQ(port->write("LM\r", 3), 0);
  EXPECT_LT(SteadyClock::now() - start, prompt);

  ASSERT_EQ(::tcflow(pty_.slave(), TCOON), 0);
  EXPECT_EQ(port->write("LM\r", 3), 3);
  EXPECT_EQ(pty_.receive(3), "LM\r");

  // A receiver that reads nothing: the write stops when the buffers are full
  // and reports exactly what went out.
  const std::string flood(1 << 20, 'x');
  start = SteadyClock::now();
  const int taken = port->write(flood.data(), static_cast<int>(flood.size()));
  EXPECT_LT(SteadyClock::now() - start, prompt);
  EXPECT_GT(taken, 0);
  EXPECT_LT(taken, static_cast<int>(flood.size()));
  EXPECT_EQ(pty_.receive(static_cast<std::size_t>(taken)).size(), static_cast<std::size_t>(taken));

  // Closing with output held does not wait for it either.
  ASSERT_EQ(::tcflow(pty_.slave(), TCOOFF), 0);
  start = SteadyClock::now();
  port.reset();
  EXPECT_LT(SteadyClock::now() - start, prompt);
}

TEST_F(PosixSerialTest, HungUpLineBehavesAsClosedPort) {
  // Each of the three calls may be the first to meet the hang-up, with reads
  // waiting or not.
  enum class First { bytes_waiting, waiting_read, read, write };
  int number = 10;
  for (const First first : {First::bytes_waiting, First::waiting_read, First::read, First::write}) {
    SCOPED_TRACE(number);
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ready());
    link("COM" + std::to_string(number), pty);
    auto port = ports_.open(number++, 9600);
    ASSERT_NE(port, nullptr);
    pty.send("LM");
    port->set_read_timeouts(first == First::waiting_read ? 5 : -1);
    pty.close_master();

    char buffer[255];
    const auto start = SteadyClock::now();
    switch (first) {
      case First::bytes_waiting:
        EXPECT_EQ(port->bytes_waiting(), 0);
        break;
      case First::waiting_read:
      case First::read:
        EXPECT_EQ(port->read(buffer, sizeof buffer), 0);
        break;
      case First::write:
        EXPECT_EQ(port->write("LM\r", 3), 0);
        break;
    }
    for (int i = 0; i < 300; ++i) {
      ASSERT_EQ(port->bytes_waiting(), 0);
      ASSERT_EQ(port->read(buffer, sizeof buffer), 0);
      ASSERT_EQ(port->write("LM\r", 3), 0);
    }
    EXPECT_FALSE(port->set_line_format(8, 0, 2));
    port.reset();
    EXPECT_LT(SteadyClock::now() - start, prompt);
  }
}

}  // namespace
}  // namespace talvaro
