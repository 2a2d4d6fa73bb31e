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
  PseudoTerminal() : master_(::posix_openpt(O_RDWR | O_NOCTTY)) {
    char name[128] = {};
    if (master_ < 0 || ::grantpt(master_) || ::unlockpt(master_) || ::ptsname_r(master_, name, sizeof name)) return;
    path = name;
    // Opened before the port under test, so its exclusive hold cannot keep
    // this descriptor out; it also keeps the slave's settings alive after
    // the port closes.
    slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  }
  ~PseudoTerminal() {
    close_master();
    if (slave >= 0) ::close(slave);
  }

  bool ready() const { return master_ >= 0 && slave >= 0; }
  void close_master() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  termios settings() const {
    termios t{};
    EXPECT_EQ(::tcgetattr(slave, &t), 0);
    return t;
  }
  // The receiver sends.
  void send(std::string_view bytes) { ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
  // What the receiver got: reads until count bytes are in or nothing comes for 2 s.
  std::string receive(std::size_t count) {
    std::string got;
    pollfd watch{master_, POLLIN, 0};
    char buffer[4096];
    while (got.size() < count && ::poll(&watch, 1, 2000) > 0) {
      const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n <= 0) break;
      got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }

  std::string path;
  int slave = -1;

 private:
  int master_;
};

int open_descriptor_count() {
  return static_cast<int>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// Collects count bytes from the port the way the core does (ask, then read
// at most 255), sleeping briefly while nothing is there.
std::string read_all(SerialDevice& port, std::size_t count) {
  std::string got;
  char buffer[255];
  for (const auto give_up = SteadyClock::now() + 5s; got.size() < count && SteadyClock::now() < give_up;) {
    const int n = port.bytes_waiting() > 0 ? port.read(buffer, sizeof buffer) : 0;
    EXPECT_GE(n, 0);
    EXPECT_LE(n, 255);
    if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
    if (n == 0) std::this_thread::sleep_for(1ms);
  }
  return got;
}

class PosixSerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "talvaro-serial-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    fs::current_path(folder_);
    ASSERT_TRUE(pty_.ready());
    // Distinctive settings for the port to find: a cooked, echoing line at
    // 4800 baud without flow control.
    termios found = pty_.settings();
    found.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    found.c_iflag = (found.c_iflag | ICRNL) & ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    found.c_oflag |= OPOST | ONLCR;
    found.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSTOPB);
    ASSERT_EQ(::cfsetspeed(&found, B4800), 0);
    set_settings(found);
    link("COM3", pty_);
  }
  void TearDown() override {
    fs::current_path(old_folder_);
    fs::remove_all(folder_);
  }

  void set_settings(const termios& t) { ASSERT_EQ(::tcsetattr(pty_.slave, TCSANOW, &t), 0); }
  static void link(const std::string& name, const PseudoTerminal& pty) {
    ASSERT_EQ(::symlink(pty.path.c_str(), name.c_str()), 0) << name;
  }
  std::unique_ptr<SerialDevice> open_com3(int baud = 9600) { return ports_.open(3, baud); }

  PosixSerialPorts ports_;
  PseudoTerminal pty_;
  fs::path old_folder_ = fs::current_path();
  fs::path folder_;
};

TEST_F(PosixSerialTest, OpensThroughComLinkInRawModeAtTheBaudRateKeepingFlowControl) {
  termios found = pty_.settings();
  found.c_iflag |= IXON | IXOFF;
  found.c_cflag |= CRTSCTS;
  set_settings(found);
  auto port = open_com3(19200);
  ASSERT_NE(port, nullptr);
  const termios t = pty_.settings();
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF), tcflag_t(IXON | IXOFF));
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CREAD | CLOCAL | CRTSCTS), tcflag_t(CS8 | CREAD | CLOCAL | CRTSCTS));
  EXPECT_EQ(t.c_cc[VMIN] + t.c_cc[VTIME], 0);
  EXPECT_EQ(::cfgetospeed(&t), speed_t(B19200));
}

TEST_F(PosixSerialTest, BytesTravelUnchangedBothWaysAndFloodsAreReadInPieces) {
  auto port = open_com3();
  ASSERT_NE(port, nullptr);
  port->set_read_timeouts(-1);

  // No translation, no echo, nothing added, control characters included.
  EXPECT_EQ(port->write("LM\r", 3), 3);
  EXPECT_EQ(port->write("\n\x1e", 2), 2);
  EXPECT_EQ(pty_.receive(5), "LM\r\n\x1e");
  std::string flood("LM%123\r\n\x03\x7f\x1a\x00\x15", 13);
  for (std::size_t i = 0; i < 4000; ++i) flood += static_cast<char>((i * 7 + i / 256) % 256);
  pty_.send(flood);
  EXPECT_EQ(read_all(*port, flood.size()), flood);
  char buffer[255];
  EXPECT_EQ(port->bytes_waiting() + port->read(buffer, sizeof buffer), 0) << "nothing pending: no wait";
}

TEST_F(PosixSerialTest, WaitingReadsCollectBytesUntilTheyAllArrive) {
  auto port = open_com3();
  ASSERT_NE(port, nullptr);
  char buffer[16] = {};

  // Right after opening, reads wait 5 ms per requested byte: 20 bytes, 100 ms.
  const auto start = SteadyClock::now();
  EXPECT_EQ(port->read(buffer, 20), 0);
  EXPECT_GE(SteadyClock::now() - start, 90ms);
  EXPECT_LT(SteadyClock::now() - start, prompt);

  port->set_read_timeouts(1000);
  pty_.send("LM");
  std::thread later([&] {
    std::this_thread::sleep_for(10ms);
    pty_.send("%123");
  });
  EXPECT_EQ(port->read(buffer, 6), 6);
  later.join();
  EXPECT_EQ(std::string(buffer, 6), "LM%123");
}

TEST_F(PosixSerialTest, PortIsExclusiveWhileOpen) {
  link("COM4", pty_);  // a second name for the same device
  const int descriptors = open_descriptor_count();
  auto first = open_com3();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(open_com3(), nullptr);
  EXPECT_EQ(ports_.open(4, 9600), nullptr);
  EXPECT_EQ(open_descriptor_count(), descriptors + 1);

  // The first holder is undisturbed by the refused attempts.
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
  EXPECT_EQ(std::tie(after.c_iflag, after.c_oflag, after.c_cflag, after.c_lflag),
            std::tie(found.c_iflag, found.c_oflag, found.c_cflag, found.c_lflag));
  EXPECT_EQ(after.c_cc[VMIN], found.c_cc[VMIN]);
  EXPECT_EQ(after.c_cc[VTIME], found.c_cc[VTIME]);
  EXPECT_EQ(::cfgetospeed(&after), speed_t(B4800));
  EXPECT_EQ(pty_.receive(3), "EX\r") << "the last command still goes out";
}

TEST_F(PosixSerialTest, LineFormatSetsStopBitsAndRefusesWhatItCannotSet) {
  auto port = open_com3();
  ASSERT_NE(port, nullptr);
  for (const int stop_bits : {2, 1, 0}) {
    EXPECT_TRUE(port->set_line_format(8, 0, stop_bits));
    EXPECT_EQ((pty_.settings().c_cflag & CSTOPB) != 0, stop_bits != 1) << stop_bits;
  }
  // Mark and space parity, and data bits outside 5 to 8: refused, nothing changes.
  const termios before = pty_.settings();
  for (const auto& [data_bits, parity] : {std::pair{8, 3}, {8, 4}, {8, -1}, {9, 0}, {4, 0}}) {
    EXPECT_FALSE(port->set_line_format(data_bits, parity, 1)) << data_bits << " " << parity;
    EXPECT_EQ(pty_.settings().c_cflag, before.c_cflag) << data_bits << " " << parity;
  }
  // Pseudo-terminals may keep 8N1 whatever they are told: the answer must match what the device holds.
  const bool taken = port->set_line_format(7, 2, 1);
  const tcflag_t now = pty_.settings().c_cflag;
  EXPECT_EQ(taken, (now & (CSIZE | PARENB | PARODD | CSTOPB)) == (CS7 | PARENB));
  if (!taken) {
    EXPECT_EQ(now, before.c_cflag);
  }
}

TEST_F(PosixSerialTest, BadBaudRatesPortNumbersAndNonTerminalsFailWithoutTouchingAnything) {
  const termios found = pty_.settings();
  std::ofstream("COM5") << "hello";
  ASSERT_EQ(::mkfifo("COM6", 0600), 0);
  fs::create_directory("COM7");
  for (const char* name : {"COM0", "COM257", "COM-1", "COM256"}) link(name, pty_);
  const int descriptors = open_descriptor_count();

  for (const int baud : {12345, 0, -9600, 4000001, 2147483647}) EXPECT_EQ(open_com3(baud), nullptr) << baud;
  for (const int number : {5, 6, 7, 0, 257, -1}) EXPECT_EQ(ports_.open(number, 9600), nullptr) << number;
  EXPECT_EQ(open_descriptor_count(), descriptors);
  const termios after = pty_.settings();
  EXPECT_EQ(after.c_lflag, found.c_lflag);
  EXPECT_EQ(after.c_cflag, found.c_cflag);
  std::string content;
  std::getline(std::ifstream("COM5"), content);
  EXPECT_EQ(content, "hello");
  EXPECT_NE(ports_.open(256, 9600), nullptr);
}

TEST_F(PosixSerialTest, WritesGiveUpWhenTheLineIsHeld) {
  auto port = open_com3();
  ASSERT_NE(port, nullptr);
  // Output stopped, as after an XOFF from the receiver.
  ASSERT_EQ(::tcflow(pty_.slave, TCOOFF), 0);
  auto start = SteadyClock::now();
  EXPECT_EQ(port->write("LM\r", 3), 0);
  ASSERT_EQ(::tcflow(pty_.slave, TCOON), 0);
  EXPECT_EQ(port->write("LM\r", 3), 3);
  EXPECT_EQ(pty_.receive(3), "LM\r");

  // A receiver that reads nothing: the write stops when the buffers are full
  // and reports exactly what went out.
  const std::string flood(1 << 20, 'x');
  const int taken = port->write(flood.data(), static_cast<int>(flood.size()));
  EXPECT_GT(taken, 0);
  EXPECT_LT(taken, static_cast<int>(flood.size()));
  EXPECT_EQ(pty_.receive(static_cast<std::size_t>(taken)).size(), static_cast<std::size_t>(taken));

  // Closing with output held does not wait for it either.
  ASSERT_EQ(::tcflow(pty_.slave, TCOOFF), 0);
  port.reset();
  EXPECT_LT(SteadyClock::now() - start, prompt);
}

TEST_F(PosixSerialTest, HungUpLineBehavesAsClosedPortWithoutSpinning) {
  // Each call may be the first to meet the hang-up, with reads waiting or not.
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
    const int result = first == First::bytes_waiting ? port->bytes_waiting()
                       : first == First::write       ? port->write("LM\r", 3)
                                                     : port->read(buffer, sizeof buffer);
    EXPECT_EQ(result, 0);
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
