// The setup's command line on pseudo-terminals: the simulator stands in for
// the receiver, a folder of links for /dev.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "platform/posix/posix_port_finder.h"
#include "platform/posix/posix_serial.h"
#include "setup/setup.h"
#include "sim/sim_process.h"
#include "support/fakes.h"

namespace talvaro::testing {
namespace {

namespace fs = std::filesystem;

struct Result {
  int code;
  std::string out, err;
};

Result setup(std::vector<std::string> args) {
  PosixPortFinder finder("dev", ".");
  std::ostringstream out, err;
  const int code = setup::run_command_line(finder, args, out, err);
  return {code, out.str(), err.str()};
}

TEST(SetupOnTerminals, FindsTheReceiverAtEachRateOrSaysNoneAnswered) {
  Bench bench;
  fs::create_directory("dev");
  for (const std::string baud : {"9600", "19200", "4800"}) {
    const SimProcess sim({"--link", "COM1", "--baud", baud});
    const Result r = setup({"--detect"});
    EXPECT_EQ(std::tuple(r.code, r.out), std::tuple(0, "receiver found: port 1, " + baud + " baud\n"));
  }
  // A silent receiver on COM1, and COM2 held by another program.
  const SimProcess silent({"--link", "COM1", "--fault", "silence"});
  const SimProcess held({"--link", "COM2"});
  const auto holder = open_serial_device("COM2", 9600);
  ASSERT_TRUE(holder);
  const Result r = setup({"--detect", "--write"});
  EXPECT_EQ(std::tuple(r.code, r.out, r.err),
            std::tuple(2, "no receiver answered\n", "talvaro-setup: port 2 (COM2) cannot be opened\n"));
  EXPECT_FALSE(bench.exists("TALVARO.CFG"));
}

TEST(SetupOnTerminals, ListsLinksAndAdaptersAndLinksTheFoundOne) {
  Bench bench;
  const SimProcess adapter({"--baud", "19200"});
  const SimProcess other({"--link", "COM3", "--fault", "silence"});
  fs::create_directories("dev/serial/by-id");
  fs::create_symlink(adapter.path, "dev/ttyUSB0");
  fs::create_symlink(adapter.path, "dev/serial/by-id/usb-Fake-if00");
  bench.write_file("COM1", "not a port");
  const std::string by_id = "dev/serial/by-id/usb-Fake-if00";

  EXPECT_EQ(setup({"--list"}).out, "1 COM1 (folder)\n2 " + by_id + " USB\n3 COM3 (folder)\n");
  const Result r = setup({"--detect", "--write", "--debug", "on"});
  EXPECT_EQ(std::tuple(r.code, r.out.substr(0, 35)),
            std::tuple(0, std::string("receiver found: port 2, 19200 baud\n")));
  EXPECT_EQ(bench.read_file("TALVARO.CFG"), "PRT=COM2\r\nBAUDR=19200\r\nMODEL=AR8600\r\nVOICE=1\r\nDEBUG=1\r\n");
  EXPECT_EQ(fs::read_symlink("COM2"), by_id);
  EXPECT_EQ(bench.read_file("COM1"), "not a port");
  // A file in the way of a link is never replaced; an old link is.
  PosixPortFinder finder("dev", ".");
  EXPECT_FALSE(finder.link_port(1, by_id));
  EXPECT_TRUE(finder.link_port(2, "dev/ttyUSB0"));
  EXPECT_EQ(std::tuple(bench.read_file("COM1"), fs::read_symlink("COM2").string()),
            std::tuple("not a port", "dev/ttyUSB0"));
}

}  // namespace
}  // namespace talvaro::testing
