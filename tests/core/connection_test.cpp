#include "core/start/connection.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "support/fakes.h"

namespace talvaro {
namespace {

// The bench as start-up leaves it just before connection start.
struct Starting : testing::Bench {
  explicit Starting(const std::string& port_text = "COM1", const std::string& baud_text = "9600") {
    prime_state();
    make_clips();
    st.config_port_text = port_text;
    st.config_baud_text = baud_text;
  }
  std::string sent() {
    std::string all;
    for (const auto& command : take_commands()) all += (all.empty() ? "" : "|") + command;
    return all;
  }
};

TEST(ConnectionStart, FirstRunWithoutBank00TakesTheDefaults) {
  Starting s;
  // Leftovers of an earlier life of the state must not survive.
  s.st.entry_mode = EntryMode::put;
  s.st.search_state = SearchState::stopped;
  s.st.pass_list_count = 9;
  s.st.attenuator_on = 1;
  s.st.bank_file_name = "bank07.dat";
  s.write_file("bank07.dat", "bank07\r\nAM\r\n5\r\n \r\n9999\r\n");
  // Temporary bank files left by a crash are removed, and only those.
  for (const char* name : {"bank00.dat.tmp", "bank1234.dat.tmp", "bank5.dat.tmp", "note05.dat.tmp", "notes.dat.tmp"})
    s.write_file(name, "half a bank\r\n");
  connection_start(*s.cx);

  EXPECT_EQ(s.sent(), "VA0145000000|MD1|ST012.50|AT0");
  EXPECT_EQ(s.audio.spoken_text(true), "bnf 1 4 5 point 0 shdel fm shdel attoff");
  EXPECT_FALSE(s.exists("bank00.dat")) << "a missing bank00.dat is not created";
  EXPECT_FALSE(s.exists("bank00.dat.tmp") || s.exists("bank1234.dat.tmp"));
  EXPECT_TRUE(s.exists("bank5.dat.tmp") && s.exists("note05.dat.tmp") && s.exists("notes.dat.tmp"));

  const auto& d = s.display;
  EXPECT_EQ(d.text_at(80, 250) + "|" + d.text_at(300, 250) + "|" + d.text_at(500, 250) + "|" + d.text_at(750, 250) +
                "|" + d.text_at(300, 150),
            "145          |12.5         |CONT|146        |145.0");
  // The mode is drawn last, in the large font.
  EXPECT_EQ(std::tuple(d.draws.back().text, d.draws.back().x, d.draws.back().font, d.draws.back().colour),
            std::tuple("FM      ", 380, FontSpec{"Ariel", 50, 700}, colour_black));

  // limit_entry_fresh is set again by the frequency display.
  EXPECT_EQ(
      std::tuple(s.st.entry_mode, s.st.connection_state, s.st.limit_entry_fresh, s.st.search_state,
                 s.st.pass_list_count, s.st.status_text.str(), s.st.bank_file_name.str(), s.st.attenuator_on),
      std::tuple(EntryMode::none, ConnectionState::unanswered, 1, SearchState::off, 1, "Connecting", "bank00.dat", 0));
  const auto& line = *s.serial.line;
  EXPECT_EQ(std::tuple(s.serial.opened_port, s.serial.opened_baud, line.data_bits, line.parity, line.stop_bits),
            std::tuple(1, 9600, 8, 0, 2));
}

TEST(ConnectionStart, AStateRecordIsRestoredOnceAndOtherBank00sAreKept) {
  struct Case {
    std::string bank00, sent, spoken, after;
  };
  const std::string defaults = "VA0145000000|MD1|ST012.50|AT0";
  // clang-format off
  const std::vector<Case> cases = {
      // A record comes back once; the file becomes an empty search bank.
      {"*** Talvaro V 4.1b ***  06-12-2026  09:05:07\r\nAM\r\n99.5\r\n118\r\n137\r\n5\r\n9999\r\n",
       "VA0099.50000|MD2|ST005000|AT0", "9 9 point 5 am attoff", "Srchbank\r\nAM\r\n9999\r\n"},
      // Short records restore empty fields; "CW" without its blank is no mode.
      {"*** Talvaro\r\nCW \r\n", "VA0000000000|MD5|ST000000|AT0", "point 0 cw attoff", "Srchbank\r\nCW \r\n9999\r\n"},
      {"***\r\nCW\r\n7.05\r\n7\r\n8\r\n0.5\r\n9999\r\n", "VA0007.05000|ST000.50|AT0", "7 point 0 5 attoff",
       "Srchbank\r\nCW\r\n9999\r\n"},
      // A search bank, another bank, or a record holding a byte outside
      // printable ASCII give the defaults and stay as they are.
      {"Srchbank\r\nAM\r\n9999\r\n", defaults, "1 4 5 point 0 fm attoff", ""},
      {"Srchbank\r\nWFM\r\n25\r\n \r\n88.1\r\n \r\n9999\r\n", defaults, "1 4 5 point 0 fm attoff", ""},
      {"** not quite\r\nUSB\r\n7.1\r\n1\r\n2\r\n3\r\n9999\r\n", defaults, "1 4 5 point 0 fm attoff", ""},
      {"*** Talvaro\r\nAM\r\n99.5\r\n1\r\n2\r\n5\x13\x1e\r\n9999\r\n", defaults, "1 4 5 point 0 fm attoff", ""},
      {"*** Talvaro\r\nAM\r\n\xff"
       "99.5\r\n1\r\n2\r\n5\r\n9999\r\n",
       defaults, "1 4 5 point 0 fm attoff", ""},
  };
  // clang-format on
  for (const Case& c : cases) {
    Starting s;
    s.write_file("bank00.dat", c.bank00);
    connection_start(*s.cx);
    EXPECT_EQ(s.sent(), c.sent) << c.bank00;
    EXPECT_EQ(s.audio.spoken_text(), c.spoken) << c.bank00;
    EXPECT_EQ(s.read_file("bank00.dat"), c.after.empty() ? c.bank00 : c.after);
    EXPECT_FALSE(s.exists("bank00.dat.tmp"));
  }
  Starting s;
  s.write_file("bank00.dat", cases[0].bank00);
  connection_start(*s.cx);
  EXPECT_EQ(s.display.text_at(80, 250) + "|" + s.display.text_at(750, 250) + "|" + s.display.text_at(380, 80),
            "118          |137        |AM      ");
}

TEST(ConnectionStart, ThePortIsTheLastCharacterOfThePortText) {
  Starting s("/dev/whatever7", "19200");
  s.serial.available_port = 7;
  connection_start(*s.cx);
  EXPECT_EQ(std::tuple(s.serial.opened_port, s.serial.opened_baud, s.st.com_port), std::tuple(7, 19200, 7));
  // An unusable port or baud opens nothing and still starts.
  for (const auto& [port, baud] : std::vector<std::pair<std::string, std::string>>{
           {"COMX", "9600"}, {"COM0", "9600"}, {"COM1", "99999999999999999999"}, {"COM1", "-5000000000"}}) {
    Starting u(port, baud);
    connection_start(*u.cx);
    EXPECT_EQ(u.serial.opened_port, 0) << port << " " << baud;
    EXPECT_EQ(u.audio.spoken_text(), "bnf 1 4 5 point 0 fm attoff");
  }
}

}  // namespace
}  // namespace talvaro
