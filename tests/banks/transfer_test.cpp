#include "banks/transfer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "banks/bank_bench.h"
#include "banks/scripted_receiver.h"

namespace talvaro {
namespace {

using testing::bank_file;
using testing::BankBench;
using testing::ScriptedReceiver;
using Commands = std::vector<std::string>;
using Answers = std::vector<ScriptedReceiver::Answer>;

const std::string blanks(12, ' ');

TEST(Transfer, ChannelRecordFields) {
  struct Case {
    std::string bank;
    int channel;
    std::string frequency, mode, label, record;
  };
  const std::vector<Case> cases = {
      {"A", 0, "145.5", "FM", " ", "MXA00 RF0145500000 ST012500 MD1 TM" + blanks},
      {"B", 7, "1296.125", "WFM", "Up", "MXB07 RF1296125000 ST012500 MD0 TMUp          "},
      {"C", 90, "29.7", "USB", "A label that is long", "MXC90 RF0029700000 ST012500 MD3 TMA label that"},
      {"A", 1, "433.075", "CW ", " ", "MXA01 RF0433075000 ST012500 MD5 TM" + blanks},
      {"A", 1, "433", "AUT", " ", "MXA01 RF0433000000 ST012500 AU1 TM" + blanks},
      {"A", 1, "433", "NFM", " ", "MXA01 RF0433000000 ST012500 MD TM" + blanks},  // unknown mode: no code
      // The frequency field is ten digits of hertz.
      {"A", 0, ".5", "FM", " ", "MXA00 RF0000500000 ST012500 MD1 TM" + blanks},
      {"A", 0, "00145.5", "FM", " ", "MXA00 RF0145500000 ST012500 MD1 TM" + blanks},
      {"A", 0, "145.1234567", "FM", " ", "MXA00 RF0145123456 ST012500 MD1 TM" + blanks},
  };
  for (const Case& c : cases)
    EXPECT_EQ(channel_record(c.bank, c.channel, c.frequency, c.mode, c.label), c.record) << c.frequency;
}

TEST(Transfer, WritesEveryEntryWithPacingPausesUpToChannelNinety) {
  BankBench bench;
  bench.write_file("bank05.dat",
                   bank_file("bank05", "FM", "12.5", {{"145.5", " "}, {"433.075", "Repeater"}, {"1296.125", " "}}));
  bench.write_file("bank06.dat", bank_file("bank06", "FM", "12.5", {}));
  bench.run(write_bank_to_receiver, "05A");
  EXPECT_EQ(bench.take_commands(), (Commands{
                                       "MXA00 RF0145500000 ST012500 MD1 TM" + blanks,
                                       "MXA01 RF0433075000 ST012500 MD1 TMRepeater    ",
                                       "MXA02 RF1296125000 ST012500 MD1 TM" + blanks,
                                   }));
  EXPECT_EQ(bench.pauses(), 25);  // ten after "wait", then 7, 5 and 3 before the entries

  // A frequency with a control byte is skipped with "inv"; a label's control
  // bytes go out as blanks.
  bench.forget();
  bench.write_file("bank04.dat", bank_file("bank04", "FM", "12.5",
                                           {{"14\x13", " "},
                                            {"29.7",
                                             "A\x11\x1e"
                                             "B"}}));
  bench.run(write_bank_to_receiver, "04B");
  EXPECT_EQ(bench.take_commands(), Commands{"MXB01 RF0029700000 ST012500 MD1 TMA  B" + std::string(8, ' ')});

  // An empty bank waits and sends nothing; a missing one says "bnf".
  bench.run(write_bank_to_receiver, "06A");
  EXPECT_EQ(bench.pauses(), 22 + 10);
  bench.run(write_bank_to_receiver, "07A");
  EXPECT_EQ(bench.audio.spoken_text(), "wait inv ok wait ok bnf");
  EXPECT_TRUE(bench.take_commands().empty());

  // A long bank stops after channel 90, with a beep after the channels
  // written from cells 22, 44, ... 176.
  bench.forget();
  bench.write_file("bank05.dat", bank_file("bank05", "AM", "12.5", testing::numbered_entries(95)));
  bench.run(write_bank_to_receiver, "05J");
  const Commands sent = bench.take_commands();
  ASSERT_EQ(sent.size(), 91u);
  EXPECT_EQ(sent.back(), "MXJ90 RF0190500000 ST012500 MD2 TML90         ");
  const auto spoken = bench.audio.spoken();
  EXPECT_EQ(std::count(spoken.begin(), spoken.end(), "beep"), 8);
  EXPECT_EQ(spoken.back(), "ok");
  EXPECT_EQ(bench.pauses(), 10 + 7 + 5 + 3 + 88);
}

// A receiver whose banks hold 50 channels, except those listed at 90.
ScriptedReceiver::Script bank_sizes(std::string at_ninety, int resize_polls) {
  return [at_ninety, resize_polls](const std::string& command) -> Answers {
    if (command.size() == 5 && command.starts_with("MW")) return {{"\r\n", resize_polls}};
    if (command.size() != 3 || !command.starts_with("MW")) return {};
    const bool ninety = at_ninety.find(command[2]) != std::string::npos;
    const std::string lower(1, static_cast<char>(command[2] + 32));
    return {{"MW " + command.substr(2) + (ninety ? ":90 " + lower + ":10" : ":50 " + lower + ":50") + "\r\n", 0}};
  };
}

TEST(Transfer, CheckResizesEveryBankThatIsNotNinety) {
  BankBench bench;
  auto receiver = ScriptedReceiver::install(*bench.cx, bank_sizes("BCDEFGHIJ", 2));
  check_receiver_banks(*bench.cx);
  EXPECT_EQ(receiver->commands,
            (Commands{"MWA", "MWA90", "MWB", "MWC", "MWD", "MWE", "MWF", "MWG", "MWH", "MWI", "MWJ"}));
  // One round of the resize wait, with its four progress beeps.
  EXPECT_EQ(bench.audio.spoken_text(), "ckconfig a beep beep beep beep ok");

  // An answer that comes at once ends the wait before it starts.
  bench.forget();
  receiver = ScriptedReceiver::install(*bench.cx, bank_sizes("ABCDEFGHI", 0));
  check_receiver_banks(*bench.cx);
  EXPECT_EQ(receiver->commands.back(), "MWJ90");
  EXPECT_EQ(bench.audio.spoken_text(), "ckconfig j ok");

  // The beeps sound with the voice off.
  bench.forget();
  bench.st.wave_path = "";
  ScriptedReceiver::install(*bench.cx, bank_sizes("BCDEFGHIJ", 2));
  check_receiver_banks(*bench.cx);
  EXPECT_EQ(bench.audio.spoken_text(), "beep beep beep beep");
}

TEST(Transfer, CheckGivesUpOnASilentReceiverAfterThirtySeconds) {
  BankBench bench;
  auto receiver = ScriptedReceiver::install(*bench.cx, [](const std::string&) { return Answers{}; });
  check_receiver_banks(*bench.cx);
  EXPECT_EQ(bench.audio.spoken_text(), "ckconfig inv");
  // The tiny pause clip counts as 0.1 s: 300 pauses make the 30 seconds.
  EXPECT_GE(bench.pauses(), 300);
  EXPECT_LE(bench.pauses(), 302);
  EXPECT_TRUE(std::all_of(receiver->commands.begin(), receiver->commands.end(),
                          [](const std::string& c) { return c == "MWA"; }));

  // A receiver that answers the size but never the resize.
  bench.forget();
  receiver = ScriptedReceiver::install(*bench.cx, [](const std::string& command) {
    return command == "MWA" ? Answers{{"MW A:50 a:50\r\n", 0}} : Answers{};
  });
  check_receiver_banks(*bench.cx);
  EXPECT_EQ(receiver->commands, (Commands{"MWA", "MWA90"}));
  const auto spoken = bench.audio.spoken();
  EXPECT_EQ(spoken.front(), "ckconfig");
  EXPECT_EQ(spoken.back(), "inv");
  EXPECT_EQ(std::count(spoken.begin(), spoken.end(), "beep"), 11);
  EXPECT_EQ(bench.pauses(), 302);  // the answered query's and the letter's pauses are no silence

  // Each letter answered after some 20 s: the silences add up over the letters.
  bench.forget();
  receiver = ScriptedReceiver::install(*bench.cx, [asked = std::string()](const std::string& command) mutable {
    if (command.size() != 3 || asked.find(command[2]) != std::string::npos) return Answers{};
    asked += command[2];
    return Answers{{"MW " + command.substr(2) + ":90\r\n", 100}};
  });
  check_receiver_banks(*bench.cx);
  EXPECT_EQ(bench.audio.spoken_text(), "ckconfig inv");
  EXPECT_LE(bench.pauses(), 302);
  EXPECT_EQ(receiver->commands.back(), "MWB");

  // A pause clip of one second: thirty of them make the time limit.
  BankBench slow;
  slow.write_file("wave/shdel.wav", testing::tiny_wav(8000, 8000));
  ScriptedReceiver::install(*slow.cx, [](const std::string&) { return Answers{}; });
  check_receiver_banks(*slow.cx);
  EXPECT_EQ(slow.audio.spoken_text(), "ckconfig inv");
  EXPECT_GE(slow.pauses(), 30);
  EXPECT_LE(slow.pauses(), 32);
}

}  // namespace
}  // namespace talvaro
