// Receiver scans and bank scans on the connected panel: started by keys,
// followed by the level polls, left by keys.

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "banks/bank_file.h"
#include "scan/receiver_scan.h"
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
      {"", "USB", "145.0", "usb scan", {}},
      {"", "CW ", "145.0", "cw scan", {}},
      {"", "AUT", "145.0", "auto scan", {}},
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
    EXPECT_EQ(p.sent(), "LC1|MA" + c.bank + "|MS" + c.bank + "|MS" + c.bank);
    EXPECT_EQ(p.display.text_at(380, 80) + p.st.frequency_text.str() + " " + p.spoken(),
              c.mode + std::string(6, ' ') + c.frequency + " " + c.spoken);
    EXPECT_EQ(std::tuple(p.st.mode_text.str(), p.st.scanned_bank_text.str(), p.st.scan_just_started,
                         p.st.scan_resume_delay, p.st.receiver_scan_state, p.st.entry_mode),
              std::tuple(c.mode, c.bank, 1, 0, ReceiverScanState::started, EntryMode::none));
  }
  // A number is no bank letter: refused, the scan stays pending.
  Panel p;
  p.type("B05G\n");
  EXPECT_EQ(p.spoken(), "bank 0 5 radbank inv");
  EXPECT_EQ(std::tuple(p.st.entry_mode, p.st.receiver_scan_state),
            std::tuple(EntryMode::receiver_scan, ReceiverScanState::off));
}

TEST(ReceiverScan, KeysStartStopPassAndLeaveAScan) {
  Panel p;
  // Bank C in NFM; the receiver stands on channel C03 with a signal.
  p.script([](const std::string& command) {
    if (command == "LM") return Answers{{"LM 049\r\n", 0}};
    if (command == "MR") return Answers{{"MR MXC03 MP0 RF0145500000 ST012500 AU0 MD1 AT0 TMREPEATER\r\n", 0}};
    if (command != "MAC") return Answers{{"\r\n", 0}};
    Answers lines;
    for (int k = 0; k < 7; ++k) lines.push_back({channel_line(k, "0145500000", 1) + "\r\n", 1});
    return lines;
  });
  p.type("430\nu");  // F6: CW
  p.forget();
  p.type("GC\n");
  EXPECT_EQ(std::tuple(p.st.receiver_scan_state, p.st.mode_text.str(), p.st.scanned_bank_text.str()),
            std::tuple(ReceiverScanState::started, "FM", "C"));
  // The poll cycle sees the signal: the receiver has stopped.
  p.tick(6);
  p.settle();
  EXPECT_EQ(p.st.receiver_scan_state, ReceiverScanState::stopped);
  p.forget();
  p.type("P\n");
  // Pass, then give the channel back and tune the frequency shown when the
  // scan started (leading zeros dropped only).
  EXPECT_TRUE(p.sent().starts_with("MR|MP1|MS|MRC03|MP0|VA0145.50000")) << p.sent();
  EXPECT_EQ(std::tuple(p.st.receiver_scan_state, p.st.pass_list_count), std::tuple(ReceiverScanState::off, 1));
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
  EXPECT_EQ(p.sent(), "MR|MR|MR|MP1|MS|MR|MP1|MS");
  EXPECT_EQ(p.spoken(), "pass inv pass inv pass pass");
  p.forget();
  p.type("\n");
  EXPECT_EQ(p.sent() + " " + p.spoken(), "MRA05|MP0|MRA07|MP0|VA0145.50000|MD1 exitscan fm");
  EXPECT_EQ(std::tuple(p.st.receiver_scan_state, p.st.pass_list_count), std::tuple(ReceiverScanState::off, 1));
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
  EXPECT_EQ(std::tuple(p.at(270, 320).text, p.at(270, 320).colour), std::tuple(stopped, colour_red));
  EXPECT_EQ(p.st.receiver_scan_state, ReceiverScanState::stopped);
  p.tick(2);  // the hold, then the read-back from the level report
  EXPECT_EQ(p.st.frequency_text.str() + " " + p.at(300, 150).text, "145.500000 145.500000");
  EXPECT_EQ(p.spoken() + " " + p.sent(), "stop LM");
  EXPECT_EQ(p.st.meter_state, MeterState::idle);
  p.forget();
  for (int cycle = 0; cycle < 6; ++cycle) p.poll("LC%023 MXA05\r\n");
  EXPECT_EQ(p.at(270, 320).text + p.spoken(), "");
  EXPECT_EQ(p.st.receiver_scan_state, ReceiverScanState::stopped);
  p.poll("LC%023 MXA05\r\n");
  EXPECT_EQ(p.at(270, 320).text + p.spoken(), scanning + "scan");
  EXPECT_FALSE(p.audio.plays.back().wait);
  EXPECT_EQ(p.st.receiver_scan_state, ReceiverScanState::scanning);

  // The first stop after a start is neither shown nor spoken.
  Panel fresh;
  fresh.st.receiver_scan_state = ReceiverScanState::started;
  fresh.st.scan_just_started = 1;
  fresh.poll("LC050 MXA05 RF0145500000\r\n");
  fresh.tick(2);
  EXPECT_EQ(fresh.at(270, 320).text + fresh.spoken() + fresh.st.frequency_text.str(), "145.500000");
  EXPECT_EQ(std::tuple(fresh.st.scan_just_started, fresh.st.scan_resume_delay), std::tuple(0, 7));
  // A short report resumes the scan; no ten digits after "RF" show nothing.
  fresh.forget();
  fresh.poll("LC050 RF01455\r\n");
  fresh.tick(2);
  EXPECT_EQ(fresh.sent(), "LM|<RS>");
  EXPECT_EQ(fresh.st.receiver_scan_state, ReceiverScanState::started);
  fresh.st.frequency_text = "145.0";
  fresh.poll("LC050 MXA05 RF01455000x0 ST0\r\n");
  fresh.tick(2);
  EXPECT_EQ(fresh.st.frequency_text.str() + fresh.at(300, 150).text, "145.0");
  EXPECT_EQ(fresh.st.scan_resume_delay, 7);
}

const std::string bank05 = bank_file("Bank05", "FM", "12.5", {{"145.5", "One"}, {"146", "Two"}});

TEST(BankScan, StepsThroughTheEntriesWrapsAndHaltsOnASignal) {
  Panel p;
  p.write_file("bank05.dat", bank05);
  p.type("B05\n_");  // the scan starts from the first entry all the same
  p.forget();
  p.type("R");
  EXPECT_EQ(p.st.bank_scan_state, BankScanState::started);
  // No clip of its own; pauses only before the mode and the step.
  EXPECT_EQ(p.audio.spoken_text(true), "shdel fm shdel");
  EXPECT_EQ(p.sent(), "VA0145.50000|MD1|ST012.50");
  p.poll(squelch_closed);
  EXPECT_EQ(p.sent() + " " + p.spoken(), "LM|VA0145.50000 fm scan");
  EXPECT_EQ(p.at(270, 320).text + p.at(340, 370).text, scanning + std::string(39, ' '));
  EXPECT_TRUE(p.audio.plays.back().wait);
  EXPECT_EQ(p.st.bank_scan_state, BankScanState::scanning);
  p.forget();
  p.poll(squelch_closed);
  EXPECT_EQ(p.sent(), "LM|VA0146000000");
  EXPECT_EQ(p.at(270, 320).text, "");  // shown once
  // A halt (here at the wrap) shows the label of the entry tuned last, then
  // stays silently while the signal lasts and steps on announcing the scan.
  p.poll(signal);
  EXPECT_EQ(p.at(270, 320).text + p.at(340, 370).text + p.spoken(), stopped + "Twostop");
  EXPECT_EQ(p.at(340, 370).colour, colour_green);
  EXPECT_EQ(p.st.bank_scan_state, BankScanState::stopped);
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

TEST(BankScan, RefusedWithoutSendableEntriesAndSkipsUnsendableOnes) {
  Panel p;
  p.write_file("bank05.dat", bank_file("bank05", "FM", "12.5\x11",
                                       {{"145\x13", " "},
                                        {"146", "Two"},
                                        {"\xff"
                                         "147",
                                         " "}}));
  p.write_file("bank06.dat", bank_file("bank06", "FM", "12.5", {}));
  p.type("B05\n");
  p.forget();
  p.type("R");
  EXPECT_EQ(p.sent() + " " + p.spoken(), "VA0146000000|MD1 inv fm inv");
  for (int k = 0; k < 4; ++k) p.poll(squelch_closed);
  EXPECT_EQ(p.sent(), "LM|VA0146000000|LM|LM|LM|VA0146000000");
  EXPECT_EQ(p.spoken(), "inv fm inv scan inv inv");
  const std::string& written = p.serial.line->written;
  EXPECT_TRUE(std::all_of(written.begin(), written.end(), [](char c) { return c == '\r' || (c >= ' ' && c <= '~'); }));
  // The table a failed selection of an empty bank leaves, and a selected bank
  // replaced by another load (a put), are not scanned.
  p.type("\nB06\n");
  p.st.bank_scan_state = BankScanState::bank_mode;
  p.forget();
  p.type("R");
  p.type("B05\nP06\n");
  p.type("R");
  EXPECT_EQ(p.spoken(), "inv bank 0 5 inv fm inv sel put 0 6 ok inv");
  EXPECT_EQ(p.sent(), "VA0146000000|MD1");
  // A table without entries (replaced since the scan started) is never tuned.
  p.st.bank_scan_state = BankScanState::scanning;
  p.write_file("bank07.dat", bank_file("bank07", "FM", "12.5", {}));
  p.st.bank_file_name = "bank07.dat";
  load_bank(*p.cx);
  p.forget();
  p.poll(squelch_closed);
  EXPECT_EQ(p.sent(), "LM");
}

}  // namespace
}  // namespace talvaro
