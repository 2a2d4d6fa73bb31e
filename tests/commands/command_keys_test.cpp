#include "commands/command_keys.h"

#include <gtest/gtest.h>

#include <string>

#include "commands/dispatch.h"
#include "commands/keys.h"
#include "commands/panel_bench.h"

namespace talvaro {
namespace {

using testing::joined;
using testing::PanelBench;

constexpr int shift = 16;

void enter_bank_mode(PanelBench& bench) {
  bench.set_bank({"Bank05", "FM", "12.5", " ", "145.5", "One", "146", "Two", "9999", " "});
  bench.st.bank_file_name = "bank05.dat";
  bench.st.bank_last_cell = 6;
  bench.st.bank_cell_index = 4;
  bench.st.bank_scan_state = 1;
  bench.st.selected_bank_loaded = 1;
  bench.st.frequency_text = "145.5";
}

// ------------------------------------------------------------ row 11

TEST(CommandKeys, AnyKeyReachingTheMiddleOfTheTableLeavesAJustStartedReceiverScan) {
  PanelBench bench;
  bench.st.receiver_scan_state = 1;
  bench.type({shift});
  EXPECT_EQ(bench.spoken(), "exitscan");
  EXPECT_EQ(bench.st.receiver_scan_state, 0);
  EXPECT_TRUE(bench.take_commands().empty());

  // C reaches it too, before it toggles the stop mode.
  bench.forget();
  bench.st.receiver_scan_state = 1;
  bench.type({'C'});
  EXPECT_EQ(bench.spoken(), "exitscan stmode");
  EXPECT_EQ(bench.st.receiver_scan_state, 0);
}

TEST(CommandKeys, SpaceAndTheEarlyRowsKeepAJustStartedReceiverScan) {
  PanelBench bench;
  bench.st.receiver_scan_state = 1;
  bench.type({key::space});
  EXPECT_EQ(joined(bench.take_commands()), "<RS>");
  EXPECT_EQ(bench.st.receiver_scan_state, 1);
  EXPECT_EQ(bench.st.space_pressed, 0);
  bench.type({'H', 'M', 'S', 'F'});
  EXPECT_EQ(bench.spoken(), "help s 0 start scan");
  EXPECT_EQ(bench.st.receiver_scan_state, 1);
  // W is taken before the table.
  bench.forget();
  bench.type({'W'});
  EXPECT_EQ(bench.st.receiver_scan_state, 1);
  // Only a state of exactly 1 is left.
  bench.forget();
  bench.st.entry_mode = 0;
  bench.st.receiver_scan_state = 2;
  bench.type({shift});
  EXPECT_EQ(bench.spoken(), "");
  EXPECT_EQ(bench.st.receiver_scan_state, 2);
}

TEST(CommandKeys, RInBankModeStartsABankScanAndGoesOnIntoTheTable) {
  PanelBench bench;
  enter_bank_mode(bench);
  bench.st.receiver_scan_state = 1;
  bench.type({'R'});
  EXPECT_EQ(bench.st.bank_scan_state, 2);
  EXPECT_EQ(bench.st.receiver_scan_state, 0);
  EXPECT_EQ(bench.spoken(), "fm exitscan");
}

TEST(CommandKeys, ARowElevenExitFreesTheTuningKeys) {
  PanelBench bench;
  bench.st.receiver_scan_state = 1;
  bench.type({key::right});
  EXPECT_EQ(bench.spoken(), "exitscan");
  EXPECT_EQ(joined(bench.take_commands()), "VA0145.00010");
}

// ------------------------------------------------------------ receiver bank letters

TEST(CommandKeys, InReceiverBankEntryLettersAToJAreBanks) {
  PanelBench bench;
  for (int letter : {'D', 'E', 'F', 'G', 'H', 'I', 'J'}) {
    bench.forget();
    bench.st.entry_mode = entry::receiver_scan;
    bench.type({letter});
    EXPECT_EQ(bench.st.bank_number_text, std::string(1, static_cast<char>(letter)));
    EXPECT_EQ(bench.st.entry_mode, entry::receiver_scan);
    EXPECT_EQ(bench.spoken(), std::string(1, static_cast<char>(letter + ('a' - 'A'))));
  }
  // A digit is only spoken.
  bench.forget();
  bench.type({'5'});
  EXPECT_EQ(bench.st.bank_number_text, "J");
  EXPECT_EQ(bench.spoken(), "5");
  // Any other key drops the scan.
  bench.forget();
  bench.type({'K'});
  EXPECT_EQ(bench.spoken(), "inv");
  EXPECT_EQ(bench.st.entry_mode, 0);
}

// ------------------------------------------------------------ toggles and announcements

TEST(CommandKeys, CTogglesTheStopModeAndNTheScanVoice) {
  PanelBench bench;
  bench.type({'C', 'C'});
  EXPECT_EQ(bench.spoken(), "stmode cont");
  EXPECT_EQ(bench.st.search_stop_mode, 0);
  EXPECT_EQ(bench.draw_at(500, 250).text, "CONT");
  bench.forget();
  bench.type({'N', 'N'});
  EXPECT_EQ(bench.spoken(), "svoice off svoice on");
  EXPECT_EQ(bench.st.scan_voice_enabled, 1);
}

TEST(CommandKeys, FSpeaksTheFrequencyAndTheModeOrScan) {
  PanelBench bench;
  bench.st.frequency_text = "145.5";
  bench.type({'F'});
  EXPECT_EQ(bench.spoken(), "1 4 5 point 5 fm");

  bench.forget();
  bench.st.receiver_scan_state = 3;  // stopped on a signal
  bench.type({'F'});
  EXPECT_EQ(bench.spoken(), "1 4 5 point 5");

  bench.forget();
  bench.st.receiver_scan_state = 2;
  bench.type({'F'});
  EXPECT_EQ(bench.spoken(), "scan");

  bench.forget();
  bench.st.receiver_scan_state = 0;
  bench.st.bank_scan_state = 3;
  bench.st.squelch_closed = 1;
  bench.type({'F'});
  EXPECT_EQ(bench.spoken(), "scan");
  bench.forget();
  bench.st.squelch_closed = 0;
  bench.type({'F'});
  EXPECT_EQ(bench.spoken(), "1 4 5 point 5 fm");
}

TEST(CommandKeys, FunctionKeysSelectTheModeAndDrawIt) {
  PanelBench bench;
  bench.type({key::f1 + 5});  // F6
  EXPECT_EQ(bench.st.mode_text, "CW ");
  EXPECT_EQ(bench.spoken(), "cw");
  EXPECT_EQ(joined(bench.take_commands()), "MD5");
  EXPECT_EQ(bench.draw_at(380, 80).text, "CW       ");
  EXPECT_EQ(bench.cx->text_state.font, (FontSpec{"Aerial", 30, 700}));
}

TEST(CommandKeys, HelpDoesNotWait) {
  PanelBench bench;
  bench.type({'H'});
  ASSERT_EQ(bench.audio.plays.size(), 1u);
  EXPECT_EQ(bench.audio.plays[0].clip, "help");
  EXPECT_FALSE(bench.audio.plays[0].wait);
}

// ------------------------------------------------------------ tuning keys

TEST(CommandKeys, DuringABankScanOnlyUpAndDownRetune) {
  PanelBench bench;
  enter_bank_mode(bench);
  bench.st.bank_scan_state = 3;
  bench.type({key::up});
  EXPECT_EQ(joined(bench.take_commands()), "VA0145.50100");
  bench.type({key::down});
  EXPECT_EQ(joined(bench.take_commands()), "VA0145.50000");
  bench.type({key::left, key::right, key::page_up, key::page_down});
  EXPECT_EQ(bench.spoken(), "inv inv inv inv");
  EXPECT_TRUE(bench.take_commands().empty());
}

TEST(CommandKeys, UpAndDownAreRefusedDuringASearchOrReceiverScan) {
  PanelBench bench;
  bench.st.search_state = 1;
  bench.type({key::up});
  bench.st.search_state = 0;
  bench.st.receiver_scan_state = 3;
  bench.type({key::down});
  EXPECT_EQ(bench.spoken(), "inv inv");
  EXPECT_TRUE(bench.take_commands().empty());
}

TEST(CommandKeys, TuningKeysRetuneWhenNothingScans) {
  PanelBench bench;
  bench.st.frequency_text = "145.5";
  bench.type({key::page_up, key::left, key::down});
  EXPECT_EQ(joined(bench.take_commands()), "VA0145.51250|VA0145.51240|VA0145.51140");
}

// ------------------------------------------------------------ bank mode

TEST(CommandKeys, UpAndDownBrowseTheSelectedBank) {
  PanelBench bench;
  enter_bank_mode(bench);
  bench.type({key::down});
  EXPECT_EQ(bench.st.bank_cell_index, 6);
  EXPECT_EQ(joined(bench.take_commands()), "VA0146000000");
  bench.type({key::up});
  EXPECT_EQ(bench.st.bank_cell_index, 4);
  EXPECT_EQ(bench.spoken(), "beep");
}

TEST(CommandKeys, AReplacedBankTableIsNeitherBrowsedNorEditedNorScanned) {
  PanelBench bench;
  enter_bank_mode(bench);
  bench.st.selected_bank_loaded = 0;
  bench.type({'K', key::up, key::down, 'R'});
  EXPECT_EQ(bench.spoken(), "inv inv inv inv");
  EXPECT_EQ(bench.st.entry_mode, 0);
  EXPECT_EQ(bench.st.bank_scan_state, 1);
  EXPECT_TRUE(bench.take_commands().empty());
}

TEST(CommandKeys, KOutsideBankModeAndDWhileACommandIsPendingDoNothing) {
  PanelBench bench;
  bench.type({'K'});
  EXPECT_EQ(bench.spoken(), "");
  EXPECT_EQ(bench.st.entry_mode, 0);
  bench.type({'B', 'D'});
  EXPECT_EQ(bench.spoken(), "bank");
  EXPECT_EQ(bench.st.entry_mode, entry::select);
  // After S the limit entry is dropped first, so D is accepted.
  bench.forget();
  bench.type({'S', 'D'});
  EXPECT_EQ(bench.spoken(), "start delete");
  EXPECT_EQ(bench.st.entry_mode, entry::delete_file);
}

TEST(CommandKeys, BankCommandKeysEmptyTheTypedNumber) {
  PanelBench bench;
  struct Case {
    int key;
    int mode;
    const char* clip;
  };
  for (const Case& c : {Case{'B', entry::select, "bank"}, Case{'O', entry::sort, "sort"}, Case{'P', entry::put, "put"},
                        Case{'T', entry::transfer, "transfer"}, Case{'D', entry::delete_file, "delete"}}) {
    bench.forget();
    bench.st.entry_mode = 0;
    bench.st.bank_number_text = "05";
    bench.type({c.key});
    EXPECT_EQ(bench.st.entry_mode, c.mode) << c.clip;
    EXPECT_EQ(bench.st.bank_number_text, "") << c.clip;
    EXPECT_EQ(bench.spoken(), c.clip);
  }
}

TEST(CommandKeys, PPassesOnlyWhenTheReceiverScanStandsOnASignal) {
  PanelBench bench;
  bench.st.receiver_scan_state = 3;
  bench.st.squelch_closed = 1;
  bench.type({'P'});
  EXPECT_EQ(bench.spoken(), "put");
  EXPECT_EQ(bench.st.entry_mode, entry::put);

  bench.forget();
  bench.st.squelch_closed = 0;
  bench.reply("MR MXA05 MP0 RF0145500000\r\n");
  bench.type({'P'});
  EXPECT_EQ(bench.st.pass_list_count, 2);
  EXPECT_EQ(bench.st.pass_list[1], "A05");
  EXPECT_EQ(joined(bench.take_commands()), "MR|MP1|MS");
}

}  // namespace
}  // namespace talvaro
