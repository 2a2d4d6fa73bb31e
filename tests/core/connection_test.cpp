#include "core/start/connection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fakes.h"

namespace talvaro {
namespace {

using testing::Bench;
using Commands = std::vector<std::string>;

struct Starting {
  explicit Starting(const std::string& port_text = "COM1", const std::string& baud_text = "9600") {
    bench.prime_state();
    bench.make_clips();
    bench.st.config_port_text = port_text;
    bench.st.config_baud_text = baud_text;
  }
  void start() { connection_start(*bench.cx); }
  State& st() { return bench.st; }
  Bench bench;
};

TEST(ConnectionStart, FirstRunWithoutBank00TakesTheDefaults) {
  Starting s;
  // Leftovers of an earlier life of the state must not survive.
  s.st().entry_mode = EntryMode::put;
  s.st().search_state = SearchState::stopped;
  s.st().pass_list_count = 9;
  s.st().attenuator_on = 1;
  s.start();

  EXPECT_EQ(s.bench.take_commands(), (Commands{"VA0145000000", "MD1", "ST012.50", "AT0"}));
  EXPECT_EQ(s.bench.audio.spoken_text(), "bnf 1 4 5 point 0 fm attoff");
  EXPECT_EQ(s.bench.audio.spoken_text(true), "bnf 1 4 5 point 0 shdel fm shdel attoff");
  EXPECT_FALSE(s.bench.exists("bank00.dat")) << "a missing bank00.dat is not created";

  EXPECT_EQ(s.bench.display.text_at(80, 250), "145" + std::string(10, ' '));
  EXPECT_EQ(s.bench.display.text_at(300, 250), "12.5" + std::string(9, ' '));
  EXPECT_EQ(s.bench.display.text_at(500, 250), "CONT");
  EXPECT_EQ(s.bench.display.text_at(750, 250), "146" + std::string(8, ' '));
  EXPECT_EQ(s.bench.display.text_at(300, 150), "145.0");
  EXPECT_EQ(s.bench.display.text_at(380, 80), "FM      ");
  EXPECT_EQ(s.bench.display.draws.back().font, (FontSpec{"Ariel", 50, 700}));

  const State& st = s.st();
  EXPECT_EQ(st.entry_mode, EntryMode::none);
  EXPECT_EQ(st.connection_state, ConnectionState::unanswered);
  EXPECT_EQ(st.limit_entry_fresh, 1) << "set again by the frequency display";
  EXPECT_EQ(st.search_state, SearchState::off);
  EXPECT_EQ(st.pass_list_count, 1);
  EXPECT_EQ(st.status_text, "Connecting");
  EXPECT_EQ(st.bank_file_name, "bank00.dat");
  EXPECT_EQ(st.attenuator_on, 0);

  EXPECT_EQ(s.bench.serial.opened_port, 1);
  EXPECT_EQ(s.bench.serial.opened_baud, 9600);
  EXPECT_EQ(s.bench.serial.line->data_bits, 8);
  EXPECT_EQ(s.bench.serial.line->parity, 0);
  EXPECT_EQ(s.bench.serial.line->stop_bits, 2);
}

TEST(ConnectionStart, AStateRecordIsRestoredOnceAndBank00BecomesAnEmptySearchBank) {
  Starting s;
  s.bench.write_file("bank00.dat",
                     "*** Talvaro V 4.1b ***  06-12-2026  09:05:07\r\nAM\r\n99.5\r\n118\r\n137\r\n5\r\n9999\r\n");
  s.start();
  EXPECT_EQ(s.bench.take_commands(), (Commands{"VA0099.50000", "MD2", "ST005000", "AT0"}));
  EXPECT_EQ(s.bench.audio.spoken_text(), "9 9 point 5 am attoff");
  EXPECT_EQ(s.bench.read_file("bank00.dat"), "Srchbank\r\nAM\r\n9999\r\n");
  EXPECT_FALSE(s.bench.exists("bank00.dat.tmp"));
  EXPECT_EQ(s.bench.display.text_at(80, 250), "118" + std::string(10, ' '));
  EXPECT_EQ(s.bench.display.text_at(750, 250), "137" + std::string(8, ' '));
}

TEST(ConnectionStart, ASearchBankOrAnyOtherBank00GivesTheDefaultsAndIsKept) {
  for (const std::string& bank00 :
       {std::string("Srchbank\r\nAM\r\n9999\r\n"), std::string("Srchbank\r\nWFM\r\n25\r\n \r\n88.1\r\n \r\n9999\r\n"),
        std::string("** not quite\r\nUSB\r\n7.1\r\n1\r\n2\r\n3\r\n9999\r\n"),
        // A record holding a byte outside printable ASCII is no record.
        std::string("*** Talvaro\r\nAM\r\n99.5\r\n1\r\n2\r\n5\x13\x1e\r\n9999\r\n"),
        std::string("*** Talvaro\r\nAM\r\n\xff"
                    "99.5\r\n1\r\n2\r\n5\r\n9999\r\n")}) {
    Starting s;
    s.bench.write_file("bank00.dat", bank00);
    s.start();
    EXPECT_EQ(s.bench.take_commands(), (Commands{"VA0145000000", "MD1", "ST012.50", "AT0"}));
    EXPECT_EQ(s.bench.read_file("bank00.dat"), bank00);
    EXPECT_EQ(s.bench.audio.spoken_text(), "1 4 5 point 0 fm attoff");
  }
}

TEST(ConnectionStart, ShortRecordsRestoreEmptyFieldsAndNoModeIsNotSent) {
  Starting s;
  s.bench.write_file("bank00.dat", "*** Talvaro\r\nCW \r\n");
  s.start();
  EXPECT_EQ(s.st().search_low_text, "");
  EXPECT_EQ(s.st().frequency_text, ".0");
  EXPECT_EQ(s.bench.take_commands(), (Commands{"VA0000000000", "MD5", "ST000000", "AT0"}));
  EXPECT_EQ(s.bench.read_file("bank00.dat"), "Srchbank\r\nCW \r\n9999\r\n");

  Starting t;  // "CW" without its trailing space is shown but no mode
  t.bench.write_file("bank00.dat", "***\r\nCW\r\n7.05\r\n7\r\n8\r\n0.5\r\n9999\r\n");
  t.start();
  EXPECT_EQ(t.bench.take_commands(), (Commands{"VA0007.05000", "ST000.50", "AT0"}));
  EXPECT_EQ(t.bench.display.text_at(380, 80), "CW      ");
}

TEST(ConnectionStart, TemporaryBankFilesLeftByACrashAreRemoved) {
  Starting s;
  for (const char* name : {"bank00.dat.tmp", "bank1234.dat.tmp", "bank5.dat.tmp", "notes.dat.tmp"}) {
    s.bench.write_file(name, "half a bank\r\n");
  }
  s.start();
  EXPECT_FALSE(s.bench.exists("bank00.dat.tmp"));
  EXPECT_FALSE(s.bench.exists("bank1234.dat.tmp"));
  EXPECT_TRUE(s.bench.exists("bank5.dat.tmp")) << "not a name a save writes";
  EXPECT_TRUE(s.bench.exists("notes.dat.tmp"));
}

TEST(ConnectionStart, ThePortIsTheLastCharacterOfThePortText) {
  Starting s("/dev/whatever7", "19200");
  s.bench.serial.available_port = 7;
  s.start();
  EXPECT_EQ(s.bench.serial.opened_port, 7);
  EXPECT_EQ(s.bench.serial.opened_baud, 19200);
  EXPECT_EQ(s.st().com_port, 7);
  // An unusable port or baud opens nothing and still starts.
  for (const auto& [port, baud] : std::vector<std::pair<std::string, std::string>>{
           {"COMX", "9600"}, {"COM0", "9600"}, {"COM1", "99999999999999999999"}, {"COM1", "-5000000000"}}) {
    Starting u(port, baud);
    u.start();
    EXPECT_EQ(u.bench.serial.opened_port, 0) << port << " " << baud;
    EXPECT_EQ(u.bench.audio.spoken_text(), "bnf 1 4 5 point 0 fm attoff");
  }
}

}  // namespace
}  // namespace talvaro
