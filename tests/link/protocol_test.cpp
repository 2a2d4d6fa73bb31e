#include "link/protocol.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "link/serial.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

using testing::Bench;

// A bench whose port 1 is open, with the log on and the receiver not yet heard.
struct LinkBench : Bench {
  LinkBench() {
    make_clips();
    prime_state();
    st.com_port = 1;
    EXPECT_EQ(open_port(*cx, 1, 9600), 1);
    st.debug_enabled = 1;
    EXPECT_EQ(open_text_file(st.debug_file, "debug1.dat", "W"), 0);
    st.status_text = "Connecting";
    st.connection_state = ConnectionState::unanswered;
  }
  std::string log() {
    close_text_file(st.debug_file);
    return read_file("debug1.dat");
  }
  void receive(const std::string& bytes) {
    reply(bytes);
    receive_reply(*cx);
  }
};

TEST(Protocol, SendPutsTheCommandAndOneCrOnTheWireAndLogsIt) {
  LinkBench bench;
  bench.st.command_text = "LM";
  send_command(*bench.cx);
  EXPECT_EQ(bench.st.command_text, "LM\r");
  bench.st.command_text = "";  // an empty command sends and logs nothing
  send_command(*bench.cx);
  send_byte_30(*bench.cx);
  bench.st.command_text = std::string(300, 'A');  // full length still ends with CR
  send_command(*bench.cx);
  EXPECT_EQ(bench.serial.line->written, "LM\r\x1e" + std::string(254, 'A') + "\r");
  EXPECT_TRUE(bench.log().starts_with("TX= LM\r\nTX= AAA"));
}

TEST(Protocol, RepliesAreTrimmedAtTheirTagAndTheFirstOneConnectsOnce) {
  LinkBench bench;
  bench.receive("xxLM%0124567\r\n");
  EXPECT_EQ(std::tuple(bench.st.reply_text.str(), bench.st.connection_state, bench.st.status_text.str()),
            std::tuple("LM%012", ConnectionState::answered, ">"));
  bench.receive("LM 049\r\n");
  EXPECT_EQ(std::tuple(bench.st.reply_text.str(), bench.audio.spoken_text()), std::tuple("LM 049", "connected"));

  // "LC" wins over "LM" wherever they stand.
  bench.receive("LM 049\r\nLC050 VA RF0145500000 and more text\r\n");
  EXPECT_EQ(bench.st.reply_text, "LC050 VA RF0145500000 and more");
  // Nothing known: no reply, no log line.
  bench.receive("?\r\n\r\n");
  EXPECT_EQ(bench.st.reply_text, "");
  // A reply cut short keeps what there is.
  bench.receive("LM%");
  EXPECT_EQ(bench.st.reply_text, "LM%");
  EXPECT_EQ(bench.log(), "RX= LM%012\r\nRX= LM 049\r\nRX= LC050 VA RF0145500000 and more\r\nRX= LM%\r\n");
}

TEST(Protocol, AfterAnMaListingTheWholeReplyIsLoggedThenTheMxPart) {
  LinkBench bench;
  bench.st.status_text = ">";
  bench.st.command_text = "MAC";
  send_command(*bench.cx);
  const std::string listing = "MXC00 MP0 RF0145500000 ST012500 AU0 MD1 AT0 TMREPEATER    \r\n";
  bench.receive(listing);
  EXPECT_EQ(bench.st.reply_text, left(listing, 60));
  EXPECT_EQ(bench.log(), "TX= MAC\r\nRX= " + listing + "\r\nRX= " + left(listing, 60) + "\r\n");
}

TEST(Protocol, TrimmingAndLevelsWorkOnPlainText) {
  // A listing is logged whole only when no tag ahead of "MA" in the order is found.
  // Each row: the reply, whether a listing went before, then whether it is logged whole and what is kept.
  for (const auto& [received, after_listing, listing_logged, kept] :
       {std::tuple{"MXC00 RF0145500000", true, true, "MXC00 RF0145500000"},
        {"xLC050 MX", true, false, "LC050 MX"},
        {"MW A90 and more", false, false, "MW A90 and mo"},
        {"no tag", true, true, ""}}) {
    const TrimmedReply trimmed = trim_reply(received, after_listing);
    EXPECT_EQ(std::tuple(trimmed.listing_logged, trimmed.kept), std::tuple(listing_logged, std::string(kept)))
        << received;
  }
  EXPECT_EQ(std::tuple(level_from_reply("LM 049"), level_from_reply("LM%-12"), level_from_reply("LM")),
            std::tuple(49, 0, 0));
}

TEST(Protocol, NothingWaitingOrNoPortGivesAnEmptyReplyWithoutWaiting) {
  LinkBench bench;
  bench.st.reply_text = "stale";
  receive_reply(*bench.cx);
  EXPECT_EQ(bench.st.reply_text, "");
  close_port(*bench.cx, 1);
  bench.receive("LM 049\r\n");
  EXPECT_EQ(std::tuple(bench.st.reply_text.str(), bench.st.connection_state),
            std::tuple("", ConnectionState::unanswered));
}

TEST(Protocol, AFloodOfJunkIsReadInPiecesOfAtMost254Bytes) {
  LinkBench bench;
  std::string junk;
  for (int i = 0; i < 5000; ++i) junk.push_back(static_cast<char>((i * 37) % 256 == 'L' ? 'x' : (i * 37) % 256));
  bench.reply(junk + "LM 012\r\n");
  int reads = 0;
  while (bench.st.reply_text.empty() && reads < 100) {
    receive_reply(*bench.cx);
    ++reads;
  }
  EXPECT_EQ(bench.st.reply_text, "LM 012");
  EXPECT_EQ(reads, (5000 + 8 + 253) / 254);
}

}  // namespace
}  // namespace talvaro
