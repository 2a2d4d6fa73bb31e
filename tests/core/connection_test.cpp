#include "core/start/connection.h"

#include <gtest/gtest.h>

#include <string>
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

  EXPECT_EQ(s.display.text_at(80, 250), "145" + std::string(10, ' '));
  EXPECT_EQ(s.display.text_at(300, 250), "12.5" + std::string(9, ' '));
  EXPECT_EQ(s.display.text_at(500, 250), "CONT");
  EXPECT_EQ(s.display.text_at(750, 250), "146" + std::string(8, ' '));
  EXPECT_EQ(s.display.text_at(300, 150), "145.0");
  // The mode is drawn last, in the large font.
  EXPECT_EQ(s.display.draws.back().text, "FM      ");
  EXPECT_EQ(s.display.draws.back().x, 380);
  EXPECT_EQ(s.display.draws.back().font, (FontSpec{"Ariel", 50, 700}));

  EXPECT_EQ(s.st.entry_mode, EntryMode::none);
  EXPECT_EQ(s.st.connection_state, ConnectionState::unanswered);
  EXPECT_EQ(s.st.limit_entry_fresh, 1) << "set again by the frequency display";
  EXPECT_EQ(s.st.search_state, SearchState::off);
  EXPECT_EQ(s.st.pass_list_count, 1);
  EXPECT_EQ(s.st.status_text, "Connecting");
  EXPECT_EQ(s.st.bank_file_name, "bank00.dat");
  EXPECT_EQ(s.st.attenuator_on, 0);
  EXPECT_EQ(s.serial.opened_port, 1);
  EXPECT_EQ(s.serial.opened_baud, 9600);
  EXPECT_EQ(s.serial.line->data_bits, 8);
  EXPECT_EQ(s.serial.line->parity, 0);
  EXPECT_EQ(s.serial.line->stop_bits, 2);
}

TEST(ConnectionStart, AStateRecordIsRestoredOnceAndOtherBank00sAreKept) {
  struct Case {
    std::string bank00, sent, spoken, after;
  };
  const std::string defaults = "VA0145000000|MD1|ST012.50|AT0";
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
  EXPECT_EQ(s.display.text_at(80, 250), "118" + std::string(10, ' '));
  EXPECT_EQ(s.display.text_at(750, 250), "137" + std::string(8, ' '));
  EXPECT_EQ(s.display.text_at(380, 80), "AM      ");
}

TEST(ConnectionStart, ThePortIsTheLastCharacterOfThePortText) {
  Starting s("/dev/whatever7", "19200");
  s.serial.available_port = 7;
  connection_start(*s.cx);
  EXPECT_EQ(s.serial.opened_port, 7);
  EXPECT_EQ(s.serial.opened_baud, 19200);
  EXPECT_EQ(s.st.com_port, 7);
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
