#include "link/serial.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace talvaro {
namespace {

using testing::Bench;

TEST(PortTable, PortsOutsideTheRangeClosedOrHungUpDoNothing) {
  Bench bench;
  Context& cx = *bench.cx;
  bench.serial.available_port = 0;
  for (int port : {0, 257, -1}) EXPECT_EQ(open_port(cx, port, 9600), 0);
  EXPECT_EQ(bench.serial.open_count, 0);  // never even asked
  std::string buffer = "old";
  EXPECT_EQ(read_port(cx, 0, buffer, 10), 0);
  EXPECT_EQ(buffer, "");
  EXPECT_EQ(write_port(cx, 3, "LM\r", 3), 0);
  EXPECT_EQ(bytes_waiting(cx, 300), 0);
  EXPECT_EQ(close_port(cx, 3), 0);

  bench.serial.available_port = 1;
  ASSERT_EQ(open_port(cx, 1, 9600), 1);
  bench.reply("LM 049\r\n");
  bench.serial.line->hung_up = true;
  EXPECT_EQ(bytes_waiting(cx, 1), 0);
  EXPECT_EQ(read_port(cx, 1, buffer, 255), 0);
  EXPECT_EQ(write_port(cx, 1, "LM\r", 3), 0);
}

TEST(PortTable, OpeningSequenceSetsEightBitsNoParityTwoStopBits) {
  Bench bench;
  Context& cx = *bench.cx;
  bench.serial.available_port = 7;
  EXPECT_EQ(open_port(cx, 7, 19200), 1);
  EXPECT_EQ(set_read_timeouts(cx, 7, -1), 0);
  EXPECT_EQ(bench.serial.opened_baud, 19200);
  EXPECT_EQ(bench.serial.line->read_timeout, -1);
  for (const auto& [asked, set] : {std::pair{2, 2}, {1, 1}, {0, 2}}) {
    EXPECT_EQ(set_line_format(cx, 7, 8, 0, asked), 0);
    EXPECT_EQ(bench.serial.line->stop_bits, set);
  }
  bench.reply("LM 049\r\n");
  EXPECT_EQ(bytes_waiting(cx, 7), 8);
  std::string buffer;
  EXPECT_EQ(read_port(cx, 7, buffer, 4), 4);
  EXPECT_EQ(buffer, "LM 0");
  EXPECT_EQ(read_port(cx, 7, buffer, 255), 4);
  EXPECT_EQ(buffer, "49\r\n");
  EXPECT_EQ(write_port(cx, 7, "LM\r", 3), 3);
  EXPECT_EQ(close_port(cx, 7), 0);
  EXPECT_EQ(write_port(cx, 7, "LM\r", 3), 0);
  EXPECT_EQ(bench.serial.line->written, "LM\r");
}

}  // namespace
}  // namespace talvaro
