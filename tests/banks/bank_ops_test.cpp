#include "banks/bank_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "banks/bank_bench.h"
#include "commands/keys.h"
#include "tuning/frequency.h"

namespace talvaro {
namespace {

using testing::bank_file;
using testing::BankBench;
using testing::Entries;
using testing::numbered_entries;
using Commands = std::vector<std::string>;

const Entries three_entries{{"145.5", " "}, {"433.075", "Repeater"}, {"29.7", "Ten metres"}};

TEST(BankOps, SelectBrowseAndKillEntriesOfTheSelectedBankOnly) {
  BankBench bench;
  bench.write_file("bank05.dat", bank_file("bank05", "AM", "25", three_entries));
  bench.run(select_bank, "05");
  EXPECT_EQ(bench.st.bank_scan_state, BankScanState::bank_mode);
  // A pause before the load, the tune, the mode and the step.
  EXPECT_EQ(bench.audio.spoken_text(true), "shdel shdel shdel am shdel sel");
  const Commands sent = bench.take_commands();
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent.front(), vfo_command("VA", "145.5"));
  EXPECT_EQ(sent.back(), step_command("25"));

  // Down from the first entry wraps silently to the last; Up back with a beep.
  bench.forget();
  bench.keys({key::down});
  EXPECT_EQ(bench.take_commands(), Commands{vfo_command("VA", "29.7")});
  EXPECT_EQ(bench.display.text_at(300, 370), "Ten metres");
  EXPECT_EQ(bench.audio.spoken_text(), "");
  bench.keys({key::up, key::up});
  EXPECT_EQ(bench.take_commands(), (Commands{vfo_command("VA", "145.5"), vfo_command("VA", "433.075")}));
  EXPECT_EQ(bench.display.text_at(300, 370), "Repeater");
  EXPECT_EQ(bench.audio.spoken_text(), "beep");

  bench.forget();
  bench.keys({key::down, 'K', key::enter});
  EXPECT_EQ(bench.audio.spoken_text(), "beep kill ok");
  const std::string killed = bank_file("bank05", "AM", "25", {{"433.075", "Repeater"}, {"29.7", "Ten metres"}});
  EXPECT_EQ(bench.read_file("bank05.dat"), killed);

  // Another bank loaded since (a put): K, Up and Down change nothing.
  bench.forget();
  bench.st.frequency_text = "146";
  bench.keys({'P', '0', '6', key::enter, 'K', key::up, key::down});
  EXPECT_EQ(bench.audio.spoken_text(), "put 0 6 bnf create 0 6 ok inv inv inv");
  EXPECT_EQ(bench.read_file("bank05.dat"), killed);
  EXPECT_EQ(bench.read_file("bank06.dat"), bank_file("bank06", "AM", "25", {{"146", " "}}));
}

// Every byte the panel wrote is a CR or printable ASCII.
bool line_is_printable(const BankBench& bench) {
  const std::string& written = bench.serial.line->written;
  return std::all_of(written.begin(), written.end(), [](char c) { return c == '\r' || (c >= ' ' && c <= '~'); });
}

TEST(BankOps, FrequenciesAndStepsHoldingControlBytesAreSkippedWithInv) {
  BankBench bench;
  bench.write_file("bank05.dat", bank_file("bank05", "FM", "12.5\x11",
                                           {{"145\x13", " "},
                                            {"433", "A"},
                                            {"\xff"
                                             "29",
                                             " "}}));
  bench.run(select_bank, "05");
  EXPECT_EQ(bench.audio.spoken_text(), "inv fm inv sel");
  EXPECT_EQ(bench.take_commands(), (Commands{vfo_command("VA", "433"), "MD1"}));
  EXPECT_EQ(bench.st.step_text, "12.5");
  // Up and Down both pass over the two entries that cannot be sent.
  bench.forget();
  bench.keys({key::up, key::down});
  EXPECT_EQ(bench.audio.spoken_text(), "inv inv");
  EXPECT_EQ(bench.take_commands(), (Commands{vfo_command("VA", "433"), vfo_command("VA", "433")}));
  EXPECT_TRUE(line_is_printable(bench));
  // A bank holding no entry that can be sent is a bank without entries.
  bench.write_file("bank06.dat", bank_file("bank06", "FM", "12.5", {{"1\x1e", " "}}));
  bench.forget();
  bench.run(select_bank, "06");
  EXPECT_EQ(bench.audio.spoken_text(), "inv");
  EXPECT_EQ(bench.st.bank_scan_state, BankScanState::off);
  EXPECT_TRUE(bench.take_commands().empty());
}

TEST(BankOps, EmptyOrMissingBanksAreNeverTuned) {
  BankBench bench;
  bench.write_file("bank08.dat", bank_file("bank08", "FM", "12.5", {}));
  bench.st.bank_scan_state = BankScanState::bank_mode;
  bench.run(select_bank, "08");
  EXPECT_EQ(bench.audio.spoken_text(), "inv");
  EXPECT_EQ(bench.st.bank_scan_state, BankScanState::off);
  // A missing bank leaves the name changed and zeroes the three states.
  bench.st.bank_scan_state = BankScanState::scanning;
  bench.st.receiver_scan_state = ReceiverScanState::scanning;
  bench.st.search_state = SearchState::searching;
  bench.run(select_bank, "09");
  EXPECT_EQ(bench.audio.spoken_text(), "inv bnf");
  EXPECT_EQ(bench.st.bank_file_name, "bank09.dat");
  EXPECT_EQ(bench.st.bank_scan_state, BankScanState::off);
  EXPECT_EQ(bench.st.receiver_scan_state, ReceiverScanState::off);
  EXPECT_EQ(bench.st.search_state, SearchState::off);
  EXPECT_TRUE(bench.take_commands().empty());
  EXPECT_EQ(bench.st.frequency_text, "145");

  // Deleting the only entry leaves an empty bank and ends bank mode untuned.
  bench.write_file("bank05.dat", bank_file("bank05", "FM", "12.5", {{"145.5", " "}}));
  bench.run(select_bank, "05");
  bench.forget();
  bench.st.entry_mode = EntryMode::kill;
  delete_entry(*bench.cx);
  EXPECT_TRUE(bench.take_commands().empty());
  EXPECT_EQ(bench.read_file("bank05.dat"), bank_file("bank05", "FM", "12.5", {}));
  EXPECT_EQ(bench.st.bank_scan_state, BankScanState::off);
  EXPECT_EQ(bench.st.entry_mode, EntryMode::none);
}

TEST(BankOps, PutStoresTheFrequencyOnceInABankOfTheSameMode) {
  BankBench bench;
  const std::string bank05 = bank_file("bank05", "FM", "12.5", {{"145.5", "Net"}});
  bench.write_file("bank05.dat", bank05);
  bench.st.frequency_text = "145.5";
  bench.run(put_memory, "05");  // already there
  bench.st.mode_text = "AM";
  bench.run(put_memory, "05");  // another mode
  EXPECT_EQ(bench.audio.spoken_text(), "ok incmode");
  EXPECT_EQ(bench.read_file("bank05.dat"), bank05);

  // A new frequency goes to the end with a blank label; with four digits the
  // last two name the bank; a missing bank is created.
  bench.forget();
  bench.st.mode_text = "FM";
  bench.st.frequency_text = "146.025";
  bench.run(put_memory, "9905");
  bench.run(put_memory, "07");
  EXPECT_EQ(bench.audio.spoken_text(), "ok bnf create 0 7 ok");
  EXPECT_EQ(bench.read_file("bank05.dat"), bank_file("bank05", "FM", "12.5", {{"145.5", "Net"}, {"146.025", " "}}));
  EXPECT_EQ(bench.read_file("bank07.dat"), "bank07\r\nFM\r\n12.5\r\n \r\n146.025\r\n \r\n9999\r\n");
}

TEST(BankOps, CopyMergesEachSourceFrequencyOnceIntoTheTargetUpToNinetyOne) {
  BankBench bench;
  bench.write_file("bank00.dat", bank_file("Srchbank", "FM", "12.5", {{"145.5", "Net"}, {"146", " "}}));
  bench.write_file("bank01.dat",
                   bank_file("bank01", "FM", "25", {{"430", "Rep"}, {"145.5", "Other"}, {"430", "Again"}}));
  bench.write_file("bank05.dat", bank_file("bank05", "FM", "12.5", {{"146", "Mine"}}));
  // Two digits: bank 0 into bank 5; entries already there keep their labels.
  bench.run(copy_bank, "05");
  EXPECT_EQ(bench.read_file("bank05.dat"), bank_file("bank05", "FM", "12.5", {{"146", "Mine"}, {"145.5", "Net"}}));
  // Four digits: bank 1 into bank 5, its repeated 430 added once.
  bench.run(copy_bank, "0105");
  EXPECT_EQ(bench.audio.spoken_text(), "ok ok");
  EXPECT_EQ(bench.read_file("bank05.dat"),
            bank_file("bank05", "FM", "12.5", {{"146", "Mine"}, {"145.5", "Net"}, {"430", "Rep"}}));

  // A missing target or source is created under its own two digits.
  bench.forget();
  bench.run(copy_bank, "0109");
  bench.run(copy_bank, "0305");
  EXPECT_EQ(bench.audio.spoken_text(), "bnf create 0 9 ok bnf create 0 3 ok");
  EXPECT_EQ(bench.read_file("bank09.dat"), bank_file("bank09", "FM", "25", {{"430", "Rep"}, {"145.5", "Other"}}));
  EXPECT_EQ(bench.read_file("bank03.dat"), bank_file("bank03", "FM", "12.5", {}));

  // Banks longer than 91 entries take and give nothing; one of 91 still takes one more.
  bench.forget();
  const std::string long_bank = bank_file("bank06", "FM", "12.5", numbered_entries(92));
  const std::string short_bank = bank_file("bank07", "FM", "12.5", {{"145.5", " "}});
  bench.write_file("bank06.dat", long_bank);
  bench.write_file("bank07.dat", short_bank);
  bench.write_file("bank08.dat", bank_file("bank08", "FM", "12.5", numbered_entries(91)));
  bench.st.frequency_text = "999.5";
  bench.run(put_memory, "06");
  bench.run(copy_bank, "0607");
  bench.run(put_memory, "08");
  EXPECT_EQ(bench.audio.spoken_text(), "n n ok");
  EXPECT_EQ(bench.read_file("bank06.dat"), long_bank);
  EXPECT_EQ(bench.read_file("bank07.dat"), short_bank);
  Entries full = numbered_entries(91);
  full.emplace_back("999.5", " ");
  EXPECT_EQ(bench.read_file("bank08.dat"), bank_file("bank08", "FM", "12.5", full));
}

TEST(BankOps, SortOrdersByNumberAndDropsRepeatedFrequencies) {
  const std::vector<std::pair<Entries, Entries>> cases = {
      {{{"146", "a"}, {"145.5", "b"}, {"145.5", "c"}, {"144", "d"}}, {{"144", "d"}, {"145.5", "b"}, {"146", "a"}}},
      // Numbers, not texts; a frequency above 9999 stays before the marker.
      {{{"12000", " "}, {"145", " "}, {"99.5", " "}}, {{"99.5", " "}, {"145", " "}, {"12000", " "}}},
      // Of three equal neighbours only the second is dropped.
      {{{"145", "a"}, {"145", "b"}, {"145", "c"}}, {{"145", "a"}, {"145", "c"}}},
  };
  for (const auto& [entries, sorted] : cases) {
    BankBench bench;
    bench.write_file("bank04.dat", bank_file("bank04", "FM", "12.5", entries));
    bench.run(sort_bank, "04");
    EXPECT_EQ(bench.audio.spoken_text(), "ok");
    EXPECT_EQ(bench.read_file("bank04.dat"), bank_file("bank04", "FM", "12.5", sorted));
  }
  // Without entries nothing is saved (the LF line ends stay); a label "9999"
  // ending the bank at an odd line is refused.
  BankBench bench;
  for (const std::string bank : {"bank04\nFM\n12.5\n \n9999\n", "bank04\nFM\n12.5\n \n146\n9999\n145\n \n9999\n"}) {
    bench.write_file("bank04.dat", bank);
    bench.run(sort_bank, "04");
    EXPECT_EQ(bench.read_file("bank04.dat"), bank);
  }
  EXPECT_EQ(bench.audio.spoken_text(), "ok inv");
}

TEST(BankOps, DeletingEntriesMovesTheRestUpAndSaves) {
  BankBench bench;
  Entries entries = numbered_entries(100);
  entries.insert(entries.begin(), three_entries.begin(), three_entries.end());
  bench.write_file("bank05.dat", bank_file("bank05", "FM", "12.5", entries));
  bench.run(select_bank, "05");
  bench.forget();
  // The first entry: the next one takes its place and is tuned.
  delete_entry(*bench.cx);
  EXPECT_EQ(bench.take_commands(), Commands{vfo_command("VA", "433.075")});
  entries.erase(entries.begin());
  EXPECT_EQ(bench.read_file("bank05.dat"), bank_file("bank05", "FM", "12.5", entries));
  // Down from the first entry reaches the bank's real last entry, not the
  // cell the load had seen as last; deleting the last goes back to the first.
  step_entry(*bench.cx, false);
  EXPECT_EQ(bench.display.text_at(300, 370), "L99");
  bench.forget();
  delete_entry(*bench.cx);
  EXPECT_EQ(bench.take_commands(), Commands{vfo_command("VA", "433.075")});
  entries.pop_back();
  EXPECT_EQ(bench.read_file("bank05.dat"), bank_file("bank05", "FM", "12.5", entries));
  EXPECT_EQ(bench.audio.spoken_text(), "ok");
}

TEST(BankOps, AFailedSaveSaysInvAndLeavesTheOldFileWhole) {
  BankBench bench;
  const std::string bank05 = bank_file("bank05", "FM", "12.5", three_entries);
  bench.write_file("bank05.dat", bank05);
  // The temporary file's name is held by a folder: no save of bank 5 can end.
  std::filesystem::create_directories(bench.dir / "bank05.dat.tmp" / "inside");
  bench.st.frequency_text = "146";
  const auto kill = [](Context& cx) {
    select_bank(cx);
    delete_entry(cx);
  };
  for (void (*operation)(Context&) : {put_memory, sort_bank, copy_bank, +kill}) {
    bench.forget();
    bench.run(operation, "05");
    const auto spoken = bench.audio.spoken();
    ASSERT_FALSE(spoken.empty());
    EXPECT_EQ(spoken.back(), "inv");
    EXPECT_EQ(std::count(spoken.begin(), spoken.end(), "ok"), 0);
    EXPECT_EQ(bench.read_file("bank05.dat"), bank05);
  }
}

TEST(BankOps, DeleteBankFileNeedsTwoDigitsAndSparesReadOnlyFilesAndLinkTargets) {
  namespace fs = std::filesystem;
  BankBench bench;
  bench.write_file("bank05.dat", bank_file("bank05", "FM", "12.5", {}));
  bench.run(delete_bank_file, "5");
  EXPECT_TRUE(bench.exists("bank05.dat"));
  bench.run(delete_bank_file, "05");
  bench.run(delete_bank_file, "07");  // never existed
  EXPECT_FALSE(bench.exists("bank05.dat"));
  bench.write_file("bank06.dat", "keep\r\n9999\r\n");
  fs::permissions(bench.dir / "bank06.dat", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  bench.run(delete_bank_file, "06");
  EXPECT_TRUE(bench.exists("bank06.dat"));
  fs::permissions(bench.dir / "bank06.dat", fs::perms::owner_all);
  EXPECT_EQ(bench.audio.spoken_text(), "inv ok ok ok");
  // A link goes, its target stays.
  bench.write_file("target.dat", "kept\r\n");
  fs::create_symlink("target.dat", bench.dir / "bank08.dat");
  bench.run(delete_bank_file, "08");
  EXPECT_FALSE(fs::is_symlink(fs::symlink_status(bench.dir / "bank08.dat")));
  EXPECT_EQ(bench.read_file("target.dat"), "kept\r\n");
}

}  // namespace
}  // namespace talvaro
