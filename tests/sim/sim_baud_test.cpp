// The simulator at --baud N answers only a line set to N baud.
#include <gtest/gtest.h>

#include "platform/posix/posix_serial.h"
#include "sim/sim_process.h"

namespace talvaro::testing {
namespace {

// What "LM" gets back on the line at this speed within half a second.
std::string answer(const std::string& path, int baud) {
  auto device = open_serial_device(path, baud);
  if (!device || !device->set_line_format(8, 0, 2)) return "(cannot open)";
  device->set_read_timeouts(5);  // a read waits up to 5 ms a byte: 320 ms for 64
  device->write("LM\r", 3);
  char buffer[64];
  return std::string(buffer, static_cast<std::size_t>(device->read(buffer, sizeof buffer)));
}

TEST(SimBaud, AnswersOnlyAtItsLineSpeed) {
  const SimProcess sim({"--baud", "19200"});
  EXPECT_EQ(answer(sim.path, 9600), "\xF0\x80\xFE");
  EXPECT_EQ(answer(sim.path, 19200).substr(0, 2), "LM");
  const SimProcess unpaced({});
  EXPECT_EQ(answer(unpaced.path, 4800).substr(0, 2), "LM") << "without --baud every speed is answered";
}

}  // namespace
}  // namespace talvaro::testing
