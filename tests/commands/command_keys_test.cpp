#include "commands/command_keys.h"

#include <gtest/gtest.h>

#include <string>

#include "commands/dispatch.h"
#include "commands/keys.h"
#include "commands/panel_bench.h"
#include "panel/poll/events.h"

namespace talvaro {
namespace {

using testing::PanelBench;

constexpr int shift = 16;

void enter_bank_mode(PanelBench& bench) {
  bench.set_bank({"Bank05", "FM", "12.5", " ", "145.5", "One", "146", "Two", "9999", " "});
  bench.st.bank_file_name = "bank05.dat";
  bench.st.bank_last_cell = 6;
  bench.st.bank_cell_index = 4;
  bench.st.bank_scan_state = BankScanState::bank_mode;
  bench.st.selected_bank_loaded = 1;
  bench.st.frequency_text = "145.5";
}

TEST(KeyEvents, QueueingHeldKeysShiftAndAFullQueue) {
  PanelBench bench;
  handle_event(*bench.cx, 5, 77);  // no event of ours
  EXPECT_EQ(bench.st.key_queue_length, 0);
  // Auto-repeat while held queues the key once, with its receive marker.
  for (int i = 0; i < 3; ++i) handle_event(*bench.cx, event_key_down, '1');
  handle_event(*bench.cx, event_key_up, 0);
  ASSERT_EQ(bench.st.key_queue_length, 2);
  EXPECT_EQ(bench.st.key_queue[0], '1');
  EXPECT_EQ(bench.st.key_queue[1], 0);
  // Shift held while a letter is pressed: only Shift is queued.
  handle_event(*bench.cx, event_key_down, shift);
  handle_event(*bench.cx, event_key_down, 'A');
  handle_event(*bench.cx, event_key_up, 0);
  handle_event(*bench.cx, event_key_up, 0);
  ASSERT_EQ(bench.st.key_queue_length, 4);
  EXPECT_EQ(bench.st.key_queue[2], shift);
  // A full queue drops further presses until entries are taken.
  for (int i = 0; i < 10; ++i) bench.press('0' + i);
  EXPECT_EQ(bench.st.key_queue_length, 20);
  EXPECT_EQ(bench.st.key_queue[18], '7');
  EXPECT_EQ(bench.st.key_held, 0);
  // Q is never dropped: it takes the place of the last key, once.
  bench.press('Q');
  bench.press('Q');
  EXPECT_EQ(bench.st.key_queue_length, 20);
  EXPECT_EQ(bench.st.key_queue[16], '6');
  EXPECT_EQ(bench.st.key_queue[18], 'Q');
  bench.tick(2);
  bench.press('C');
  EXPECT_EQ(bench.st.key_queue_length, 20);
  EXPECT_EQ(bench.st.key_queue[18], 'C');

  handle_event(*bench.cx, event_close, 0);
  EXPECT_EQ(bench.st.running, 0);
}

TEST(CommandKeys, KeysReachingTheMiddleOfTheTableLeaveAJustStartedReceiverScan) {
  PanelBench bench;
  struct Case {
    int key;
    const char* spoken;
    const char* sent;
  };
  for (const Case& c :
       {Case{shift, "exitscan", ""}, Case{'C', "exitscan stmode", ""}, Case{key::right, "exitscan", "VA0145.00010"}}) {
    bench.forget();
    bench.st.receiver_scan_state = ReceiverScanState::started;
    bench.type({c.key});
    EXPECT_EQ(bench.spoken(), c.spoken) << c.key;
    EXPECT_EQ(bench.sent(), c.sent) << c.key;
    EXPECT_EQ(bench.st.receiver_scan_state, ReceiverScanState::off) << c.key;
  }
  // R in bank mode starts a bank scan and goes on into the table.
  bench.forget();
  enter_bank_mode(bench);
  bench.st.receiver_scan_state = ReceiverScanState::started;
  bench.type({'R'});
  EXPECT_EQ(bench.st.bank_scan_state, BankScanState::started);
  EXPECT_EQ(bench.st.receiver_scan_state, ReceiverScanState::off);
  EXPECT_EQ(bench.spoken(), "fm exitscan");
}

TEST(CommandKeys, SpaceWAndTheEarlyRowsKeepAJustStartedReceiverScan) {
  PanelBench bench;
  bench.st.receiver_scan_state = ReceiverScanState::started;
  bench.type({key::space});
  EXPECT_EQ(bench.sent(), "<RS>");
  EXPECT_EQ(bench.st.space_pressed, 0);
  bench.type({'H', 'M', 'S', 'F'});
  EXPECT_EQ(bench.spoken(), "help s 0 start scan");
  bench.type({'W'});  // taken before the table
  EXPECT_EQ(bench.st.receiver_scan_state, ReceiverScanState::started);
  // Only a scan just started is left.
  bench.forget();
  bench.st.entry_mode = EntryMode::none;
  bench.st.receiver_scan_state = ReceiverScanState::scanning;
  bench.type({shift});
  EXPECT_EQ(bench.spoken(), "");
  EXPECT_EQ(bench.st.receiver_scan_state, ReceiverScanState::scanning);
}

TEST(CommandKeys, InReceiverBankEntryLettersAToJAreBanks) {
  PanelBench bench;
  for (int letter : {'D', 'J'}) {
    bench.forget();
    bench.st.entry_mode = EntryMode::receiver_scan;
    bench.type({letter});
    EXPECT_EQ(bench.st.bank_number_text, std::string(1, static_cast<char>(letter)));
    EXPECT_EQ(bench.st.entry_mode, EntryMode::receiver_scan);
    EXPECT_EQ(bench.spoken(), std::string(1, static_cast<char>(letter + ('a' - 'A'))));
  }
  bench.forget();
  bench.type({'5', 'K'});  // a digit is only spoken; any other key drops the scan
  EXPECT_EQ(bench.st.bank_number_text, "J");
  EXPECT_EQ(bench.spoken(), "5 inv");
  EXPECT_EQ(bench.st.entry_mode, EntryMode::none);
}

TEST(CommandKeys, TogglesModesAndAnnouncements) {
  PanelBench bench;
  bench.type({'C', 'C', 'N', 'N'});
  EXPECT_EQ(bench.spoken(), "stmode cont svoice off svoice on");
  EXPECT_EQ(bench.st.search_stop_mode, SearchStopMode::cont);
  EXPECT_EQ(bench.st.scan_voice_enabled, 1);
  EXPECT_EQ(bench.draw_at(500, 250).text, "CONT");

  bench.forget();
  bench.type({key::f1 + 5});  // F6
  EXPECT_EQ(bench.st.mode_text, "CW ");
  EXPECT_EQ(bench.sent(), "MD5");
  EXPECT_EQ(bench.draw_at(380, 80).text, "CW       ");
  EXPECT_EQ(bench.cx->text_state.font, (FontSpec{"Aerial", 30, 700}));
  bench.type({'H'});  // help does not wait
  EXPECT_EQ(bench.spoken(), "cw help");
  EXPECT_FALSE(bench.audio.plays.back().wait);
}

TEST(CommandKeys, FSpeaksTheFrequencyAndTheModeOrScan) {
  PanelBench bench;
  bench.st.frequency_text = "145.5";
  struct Case {
    ReceiverScanState receiver_scan;
    BankScanState bank_scan;
    int squelch_closed;
    const char* spoken;
  };
  using R = ReceiverScanState;
  using B = BankScanState;
  for (const Case& c : {Case{R::off, B::off, 0, "1 4 5 point 5 fm"}, Case{R::stopped, B::off, 0, "1 4 5 point 5"},
                        Case{R::scanning, B::off, 0, "scan"}, Case{R::off, B::scanning, 1, "scan"},
                        Case{R::off, B::scanning, 0, "1 4 5 point 5 fm"}}) {
    bench.forget();
    bench.st.receiver_scan_state = c.receiver_scan;
    bench.st.bank_scan_state = c.bank_scan;
    bench.st.squelch_closed = c.squelch_closed;
    bench.type({'F'});
    EXPECT_EQ(bench.spoken(), c.spoken) << to_underlying(c.receiver_scan) << to_underlying(c.bank_scan)
                                        << c.squelch_closed;
  }
}

TEST(CommandKeys, TuningKeysDependOnWhatScans) {
  PanelBench bench;
  bench.st.frequency_text = "145.5";
  bench.type({key::page_up, key::left, key::down});
  EXPECT_EQ(bench.sent(), "VA0145.51250|VA0145.51240|VA0145.51140");
  // Up and Down are refused during a search or a receiver scan.
  bench.st.search_state = SearchState::searching;
  bench.type({key::up});
  bench.st.search_state = SearchState::off;
  bench.st.receiver_scan_state = ReceiverScanState::stopped;
  bench.type({key::down});
  EXPECT_EQ(bench.spoken(), "inv inv");
  EXPECT_EQ(bench.sent(), "");
  // During a bank scan only Up and Down retune.
  bench.forget();
  bench.st.receiver_scan_state = ReceiverScanState::off;
  enter_bank_mode(bench);
  bench.st.bank_scan_state = BankScanState::scanning;
  bench.type({key::up, key::down});
  EXPECT_EQ(bench.sent(), "VA0145.50100|VA0145.50000");
  bench.type({key::left, key::right, key::page_up, key::page_down});
  EXPECT_EQ(bench.spoken(), "inv inv inv inv");
  EXPECT_EQ(bench.sent(), "");
}

TEST(CommandKeys, TheFirstDigitAfterATuningKeyStartsANewFrequency) {
  struct Case {
    int key;
    const char* tuned;
  };
  for (const Case& c :
       {Case{key::up, "VA0145.00100"}, Case{key::down, "VA0144.99900"}, Case{key::left, "VA0144.99990"},
        Case{key::right, "VA0145.00010"}, Case{key::page_up, "VA0145.01250"}, Case{key::page_down, "VA0144.98750"}}) {
    PanelBench bench;
    // Digits and then a tuning key tune from the typed text.
    bench.type({'1', '4', '5', c.key});
    EXPECT_EQ(bench.sent(), c.tuned);
    bench.type({'1', '4', '6', key::enter});
    EXPECT_EQ(bench.sent(), "VA0146000000|ST012.50") << c.tuned;
  }
  // Browsing a bank is tuning too.
  PanelBench bench;
  enter_bank_mode(bench);
  bench.st.frequency_entry_fresh = 0;
  bench.type({key::down, '1', '4', '7', key::enter});
  EXPECT_EQ(bench.sent(), "VA0146000000|VA0147000000|ST012.50");
}

TEST(CommandKeys, BankModeBrowsingAndAReplacedTable) {
  PanelBench bench;
  enter_bank_mode(bench);
  bench.type({key::down});
  EXPECT_EQ(bench.st.bank_cell_index, 6);
  EXPECT_EQ(bench.sent(), "VA0146000000");
  bench.type({key::up});
  EXPECT_EQ(bench.st.bank_cell_index, 4);
  EXPECT_EQ(bench.spoken(), "beep");
  // A table that is no longer the selected bank is neither browsed, edited
  // nor scanned.
  bench.forget();
  bench.st.selected_bank_loaded = 0;
  bench.type({'K', key::up, key::down, 'R'});
  EXPECT_EQ(bench.spoken(), "inv inv inv inv");
  EXPECT_EQ(bench.st.entry_mode, EntryMode::none);
  EXPECT_EQ(bench.st.bank_scan_state, BankScanState::bank_mode);
  EXPECT_EQ(bench.sent(), "");
  // Refused, R also ends the pending entry: the digits that follow tune.
  bench.forget();
  bench.type({'S', 'R', '1', '4', '4', key::enter});
  EXPECT_EQ(bench.spoken(), "start inv 1 4 4 ok");
  EXPECT_EQ(bench.st.search_low_text, "145");
  EXPECT_EQ(bench.sent(), "VA0144000000|ST012.50");
}

TEST(CommandKeys, BankCommandKeysStartAnEntryWithAnEmptyNumber) {
  PanelBench bench;
  bench.type({'K'});  // K outside bank mode does nothing
  EXPECT_EQ(bench.spoken(), "");
  struct Case {
    int key;
    EntryMode mode;
    const char* clip;
  };
  for (const Case& c :
       {Case{'B', EntryMode::select, "bank"}, Case{'O', EntryMode::sort, "sort"}, Case{'P', EntryMode::put, "put"},
        Case{'T', EntryMode::transfer, "transfer"}, Case{'D', EntryMode::delete_file, "delete"}}) {
    bench.forget();
    bench.st.entry_mode = EntryMode::none;
    bench.st.bank_number_text = "05";
    bench.type({c.key});
    EXPECT_EQ(bench.st.entry_mode, c.mode) << c.clip;
    EXPECT_EQ(bench.st.bank_number_text, "") << c.clip;
    EXPECT_EQ(bench.spoken(), c.clip);
  }
  // D while a bank command is pending does nothing; after S the limit entry
  // is dropped first, so D is accepted.
  bench.forget();
  bench.type({'B', 'D', 'S', 'D'});
  EXPECT_EQ(bench.spoken(), "bank start delete");
  EXPECT_EQ(bench.st.entry_mode, EntryMode::delete_file);
}

TEST(CommandKeys, PPassesOnlyWhenTheReceiverScanStandsOnASignal) {
  PanelBench bench;
  bench.st.receiver_scan_state = ReceiverScanState::stopped;
  bench.st.squelch_closed = 1;
  bench.type({'P'});
  EXPECT_EQ(bench.spoken(), "put");
  EXPECT_EQ(bench.st.entry_mode, EntryMode::put);

  bench.forget();
  bench.st.squelch_closed = 0;
  bench.reply("MR MXA05 MP0 RF0145500000\r\n");
  bench.type({'P'});
  EXPECT_EQ(bench.st.pass_list_count, 2);
  EXPECT_EQ(bench.st.pass_list[1], "A05");
  EXPECT_EQ(bench.sent(), "MR|MP1|MS");
}

}  // namespace
}  // namespace talvaro
