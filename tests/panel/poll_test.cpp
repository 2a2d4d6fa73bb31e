#include "panel/poll.h"

#include <gtest/gtest.h>

#include <string>

#include "commands/panel_bench.h"

namespace talvaro {
namespace {

using testing::joined;
using testing::PanelBench;

const std::string squelch_closed = "LM%000\r\n";
const std::string signal = "LM 120\r\n";  // level 10

// ------------------------------------------------------------ level display

std::string bar_for_raw_level(const std::string& digits) {
  PanelBench bench;
  bench.poll("LM " + digits + "\r\n");
  const auto draw = bench.draw_at(320, 30);
  return draw.text;
}

TEST(PollLevel, AClosedSquelchDrawsAnEmptyMeterAndLevelZero) {
  PanelBench bench;
  bench.st.signal_level = 7;
  bench.poll("LM%099\r\n");
  const auto draw = bench.draw_at(320, 30);
  EXPECT_EQ(draw.text, ">" + std::string(26, ' '));
  EXPECT_EQ(draw.font, (FontSpec{"Ariel", 30, 700}));
  EXPECT_EQ(draw.colour, colour_green);
  EXPECT_EQ(bench.st.signal_level, 0);
  EXPECT_EQ(bench.st.squelch_closed, 1);
  EXPECT_EQ(bench.cx->text_state.colour, colour_black);
  EXPECT_EQ(bench.st.command_text, "");
}

TEST(PollLevel, BarsFollowTheLevel) {
  const std::string tail = ">" + std::string(17, ' ');
  EXPECT_EQ(bar_for_raw_level("000"), "0" + tail);
  EXPECT_EQ(bar_for_raw_level("012"), "1" + tail);
  EXPECT_EQ(bar_for_raw_level("060"), "****5" + tail);
  EXPECT_EQ(bar_for_raw_level("108"), "********9" + tail);
  EXPECT_EQ(bar_for_raw_level("120"), "*********9+" + tail);
  EXPECT_EQ(bar_for_raw_level("144"), "***********9+++" + tail);
  EXPECT_EQ(bar_for_raw_level("240"), std::string(18, '*') + "9++++" + tail);
  // Rounding drops the remainder of the division.
  EXPECT_EQ(bar_for_raw_level("023"), "1" + tail);
  // A minus sign among the level digits counts as level 0.
  EXPECT_EQ(bar_for_raw_level("-50"), "0" + tail);
}

TEST(PollLevel, LevelReportsAddTenAndOtherRepliesDivideAgain) {
  PanelBench bench;
  bench.poll("LC050 VA RF0145500000\r\n");
  EXPECT_EQ(bench.st.signal_level, 5);
  EXPECT_EQ(bench.st.squelch_closed, 0);

  bench.st.signal_level = 120;
  bench.poll("xxVS RF0145500000 ST012500\r\n");
  EXPECT_EQ(bench.st.signal_level, 10);
  EXPECT_EQ(bench.draw_at(320, 30).text, "*********9+>" + std::string(17, ' '));
}

TEST(PollLevel, NoReplyKeepsTheSquelchReadingAndDrawsNothing) {
  PanelBench bench;
  bench.st.squelch_closed = 1;
  bench.st.signal_level = 4;
  bench.poll("");
  EXPECT_EQ(bench.draw_at(320, 30).text, "");
  EXPECT_EQ(bench.st.squelch_closed, 1);
  EXPECT_EQ(bench.st.signal_level, 4);
  EXPECT_EQ(bench.st.meter_state, 0);
}

TEST(PollCycle, ThreeTicksPerPollAndNoPollWhileAKeyWaits) {
  PanelBench bench;
  constexpr int shift = 16;  // a key that is no command
  bench.press(shift);
  bench.tick();  // the key
  bench.press(shift);
  bench.tick();  // the receive marker of the first
  bench.tick();  // the second key
  bench.tick();  // its receive marker
  EXPECT_EQ(bench.st.meter_state, 0);
  EXPECT_TRUE(bench.take_commands().empty());
  bench.tick(2);
  EXPECT_EQ(joined(bench.take_commands()), "LM");
  bench.reply(squelch_closed);
  bench.tick();
  EXPECT_EQ(bench.st.meter_state, 0);
  bench.tick(2);
  EXPECT_EQ(joined(bench.take_commands()), "LM");
}

TEST(PollCycle, UnknownStatesDoNothing) {
  PanelBench bench;
  bench.st.meter_state = 9;
  bench.tick(3);
  EXPECT_EQ(bench.st.meter_state, 9);
  EXPECT_TRUE(bench.take_commands().empty());
}

// ------------------------------------------------------------ receiver scan (A, C, state 6)

TEST(PollReceiverScan, AStopIsShownAndSpokenAndTheRestartWaitsSixCycles) {
  PanelBench bench;
  bench.st.receiver_scan_state = 2;
  bench.poll("LC050 MXA05 RF0145500000\r\n");
  EXPECT_EQ(bench.draw_at(270, 320).text, "      *** STOPPED ***  ");
  EXPECT_EQ(bench.draw_at(270, 320).colour, colour_red);
  EXPECT_EQ(bench.st.receiver_scan_state, 3);
  EXPECT_EQ(bench.st.meter_state, 5);
  bench.tick();  // the hold
  EXPECT_EQ(bench.st.meter_state, 6);
  bench.tick();  // the read-back from the level report
  EXPECT_EQ(bench.st.frequency_text, "145.500000");
  EXPECT_EQ(bench.draw_at(300, 150).text, "145.500000");
  EXPECT_EQ(bench.spoken(), "stop");
  EXPECT_EQ(bench.st.scan_resume_delay, 7);
  EXPECT_EQ(bench.st.meter_state, 0);
  EXPECT_TRUE(joined(bench.take_commands()).find("<RS>") == std::string::npos);

  bench.forget();
  for (int cycle = 0; cycle < 6; ++cycle) bench.poll("LC%023 MXA05\r\n");
  EXPECT_EQ(bench.draw_at(270, 320).text, "");
  EXPECT_EQ(bench.spoken(), "");
  EXPECT_EQ(bench.st.receiver_scan_state, 3);

  bench.poll("LC%023 MXA05\r\n");
  EXPECT_EQ(bench.draw_at(270, 320).text, "      *** SCANNING ***  ");
  ASSERT_EQ(bench.audio.spoken(), std::vector<std::string>{"scan"});
  EXPECT_FALSE(bench.audio.plays.back().wait);
  EXPECT_EQ(bench.st.receiver_scan_state, 2);
}

TEST(PollReceiverScan, TheFirstStopAfterAStartIsNeitherShownNorSpoken) {
  PanelBench bench;
  bench.st.receiver_scan_state = 1;
  bench.st.scan_just_started = 1;
  bench.poll("LC050 MXA05 RF0145500000\r\n");
  bench.tick(2);
  EXPECT_EQ(bench.display.all_text().find("STOPPED"), std::string::npos);
  EXPECT_EQ(bench.spoken(), "");
  EXPECT_EQ(bench.st.scan_just_started, 0);
  EXPECT_EQ(bench.st.frequency_text, "145.500000");
  EXPECT_EQ(bench.st.scan_resume_delay, 7);
}

TEST(PollReceiverScan, AShortReportResumesTheScanAndABadFrequencyIsNotShown) {
  PanelBench bench;
  bench.st.receiver_scan_state = 2;
  bench.poll("LC050 RF01455\r\n");
  bench.tick(2);
  EXPECT_EQ(joined(bench.take_commands()), "LM|<RS>");
  EXPECT_EQ(bench.st.receiver_scan_state, 1);
  EXPECT_EQ(bench.st.reply_text, "");
  EXPECT_EQ(bench.st.scan_resume_delay, 0);

  // Long enough, but no ten digits after "RF": nothing is shown.
  bench.forget();
  bench.poll("LC050 MXA05 RF01455000x0 ST0\r\n");
  bench.tick(2);
  EXPECT_EQ(bench.st.frequency_text, "145.0");
  EXPECT_EQ(bench.draw_at(300, 150).text, "");
  EXPECT_EQ(bench.spoken(), "");
  EXPECT_EQ(bench.st.scan_resume_delay, 7);
}

TEST(PollReceiverScan, AReceiverScanFreezesBankStepping) {
  PanelBench bench;
  bench.set_bank({"Bank05", "FM", "12.5", " ", "145.5", "One", "146", "Two", "9999", " "});
  bench.st.bank_scan_state = 3;
  bench.st.bank_cell_index = 6;
  bench.st.receiver_scan_state = 2;
  bench.poll(squelch_closed);
  EXPECT_EQ(bench.st.bank_cell_index, 6);
  EXPECT_EQ(joined(bench.take_commands()), "LM");
}

// ------------------------------------------------------------ bank scan (B, D)

TEST(PollBankScan, StepsThroughTheEntriesAndWraps) {
  PanelBench bench;
  bench.set_bank({"Bank05", "FM", "12.5", " ", "145.5", "One", "146", "Two", "9999", " "});
  bench.st.selected_bank_loaded = 1;
  bench.st.bank_scan_state = 2;  // as the scan start leaves it
  bench.st.bank_cell_index = 4;

  bench.poll(squelch_closed);
  EXPECT_EQ(joined(bench.take_commands()), "LM|VA0145.50000");
  EXPECT_EQ(bench.st.bank_cell_index, 6);
  EXPECT_EQ(bench.draw_at(270, 320).text, "      *** SCANNING ***  ");
  EXPECT_EQ(bench.draw_at(340, 370).text, std::string(39, ' '));
  EXPECT_EQ(bench.spoken(), "scan");
  ASSERT_FALSE(bench.audio.plays.empty());
  EXPECT_TRUE(bench.audio.plays.back().wait);
  EXPECT_EQ(bench.st.bank_scan_state, 3);

  bench.forget();
  bench.poll(squelch_closed);
  EXPECT_EQ(joined(bench.take_commands()), "LM|VA0146000000");
  EXPECT_EQ(bench.st.bank_cell_index, 4);
  EXPECT_EQ(bench.draw_at(270, 320).text, "");  // shown once
  EXPECT_EQ(bench.spoken(), "");

  bench.poll(squelch_closed);
  EXPECT_EQ(joined(bench.take_commands()), "LM|VA0145.50000");
  EXPECT_EQ(bench.st.bank_cell_index, 6);
}

TEST(PollBankScan, AHaltShowsTheLabelOfTheEntryTunedLast) {
  PanelBench bench;
  bench.set_bank({"Bank05", "FM", "12.5", " ", "145.5", "One", "146", "Two", "9999", " "});
  bench.st.bank_scan_state = 3;
  bench.st.bank_cell_index = 4;  // wrapped: the last entry was tuned
  bench.poll(signal);
  EXPECT_EQ(bench.draw_at(270, 320).text, "      *** STOPPED ***  ");
  EXPECT_EQ(bench.draw_at(340, 370).text, "Two");
  EXPECT_EQ(bench.draw_at(340, 370).colour, colour_green);
  EXPECT_EQ(bench.spoken(), "stop");
  EXPECT_EQ(bench.st.bank_scan_state, 4);

  // It stays on the entry, silently, while the signal lasts.
  bench.forget();
  bench.poll(signal);
  EXPECT_EQ(bench.spoken(), "");
  EXPECT_EQ(bench.draw_at(340, 370).text, "");
  EXPECT_EQ(joined(bench.take_commands()), "LM");

  // Then steps on with the first entry, announcing the scan again.
  bench.poll(squelch_closed);
  EXPECT_EQ(joined(bench.take_commands()), "LM|VA0145.50000");
  EXPECT_EQ(bench.spoken(), "scan");
  EXPECT_EQ(bench.st.bank_scan_state, 3);
}

TEST(PollBankScan, AHaltRightAfterTheStartShowsTheFirstLabel) {
  PanelBench bench;
  bench.set_bank({"Bank05", "FM", "12.5", " ", "145.5", "One", "146", "Two", "9999", " "});
  bench.st.bank_scan_state = 2;
  bench.st.bank_cell_index = 4;
  bench.st.scan_voice_enabled = 0;
  bench.poll(signal);
  EXPECT_EQ(bench.draw_at(340, 370).text, "One");
  EXPECT_EQ(bench.spoken(), "");
}

TEST(PollBankScan, ATableWithoutEntriesIsNeverTuned) {
  PanelBench bench;
  bench.set_bank({"Bank05", "FM", "12.5", " ", "9999", " "});
  bench.st.bank_scan_state = 3;
  bench.st.bank_cell_index = 8;
  bench.poll(squelch_closed);
  EXPECT_EQ(joined(bench.take_commands()), "LM");
  EXPECT_EQ(bench.st.meter_state, 0);
}

// ------------------------------------------------------------ search (E, F, G, states 3 and 4)

// Sets up a running search whose bank is the search bank.
void start_searching(PanelBench& bench, int stop_mode) {
  bench.set_bank({"Srchbank", "FM", "12.5", " ", "9999", " "});
  bench.st.bank_file_name = "bank00.dat";
  bench.st.bank_cell_index = 2;
  bench.st.search_state = 1;
  bench.st.search_stop_mode = stop_mode;
}

TEST(PollSearch, AStopInStopModeIsSpokenOnceAndReadBack) {
  PanelBench bench;
  start_searching(bench, 1);
  bench.poll(signal);
  EXPECT_EQ(bench.draw_at(270, 320).text, "      *** STOPPED ***  ");
  EXPECT_EQ(bench.spoken(), "stop");
  EXPECT_EQ(bench.st.search_state, 2);
  EXPECT_EQ(bench.st.meter_state, 3);
  bench.tick();
  EXPECT_EQ(joined(bench.take_commands()), "LM|RX");
  bench.reply("VS RF0145000000 ST012500 AU0 MD1 AT0\r\n");
  bench.tick();
  // Ten digits kept; leading, then trailing zeros removed.
  EXPECT_EQ(bench.st.frequency_text, "145.");
  EXPECT_EQ(bench.draw_at(300, 150).text, "145.");
  EXPECT_EQ(bench.st.bank_table[4], "145.");
  EXPECT_EQ(bench.st.found_count, 1);
  EXPECT_EQ(bench.st.meter_state, 0);

  // While the signal lasts nothing more is said or sent.
  bench.forget();
  bench.poll(signal);
  bench.poll(signal);
  EXPECT_EQ(bench.spoken(), "");
  EXPECT_EQ(joined(bench.take_commands()), "LM|LM");

  bench.poll(squelch_closed);
  EXPECT_EQ(bench.draw_at(270, 320).text, "Search Mode Active");
  EXPECT_EQ(bench.draw_at(270, 320).colour, colour_green);
  EXPECT_EQ(bench.st.search_state, 1);
}

TEST(PollSearch, ContModeResumesAfterFiveCyclesThenSearchesAgain) {
  PanelBench bench;
  start_searching(bench, 0);
  bench.poll(signal);
  EXPECT_EQ(bench.spoken(), "");  // no "stop" in CONT mode
  bench.tick();
  bench.reply("VS RF0145512500 ST012500 AU0 MD1 AT0\r\n");
  bench.tick();
  EXPECT_EQ(bench.st.frequency_text, "145.5125");
  bench.take_commands();

  for (int cycle = 0; cycle < 4; ++cycle) bench.poll(signal);
  EXPECT_EQ(joined(bench.take_commands()), "LM|LM|LM|LM");
  bench.poll(signal);
  EXPECT_EQ(joined(bench.take_commands()), "LM|<RS>|<RS>");
  EXPECT_EQ(bench.st.search_state, 2);

  // The countdown runs on, and the closed squelch is still seen.
  bench.poll(squelch_closed);
  EXPECT_EQ(bench.draw_at(270, 320).text, "Search Mode Active");
  EXPECT_EQ(bench.st.search_state, 1);
  EXPECT_EQ(bench.st.search_resume_count, 4);
}

TEST(PollSearch, TheReadBackGivesUpAfterTenUnansweredRequests) {
  PanelBench bench;
  start_searching(bench, 1);
  bench.poll(signal);
  bench.take_commands();
  for (int i = 0; i < 12; ++i) {
    bench.tick();  // "RX"
    // A reply without a usable frequency: too few digits after "RF".
    bench.reply("VS RF01455\r\n");
    bench.tick();
    if (bench.st.meter_state == 0) break;
  }
  const auto commands = bench.take_commands();
  EXPECT_EQ(commands.size(), 10u);
  EXPECT_EQ(joined(commands).find("LM"), std::string::npos);
  EXPECT_EQ(bench.st.meter_state, 0);
  EXPECT_EQ(bench.st.search_state, 2);
  EXPECT_EQ(bench.st.frequency_text, "145.0");
  EXPECT_EQ(bench.st.found_count, 0);

  // Keys are served again.
  bench.press('H');
  bench.tick();
  EXPECT_EQ(bench.spoken(), "stop help");
}

}  // namespace
}  // namespace talvaro
