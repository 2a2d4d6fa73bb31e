// The serial port and the command protocol on a real pseudo-terminal, with the
// receiver simulator on the other end.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/protocol.h"
#include "link/serial.h"
#include "platform/posix/posix_serial.h"
#include "sim/sim_process.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

using namespace std::chrono_literals;
using testing::Bench;

// A Context on the real serial port, the other services recorded.
struct PtyLink {
  explicit PtyLink(const std::vector<std::string>& sim_args = {}) : sim(SIMULATOR_PATH, bench.dir, sim_args, "1") {
    platform = std::make_unique<Platform>(Platform{bench.display, bench.audio, ports, bench.clock, bench.events, ""});
    cx = std::make_unique<Context>(*platform);
    bench.make_clips();
    State& st = cx->st;
    st.wave_path = "wave\\";
    st.com_port = 1;
    st.status_text = "Connecting";
    st.connection_state = ConnectionState::unanswered;
    st.debug_enabled = 1;
    open_text_file(st.debug_file, "debug1.dat", "W");
    EXPECT_EQ(open_port(*cx, 1, 9600), 1);
    set_read_timeouts(*cx, 1, -1);
    EXPECT_EQ(set_line_format(*cx, 1, 8, 0, 2), 0);
  }
  void send(const std::string& command) {
    cx->st.command_text = command;
    send_command(*cx);
  }
  // Waits until the receiver has answered something, then reads it.
  void receive_when_ready(int bytes = 1) {
    for (int i = 0; i < 1000 && bytes_waiting(*cx, 1) < bytes; ++i) std::this_thread::sleep_for(5ms);
    receive_reply(*cx);
  }
  std::string log() {
    close_text_file(cx->st.debug_file);
    return bench.read_file("debug1.dat");
  }

  Bench bench;
  simtest::SimProcess sim;
  PosixSerialPorts ports;
  std::unique_ptr<Platform> platform;
  std::unique_ptr<Context> cx;
};

TEST(LinkOnPty, LevelPollTrimsAtTheTagAndConnectsOnce) {
  PtyLink link({"--signal", "145.5:49"});
  link.send("LM");
  link.receive_when_ready(8);
  EXPECT_EQ(link.cx->st.reply_text, "LM%000");
  EXPECT_EQ(link.cx->st.connection_state, ConnectionState::answered);
  EXPECT_EQ(link.cx->st.status_text, ">");
  // Two replies read together: junk first, the tag wins, the first tag counts.
  link.send("VR");
  link.send("VA0145.50000");
  link.send("LM");
  link.receive_when_ready(18);  // VR0101, an empty line, LM 049
  EXPECT_EQ(link.cx->st.reply_text, "LM 049");
  EXPECT_EQ(link.bench.audio.spoken_text(), "connected");
  const std::string log = link.log();
  EXPECT_NE(log.find("TX= LM\r\nRX= LM%000\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("RX= LM 049\r\n"), std::string::npos) << log;
  const std::string commands = link.bench.read_file("sim.log");
  EXPECT_NE(commands.find(" VA0145.50000\n"), std::string::npos) << commands;
}

TEST(LinkOnPty, LevelReportWinsOverLevelPoll) {
  PtyLink link({"--signal", "145.5:49"});
  link.send("LC1");
  link.receive_when_ready(2);
  link.send("VA0145.50000");  // the squelch opens: a report follows the empty line
  for (int i = 0; i < 1000 && bytes_waiting(*link.cx, 1) < 12; ++i) std::this_thread::sleep_for(5ms);
  link.send("LM");
  link.receive_when_ready(20);
  EXPECT_EQ(left(link.cx->st.reply_text, 5), "LC049") << link.cx->st.reply_text.str();
}

TEST(LinkOnPty, AHungUpLineNeverBlocksOrSpins) {
  PtyLink link;
  link.send("LM");
  link.receive_when_ready(8);
  link.sim.control_line("fault hangup");
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 2000; ++i) {
    link.send("LM");
    receive_reply(*link.cx);
    send_byte_30(*link.cx);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_EQ(link.cx->st.reply_text, "");
  EXPECT_EQ(bytes_waiting(*link.cx, 1), 0);
}

TEST(LinkOnPty, RepliesByteByByteAreCollectedInPieces) {
  PtyLink link({"--fault", "bytewise"});
  // Read while the bytes trickle in: a piece without the tag is dropped, a
  // piece holding it yields what is there, and nothing else is ever taken.
  link.send("LM");
  for (int i = 0; i < 400; ++i) {
    std::this_thread::sleep_for(1ms);
    receive_reply(*link.cx);
    const std::string seen = link.cx->st.reply_text.str();
    EXPECT_TRUE(seen.empty() || left(seen, 2) == "LM") << seen;
  }
  // Once the whole reply has arrived it is read in one piece.
  link.send("LM");
  link.receive_when_ready(8);
  EXPECT_EQ(link.cx->st.reply_text, "LM%000");
}

}  // namespace
}  // namespace talvaro
