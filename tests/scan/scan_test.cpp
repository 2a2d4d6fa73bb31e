#include <gtest/gtest.h>

#include <algorithm>

#include "banks/bank_bench.h"
#include "banks/bank_ops.h"
#include "banks/scripted_receiver.h"
#include "commands/keys.h"
#include "commands/panel_bench.h"
#include "scan/bank_scan.h"
#include "scan/receiver_scan.h"
#include "tuning/frequency.h"

namespace talvaro {
namespace {

using testing::bank_file;
using testing::BankBench;
using testing::ScriptedReceiver;
using Commands = std::vector<std::string>;
using Answers = std::vector<ScriptedReceiver::Answer>;

TEST(BankScan, StartsFromTheFirstEntryOfTheSelectedBankOnly) {
  BankBench bench;
  bench.write_file("bank05.dat", bank_file("bank05", "USB", "5", {{"14.2", "Net"}, {"7.1", " "}}));
  bench.run(select_bank, "05");
  step_entry(*bench.cx, true);
  bench.forget();
  start_bank_scan(*bench.cx);
  EXPECT_EQ(bench.st.bank_scan_state, BankScanState::started);
  // No clip of its own; pauses only before the mode and the step.
  EXPECT_EQ(bench.audio.spoken_text(true), "shdel usb shdel");
  const Commands sent = bench.take_commands();
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent.front(), vfo_command("VA", "14.2"));
  EXPECT_EQ(sent.back(), step_command("5"));

  // Refused: the table a failed selection of an empty bank leaves, and a
  // selected bank replaced by another load (here a put).
  bench.write_file("bank06.dat", bank_file("bank06", "FM", "12.5", {}));
  bench.run(select_bank, "06");
  bench.st.bank_scan_state = BankScanState::bank_mode;
  bench.forget();
  start_bank_scan(*bench.cx);
  EXPECT_EQ(bench.st.bank_scan_state, BankScanState::bank_mode);
  EXPECT_EQ(bench.audio.spoken_text(), "inv");
  EXPECT_TRUE(bench.take_commands().empty());
  bench.run(select_bank, "05");
  bench.run(put_memory, "06");
  bench.forget();
  start_bank_scan(*bench.cx);
  EXPECT_EQ(bench.audio.spoken_text(), "inv");
  EXPECT_TRUE(bench.take_commands().empty());
}

TEST(BankScan, EntriesHoldingControlBytesAreSkippedWithInvAndNeverSent) {
  testing::PanelBench bench;
  bench.set_bank({"bank05", "FM", "12.5\x11", " ", "145\x13", " ", "146", "Two",
                  "\xff"
                  "147",
                  " ", "9999"});
  bench.st.selected_bank_loaded = 1;
  start_bank_scan(*bench.cx);
  EXPECT_EQ(bench.st.bank_scan_state, BankScanState::started);
  EXPECT_EQ(bench.sent(), vfo_command("VA", "146") + "|MD1");
  EXPECT_EQ(bench.spoken(), "inv fm inv");
  bench.forget();
  const std::string squelch_closed = "LM%000\r\n";
  for (int k = 0; k < 4; ++k) bench.poll(squelch_closed);
  EXPECT_EQ(bench.sent(), "LM|" + vfo_command("VA", "146") + "|LM|LM|LM|" + vfo_command("VA", "146"));
  EXPECT_EQ(bench.spoken(), "scan inv inv");
  const std::string& written = bench.serial.line->written;
  EXPECT_TRUE(std::all_of(written.begin(), written.end(), [](char c) { return c == '\r' || (c >= ' ' && c <= '~'); }));
}

// A receiver listing a bank: one line per poll after "MA".
ScriptedReceiver::Script listing(std::vector<std::string> lines) {
  return [lines](const std::string& command) {
    Answers answers;
    if (command == "LC1" || command.starts_with("MS")) answers.push_back({"\r\n", 0});
    if (command.starts_with("MA"))
      for (const auto& line : lines) answers.push_back({line + "\r\n", 1});
    return answers;
  };
}

std::string channel_line(int channel, const std::string& rf, int mode) {
  return "MXC0" + std::to_string(channel) + " MP0 RF" + rf + " ST012500 AU0 MD" + std::to_string(mode) +
         " AT0 TMTEST        ";
}

TEST(ReceiverScan, StartTakesTheModeMostChannelsUseFromTheListingInTime) {
  struct Case {
    std::string bank, mode, frequency, spoken;
    std::vector<std::string> listing;
  };
  const std::vector<Case> cases = {
      // Seven replies in time: modes 1, 2, 2, 1, 2, none, 7 (not counted); the
      // second gives the frequency shown.
      {"C",
       "AM",
       "433.075000",
       "am",
       {channel_line(0, "0145500000", 1), channel_line(1, "0433075000", 2), channel_line(2, "0145600000", 2),
        channel_line(3, "0145700000", 1), channel_line(4, "0145800000", 2), "MXC05 ---",
        channel_line(6, "0145800000", 7), channel_line(7, "0145800000", 1), channel_line(8, "0145800000", 1)}},
      // A tie keeps the earlier mode; fewer than ten digits after RF is no frequency.
      {"C", "WFM", "145", "wfm", {channel_line(0, "01455", 1), channel_line(1, "0433", 0)}},
      // Nothing counted: the mode stays and is still announced; with scan
      // announcements off the start says "scan" itself.
      {"", "USB", "145", "usb scan", {}},
      // The mode keys' texts for CW and automatic mode are spoken by their clips.
      {"", "CW ", "145", "cw scan", {}},
      {"", "AUT", "145", "auto scan", {}},
  };
  for (const Case& c : cases) {
    BankBench bench;
    auto receiver = ScriptedReceiver::install(*bench.cx, listing(c.listing));
    bench.st.bank_number_text = c.bank;
    bench.st.mode_text = c.listing.empty() ? c.mode : "USB";
    bench.st.scan_voice_enabled = c.bank.empty() ? 0 : 1;
    bench.st.entry_mode = EntryMode::receiver_scan;
    bench.st.scan_resume_delay = 5;
    start_receiver_scan(*bench.cx);
    EXPECT_EQ(receiver->commands, (Commands{"LC1", "MA" + c.bank, "MS" + c.bank, "MS" + c.bank}));
    EXPECT_EQ(bench.st.mode_text, c.mode);
    EXPECT_EQ(bench.display.text_at(380, 80), c.mode + std::string(6, ' '));
    EXPECT_EQ(bench.st.frequency_text, c.frequency);
    EXPECT_EQ(bench.audio.spoken_text(), c.spoken);
    EXPECT_EQ(bench.st.scanned_bank_text, c.bank);
    EXPECT_EQ(bench.st.scan_just_started, 1);
    EXPECT_EQ(bench.st.scan_resume_delay, 0);
    EXPECT_EQ(bench.st.receiver_scan_state, ReceiverScanState::started);
    EXPECT_EQ(bench.st.entry_mode, EntryMode::none);
  }
  // A number is no bank letter.
  BankBench bench;
  bench.st.bank_number_text = "05";
  bench.st.entry_mode = EntryMode::receiver_scan;
  start_receiver_scan(*bench.cx);
  EXPECT_EQ(bench.audio.spoken_text(), "inv");
  EXPECT_EQ(bench.st.entry_mode, EntryMode::receiver_scan);
  EXPECT_EQ(bench.st.receiver_scan_state, ReceiverScanState::off);
  EXPECT_TRUE(bench.take_commands().empty());
}

TEST(ReceiverScan, KeysStartPassAndLeaveAScan) {
  BankBench bench;
  // Bank C in NFM; the receiver stands on channel C03 with a signal.
  auto receiver = ScriptedReceiver::install(*bench.cx, [](const std::string& command) {
    if (command == "LM") return Answers{{"LM 049\r\n", 0}};
    if (command == "MR") return Answers{{"MR MXC03 MP0 RF0145500000 ST012500 AU0 MD1 AT0 TMREPEATER\r\n", 0}};
    if (command != "MAC") return Answers{{"\r\n", 0}};
    Answers lines;
    for (int k = 0; k < 7; ++k) lines.push_back({channel_line(k, "0145500000", 1) + "\r\n", 1});
    return lines;
  });
  bench.st.frequency_text = "430";
  bench.st.mode_text = "AM";
  bench.keys({'G', 'C', key::enter});
  EXPECT_EQ(bench.st.receiver_scan_state, ReceiverScanState::started);
  EXPECT_EQ(bench.st.mode_text, "FM");
  // The poll cycle sees the signal: the receiver has stopped.
  bench.tick(6);
  bench.settle();
  EXPECT_EQ(bench.st.receiver_scan_state, ReceiverScanState::stopped);

  receiver->commands.clear();
  bench.keys({'P', key::enter});
  ASSERT_GE(receiver->commands.size(), 6u);
  // Pass, then give the channel back and tune the frequency shown when the
  // scan started (leading zeros dropped only).
  EXPECT_EQ((Commands{receiver->commands.begin(), receiver->commands.begin() + 6}),
            (Commands{"MR", "MP1", "MS", "MRC03", "MP0", vfo_command("VA", "145.500000")}));
  EXPECT_EQ(bench.st.receiver_scan_state, ReceiverScanState::off);
  EXPECT_EQ(bench.st.pass_list_count, 1);
}

const std::string recall_a05 = "MR MXA05 MP0 RF0145500000 ST012500 AU0 MD1 AT0 TMREPEATER\r\n";

TEST(ReceiverScan, PassedChannelsAreGivenBackInOrderWhenTheScanEnds) {
  BankBench bench;
  bench.st.receiver_scan_state = ReceiverScanState::stopped;
  bench.st.frequency_text = "145.5";
  // A pass needs a channel in the reply.
  for (const std::string& reply : std::vector<std::string>{"MR ?\r\n", "MR MXA-- MP0\r\n", recall_a05,
                                                           "MR MXA07 MP0 RF0433075000 ST012500 AU0 MD1 AT0 TM\r\n"}) {
    bench.reply(reply);
    pass_channel(*bench.cx);
  }
  EXPECT_EQ(bench.take_commands(), (Commands{"MR", "MR", "MR", "MP1", "MS", "MR", "MP1", "MS"}));
  EXPECT_EQ(bench.audio.spoken_text(), "pass inv pass inv pass pass");
  bench.forget();
  exit_scan(*bench.cx);
  const Commands sent = bench.take_commands();
  ASSERT_GE(sent.size(), 5u);
  EXPECT_EQ((Commands{sent.begin(), sent.begin() + 5}),
            (Commands{"MRA05", "MP0", "MRA07", "MP0", vfo_command("VA", "145.5")}));
  EXPECT_EQ(bench.st.pass_list_count, 1);
  EXPECT_EQ(bench.st.receiver_scan_state, ReceiverScanState::off);
  EXPECT_EQ(bench.st.bank_scan_state, BankScanState::off);
  EXPECT_EQ(bench.audio.spoken().front(), "exitscan");
  EXPECT_NE(bench.audio.spoken().back(), "quit");

  // A full list: nothing is sent at all.
  bench.forget();
  bench.st.receiver_scan_state = ReceiverScanState::stopped;
  bench.st.pass_list_count = 50;
  bench.reply(recall_a05);
  pass_channel(*bench.cx);
  EXPECT_EQ(bench.audio.spoken_text(), "inv");
  EXPECT_TRUE(bench.take_commands().empty());
  EXPECT_EQ(bench.st.pass_list_count, 50);
  // Leaving to quit ends with "quit".
  bench.st.bank_scan_state = BankScanState::stopped;
  bench.st.quit_requested = 1;
  exit_scan(*bench.cx);
  EXPECT_EQ(bench.audio.spoken().back(), "quit");
}

}  // namespace
}  // namespace talvaro
