#include "panel/poll/poll.h"

#include <gtest/gtest.h>

#include <string>

#include "commands/panel_bench.h"

namespace talvaro {
namespace {

using testing::PanelBench;

const std::string squelch_closed = "LM%000\r\n";
const std::string signal = "LM 120\r\n";  // level 10
const std::string stopped = "      *** STOPPED ***  ";
const std::string scanning = "      *** SCANNING ***  ";

TEST(PollLevel, TheMeterFollowsTheLevel) {
  const std::string tail = ">" + std::string(17, ' ');
  struct Case {
    const char* reply;
    std::string bar;
    int level;
  };
  for (const Case& c :
       {Case{"LM%099\r\n", ">" + std::string(26, ' '), 0}, Case{"LM 000\r\n", "0" + tail, 0},
        Case{"LM 012\r\n", "1" + tail, 1}, Case{"LM 023\r\n", "1" + tail, 1}, Case{"LM 108\r\n", "********9" + tail, 9},
        Case{"LM 120\r\n", "*********9+" + tail, 10}, Case{"LM 144\r\n", "***********9+++" + tail, 12},
        Case{"LM 240\r\n", std::string(18, '*') + "9++++" + tail, 20},
        Case{"LM -50\r\n", "0" + tail, 0},  // a minus sign counts as level 0
        Case{"LC050 VA RF0145500000\r\n", "****5" + tail, 5},
        Case{"xxVS RF0145500000 ST012500\r\n", "*********9+" + tail, 10}}) {
    PanelBench bench;
    bench.st.signal_level = 120;  // a reply without a level divides this again
    bench.poll(c.reply);
    EXPECT_EQ(bench.draw_at(320, 30).text, c.bar) << c.reply;
    EXPECT_EQ(bench.draw_at(320, 30).font, (FontSpec{"Ariel", 30, 700}));
    EXPECT_EQ(bench.draw_at(320, 30).colour, colour_green);
    EXPECT_EQ(bench.st.signal_level, c.level) << c.reply;
    EXPECT_EQ(bench.st.squelch_closed, c.reply[2] == '%') << c.reply;
  }
  // No reply keeps the reading and draws nothing.
  PanelBench bench;
  bench.st.squelch_closed = 1;
  bench.st.signal_level = 4;
  bench.poll("");
  EXPECT_EQ(bench.draw_at(320, 30).text, "");
  EXPECT_EQ(bench.st.squelch_closed, 1);
  EXPECT_EQ(bench.st.signal_level, 4);
  EXPECT_EQ(bench.st.meter_state, MeterState::idle);
}

TEST(PollCycle, ThreeTicksPerPollAndNoPollWhileAKeyWaits) {
  PanelBench bench;
  constexpr int shift = 16;  // a key that is no command
  bench.press(shift);
  bench.tick();  // the key
  bench.press(shift);
  bench.tick(3);  // the first receive marker, the second key and its marker
  EXPECT_EQ(bench.st.meter_state, MeterState::idle);
  EXPECT_EQ(bench.sent(), "");
  bench.tick(2);
  EXPECT_EQ(bench.sent(), "LM");
  bench.reply(squelch_closed);
  bench.tick(3);
  EXPECT_EQ(bench.sent(), "LM");
  // Unknown states do nothing.
  constexpr auto unknown = static_cast<MeterState>(9);
  bench.st.meter_state = unknown;
  bench.tick(3);
  EXPECT_EQ(bench.st.meter_state, unknown);
  EXPECT_EQ(bench.sent(), "");
}

TEST(PollReceiverScan, AStopIsShownAndSpokenAndTheRestartWaitsSixCycles) {
  PanelBench bench;
  bench.st.receiver_scan_state = ReceiverScanState::scanning;
  bench.poll("LC050 MXA05 RF0145500000\r\n");
  EXPECT_EQ(bench.draw_at(270, 320).text, stopped);
  EXPECT_EQ(bench.draw_at(270, 320).colour, colour_red);
  EXPECT_EQ(bench.st.receiver_scan_state, ReceiverScanState::stopped);
  bench.tick(2);  // the hold, then the read-back from the level report
  EXPECT_EQ(bench.st.frequency_text, "145.500000");
  EXPECT_EQ(bench.draw_at(300, 150).text, "145.500000");
  EXPECT_EQ(bench.spoken(), "stop");
  EXPECT_EQ(bench.st.scan_resume_delay, 7);
  EXPECT_EQ(bench.st.meter_state, MeterState::idle);
  EXPECT_EQ(bench.sent(), "LM");

  bench.forget();
  for (int cycle = 0; cycle < 6; ++cycle) bench.poll("LC%023 MXA05\r\n");
  EXPECT_EQ(bench.draw_at(270, 320).text, "");
  EXPECT_EQ(bench.spoken(), "");
  EXPECT_EQ(bench.st.receiver_scan_state, ReceiverScanState::stopped);
  bench.poll("LC%023 MXA05\r\n");
  EXPECT_EQ(bench.draw_at(270, 320).text, scanning);
  EXPECT_EQ(bench.spoken(), "scan");
  EXPECT_FALSE(bench.audio.plays.back().wait);
  EXPECT_EQ(bench.st.receiver_scan_state, ReceiverScanState::scanning);
}

TEST(PollReceiverScan, FirstStopAfterAStartShortReportsAndBadFrequencies) {
  PanelBench bench;
  bench.st.receiver_scan_state = ReceiverScanState::started;
  bench.st.scan_just_started = 1;
  bench.poll("LC050 MXA05 RF0145500000\r\n");
  bench.tick(2);
  EXPECT_EQ(bench.display.all_text().find("STOPPED"), std::string::npos);  // neither shown
  EXPECT_EQ(bench.spoken(), "");                                           // nor spoken
  EXPECT_EQ(bench.st.scan_just_started, 0);
  EXPECT_EQ(bench.st.frequency_text, "145.500000");
  EXPECT_EQ(bench.st.scan_resume_delay, 7);

  // A short report resumes the scan.
  PanelBench resumed;
  resumed.st.receiver_scan_state = ReceiverScanState::scanning;
  resumed.poll("LC050 RF01455\r\n");
  resumed.tick(2);
  EXPECT_EQ(resumed.sent(), "LM|<RS>");
  EXPECT_EQ(resumed.st.receiver_scan_state, ReceiverScanState::started);
  EXPECT_EQ(resumed.st.scan_resume_delay, 0);
  // Long enough, but no ten digits after "RF": nothing is shown.
  resumed.forget();
  resumed.poll("LC050 MXA05 RF01455000x0 ST0\r\n");
  resumed.tick(2);
  EXPECT_EQ(resumed.st.frequency_text, "145.0");
  EXPECT_EQ(resumed.draw_at(300, 150).text, "");
  EXPECT_EQ(resumed.spoken(), "");
  EXPECT_EQ(resumed.st.scan_resume_delay, 7);
}

TEST(PollBankScan, StepsThroughTheEntriesAndWrapsButNotDuringAReceiverScan) {
  PanelBench bench;
  bench.set_bank({"Bank05", "FM", "12.5", " ", "145.5", "One", "146", "Two", "9999", " "});
  bench.st.selected_bank_loaded = 1;
  bench.st.bank_scan_state = BankScanState::started;  // as the scan start leaves it
  bench.st.bank_cell_index = 4;
  bench.poll(squelch_closed);
  EXPECT_EQ(bench.sent(), "LM|VA0145.50000");
  EXPECT_EQ(bench.st.bank_cell_index, 6);
  EXPECT_EQ(bench.draw_at(270, 320).text, scanning);
  EXPECT_EQ(bench.draw_at(340, 370).text, std::string(39, ' '));
  EXPECT_EQ(bench.spoken(), "scan");
  EXPECT_TRUE(bench.audio.plays.back().wait);
  EXPECT_EQ(bench.st.bank_scan_state, BankScanState::scanning);

  bench.forget();
  bench.poll(squelch_closed);
  bench.poll(squelch_closed);
  EXPECT_EQ(bench.sent(), "LM|VA0146000000|LM|VA0145.50000");
  EXPECT_EQ(bench.st.bank_cell_index, 6);
  EXPECT_EQ(bench.draw_at(270, 320).text, "");  // shown once
  EXPECT_EQ(bench.spoken(), "");

  bench.st.receiver_scan_state = ReceiverScanState::scanning;
  bench.poll(squelch_closed);
  EXPECT_EQ(bench.st.bank_cell_index, 6);
  EXPECT_EQ(bench.sent(), "LM");

  // A table without entries is never tuned.
  bench.st.receiver_scan_state = ReceiverScanState::off;
  bench.set_bank({"Bank05", "FM", "12.5", " ", "9999", " "});
  bench.st.bank_cell_index = 8;
  bench.poll(squelch_closed);
  EXPECT_EQ(bench.sent(), "LM");
}

TEST(PollBankScan, AHaltShowsTheLabelOfTheEntryTunedLast) {
  PanelBench bench;
  bench.set_bank({"Bank05", "FM", "12.5", " ", "145.5", "One", "146", "Two", "9999", " "});
  bench.st.bank_scan_state = BankScanState::scanning;
  bench.st.bank_cell_index = 4;  // wrapped: the last entry was tuned
  bench.poll(signal);
  EXPECT_EQ(bench.draw_at(270, 320).text, stopped);
  EXPECT_EQ(bench.draw_at(340, 370).text, "Two");
  EXPECT_EQ(bench.draw_at(340, 370).colour, colour_green);
  EXPECT_EQ(bench.spoken(), "stop");
  EXPECT_EQ(bench.st.bank_scan_state, BankScanState::stopped);
  // It stays on the entry, silently, while the signal lasts, then steps on
  // announcing the scan again.
  bench.forget();
  bench.poll(signal);
  EXPECT_EQ(bench.draw_at(340, 370).text, "");
  bench.poll(squelch_closed);
  EXPECT_EQ(bench.sent(), "LM|LM|VA0145.50000");
  EXPECT_EQ(bench.spoken(), "scan");
  EXPECT_EQ(bench.st.bank_scan_state, BankScanState::scanning);

  // A halt right after the start shows the first label.
  PanelBench fresh;
  fresh.set_bank({"Bank05", "FM", "12.5", " ", "145.5", "One", "146", "Two", "9999", " "});
  fresh.st.bank_scan_state = BankScanState::started;
  fresh.st.bank_cell_index = 4;
  fresh.st.scan_voice_enabled = 0;
  fresh.poll(signal);
  EXPECT_EQ(fresh.draw_at(340, 370).text, "One");
  EXPECT_EQ(fresh.spoken(), "");
}

// Sets up a running search whose bank is the search bank.
void start_searching(PanelBench& bench, SearchStopMode stop_mode) {
  bench.set_bank({"Srchbank", "FM", "12.5", " ", "9999", " "});
  bench.st.bank_cell_index = 2;
  bench.st.search_state = SearchState::searching;
  bench.st.search_stop_mode = stop_mode;
}

TEST(PollSearch, AStopInStopModeIsSpokenOnceAndReadBack) {
  PanelBench bench;
  start_searching(bench, SearchStopMode::stop);
  bench.poll(signal);
  EXPECT_EQ(bench.draw_at(270, 320).text, stopped);
  EXPECT_EQ(bench.spoken(), "stop");
  EXPECT_EQ(bench.st.search_state, SearchState::stopped);
  bench.tick();
  EXPECT_EQ(bench.sent(), "LM|RX");
  bench.reply("VS RF0145000000 ST012500 AU0 MD1 AT0\r\n");
  bench.tick();
  // Ten digits kept; leading, then trailing zeros removed.
  EXPECT_EQ(bench.st.frequency_text, "145.");
  EXPECT_EQ(bench.draw_at(300, 150).text, "145.");
  EXPECT_EQ(bench.st.bank_table[4], "145.");
  EXPECT_EQ(bench.st.found_count, 1);
  EXPECT_EQ(bench.st.meter_state, MeterState::idle);
  // While the signal lasts nothing more is said or sent.
  bench.forget();
  bench.poll(signal);
  bench.poll(signal);
  EXPECT_EQ(bench.spoken(), "");
  EXPECT_EQ(bench.sent(), "LM|LM");
  bench.poll(squelch_closed);
  EXPECT_EQ(bench.draw_at(270, 320).text, "Search Mode Active");
  EXPECT_EQ(bench.draw_at(270, 320).colour, colour_green);
  EXPECT_EQ(bench.st.search_state, SearchState::searching);
}

TEST(PollSearch, ContModeResumesAfterFiveCyclesThenSearchesAgain) {
  PanelBench bench;
  start_searching(bench, SearchStopMode::cont);
  bench.poll(signal);
  EXPECT_EQ(bench.spoken(), "");  // no "stop" in CONT mode
  bench.tick();
  bench.reply("VS RF0145512500 ST012500 AU0 MD1 AT0\r\n");
  bench.tick();
  EXPECT_EQ(bench.st.frequency_text, "145.5125");
  bench.forget();
  for (int cycle = 0; cycle < 5; ++cycle) bench.poll(signal);
  EXPECT_EQ(bench.sent(), "LM|LM|LM|LM|LM|<RS>|<RS>");
  EXPECT_EQ(bench.st.search_state, SearchState::stopped);
  // The countdown runs on, and the closed squelch is still seen.
  bench.poll(squelch_closed);
  EXPECT_EQ(bench.draw_at(270, 320).text, "Search Mode Active");
  EXPECT_EQ(bench.st.search_state, SearchState::searching);
  EXPECT_EQ(bench.st.search_resume_count, 4);
}

TEST(PollSearch, TheReadBackGivesUpAfterTenUnansweredRequests) {
  PanelBench bench;
  start_searching(bench, SearchStopMode::stop);
  bench.poll(signal);
  bench.take_commands();
  for (int i = 0; i < 12 && bench.st.meter_state != MeterState::idle; ++i) {
    bench.tick();                   // "RX"
    bench.reply("VS RF01455\r\n");  // too few digits after "RF"
    bench.tick();
  }
  EXPECT_EQ(bench.sent(), "RX|RX|RX|RX|RX|RX|RX|RX|RX|RX");
  EXPECT_EQ(bench.st.meter_state, MeterState::idle);
  EXPECT_EQ(bench.st.search_state, SearchState::stopped);
  EXPECT_EQ(bench.st.frequency_text, "145.0");
  EXPECT_EQ(bench.st.found_count, 0);
  bench.press('H');  // keys are served again
  bench.tick();
  EXPECT_EQ(bench.spoken(), "stop help");
}

}  // namespace
}  // namespace talvaro
