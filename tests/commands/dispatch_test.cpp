#include "commands/dispatch.h"

#include <gtest/gtest.h>

#include <string>

#include "commands/keys.h"
#include "commands/panel_bench.h"

namespace talvaro {
namespace {

using testing::joined;
using testing::PanelBench;

constexpr int enter = key::enter;

TEST(Dispatch, TypingAFrequencyTunesItAtEnter) {
  PanelBench bench;
  for (int key : {int{'1'}, int{'4'}, int{'5'}, key::full_stop, int{'5'}, enter}) bench.press(key);
  EXPECT_EQ(bench.st.key_queue_length, 12);
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(bench.st.meter_state, 0);
    bench.tick();
  }
  EXPECT_EQ(bench.st.key_queue_length, 0);
  EXPECT_EQ(bench.spoken(), "1 4 5 point 5 ok");
  EXPECT_EQ(joined(bench.take_commands()), "VA0145.50000|ST012.50");
  EXPECT_EQ(bench.draw_at(300, 150).text, "145.5");
  EXPECT_EQ(bench.draw_at(300, 150).colour, colour_blue);
  EXPECT_EQ(bench.st.frequency_entry_fresh, 1);
  // Enter cleared the lower panel first.
  const auto cleared = bench.draw_at(0, 350);
  EXPECT_EQ(cleared.text, std::string(80, ' '));
  EXPECT_EQ(cleared.font, (FontSpec{"Ariel", 70, 700}));
}

TEST(Dispatch, EveryKeyIsLoggedAndSpaceSendsItsByteBeforeTheConnectionCheck) {
  PanelBench bench(1);
  bench.st.connection_state = -1;
  bench.st.status_text = "Connecting";
  bench.press(key::space);
  bench.tick();
  EXPECT_EQ(joined(bench.take_commands()), "<RS>");
  EXPECT_EQ(bench.spoken(), "rnc");
  EXPECT_EQ(bench.st.running, 0);
  EXPECT_EQ(bench.st.connection_state, 0);
  close_text_file(bench.st.debug_file);
  EXPECT_EQ(bench.read_file("debug1.dat"), "**SPC\r\n");
}

TEST(Dispatch, TheFirstKeyBeforeAnyReplyEndsTheProgram) {
  PanelBench bench;
  bench.st.connection_state = -1;
  bench.st.status_text = "Connecting";
  bench.type("1");
  EXPECT_EQ(bench.spoken(), "rnc");
  EXPECT_EQ(bench.st.running, 0);
  EXPECT_EQ(bench.st.connection_state, 0);
  EXPECT_EQ(bench.st.frequency_text, "145.0");
}

TEST(Dispatch, KeyEchoesInTheLog) {
  PanelBench bench(1);
  bench.type({key::f1, key::up, key::page_up, '1', key::full_stop, enter, 16});
  close_text_file(bench.st.debug_file);
  const std::string log = bench.read_file("debug1.dat");
  EXPECT_NE(log.find("**p\r\n"), std::string::npos);
  EXPECT_NE(log.find("**&\r\n"), std::string::npos);
  EXPECT_NE(log.find("**!\r\n"), std::string::npos);
  EXPECT_NE(log.find("**.\r\n"), std::string::npos);
  EXPECT_NE(log.find("**C/R\r\n"), std::string::npos);
  EXPECT_NE(log.find("**\x10\r\n"), std::string::npos);
}

TEST(Dispatch, KeysPressedWhileOthersAreHandledWaitTheirTurn) {
  PanelBench bench;
  bench.press('1');
  bench.tick();  // "1" is spoken; meanwhile more keys arrive
  bench.press('4');
  bench.press('6');
  bench.settle();
  EXPECT_EQ(bench.spoken(), "1 4 6");
  EXPECT_EQ(bench.st.frequency_text, "146");
}

TEST(Dispatch, TheFullStopAndTheDeleteKeyAreTheDecimalPoint) {
  PanelBench bench;
  bench.type({'7', key::full_stop, '5', key::point, '1'});
  EXPECT_EQ(bench.st.frequency_text, "7.5.1");
  EXPECT_EQ(bench.spoken(), "7 point 5 point 1");
}

// ------------------------------------------------------------ limits and step

TEST(DispatchSettings, EnterWithNothingTypedSpeaksTheValue) {
  PanelBench bench;
  bench.type({'S', enter});
  EXPECT_EQ(bench.spoken(), "start 1 4 5");
  EXPECT_EQ(bench.st.entry_mode, 0);
  EXPECT_TRUE(bench.take_commands().empty());
}

TEST(DispatchSettings, TypedLimitsAreSetShownAndConfirmed) {
  PanelBench bench;
  bench.type({'S', '1', '4', '4', enter});
  EXPECT_EQ(bench.st.search_low_text, "144");
  EXPECT_EQ(bench.spoken(), "start 1 4 4 ok");
  EXPECT_EQ(bench.draw_at(80, 250).text, "144          ");
  EXPECT_EQ(bench.st.entry_mode, 0);
  EXPECT_EQ(bench.st.limit_entry_fresh, 0);
}

TEST(DispatchSettings, AnotherCommandKeyDropsAnUnfinishedLimit) {
  PanelBench bench;
  bench.type({'S', '1', '4', 'E', '1', '5', '0', enter});
  EXPECT_EQ(bench.st.search_low_text, "14");
  EXPECT_EQ(bench.st.search_high_text, "150");
  EXPECT_EQ(bench.spoken(), "start 1 4 end 1 5 0 ok");
}

TEST(DispatchSettings, TheStepIsSentAtEnterEvenWithNothingTyped) {
  PanelBench bench;
  bench.type({'I', enter});
  EXPECT_EQ(joined(bench.take_commands()), "ST012.50");
  EXPECT_EQ(bench.spoken(), "incr 1 2 point 5");
  bench.forget();
  bench.type({'I', '5', enter});
  EXPECT_EQ(joined(bench.take_commands()), "ST005000");
  EXPECT_EQ(bench.spoken(), "incr 5 ok");
}

// ------------------------------------------------------------ bank commands

TEST(DispatchBanks, DeleteTakesExactlyTwoDigits) {
  PanelBench bench;
  bench.write_file("bank05.dat", "x\r\n");
  bench.write_file("bank5.dat", "x\r\n");
  bench.type({'D', '5', enter});
  EXPECT_EQ(bench.spoken(), "delete 5 inv");
  EXPECT_TRUE(bench.exists("bank5.dat"));
  bench.forget();
  bench.type({'D', '0', '5', enter});
  EXPECT_EQ(bench.spoken(), "delete 0 5 ok");
  EXPECT_FALSE(bench.exists("bank05.dat"));
  EXPECT_EQ(bench.st.entry_mode, 0);
}

TEST(DispatchBanks, QCarriesOutThePendingCommandAndEnds) {
  PanelBench bench;
  bench.write_file("bank05.dat", "x\r\n");
  bench.type({'D', '0', '5', 'Q'});
  EXPECT_FALSE(bench.exists("bank05.dat"));
  EXPECT_EQ(bench.st.quit_requested, 1);
  EXPECT_EQ(bench.st.running, 0);
  // Q does not clear the lower panel.
  EXPECT_EQ(bench.draw_at(0, 350).text, "");
}

TEST(DispatchBanks, QWithNothingPendingTunesAndSaysQuit) {
  PanelBench bench;
  bench.type({'Q'});
  EXPECT_EQ(bench.spoken(), "quit");
  EXPECT_EQ(joined(bench.take_commands()), "VA0145.00000|ST012.50");
  EXPECT_EQ(bench.st.running, 0);
}

TEST(DispatchBanks, ABankNumberMustBeTwoOrFourDigits) {
  PanelBench bench;
  bench.write_file("bank0..dat", "Bank\r\nFM\r\n12.5\r\n \r\n145\r\nx\r\n9999\r\n \r\n");
  bench.type({'B', '0', key::point, enter});
  EXPECT_EQ(bench.spoken(), "bank 0 point inv");
  EXPECT_EQ(bench.st.bank_scan_state, 0);
  EXPECT_EQ(bench.st.entry_mode, 0);
  bench.forget();
  bench.type({'O', '1', '2', '3', enter});
  EXPECT_EQ(bench.spoken(), "sort 1 2 3 inv");
  bench.forget();
  bench.type({'D', '0', key::point, enter});
  EXPECT_EQ(bench.spoken(), "delete 0 point inv");
  EXPECT_TRUE(bench.exists("bank0..dat"));
}

TEST(DispatchBanks, KillConfirmsOnce) {
  PanelBench bench;
  bench.write_file("bank05.dat", "Bank05\r\nFM\r\n12.5\r\n \r\n145.5\r\nOne\r\n146\r\nTwo\r\n9999\r\n \r\n");
  bench.type({'B', '0', '5', enter});
  ASSERT_EQ(bench.st.bank_scan_state, 1);
  bench.forget();
  bench.type({'K', enter});
  EXPECT_EQ(bench.spoken(), "kill ok");
  EXPECT_EQ(bench.st.entry_mode, 0);
  EXPECT_EQ(bench.read_file("bank05.dat").find("145.5"), std::string::npos);
}

// ------------------------------------------------------------ write to the receiver

TEST(DispatchWrite, TheBankLetterClearsTheReceiverBankAtOnce) {
  PanelBench bench;
  bench.type({'W', '0', '1'});
  EXPECT_EQ(bench.spoken(), "write fromb 0 1 torb");
  EXPECT_TRUE(bench.take_commands().empty());
  bench.type({'C'});
  EXPECT_EQ(joined(bench.take_commands()), "MQC%%");
  EXPECT_EQ(bench.st.bank_number_text, "01C");
  EXPECT_EQ(bench.spoken(), "write fromb 0 1 torb c");
  EXPECT_EQ(bench.st.entry_mode, entry::write);
}

TEST(DispatchWrite, AThirdDigitOrAWrongLetterDropsTheWrite) {
  PanelBench bench;
  bench.type({'W', '0', '1', '2'});
  EXPECT_EQ(bench.spoken(), "write fromb 0 1 torb 2 inv");
  EXPECT_EQ(bench.st.entry_mode, 0);
  bench.forget();
  bench.type({'W', '0', '1', 'Z'});
  EXPECT_EQ(bench.spoken(), "write fromb 0 1 torb inv");
  EXPECT_EQ(bench.st.entry_mode, 0);
  EXPECT_TRUE(bench.take_commands().empty());
  // R and Space reach the letter step too.
  bench.forget();
  bench.type({'W', '0', '1', 'R'});
  EXPECT_EQ(bench.spoken(), "write fromb 0 1 torb inv");
  EXPECT_EQ(bench.st.search_state, 0);
  EXPECT_TRUE(bench.take_commands().empty());
  // A bank number with a point never clears a receiver bank.
  bench.forget();
  bench.type({'W', '0', key::point, 'C'});
  EXPECT_EQ(bench.spoken(), "write fromb 0 point torb inv");
  EXPECT_TRUE(bench.take_commands().empty());
}

TEST(DispatchWrite, EnterWithoutALetterIsRefused) {
  PanelBench bench;
  bench.type({'W', '0', '1', enter});
  EXPECT_EQ(bench.spoken(), "write fromb 0 1 torb inv");
  EXPECT_EQ(bench.st.entry_mode, 0);
}

// ------------------------------------------------------------ receiver bank scan

TEST(DispatchReceiverScan, GLetterEnterStartsTheScan) {
  PanelBench bench;
  bench.type({'G', 'C', enter});
  EXPECT_EQ(bench.st.receiver_scan_state, 1);
  EXPECT_EQ(bench.st.scanned_bank_text, "C");
  EXPECT_EQ(bench.st.entry_mode, 0);
  const std::string sent = joined(bench.take_commands());
  EXPECT_NE(sent.find("LC1|MAC"), std::string::npos);
  EXPECT_NE(sent.find("MSC|MSC"), std::string::npos);
}

TEST(DispatchReceiverScan, AStaleBankNumberIsRefusedAndTheScanStaysPending) {
  PanelBench bench;
  bench.st.bank_number_text = "05";
  bench.type({'G', enter});
  EXPECT_EQ(bench.spoken(), "radbank inv");
  EXPECT_EQ(bench.st.entry_mode, entry::receiver_scan);
  EXPECT_TRUE(bench.take_commands().empty());
  // A letter typed next replaces it.
  bench.type({'B'});
  EXPECT_EQ(bench.st.bank_number_text, "B");
  EXPECT_EQ(bench.st.entry_mode, entry::receiver_scan);
}

// ------------------------------------------------------------ raw commands

TEST(DispatchRaw, XWithTheLogOnSendsATypedCommandAndShowsTheAnswer) {
  PanelBench bench(1);
  bench.type({'X', 'V', 'R', 'Q', 'W'});
  EXPECT_EQ(bench.spoken(), "test");
  EXPECT_EQ(bench.st.running, 1);
  EXPECT_EQ(bench.st.bank_number_text, "VRQW");
  EXPECT_TRUE(bench.take_commands().empty());
  bench.type({enter});
  EXPECT_EQ(joined(bench.take_commands()), "VRQW");
  EXPECT_EQ(bench.draw_at(0, 0).text, "TX=VRQW RX=" + std::string(22, ' '));
  EXPECT_EQ(bench.st.entry_mode, 0);
}

TEST(DispatchRaw, TheAnswerIsShownAsRead) {
  PanelBench bench(1);
  bench.type({'X', 'V', 'R'});
  // The receiver answers while the pause plays.
  bench.reply("VR0101\r\n");
  bench.type({enter});
  const auto shown = bench.draw_at(0, 0);
  EXPECT_EQ(shown.text, "TX=VR RX=VR0101\r\n" + std::string(22, ' '));
  EXPECT_EQ(shown.font, (FontSpec{"ARIEL", 10, 700}));
  EXPECT_EQ(bench.st.entry_mode, 0);
}

TEST(DispatchRaw, XWithTheLogOffIsNoCommand) {
  PanelBench bench;
  bench.type({'X'});
  EXPECT_EQ(bench.st.entry_mode, 0);
  EXPECT_EQ(bench.spoken(), "");
  EXPECT_TRUE(bench.take_commands().empty());
}

// ------------------------------------------------------------ Enter during scans and searches

TEST(DispatchEnter, EnterEndsASearchSavesItsBankAndSpeaksTheCount) {
  PanelBench bench;
  bench.set_bank({"Srchbank", "FM", "12.5", " ", "145.5", " ", "9999", " "});
  bench.st.search_state = 1;
  bench.st.found_count = 12;
  bench.type({enter});
  EXPECT_EQ(bench.st.search_state, 0);
  EXPECT_EQ(bench.spoken(), "1 2 ok");
  EXPECT_EQ(bench.read_file("bank00.dat"), "Srchbank\r\nFM\r\n12.5\r\n \r\n145.5\r\n \r\n9999\r\n");
}

TEST(DispatchEnter, FindsAreNotSavedOverAnotherBank) {
  PanelBench bench;
  bench.set_bank({"Bank05", "FM", "12.5", " ", "145.5", "One", "9999", " "});
  bench.st.bank_file_name = "bank05.dat";
  bench.st.search_state = 2;
  bench.st.found_count = 3;
  bench.type({enter});
  EXPECT_FALSE(bench.exists("bank05.dat"));
  EXPECT_FALSE(bench.exists("bank00.dat"));
  EXPECT_EQ(bench.spoken(), "3 ok");
}

TEST(DispatchEnter, EnterDuringAScanLeavesIt) {
  PanelBench bench;
  bench.st.receiver_scan_state = 2;
  bench.st.pass_list[1] = "A05";
  bench.st.pass_list_count = 2;
  bench.type({enter});
  EXPECT_EQ(bench.st.receiver_scan_state, 0);
  EXPECT_EQ(bench.st.pass_list_count, 1);
  EXPECT_EQ(bench.spoken(), "exitscan fm");
  EXPECT_EQ(joined(bench.take_commands()), "MRA05|MP0|VA0145.00000|MD1");
}

TEST(DispatchEnter, DigitsAreIgnoredWhileABankScanRuns) {
  PanelBench bench;
  bench.st.bank_scan_state = 3;
  bench.type({'1', key::point});
  EXPECT_EQ(bench.spoken(), "");
  EXPECT_EQ(bench.st.frequency_text, "145.0");
}

}  // namespace
}  // namespace talvaro
