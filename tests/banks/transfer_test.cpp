#include "banks/transfer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "banks/bank_bench.h"
#include "banks/scripted_receiver.h"

namespace talvaro {
namespace {

using testing::bank_file;
using testing::BankBench;
using testing::numbered_entries;
using testing::ScriptedReceiver;
using Commands = std::vector<std::string>;
using Answers = std::vector<ScriptedReceiver::Answer>;

const std::string twelve_blanks(12, ' ');

TEST(Transfer, ChannelRecordFields) {
  EXPECT_EQ(channel_record("A", 0, "145.5", "FM", " "), "MXA00 RF0145500000 ST012500 MD1 TM" + twelve_blanks);
  EXPECT_EQ(channel_record("B", 7, "1296.125", "WFM", "Up"), "MXB07 RF1296125000 ST012500 MD0 TMUp          ");
  EXPECT_EQ(channel_record("C", 90, "29.7", "USB", "A label that is long"),
            "MXC90 RF0029700000 ST012500 MD3 TMA label that");
  EXPECT_EQ(channel_record("A", 1, "433.075", "CW ", " "), "MXA01 RF0433075000 ST012500 MD5 TM" + twelve_blanks);
  EXPECT_EQ(channel_record("A", 1, "433", "AUT", " "), "MXA01 RF0433000000 ST012500 AU1 TM" + twelve_blanks);
  // An unknown mode line leaves the code out.
  EXPECT_EQ(channel_record("A", 1, "433", "NFM", " "), "MXA01 RF0433000000 ST012500 MD TM" + twelve_blanks);
}

TEST(Transfer, FrequencyFieldIsTenDigitsOfHertz) {
  const auto field = [](std::string_view frequency) {
    return channel_record("A", 0, frequency, "FM", " ").substr(8, 10);
  };
  EXPECT_EQ(field(".5"), "0000500000");
  EXPECT_EQ(field("0.5"), "0000500000");
  EXPECT_EQ(field("00145.5"), "0145500000");
  EXPECT_EQ(field("1296"), "1296000000");
  EXPECT_EQ(field("145.1234567"), "0145123456");
  EXPECT_EQ(channel_record("A", 0, "145.1234567", "FM", " ").size(), 46u);
}

TEST(Transfer, WritesEveryEntryWithPacingPauses) {
  BankBench bench;
  bench.write_file("bank05.dat",
                   bank_file("bank05", "FM", "12.5", {{"145.5", " "}, {"433.075", "Repeater"}, {"1296.125", " "}}));
  bench.run(write_bank_to_receiver, "05A");
  EXPECT_EQ(bench.take_commands(), (Commands{
                                       "MXA00 RF0145500000 ST012500 MD1 TM" + twelve_blanks,
                                       "MXA01 RF0433075000 ST012500 MD1 TMRepeater    ",
                                       "MXA02 RF1296125000 ST012500 MD1 TM" + twelve_blanks,
                                   }));
  EXPECT_EQ(bench.audio.spoken_text(), "wait ok");
  // Ten after "wait", then 7, 5 and 3 before the entries.
  EXPECT_EQ(bench.pauses(), 25);
}

TEST(Transfer, AnEmptyOrMissingBankSendsNoChannel) {
  BankBench bench;
  bench.write_file("bank05.dat", bank_file("bank05", "FM", "12.5", {}));
  bench.run(write_bank_to_receiver, "05A");
  EXPECT_EQ(bench.audio.spoken_text(), "wait ok");
  EXPECT_EQ(bench.pauses(), 10);
  EXPECT_TRUE(bench.take_commands().empty());

  bench.forget();
  bench.run(write_bank_to_receiver, "06A");
  EXPECT_EQ(bench.audio.spoken_text(), "bnf");
  EXPECT_TRUE(bench.take_commands().empty());
}

TEST(Transfer, ALongBankStopsAfterChannelNinety) {
  BankBench bench;
  bench.write_file("bank05.dat", bank_file("bank05", "AM", "12.5", numbered_entries(95)));
  bench.run(write_bank_to_receiver, "05J");
  const Commands sent = bench.take_commands();
  ASSERT_EQ(sent.size(), 91u);
  EXPECT_EQ(sent.back(), "MXJ90 RF0190500000 ST012500 MD2 TML90         ");
  // A beep after the channels written from cells 22, 44, ... 176.
  const auto spoken = bench.audio.spoken();
  EXPECT_EQ(std::count(spoken.begin(), spoken.end(), "beep"), 8);
  ASSERT_FALSE(spoken.empty());
  EXPECT_EQ(spoken.back(), "ok");
  EXPECT_EQ(bench.pauses(), 10 + 7 + 5 + 3 + 88);
}

// A receiver whose banks hold 50 channels, except those listed at 90.
ScriptedReceiver::Script bank_sizes(std::string at_ninety, int resize_polls) {
  return [at_ninety, resize_polls](const std::string& command) -> Answers {
    if (command.size() == 3 && command.starts_with("MW")) {
      const char letter = command[2];
      const std::string size = at_ninety.find(letter) != std::string::npos ? "90" : "50";
      return {{"MW " + std::string(1, letter) + ":" + size + " " + std::string(1, static_cast<char>(letter + 32)) +
                   ":" + (size == "90" ? "10" : "50") + "\r\n",
               0}};
    }
    if (command.size() == 5 && command.starts_with("MW")) return {{"\r\n", resize_polls}};
    return {};
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
  ASSERT_FALSE(receiver->commands.empty());
  EXPECT_EQ(receiver->commands.back(), "MWJ90");
  EXPECT_EQ(bench.audio.spoken_text(), "ckconfig j ok");
}

TEST(Transfer, ResizeBeepsSoundWithTheVoiceOff) {
  BankBench bench;
  bench.st.wave_path = "";
  ScriptedReceiver::install(*bench.cx, bank_sizes("BCDEFGHIJ", 2));
  check_receiver_banks(*bench.cx);
  EXPECT_EQ(bench.audio.spoken_text(), "beep beep beep beep");
}

TEST(Transfer, CheckGivesUpOnASilentReceiver) {
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
  ASSERT_FALSE(spoken.empty());
  EXPECT_EQ(spoken.front(), "ckconfig");
  EXPECT_EQ(spoken.back(), "inv");
  EXPECT_EQ(std::count(spoken.begin(), spoken.end(), "beep"), 12);
}

TEST(Transfer, TheGiveUpTimeCountsThePauseClipsLength) {
  BankBench bench;
  // A pause of one second: thirty of them make the time limit.
  bench.write_file("wave/shdel.wav", testing::tiny_wav(8000, 8000));
  ScriptedReceiver::install(*bench.cx, [](const std::string&) { return Answers{}; });
  check_receiver_banks(*bench.cx);
  EXPECT_EQ(bench.audio.spoken_text(), "ckconfig inv");
  EXPECT_GE(bench.pauses(), 30);
  EXPECT_LE(bench.pauses(), 32);
}

}  // namespace
}  // namespace talvaro
