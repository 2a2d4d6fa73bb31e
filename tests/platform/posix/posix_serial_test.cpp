// The POSIX serial port against real pseudo-terminals: the test holds the
// master end (the "receiver") and a second descriptor on the slave end to
// look at and change the terminal settings from outside.

#include "platform/posix/posix_serial.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>

namespace talvaro {
namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

class PseudoTerminal {
 public:
  PseudoTerminal() : master(::posix_openpt(O_RDWR | O_NOCTTY)) {
    char name[128] = {};
    if (master < 0 || ::grantpt(master) || ::unlockpt(master) || ::ptsname_r(master, name, sizeof name)) return;
    path = name;
    // Opened before the port under test: it keeps the slave's settings alive
    // after the port closes.
    slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  }
  ~PseudoTerminal() {
    if (master >= 0) ::close(master);
    if (slave >= 0) ::close(slave);
  }
  termios settings() const {
    termios t{};
    EXPECT_EQ(::tcgetattr(slave, &t), 0);
    return t;
  }

  int master;
  int slave = -1;
  std::string path;
};

class PosixSerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "talvaro-serial-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    fs::current_path(folder_);
    ASSERT_GE(pty_.slave, 0);
    // Distinctive settings for the port to find: a cooked, echoing line at 4800 baud.
    termios found = pty_.settings();
    found.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    found.c_iflag |= ICRNL;
    found.c_oflag |= OPOST | ONLCR;
    found.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    ASSERT_EQ(::cfsetspeed(&found, B4800), 0);
    ASSERT_EQ(::tcsetattr(pty_.slave, TCSANOW, &found), 0);
    ASSERT_EQ(::symlink(pty_.path.c_str(), "COM3"), 0);
  }
  void TearDown() override {
    fs::current_path(old_folder_);
    fs::remove_all(folder_);
  }

  PosixSerialPorts ports_;
  PseudoTerminal pty_;
  fs::path old_folder_ = fs::current_path();
  fs::path folder_;
};

// Raw 8N2 at the configured speed; bytes travel unchanged both ways; a read
// returns at once with what has arrived; closing restores what it found.
TEST_F(PosixSerialTest, RawLineAtTheSpeedWithTwoStopBitsThenSettingsRestored) {
  const termios found = pty_.settings();
  std::ofstream("COM5") << "hello";
  EXPECT_EQ(ports_.open(5, 9600), nullptr) << "a plain file is no port";
  EXPECT_EQ(ports_.open(3, 12345), nullptr) << "nor a speed the line does not have";
  {
    auto port = ports_.open(3, 19200);
    ASSERT_NE(port, nullptr);
    ASSERT_TRUE(port->set_line_format(8, 0, 2));
    port->set_read_timeouts(-1);
    const termios t = pty_.settings();
    EXPECT_EQ(std::tuple(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP),
                         t.c_oflag & OPOST, t.c_cflag & (CSIZE | PARENB | CSTOPB), ::cfgetospeed(&t)),
              std::tuple(tcflag_t{0}, tcflag_t{0}, tcflag_t{0}, tcflag_t(CS8 | CSTOPB), speed_t(B19200)));
    EXPECT_EQ(t.c_cc[VMIN] + t.c_cc[VTIME], 0);
    // A pseudo-terminal may keep 8N1 whatever it is told: the answer must match what the device holds.
    const bool taken = port->set_line_format(7, 2, 1);
    EXPECT_EQ(taken, (pty_.settings().c_cflag & (CSIZE | PARENB | PARODD | CSTOPB)) == tcflag_t(CS7 | PARENB));
    ASSERT_TRUE(port->set_line_format(8, 0, 2));

    char buffer[255];
    const auto start = SteadyClock::now();
    EXPECT_EQ(port->read(buffer, sizeof buffer), 0) << "nothing pending: no wait";
    EXPECT_LT(SteadyClock::now() - start, 500ms);
    const std::string reply("LM%123\r\n\x03\x1e", 10);
    ASSERT_EQ(::write(pty_.master, reply.data(), reply.size()), ssize_t(reply.size()));
    std::string got;
    for (const auto give_up = SteadyClock::now() + 5s; got.size() < reply.size() && SteadyClock::now() < give_up;) {
      const int n = port->read(buffer, sizeof buffer);
      if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(got, reply);
    EXPECT_EQ(port->write("EX\r\n", 4), 4);
  }
  pollfd watch{pty_.master, POLLIN, 0};
  char sent[8];
  ASSERT_EQ(::poll(&watch, 1, 2000), 1);
  EXPECT_EQ(std::string(sent, static_cast<std::size_t>(::read(pty_.master, sent, sizeof sent))), "EX\r\n")
      << "the last command still goes out, untranslated";
  const termios after = pty_.settings();
  std::string content;
  std::getline(std::ifstream("COM5"), content);
  EXPECT_EQ(content, "hello");
  EXPECT_EQ(std::tuple(after.c_iflag, after.c_oflag, after.c_cflag, after.c_lflag, ::cfgetospeed(&after)),
            std::tuple(found.c_iflag, found.c_oflag, found.c_cflag, found.c_lflag, speed_t(B4800)));
}

// A waiting read collects the bytes asked for as they come.
TEST_F(PosixSerialTest, WaitingReadCollectsBytesUntilTheyAllArrive) {
  auto port = ports_.open(3, 9600);
  ASSERT_NE(port, nullptr);
  port->set_read_timeouts(1000);
  ASSERT_EQ(::write(pty_.master, "LM", 2), 2);
  std::thread later([&] {
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(::write(pty_.master, "%123", 4), 4);
  });
  char buffer[6];
  EXPECT_EQ(port->read(buffer, 6), 6);
  later.join();
  EXPECT_EQ(std::string(buffer, 6), "LM%123");
}

// Output stopped, as after an XOFF from the receiver: neither a write nor
// closing waits for it; the port is held exclusively meanwhile.
TEST_F(PosixSerialTest, WritesAndClosingGiveUpWhenTheLineIsHeld) {
  auto port = ports_.open(3, 9600);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(ports_.open(3, 9600), nullptr);
  ASSERT_EQ(::tcflow(pty_.slave, TCOOFF), 0);
  const auto start = SteadyClock::now();
  EXPECT_EQ(port->write("LM\r", 3), 0);
  port.reset();
  EXPECT_LT(SteadyClock::now() - start, 2s);
}

// Each call may be the first to meet the hang-up, with reads waiting or
// not: afterwards every call answers nothing at once, and closing is prompt.
TEST_F(PosixSerialTest, HungUpLineBehavesAsClosedPortWithoutSpinning) {
  enum class First { bytes_waiting, waiting_read, read, write };
  int number = 10;
  for (const First first : {First::bytes_waiting, First::waiting_read, First::read, First::write}) {
    SCOPED_TRACE(number);
    PseudoTerminal pty;
    ASSERT_GE(pty.slave, 0);
    ASSERT_EQ(::symlink(pty.path.c_str(), ("COM" + std::to_string(number)).c_str()), 0);
    auto port = ports_.open(number++, 9600);
    ASSERT_NE(port, nullptr);
    ASSERT_EQ(::write(pty.master, "LM", 2), 2);
    port->set_read_timeouts(first == First::waiting_read ? 5 : -1);
    ::close(pty.master);
    pty.master = -1;

    char buffer[255];
    const auto start = SteadyClock::now();
    const int result = first == First::bytes_waiting ? port->bytes_waiting()
                       : first == First::write       ? port->write("LM\r", 3)
                                                     : port->read(buffer, sizeof buffer);
    EXPECT_EQ(result, 0);
    for (int i = 0; i < 300; ++i) {
      ASSERT_EQ(std::tuple(port->bytes_waiting(), port->read(buffer, sizeof buffer), port->write("LM\r", 3)),
                std::tuple(0, 0, 0));
    }
    EXPECT_FALSE(port->set_line_format(8, 0, 2));
    port.reset();
    EXPECT_LT(SteadyClock::now() - start, 2s);
  }
}

}  // namespace
}  // namespace talvaro
