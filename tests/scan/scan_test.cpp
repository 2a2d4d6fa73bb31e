// Receiver scans, bank scans and searches on the connected panel: started by
// keys, followed by the level polls, left by keys.

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "banks/bank_file.h"
#include "banks/bank_ops.h"
#include "commands/keys.h"
#include "scan/receiver_scan.h"
#include "scan/search.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

using testing::Answers;
using testing::bank_file;
using testing::Panel;

const std::string squelch_closed = "LM%000\r\n";
const std::string signal = "LM 120\r\n";  // level 10
const std::string stopped = "      *** STOPPED ***  ";
const std::string scanning = "      *** SCANNING ***  ";

std::string channel_line(int channel, const std::string& rf, int mode) {
  return "MXC0" + std::to_string(channel) + " MP0 RF" + rf + " ST012500 AU0 MD" + std::to_string(mode) +
         " AT0 TMTEST        ";
}

TEST(ReceiverScan, StartTakesTheModeMostChannelsUseFromTheListingInTime) {
  struct Case {
    std::string bank, mode, frequency, spoken;
    std::vector<std::string> listing;
  };
  // clang-format off
  const std::vector<Case> cases = {
      // Seven replies in time: modes 1, 2, 2, 1, 2, none, 7 (not counted); the second gives the frequency.
      {"C", "AM", "433.075000", "am", {channel_line(0, "0145500000", 1), channel_line(1, "0433075000", 2), channel_line(2, "0145600000", 2),
        channel_line(3, "0145700000", 1), channel_line(4, "0145800000", 2), "MXC05 ---", channel_line(6, "0145800000", 7),
        channel_line(7, "0145800000", 1), channel_line(8, "0145800000", 1)}},
      // A tie keeps the earlier mode; fewer than ten digits after RF is no frequency.
      {"C", "WFM", "145.0", "wfm", {channel_line(0, "01455", 1), channel_line(1, "0433", 0)}},
      // Nothing counted: the mode stays and is still announced; with announcements off "scan" is said.
      {"", "CW ", "145.0", "cw scan", {}},
  };
  // clang-format on
  for (const Case& c : cases) {
    Panel p;
    p.script([&c](const std::string& command) {
      Answers answers;
      if (command == "LC1" || command.starts_with("MS")) answers.push_back({"\r\n", 0});
      if (command.starts_with("MA"))
        for (const auto& line : c.listing) answers.push_back({line + "\r\n", 1});
      return answers;
    });
    p.st.bank_number_text = c.bank;
    p.st.mode_text = c.listing.empty() ? c.mode : "USB";
    p.st.scan_voice_enabled = c.bank.empty() ? 0 : 1;
    p.st.entry_mode = EntryMode::receiver_scan;
    p.st.scan_resume_delay = 5;
    start_receiver_scan(*p.cx);
    EXPECT_EQ(
        p.sent() + " " + p.display.text_at(380, 80) + p.st.frequency_text.str() + " " + p.spoken(),
        "LC1|MA" + c.bank + "|MS" + c.bank + "|MS" + c.bank + " " + c.mode + "      " + c.frequency + " " + c.spoken);
    EXPECT_EQ(std::tuple(p.st.mode_text.str(), p.st.scanned_bank_text.str(), p.st.scan_just_started,
                         p.st.scan_resume_delay, p.st.receiver_scan_state, p.st.entry_mode),
              std::tuple(c.mode, c.bank, 1, 0, ReceiverScanState::started, EntryMode::none));
  }
  // A number is no bank letter: refused, the scan stays pending.
  Panel p;
  p.type("B05G\n");
  EXPECT_EQ(std::tuple(p.spoken(), p.st.entry_mode, p.st.receiver_scan_state),
            std::tuple("bank 0 5 radbank inv", EntryMode::receiver_scan, ReceiverScanState::off));
}

TEST(ReceiverScan, PassedChannelsAreGivenBackInOrderWhenEnterEndsTheScan) {
  Panel p;
  p.type("145.5\n");
  p.st.receiver_scan_state = ReceiverScanState::stopped;
  p.forget();
  // A pass needs a channel in the reply.
  for (const std::string reply : {"MR ?\r\n", "MR MXA-- MP0\r\n", "MR MXA05 MP0 RF0145500000\r\n",
                                  "MR MXA07 MP0 RF0433075000 ST012500 AU0 MD1 AT0 TM\r\n"}) {
    p.reply(reply);
    pass_channel(*p.cx);
  }
  EXPECT_EQ(p.sent() + " " + p.spoken(), "MR|MR|MR|MP1|MS|MR|MP1|MS pass inv pass inv pass pass");
  p.forget();
  p.type("\n");
  EXPECT_EQ(std::tuple(p.sent() + " " + p.spoken(), p.st.receiver_scan_state, p.st.pass_list_count),
            std::tuple("MRA05|MP0|MRA07|MP0|VA0145.50000|MD1 exitscan fm", ReceiverScanState::off, 1));
  // A full list: nothing is sent at all. Leaving to quit ends with "quit".
  p.st.receiver_scan_state = ReceiverScanState::stopped;
  p.st.pass_list_count = 50;
  p.reply("MR MXA05 MP0 RF0145500000\r\n");
  p.forget();
  pass_channel(*p.cx);
  EXPECT_EQ(p.spoken() + p.sent() + decimal(p.st.pass_list_count), "inv50");
  p.type("Q");
  EXPECT_EQ(p.audio.spoken().back(), "quit");
}

TEST(ReceiverScan, AStopIsShownAndSpokenOnceAndTheRestartWaitsSixCycles) {
  Panel p;
  p.st.receiver_scan_state = ReceiverScanState::scanning;
  p.poll("LC050 MXA05 RF0145500000\r\n");
  EXPECT_EQ(std::tuple(p.at(270, 320).text, p.at(270, 320).colour, p.st.receiver_scan_state),
            std::tuple(stopped, colour_red, ReceiverScanState::stopped));
  p.tick(2);  // the hold, then the read-back from the level report
  EXPECT_EQ(
      std::tuple(p.st.frequency_text.str() + " " + p.at(300, 150).text, p.spoken() + " " + p.sent(), p.st.meter_state),
      std::tuple("145.500000 145.500000", "stop LM", MeterState::idle));
  p.forget();
  for (int cycle = 0; cycle < 6; ++cycle) p.poll("LC%023 MXA05\r\n");
  EXPECT_EQ(std::tuple(p.at(270, 320).text + p.spoken(), p.st.receiver_scan_state),
            std::tuple("", ReceiverScanState::stopped));
  p.poll("LC%023 MXA05\r\n");
  EXPECT_EQ(std::tuple(p.at(270, 320).text + p.spoken(), p.audio.plays.back().wait, p.st.receiver_scan_state),
            std::tuple(scanning + "scan", false, ReceiverScanState::scanning));

  // The first stop after a start is neither shown nor spoken.
  Panel fresh;
  fresh.st.receiver_scan_state = ReceiverScanState::started;
  fresh.st.scan_just_started = 1;
  fresh.poll("LC050 MXA05 RF0145500000\r\n");
  fresh.tick(2);
  EXPECT_EQ(std::tuple(fresh.at(270, 320).text + fresh.spoken() + fresh.st.frequency_text.str(),
                       fresh.st.scan_just_started, fresh.st.scan_resume_delay),
            std::tuple("145.500000", 0, 7));
  // A short report resumes the scan; no ten digits after "RF" show nothing.
  fresh.forget();
  fresh.poll("LC050 RF01455\r\n");
  fresh.tick(2);
  EXPECT_EQ(std::tuple(fresh.sent(), fresh.st.receiver_scan_state), std::tuple("LM|<RS>", ReceiverScanState::started));
  fresh.st.frequency_text = "145.0";
  fresh.poll("LC050 MXA05 RF01455000x0 ST0\r\n");
  fresh.tick(2);
  EXPECT_EQ(std::tuple(fresh.st.frequency_text.str() + fresh.at(300, 150).text, fresh.st.scan_resume_delay),
            std::tuple("145.0", 7));
}

const std::string bank05 = bank_file("Bank05", "FM", "12.5", {{"145.5", "One"}, {"146", "Two"}});

TEST(BankScan, StepsThroughTheEntriesWrapsAndHaltsOnASignal) {
  Panel p;
  p.write_file("bank05.dat", bank05);
  p.type("B05\n_");  // the scan starts from the first entry all the same
  p.forget();
  p.type("R");
  // No clip of its own; pauses only before the mode and the step.
  EXPECT_EQ(std::tuple(p.st.bank_scan_state, p.audio.spoken_text(true)),
            std::tuple(BankScanState::started, "shdel fm shdel"));
  p.poll(squelch_closed);
  EXPECT_EQ(std::tuple(p.sent() + " " + p.spoken(), p.at(270, 320).text + p.at(340, 370).text,
                       p.audio.plays.back().wait, p.st.bank_scan_state),
            std::tuple("VA0145.50000|MD1|ST012.50|LM|VA0145.50000 fm scan", scanning + std::string(39, ' '), true,
                       BankScanState::scanning));
  p.forget();
  p.poll(squelch_closed);
  EXPECT_EQ(p.sent(), "LM|VA0146000000");
  EXPECT_EQ(p.at(270, 320).text, "");  // shown once
  // A halt (here at the wrap) shows the label of the entry tuned last, then
  // stays silently while the signal lasts and steps on announcing the scan.
  p.poll(signal);
  EXPECT_EQ(
      std::tuple(p.at(270, 320).text + p.at(340, 370).text + p.spoken(), p.at(340, 370).colour, p.st.bank_scan_state),
      std::tuple(stopped + "Twostop", colour_green, BankScanState::stopped));
  p.forget();
  p.poll(signal);
  EXPECT_EQ(p.at(340, 370).text, "");
  p.poll(squelch_closed);
  EXPECT_EQ(p.sent() + " " + p.spoken(), "LM|LM|VA0145.50000 scan");
  // Not stepped during a receiver scan.
  p.st.receiver_scan_state = ReceiverScanState::scanning;
  p.poll(squelch_closed);
  EXPECT_EQ(p.sent(), "LM");
  // Otherwise the entry before the index; right after the start the first.
  p.st.receiver_scan_state = ReceiverScanState::off;
  p.poll(signal);
  EXPECT_EQ(p.at(340, 370).text, "One");
  p.st.bank_scan_state = BankScanState::started;
  p.st.bank_cell_index = 4;
  p.st.scan_voice_enabled = 0;
  p.forget();
  p.poll(signal);
  EXPECT_EQ(p.at(340, 370).text + p.spoken(), "One");
}

// Unsendable frequencies and steps are refused with "inv" and never sent, by
// selection, browsing and bank scans alike.
TEST(BankScan, UnsendableEntriesAreSkippedAndBanksWithoutSendableOnesNeverTuned) {
  Panel p;
  p.write_file("bank05.dat", bank_file("bank05", "FM", "12.5\x11", {{"145\x13", " "}, {"146", "Two"}, {"\xff", " "}}));
  p.write_file("bank06.dat", bank_file("bank06", "FM", "12.5", {{"1\x1e", " "}}));
  p.write_file("bank08.dat", bank_file("bank08", "FM", "12.5", {}));
  p.type("B05\n");
  p.keys({key::up, key::down});
  EXPECT_EQ(p.spoken() + " " + p.sent(), "bank 0 5 inv fm inv sel inv inv VA0146000000|MD1|VA0146000000|VA0146000000");
  p.forget();
  p.type("R");
  for (int k = 0; k < 4; ++k) p.poll(squelch_closed);
  EXPECT_EQ(p.spoken() + " " + p.sent(),
            "inv fm inv scan inv inv VA0146000000|MD1|LM|VA0146000000|LM|LM|LM|VA0146000000");
  // Banks without a sendable entry, or any, are not selected; nor is a bank
  // replaced by another load (a put) scanned.
  p.type("\n");
  p.forget();
  p.type("B06\nB08\n");
  p.st.bank_scan_state = BankScanState::bank_mode;
  p.type("R");
  p.type("B05\nP07\n");
  p.type("R");
  EXPECT_EQ(p.spoken() + " " + p.sent(),
            "bank 0 6 inv bank 0 8 inv inv bank 0 5 inv fm inv sel put 0 7 bnf create 0 7 ok inv VA0146000000|MD1");
  // A table without entries (replaced since the scan started) is never tuned.
  p.st.bank_scan_state = BankScanState::scanning;
  p.st.bank_file_name = "bank08.dat";
  load_bank(*p.cx);
  p.forget();
  p.poll(squelch_closed);
  EXPECT_EQ(p.sent(), "LM");
  // A missing bank leaves its name chosen and ends every scan.
  p.st.receiver_scan_state = ReceiverScanState::scanning;
  p.st.search_state = SearchState::searching;
  p.st.bank_number_text = "09";
  select_bank(*p.cx);
  EXPECT_EQ(std::tuple(p.spoken(), p.st.bank_file_name.str(), p.st.bank_scan_state, p.st.receiver_scan_state,
                       p.st.search_state, p.sent()),
            std::tuple("bnf", "bank09.dat", BankScanState::off, ReceiverScanState::off, SearchState::off, ""));
}

// Connected, limits 145 to 146, searching; what the start did is forgotten.
struct Searching : Panel {
  explicit Searching(SearchStopMode mode = SearchStopMode::cont) {
    st.search_stop_mode = mode;
    type("R");
    forget();
  }
  void find(const std::string& frequency) {
    st.frequency_text = frequency;
    record_found(*cx);
  }
};

TEST(Search, StartWritesTheSearchBankTunesBothLimitsAndStartsTheSweep) {
  Panel p;
  p.write_file("bank00.dat", "*** an old state record\r\nAM\r\n1\r\n2\r\n3\r\n4\r\n9999\r\n");
  p.type("S118.5\nE137\n120.5\n");
  p.st.found_count = 7;
  p.forget();
  p.type("R");
  EXPECT_EQ(p.read_file("bank00.dat") + p.sent() + " " + p.audio.spoken_text(true),
            "Srchbank\r\nFM\r\n12.5\r\n \r\n9999\r\nVA0118.50000|VB0137000000|ST012.50|MD1|VS srch shdel shdel shdel "
            "shdel fm act");
  const auto first = p.display.draws.at(0), limits = p.at(340, 370);
  EXPECT_EQ(std::tuple(first.text, first.colour, limits.text, limits.colour, limits.font),
            std::tuple("Search Mode Active", colour_green, "118.5/137", colour_black, FontSpec{"Ariel", 50, 700}));
  // A committed frequency stays.
  EXPECT_EQ(std::tuple(p.st.search_state, p.st.found_count, table_holds_search_bank(*p.cx), p.st.frequency_text.str()),
            std::tuple(SearchState::searching, 0, true, "120.5"));
  // A typed but uncommitted frequency gives way to the low limit.
  Panel q;
  q.st.frequency_text = "146";
  q.st.frequency_entry_fresh = 0;
  q.type("R");
  EXPECT_EQ(q.st.frequency_text, "145.0");
}

TEST(Search, ContinuousModeCountsPrintsAndSpeaksEachNewFindUpToNinetyOne) {
  Searching s;
  s.find("145.5");
  EXPECT_EQ(
      s.display.text_at(20, 400) + s.spoken() + decimal(s.st.found_count) + decimal(s.display.draws.back().colour),
      "Found11" + decimal(colour_red));
  // The same frequency again: not stored, nothing printed or said.
  s.forget();
  s.find("145.5");
  EXPECT_EQ(std::tuple(s.st.found_count, s.display.draws.size()), std::tuple(1, 0u));
  s.find("145.50");  // compared as text: another entry
  for (int i = 3; i <= 10; ++i) s.find("146." + std::to_string(i));
  EXPECT_EQ(s.display.text_at(750, 400) + s.st.bank_table[6].str() + s.sent(), "10 145.50");
  EXPECT_TRUE(s.spoken().ends_with("9 1 0"));
  for (int i = 11; i <= 90; ++i) s.find(std::to_string(100 + i));
  EXPECT_TRUE(s.spoken().ends_with("8 9 9 0")) << "no warning at the 90th";
  s.forget();
  s.find("400");
  EXPECT_EQ(s.spoken(), "9 1 bf") << "the count comes before the warning";
  s.find("401");
  EXPECT_EQ(s.spoken() + decimal(s.st.found_count), "9 1 bf bf91");
  // Enter ends the search and saves the finds to the search bank.
  s.type("\n");
  const std::string saved = s.read_file("bank00.dat");
  EXPECT_EQ(std::tuple(s.st.search_state, std::count(saved.begin(), saved.end(), '\n'),
                       saved.ends_with("190\r\n \r\n400\r\n \r\n9999\r\n")),
            std::tuple(SearchState::off, 4 + 182 + 1, true));
}

TEST(Search, NothingLandsOutsideTheSearchBank) {
  Searching s(SearchStopMode::stop);
  s.find("101");
  EXPECT_EQ(s.spoken(), "");  // stop mode stores silently
  s.write_file("bank03.dat", "bank03\r\nAM\r\n5\r\n \r\n9999\r\n");
  s.st.bank_file_name = "bank03.dat";
  ASSERT_TRUE(load_bank(*s.cx));
  // A table named like the search bank under another file name is not it.
  s.st.bank_table[0] = "Srchbank";
  s.find("145.5");
  EXPECT_EQ(std::tuple(s.st.bank_table[4].str(), s.st.found_count), std::tuple("9999", 1));
  // Enter then saves nothing anywhere.
  s.type("\n");
  EXPECT_EQ(s.spoken() + " " + s.read_file("bank03.dat") + s.read_file("bank00.dat"),
            "1 ok bank03\r\nAM\r\n5\r\n \r\n9999\r\nSrchbank\r\nFM\r\n12.5\r\n \r\n9999\r\n");
}

TEST(Search, AStopInStopModeIsSpokenOnceAndReadBack) {
  Searching s(SearchStopMode::stop);
  s.replies["RX"] = "VS RF0145000000 ST012500 AU0 MD1 AT0\r\n";
  s.poll(signal);
  EXPECT_EQ(std::tuple(s.at(270, 320).text + s.spoken(), s.st.search_state),
            std::tuple(stopped + "stop", SearchState::stopped));
  s.tick(2);
  EXPECT_EQ(s.sent(), "LM|RX");
  // Ten digits kept; leading, then trailing zeros removed.
  EXPECT_EQ(std::tuple(s.st.frequency_text.str() + s.at(300, 150).text + s.st.bank_table[4].str(), s.st.found_count,
                       s.st.meter_state),
            std::tuple("145.145.145.", 1, MeterState::idle));
  // While the signal lasts nothing more is said or sent.
  s.forget();
  s.poll(signal);
  s.poll(signal);
  EXPECT_EQ(s.spoken() + s.sent(), "LM|LM");
  s.poll(squelch_closed);
  EXPECT_EQ(std::tuple(s.at(270, 320).text, s.at(270, 320).colour, s.st.search_state),
            std::tuple("Search Mode Active", colour_green, SearchState::searching));
}

TEST(Search, ContModeResumesAfterFiveCyclesAndTheReadBackGivesUpAfterTenRequests) {
  Searching s;
  s.replies["RX"] = "VS RF0145512500 ST012500 AU0 MD1 AT0\r\n";
  s.poll(signal);
  s.tick(2);
  EXPECT_EQ(s.spoken() + " " + s.st.frequency_text.str(), "1 145.5125");  // the count, no "stop" in CONT mode
  s.forget();
  for (int cycle = 0; cycle < 5; ++cycle) s.poll(signal);
  EXPECT_EQ(std::tuple(s.sent(), s.st.search_state), std::tuple("LM|LM|LM|LM|LM|<RS>|<RS>", SearchState::stopped));
  // The countdown runs on, and the closed squelch is still seen.
  s.poll(squelch_closed);
  EXPECT_EQ(std::tuple(s.at(270, 320).text, s.st.search_state, s.st.search_resume_count),
            std::tuple("Search Mode Active", SearchState::searching, 4));

  Searching t(SearchStopMode::stop);
  t.replies["RX"] = "VS RF01455\r\n";  // too few digits after "RF"
  t.poll(signal);
  t.take_commands();
  t.settle();
  EXPECT_EQ(std::tuple(t.sent(), t.st.search_state, t.st.frequency_text.str(), t.st.found_count),
            std::tuple("RX|RX|RX|RX|RX|RX|RX|RX|RX|RX", SearchState::stopped, "145.0", 0));
  t.type("H");  // keys are served again
  EXPECT_EQ(t.spoken(), "stop help");
}

}  // namespace
}  // namespace talvaro
