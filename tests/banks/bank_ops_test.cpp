#include "banks/bank_ops.h"

#include <gtest/gtest.h>

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

TEST(BankOps, SelectTunesTheFirstEntryAndBrowsingWrapsBothWays) {
  BankBench bench;
  bench.write_file("bank05.dat", bank_file("bank05", "AM", "25", three_entries));
  bench.run(select_bank, "05");
  EXPECT_EQ(bench.st.bank_file_name, "bank05.dat");
  EXPECT_EQ(bench.st.bank_scan_state, 1);
  EXPECT_EQ(bench.st.selected_bank_loaded, 1);
  EXPECT_EQ(bench.st.bank_cell_index, 4);
  EXPECT_EQ(bench.st.frequency_text, "145.5");
  EXPECT_EQ(bench.st.mode_text, "AM");
  EXPECT_EQ(bench.st.step_text, "25");
  // A pause before the load, the tune, the mode and the step.
  EXPECT_EQ(bench.audio.spoken_text(true), "shdel shdel shdel am shdel sel");
  const Commands sent = bench.take_commands();
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent.front(), vfo_command("VA", "145.5"));
  EXPECT_EQ(sent.back(), step_command("25"));

  // Down from the first entry goes to the last one.
  bench.forget();
  step_entry(*bench.cx, false);
  EXPECT_EQ(bench.st.bank_cell_index, 8);
  EXPECT_EQ(bench.take_commands(), Commands{vfo_command("VA", "29.7")});
  EXPECT_EQ(bench.display.text_at(300, 370), "Ten metres");
  EXPECT_EQ(bench.audio.spoken_text(), "");

  // Up from the last entry comes back to the first, with a beep.
  step_entry(*bench.cx, true);
  EXPECT_EQ(bench.st.bank_cell_index, 4);
  EXPECT_EQ(bench.st.frequency_text, "145.5");
  EXPECT_EQ(bench.take_commands(), Commands{vfo_command("VA", "145.5")});
  EXPECT_EQ(bench.audio.spoken_text(), "beep");

  step_entry(*bench.cx, true);
  EXPECT_EQ(bench.st.frequency_text, "433.075");
  EXPECT_EQ(bench.display.text_at(300, 370), "Repeater");
  EXPECT_EQ(bench.audio.spoken_text(), "beep");
}

TEST(BankOps, KeysSelectBrowseAndKillEntries) {
  BankBench bench;
  bench.write_file("bank05.dat", bank_file("bank05", "FM", "12.5", three_entries));
  bench.keys({'B', '0', '5', key::enter});
  EXPECT_EQ(bench.audio.spoken_text(), "bank 0 5 fm sel");
  EXPECT_EQ(bench.st.bank_scan_state, 1);

  bench.forget();
  bench.keys({key::down});
  EXPECT_EQ(bench.st.frequency_text, "29.7");
  bench.keys({key::up});
  EXPECT_EQ(bench.st.frequency_text, "145.5");
  EXPECT_EQ(bench.audio.spoken_text(), "beep");

  bench.forget();
  bench.keys({'K', key::enter});
  EXPECT_EQ(bench.audio.spoken_text(), "kill ok");
  EXPECT_EQ(bench.st.frequency_text, "433.075");
  EXPECT_EQ(bench.read_file("bank05.dat"),
            bank_file("bank05", "FM", "12.5", {{"433.075", "Repeater"}, {"29.7", "Ten metres"}}));

  // Another bank loaded since (a put): K, Up and Down change nothing.
  bench.forget();
  bench.st.frequency_text = "146";
  bench.keys({'P', '0', '6', key::enter, 'K', key::up});
  EXPECT_EQ(bench.read_file("bank05.dat"),
            bank_file("bank05", "FM", "12.5", {{"433.075", "Repeater"}, {"29.7", "Ten metres"}}));
  EXPECT_EQ(bench.read_file("bank06.dat"), bank_file("bank06", "FM", "12.5", {{"146", " "}}));
  EXPECT_EQ(bench.st.frequency_text, "146");
  EXPECT_EQ(bench.audio.spoken_text(), "put 0 6 bnf create 0 6 ok inv inv");
}

TEST(BankOps, BankModeBelongsToTheBankThatWasSelected) {
  BankBench bench;
  const std::string bank05 = bank_file("bank05", "FM", "12.5", three_entries);
  const std::string bank06 = bank_file("bank06", "FM", "12.5", {{"146", " "}});
  bench.write_file("bank05.dat", bank05);
  bench.write_file("bank06.dat", bank06);
  bench.run(select_bank, "05");
  ASSERT_EQ(bench.st.bank_scan_state, 1);

  // Putting into bank 06 loads it; browsing and deleting are refused until
  // bank 05 is selected again.
  bench.st.frequency_text = "146";
  bench.run(put_memory, "06");
  bench.forget();
  step_entry(*bench.cx, true);
  step_entry(*bench.cx, false);
  delete_entry(*bench.cx);
  EXPECT_EQ(bench.audio.spoken_text(), "inv inv inv");
  EXPECT_TRUE(bench.take_commands().empty());
  EXPECT_EQ(bench.read_file("bank05.dat"), bank05);
  EXPECT_EQ(bench.read_file("bank06.dat"), bank06);
}

TEST(BankOps, SelectingAnEmptyOrMissingBankTunesNothing) {
  BankBench bench;
  bench.write_file("bank08.dat", bank_file("bank08", "FM", "12.5", {}));
  bench.st.bank_scan_state = 1;
  bench.run(select_bank, "08");
  EXPECT_EQ(bench.audio.spoken_text(), "inv");
  EXPECT_EQ(bench.st.bank_scan_state, 0);
  EXPECT_TRUE(bench.take_commands().empty());
  EXPECT_EQ(bench.st.frequency_text, "145");

  // A missing bank leaves the name changed and zeroes the three states.
  bench.forget();
  bench.st.bank_scan_state = 3;
  bench.st.receiver_scan_state = 2;
  bench.st.search_state = 1;
  bench.run(select_bank, "09");
  EXPECT_EQ(bench.audio.spoken_text(), "bnf");
  EXPECT_EQ(bench.st.bank_file_name, "bank09.dat");
  EXPECT_EQ(bench.st.bank_scan_state, 0);
  EXPECT_EQ(bench.st.receiver_scan_state, 0);
  EXPECT_EQ(bench.st.search_state, 0);
  EXPECT_TRUE(bench.take_commands().empty());
}

TEST(BankOps, PutStoresTheFrequencyOnceInABankOfTheSameMode) {
  BankBench bench;
  const std::string bank05 = bank_file("bank05", "FM", "12.5", {{"145.5", "Net"}});
  bench.write_file("bank05.dat", bank05);
  bench.st.frequency_text = "145.5";

  // Already there: "ok" and not a byte changed.
  bench.run(put_memory, "05");
  EXPECT_EQ(bench.audio.spoken_text(), "ok");
  EXPECT_EQ(bench.read_file("bank05.dat"), bank05);

  // Another mode: nothing merged.
  bench.forget();
  bench.st.mode_text = "AM";
  bench.run(put_memory, "05");
  EXPECT_EQ(bench.audio.spoken_text(), "incmode");
  EXPECT_EQ(bench.read_file("bank05.dat"), bank05);

  // A new frequency goes to the end with a blank label; with four digits the
  // last two name the bank.
  bench.forget();
  bench.st.mode_text = "FM";
  bench.st.frequency_text = "146.025";
  bench.run(put_memory, "9905");
  EXPECT_EQ(bench.audio.spoken_text(), "ok");
  EXPECT_EQ(bench.read_file("bank05.dat"), bank_file("bank05", "FM", "12.5", {{"145.5", "Net"}, {"146.025", " "}}));
  EXPECT_EQ(bench.st.entry_mode, 0);
}

TEST(BankOps, PutIntoAMissingBankCreatesIt) {
  BankBench bench;
  bench.st.frequency_text = "145.5";
  bench.run(put_memory, "07");
  EXPECT_EQ(bench.audio.spoken_text(), "bnf create 0 7 ok");
  EXPECT_EQ(bench.read_file("bank07.dat"), "bank07\r\nFM\r\n12.5\r\n \r\n145.5\r\n \r\n9999\r\n");
}

TEST(BankOps, CopyMergesTheSourceIntoTheTarget) {
  BankBench bench;
  bench.write_file("bank00.dat", bank_file("Srchbank", "FM", "12.5", {{"145.5", "Net"}, {"146", " "}}));
  bench.write_file("bank01.dat", bank_file("bank01", "FM", "25", {{"430", "Rep"}, {"145.5", "Other"}}));
  bench.write_file("bank05.dat", bank_file("bank05", "FM", "12.5", {{"146", "Mine"}}));

  // Two digits: bank 0 into bank 5; entries already there keep their labels.
  bench.run(copy_bank, "05");
  EXPECT_EQ(bench.audio.spoken_text(), "ok");
  EXPECT_EQ(bench.read_file("bank05.dat"), bank_file("bank05", "FM", "12.5", {{"146", "Mine"}, {"145.5", "Net"}}));

  // Four digits: bank 1 into bank 5.
  bench.forget();
  bench.run(copy_bank, "0105");
  EXPECT_EQ(bench.audio.spoken_text(), "ok");
  EXPECT_EQ(bench.read_file("bank05.dat"),
            bank_file("bank05", "FM", "12.5", {{"146", "Mine"}, {"145.5", "Net"}, {"430", "Rep"}}));

  // A missing target is created under its own two digits, with the source's
  // header.
  bench.forget();
  bench.run(copy_bank, "0109");
  EXPECT_EQ(bench.audio.spoken_text(), "bnf create 0 9 ok");
  EXPECT_EQ(bench.read_file("bank09.dat"), bank_file("bank09", "FM", "25", {{"430", "Rep"}, {"145.5", "Other"}}));
}

TEST(BankOps, CopyCreatesAMissingSourceUnderItsOwnDigits) {
  BankBench bench;
  const std::string bank05 = bank_file("bank05", "FM", "12.5", {{"146", " "}});
  bench.write_file("bank05.dat", bank05);
  bench.run(copy_bank, "0305");
  EXPECT_EQ(bench.audio.spoken_text(), "bnf create 0 3 ok");
  EXPECT_EQ(bench.read_file("bank03.dat"), bank_file("bank03", "FM", "12.5", {}));
  EXPECT_EQ(bench.read_file("bank05.dat"), bank05);

  bench.forget();
  bench.run(copy_bank, "05");
  EXPECT_EQ(bench.audio.spoken_text(), "bnf create 0 0 ok");
  EXPECT_EQ(bench.read_file("bank00.dat"), bank_file("bank00", "FM", "12.5", {}));
}

TEST(BankOps, MergeAddsEachFrequencyOnceEvenFromADuplicatedSource) {
  BankBench bench;
  bench.write_file("bank01.dat", bank_file("bank01", "FM", "12.5", {{"430", "a"}, {"431", "b"}, {"430", "c"}}));
  bench.write_file("bank02.dat", bank_file("bank02", "FM", "12.5", {}));
  bench.run(copy_bank, "0102");
  EXPECT_EQ(bench.read_file("bank02.dat"), bank_file("bank02", "FM", "12.5", {{"430", "a"}, {"431", "b"}}));
}

TEST(BankOps, MergeRefusesBanksLongerThanNinetyOneEntries) {
  BankBench bench;
  const std::string long_bank = bank_file("bank06", "FM", "12.5", numbered_entries(95));
  bench.write_file("bank06.dat", long_bank);
  bench.st.frequency_text = "145.5";
  bench.run(put_memory, "06");
  EXPECT_EQ(bench.audio.spoken_text(), "n");
  EXPECT_EQ(bench.read_file("bank06.dat"), long_bank);

  // A long source adds nothing either.
  bench.forget();
  const std::string short_bank = bank_file("bank07", "FM", "12.5", {{"145.5", " "}});
  bench.write_file("bank01.dat", bank_file("bank01", "FM", "12.5", numbered_entries(95)));
  bench.write_file("bank07.dat", short_bank);
  bench.run(copy_bank, "0107");
  EXPECT_EQ(bench.audio.spoken_text(), "n");
  EXPECT_EQ(bench.read_file("bank07.dat"), short_bank);
}

TEST(BankOps, SortOrdersByNumberAndDropsRepeatedFrequencies) {
  BankBench bench;
  bench.write_file("bank04.dat",
                   bank_file("bank04", "FM", "12.5", {{"146", "a"}, {"145.5", "b"}, {"145.5", "c"}, {"144", "d"}}));
  bench.run(sort_bank, "04");
  EXPECT_EQ(bench.audio.spoken_text(), "ok");
  EXPECT_EQ(bench.read_file("bank04.dat"),
            bank_file("bank04", "FM", "12.5", {{"144", "d"}, {"145.5", "b"}, {"146", "a"}}));

  // Numbers, not texts: 99.5 before 145; a frequency above 9999 stays before
  // the end marker.
  bench.write_file("bank04.dat", bank_file("bank04", "FM", "12.5", {{"12000", " "}, {"145", " "}, {"99.5", " "}}));
  bench.run(sort_bank, "04");
  EXPECT_EQ(bench.read_file("bank04.dat"),
            bank_file("bank04", "FM", "12.5", {{"99.5", " "}, {"145", " "}, {"12000", " "}}));

  // Of three equal neighbours only the second is dropped.
  bench.write_file("bank04.dat", bank_file("bank04", "FM", "12.5", {{"145", "a"}, {"145", "b"}, {"145", "c"}}));
  bench.run(sort_bank, "04");
  EXPECT_EQ(bench.read_file("bank04.dat"), bank_file("bank04", "FM", "12.5", {{"145", "a"}, {"145", "c"}}));
}

TEST(BankOps, SortWithoutEntriesSavesNothing) {
  BankBench bench;
  // Line ends a save would change: the file must stay as it is.
  const std::string empty = "bank04\nFM\n12.5\n \n9999\n";
  bench.write_file("bank04.dat", empty);
  bench.run(sort_bank, "04");
  EXPECT_EQ(bench.audio.spoken_text(), "ok");
  EXPECT_EQ(bench.read_file("bank04.dat"), empty);

  // A label "9999" ends the bank at an odd line: no valid end marker.
  bench.forget();
  const std::string broken = "bank04\nFM\n12.5\n \n146\n9999\n145\n \n9999\n";
  bench.write_file("bank04.dat", broken);
  bench.run(sort_bank, "04");
  EXPECT_EQ(bench.audio.spoken_text(), "inv");
  EXPECT_EQ(bench.read_file("bank04.dat"), broken);
}

TEST(BankOps, DeletingEntriesMovesTheRestUpAndSaves) {
  BankBench bench;
  bench.write_file("bank05.dat", bank_file("bank05", "FM", "12.5", three_entries));
  bench.run(select_bank, "05");
  bench.forget();
  // The first entry: the next one takes its place and is tuned.
  delete_entry(*bench.cx);
  EXPECT_EQ(bench.audio.spoken_text(), "ok");
  EXPECT_EQ(bench.take_commands(), Commands{vfo_command("VA", "433.075")});
  EXPECT_EQ(bench.read_file("bank05.dat"),
            bank_file("bank05", "FM", "12.5", {{"433.075", "Repeater"}, {"29.7", "Ten metres"}}));
  // Down from the first entry reaches the bank's real last entry, not the
  // cell the load had seen as last.
  step_entry(*bench.cx, false);
  EXPECT_EQ(bench.st.bank_cell_index, 6);
  EXPECT_EQ(bench.display.text_at(300, 370), "Ten metres");
  // Deleting the last entry goes back to the first.
  bench.forget();
  delete_entry(*bench.cx);
  EXPECT_EQ(bench.st.bank_cell_index, 4);
  EXPECT_EQ(bench.take_commands(), Commands{vfo_command("VA", "433.075")});
  EXPECT_EQ(bench.read_file("bank05.dat"), bank_file("bank05", "FM", "12.5", {{"433.075", "Repeater"}}));
  EXPECT_EQ(bench.audio.spoken_text(), "ok");
}

TEST(BankOps, DeletingTheOnlyEntryLeavesAnEmptyBankAndBankMode) {
  BankBench bench;
  bench.write_file("bank05.dat", bank_file("bank05", "FM", "12.5", {{"145.5", " "}}));
  bench.run(select_bank, "05");
  bench.forget();
  bench.st.entry_mode = 11;
  delete_entry(*bench.cx);
  EXPECT_EQ(bench.audio.spoken_text(), "ok");
  EXPECT_TRUE(bench.take_commands().empty());
  EXPECT_EQ(bench.read_file("bank05.dat"), bank_file("bank05", "FM", "12.5", {}));
  EXPECT_EQ(bench.st.bank_scan_state, 0);
  EXPECT_EQ(bench.st.entry_mode, 0);
}

TEST(BankOps, DeletingInALongBankMovesEveryFollowingEntry) {
  BankBench bench;
  Entries entries = numbered_entries(100);
  bench.write_file("bank05.dat", bank_file("bank05", "FM", "12.5", entries));
  bench.run(select_bank, "05");
  delete_entry(*bench.cx);
  entries.erase(entries.begin());
  EXPECT_EQ(bench.read_file("bank05.dat"), bank_file("bank05", "FM", "12.5", entries));
  EXPECT_EQ(bench.st.frequency_text, "101.5");
}

TEST(BankOps, DeleteBankFileNeedsTwoDigitsAndSparesReadOnlyFiles) {
  namespace fs = std::filesystem;
  BankBench bench;
  bench.write_file("bank05.dat", bank_file("bank05", "FM", "12.5", {}));
  bench.st.entry_mode = 10;
  bench.run(delete_bank_file, "5");
  EXPECT_EQ(bench.audio.spoken_text(), "inv");
  EXPECT_EQ(bench.st.entry_mode, 0);
  EXPECT_TRUE(bench.exists("bank05.dat"));

  bench.forget();
  bench.run(delete_bank_file, "05");
  bench.run(delete_bank_file, "07");  // never existed
  EXPECT_EQ(bench.audio.spoken_text(), "ok ok");
  EXPECT_FALSE(bench.exists("bank05.dat"));

  // No write permission bits: left alone (root would be allowed to delete it).
  bench.forget();
  bench.write_file("bank06.dat", "keep\r\n9999\r\n");
  fs::permissions(bench.dir / "bank06.dat", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  bench.run(delete_bank_file, "06");
  EXPECT_EQ(bench.audio.spoken_text(), "ok");
  EXPECT_TRUE(bench.exists("bank06.dat"));
  fs::permissions(bench.dir / "bank06.dat", fs::perms::owner_all);

  // A link goes, its target stays.
  bench.write_file("target.dat", "kept\r\n");
  fs::create_symlink("target.dat", bench.dir / "bank08.dat");
  bench.run(delete_bank_file, "08");
  EXPECT_FALSE(fs::is_symlink(fs::symlink_status(bench.dir / "bank08.dat")));
  EXPECT_EQ(bench.read_file("target.dat"), "kept\r\n");
}

}  // namespace
}  // namespace talvaro
