#include "commands/dispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/keys.h"
#include "commands/panel_bench.h"

namespace talvaro {
namespace {

using testing::PanelBench;

constexpr int enter = key::enter;

TEST(Dispatch, TypingAFrequencyTunesItAtEnter) {
  PanelBench bench;
  for (int key : {int{'1'}, int{'4'}, int{'5'}, key::full_stop, int{'5'}, enter}) bench.press(key);
  EXPECT_EQ(bench.st.key_queue_length, 12);
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(bench.st.meter_state, MeterState::idle);  // no level poll while a key waits
    bench.tick();
  }
  EXPECT_EQ(bench.st.key_queue_length, 0);
  EXPECT_EQ(bench.spoken(), "1 4 5 point 5 ok");
  EXPECT_EQ(bench.sent(), "VA0145.50000|ST012.50");
  EXPECT_EQ(bench.draw_at(300, 150).text, "145.5");
  EXPECT_EQ(bench.draw_at(300, 150).colour, colour_blue);
  EXPECT_EQ(bench.st.frequency_entry_fresh, 1);
  const auto cleared = bench.draw_at(0, 350);  // Enter cleared the lower panel
  EXPECT_EQ(cleared.text, std::string(80, ' '));
  EXPECT_EQ(cleared.font, (FontSpec{"Ariel", 70, 700}));
  // Keys pressed while others are handled wait their turn; Delete is a point.
  bench.forget();
  bench.press('1');
  bench.tick();
  bench.press('4');
  bench.press(key::point);
  bench.press('6');
  bench.settle();
  EXPECT_EQ(bench.spoken(), "1 4 point 6");
  EXPECT_EQ(bench.st.frequency_text, "14.6");
}

TEST(Dispatch, AKeyWaitsForTheFirstLevelPollAndEndsTheProgramOnlyWhenItWentUnanswered) {
  for (int key : {key::space, int{'1'}}) {
    PanelBench bench(1);
    bench.st.connection_state = ConnectionState::unanswered;
    bench.st.status_text = "Connecting";
    bench.type({key});
    // "LM" goes out first; Space sends its byte before the connection check.
    EXPECT_EQ(bench.sent(), key == key::space ? "LM|<RS>" : "LM");
    EXPECT_EQ(bench.spoken(), "rnc");
    EXPECT_EQ(bench.st.running, 0);
    EXPECT_EQ(bench.st.connection_state, ConnectionState::none);
    EXPECT_EQ(bench.st.frequency_text, "145.0");
    close_text_file(bench.st.debug_file);
    EXPECT_EQ(bench.read_file("debug1.dat"), key == key::space ? "TX= LM\r\n**SPC\r\n" : "TX= LM\r\n**1\r\n");
  }
  // A key pressed during the greeting is carried out once the receiver has
  // answered the first poll.
  PanelBench bench;
  bench.st.connection_state = ConnectionState::unanswered;
  bench.st.status_text = "Connecting";
  bench.press('1');
  bench.tick(2);
  EXPECT_EQ(bench.sent(), "LM");
  bench.reply("LM%00\r");
  bench.settle();
  EXPECT_EQ(bench.spoken(), "connected 1");
  EXPECT_EQ(bench.st.running, 1);
  EXPECT_EQ(bench.st.frequency_text, "1");
}

TEST(Dispatch, KeyEchoesInTheLog) {
  PanelBench bench(1);
  bench.type({key::f1, key::up, key::page_up, '1', key::full_stop, enter, 16});
  close_text_file(bench.st.debug_file);
  const std::string log = bench.read_file("debug1.dat");
  for (const char* echo : {"**p\r\n", "**&\r\n", "**!\r\n", "**.\r\n", "**C/R\r\n", "**\x10\r\n"}) {
    EXPECT_NE(log.find(echo), std::string::npos) << echo;
  }
}

TEST(Dispatch, LimitsAndStep) {
  PanelBench bench;
  bench.type({'S', enter});  // nothing typed: the value is spoken
  EXPECT_EQ(bench.spoken(), "start 1 4 5");
  EXPECT_EQ(bench.sent(), "");
  bench.forget();
  bench.type({'S', '1', '4', '4', enter});
  EXPECT_EQ(bench.st.search_low_text, "144");
  EXPECT_EQ(bench.spoken(), "start 1 4 4 ok");
  EXPECT_EQ(bench.draw_at(80, 250).text, "144          ");
  EXPECT_EQ(bench.st.entry_mode, EntryMode::none);
  EXPECT_EQ(bench.st.limit_entry_fresh, 0);
  // Another command key drops an unfinished limit.
  bench.forget();
  bench.type({'S', '1', '4', 'E', '1', '5', '0', enter});
  EXPECT_EQ(bench.st.search_low_text, "14");
  EXPECT_EQ(bench.st.search_high_text, "150");
  EXPECT_EQ(bench.spoken(), "start 1 4 end 1 5 0 ok");
  // The step is sent at Enter even with nothing typed.
  bench.forget();
  bench.type({'I', enter, 'I', '5', enter});
  EXPECT_EQ(bench.sent(), "ST012.50|ST005000");
  EXPECT_EQ(bench.spoken(), "incr 1 2 point 5 incr 5 ok");
}

TEST(Dispatch, BankNumbersMustBeTwoOrFourDigits) {
  PanelBench bench;
  bench.write_file("bank05.dat", "x\r\n");
  bench.write_file("bank5.dat", "x\r\n");
  bench.write_file("bank0..dat", "Bank\r\nFM\r\n12.5\r\n \r\n145\r\nx\r\n9999\r\n \r\n");
  struct Case {
    std::vector<int> keys;
    const char* spoken;
  };
  for (const Case& c :
       {Case{{'D', '5', enter}, "delete 5 inv"}, Case{{'B', '0', key::point, enter}, "bank 0 point inv"},
        Case{{'O', '1', '2', '3', enter}, "sort 1 2 3 inv"},
        Case{{'D', '0', key::point, enter}, "delete 0 point inv"}}) {
    bench.forget();
    for (int key : c.keys) bench.type({key});
    EXPECT_EQ(bench.spoken(), c.spoken);
    EXPECT_EQ(bench.st.entry_mode, EntryMode::none);
  }
  EXPECT_EQ(bench.st.bank_scan_state, BankScanState::off);
  EXPECT_TRUE(bench.exists("bank5.dat"));
  EXPECT_TRUE(bench.exists("bank0..dat"));
  bench.forget();
  bench.type({'D', '0', '5', enter});
  EXPECT_EQ(bench.spoken(), "delete 0 5 ok");
  EXPECT_FALSE(bench.exists("bank05.dat"));
}

TEST(Dispatch, QCarriesOutThePendingCommandAndEnds) {
  PanelBench bench;
  bench.write_file("bank05.dat", "x\r\n");
  bench.type({'D', '0', '5', 'Q'});
  EXPECT_FALSE(bench.exists("bank05.dat"));
  EXPECT_EQ(bench.st.quit_requested, 1);
  EXPECT_EQ(bench.st.running, 0);
  EXPECT_EQ(bench.draw_at(0, 350).text, "");  // Q does not clear the lower panel

  PanelBench idle;  // nothing pending: Q tunes and says quit
  idle.type({'Q'});
  EXPECT_EQ(idle.spoken(), "quit");
  EXPECT_EQ(idle.sent(), "VA0145.00000|ST012.50");
  EXPECT_EQ(idle.st.running, 0);
}

TEST(Dispatch, KillConfirmsOnce) {
  PanelBench bench;
  bench.write_file("bank05.dat", "Bank05\r\nFM\r\n12.5\r\n \r\n145.5\r\nOne\r\n146\r\nTwo\r\n9999\r\n \r\n");
  bench.type({'B', '0', '5', enter});
  ASSERT_EQ(bench.st.bank_scan_state, BankScanState::bank_mode);
  bench.forget();
  bench.type({'K', enter});
  EXPECT_EQ(bench.spoken(), "kill ok");
  EXPECT_EQ(bench.st.entry_mode, EntryMode::none);
  EXPECT_EQ(bench.read_file("bank05.dat").find("145.5"), std::string::npos);
}

TEST(Dispatch, WriteTakesTwoDigitsThenAReceiverBankLetter) {
  PanelBench bench;
  bench.write_file("bank01.dat", "Bank01\r\nFM\r\n12.5\r\n \r\n145.5\r\nOne\r\n9999\r\n");
  bench.write_file("bank02.dat", "Bank02\r\nFM\r\n12.5\r\n \r\n9999\r\n");
  bench.write_file("bank03.dat", "Bank03\r\nFM\r\n12.5\r\n \r\n145.5\r\n9999\r\n");
  bench.type({'W', '0', '1'});
  EXPECT_EQ(bench.spoken(), "write fromb 0 1 torb");
  EXPECT_EQ(bench.sent(), "");
  bench.type({'C'});  // the letter clears the receiver bank at once
  EXPECT_EQ(bench.sent(), "MQC%%");
  EXPECT_EQ(bench.st.bank_number_text, "01C");
  EXPECT_EQ(bench.spoken(), "write fromb 0 1 torb c");
  EXPECT_EQ(bench.st.entry_mode, EntryMode::write);

  struct Case {
    std::vector<int> keys;
    const char* spoken;
  };
  for (const Case& c :
       {Case{{'W', '0', '1', '2'}, "write fromb 0 1 torb 2 inv"},
        Case{{'W', '0', '1', 'Z'}, "write fromb 0 1 torb inv"}, Case{{'W', '0', '1', 'R'}, "write fromb 0 1 torb inv"},
        Case{{'W', '0', '1', enter}, "write fromb 0 1 torb inv"},
        Case{{'W', '0', key::point, 'C'}, "write fromb 0 point torb inv"},
        // The receiver's bank is cleared only for a bank that loads and has entries.
        Case{{'W', '0', '2', 'C'}, "write fromb 0 2 torb inv"}, Case{{'W', '0', '3', 'C'}, "write fromb 0 3 torb inv"},
        Case{{'W', '0', '4', 'C'}, "write fromb 0 4 torb bnf inv"}}) {
    bench.forget();
    bench.st.entry_mode = EntryMode::none;
    for (int key : c.keys) bench.type({key});
    EXPECT_EQ(bench.spoken(), c.spoken);
    EXPECT_EQ(bench.st.entry_mode, EntryMode::none) << c.spoken;
    EXPECT_EQ(bench.st.search_state, SearchState::off);
    EXPECT_EQ(bench.sent(), "");
  }
}

TEST(Dispatch, GLetterEnterStartsTheReceiverScan) {
  PanelBench bench;
  bench.st.bank_number_text = "05";  // stale: refused, the scan stays pending
  bench.type({'G', enter});
  EXPECT_EQ(bench.spoken(), "radbank inv");
  EXPECT_EQ(bench.st.entry_mode, EntryMode::receiver_scan);
  EXPECT_EQ(bench.sent(), "");
  bench.type({'C', enter});
  EXPECT_EQ(bench.st.receiver_scan_state, ReceiverScanState::started);
  EXPECT_EQ(bench.st.scanned_bank_text, "C");
  EXPECT_EQ(bench.st.entry_mode, EntryMode::none);
  const std::string sent = bench.sent();
  EXPECT_NE(sent.find("LC1|MAC"), std::string::npos);
  EXPECT_NE(sent.find("MSC|MSC"), std::string::npos);
}

TEST(Dispatch, XWithTheLogOnSendsATypedCommandAndShowsTheAnswerAsRead) {
  PanelBench bench(1);
  bench.type({'X', 'V', 'R', 'Q', 'W'});
  EXPECT_EQ(bench.spoken(), "test");
  EXPECT_EQ(bench.st.running, 1);
  EXPECT_EQ(bench.st.bank_number_text, "VRQW");
  EXPECT_EQ(bench.sent(), "");
  bench.type({enter});
  EXPECT_EQ(bench.sent(), "VRQW");
  EXPECT_EQ(bench.draw_at(0, 0).text, "TX=VRQW RX=" + std::string(22, ' '));
  EXPECT_EQ(bench.st.entry_mode, EntryMode::none);

  bench.type({'X', 'V', 'R'});
  bench.reply("VR0101\r\n");  // the receiver answers while the pause plays
  bench.type({enter});
  EXPECT_EQ(bench.draw_at(0, 0).text, "TX=VR RX=VR0101\r\n" + std::string(22, ' '));
  EXPECT_EQ(bench.draw_at(0, 0).font, (FontSpec{"ARIEL", 10, 700}));

  PanelBench quiet;  // with the log off X is no command
  quiet.type({'X'});
  EXPECT_EQ(quiet.st.entry_mode, EntryMode::none);
  EXPECT_EQ(quiet.spoken(), "");
}

TEST(Dispatch, EnterEndsASearchAndSavesItsFindsOnlyToTheSearchBank) {
  PanelBench bench;
  bench.set_bank({"Srchbank", "FM", "12.5", " ", "145.5", " ", "9999", " "});
  bench.st.search_state = SearchState::searching;
  bench.st.found_count = 12;
  bench.type({enter});
  EXPECT_EQ(bench.st.search_state, SearchState::off);
  EXPECT_EQ(bench.spoken(), "1 2 ok");
  EXPECT_EQ(bench.read_file("bank00.dat"), "Srchbank\r\nFM\r\n12.5\r\n \r\n145.5\r\n \r\n9999\r\n");

  PanelBench other;
  other.set_bank({"Bank05", "FM", "12.5", " ", "145.5", "One", "9999", " "});
  other.st.bank_file_name = "bank05.dat";
  other.st.search_state = SearchState::stopped;
  other.st.found_count = 3;
  other.type({enter});
  EXPECT_FALSE(other.exists("bank05.dat"));
  EXPECT_FALSE(other.exists("bank00.dat"));
  EXPECT_EQ(other.spoken(), "3 ok");
}

TEST(Dispatch, EnterLeavesAScanAndDigitsAreIgnoredDuringABankScan) {
  PanelBench bench;
  bench.st.receiver_scan_state = ReceiverScanState::scanning;
  bench.st.pass_list[1] = "A05";
  bench.st.pass_list_count = 2;
  bench.type({enter});
  EXPECT_EQ(bench.st.receiver_scan_state, ReceiverScanState::off);
  EXPECT_EQ(bench.st.pass_list_count, 1);
  EXPECT_EQ(bench.spoken(), "exitscan fm");
  EXPECT_EQ(bench.sent(), "MRA05|MP0|VA0145.00000|MD1");

  bench.forget();
  bench.st.bank_scan_state = BankScanState::scanning;
  bench.type({'1', key::point});
  EXPECT_EQ(bench.spoken(), "");
  EXPECT_EQ(bench.st.frequency_text, "145.0");
}

}  // namespace
}  // namespace talvaro
