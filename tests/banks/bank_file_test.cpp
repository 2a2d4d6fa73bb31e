#include "banks/bank_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/fakes.h"

namespace talvaro {
namespace {

namespace fs = std::filesystem;
using testing::Bench;

std::string crlf_lines(const std::vector<std::string>& lines, const std::string& end = "\r\n") {
  std::string bytes;
  for (const auto& line : lines) bytes += line + end;
  return bytes;
}

const std::vector<std::string> bank07 = {"bank07", "FM", "12.5", " ", "145.5", " ", "433.075", "Repeater", "9999"};

struct Banks {
  Banks() {
    bench.prime_state();
    bench.make_clips();
  }
  Context& cx() { return *bench.cx; }
  State& st() { return bench.st; }
  std::vector<std::string> cells(int count) const {
    std::vector<std::string> out;
    for (int k = 0; k < count; ++k) out.push_back(bench.st.bank_table[static_cast<std::size_t>(k)].str());
    return out;
  }
  Bench bench;
};

TEST(LoadBank, EveryLineEndingGivesTheSameTable) {
  for (const std::string end : {"\r\n", "\n", "\r"}) {
    Banks b;
    b.bench.write_file("bank07.dat", crlf_lines(bank07, end));
    b.st().bank_table[9] = "stale";
    b.st().bank_file_name = "bank07.dat";
    b.st().selected_bank_loaded = 1;
    ASSERT_TRUE(load_bank(b.cx()));
    EXPECT_EQ(b.cells(9), bank07);
    EXPECT_EQ(b.st().bank_table[9], "") << "cells after the marker are emptied by a load";
    EXPECT_EQ(b.st().bank_last_cell, 6);
    EXPECT_EQ(b.st().bank_cell_index, 6);
    EXPECT_EQ(b.st().selected_bank_loaded, 0);
    EXPECT_TRUE(bank_has_entries(b.cx()));
    EXPECT_EQ(find_end_marker(b.cx()), 8);
  }
}

TEST(LoadBank, EndMarkerPositionsSetTheLastCell) {
  struct Case {
    std::vector<std::string> lines;
    int last_cell;
    int marker;
    bool has_entries;
  };
  const std::vector<Case> cases = {
      {{"bank03", "AM", "5", " ", "9999"}, 2, 4, false},          // no entries
      {{"Srchbank", "FM", "9999"}, 0, 2, false},                  // left by connection start
      {{"bank03", "AM", "5", " ", "99.5", "9999"}, 3, 5, false},  // a label "9999" ends the bank
      {{"bank03", "AM", "5", " ", "145", " ", "9999", "146", " ", "9999"}, 4, 6, true},
      {{"9999"}, 0, 0, false},  // indexes never point before cell 0
  };
  for (const Case& c : cases) {
    Banks b;
    b.bench.write_file("bank03.dat", crlf_lines(c.lines) + "after\r\nthe\r\nmarker\r\n");
    b.st().bank_file_name = "bank03.dat";
    ASSERT_TRUE(load_bank(b.cx()));
    EXPECT_EQ(b.st().bank_last_cell, c.last_cell) << c.lines.size();
    EXPECT_EQ(b.st().bank_cell_index, c.last_cell);
    EXPECT_EQ(find_end_marker(b.cx()), c.marker);
    EXPECT_EQ(bank_has_entries(b.cx()), c.has_entries);
    EXPECT_EQ(b.st().bank_table[static_cast<std::size_t>(c.marker + 1)], "") << "reading stops at the marker";
  }
}

TEST(LoadBank, WithoutAnEndMarkerFourHundredLinesAreReadAndTheIndexesKept) {
  Banks b;
  std::vector<std::string> lines;
  for (int i = 0; i < 450; ++i) lines.push_back("line" + std::to_string(i));
  b.bench.write_file("bank04.dat", crlf_lines(lines));
  b.st().bank_file_name = "bank04.dat";
  b.st().bank_cell_index = 10;
  b.st().bank_last_cell = 12;
  b.st().bank_table[400] = "spare";
  ASSERT_TRUE(load_bank(b.cx()));
  EXPECT_EQ(b.st().bank_table[399], "line399");
  EXPECT_EQ(b.st().bank_table[400], "spare") << "loading never goes past cell 399";
  EXPECT_EQ(b.st().bank_cell_index, 10);
  EXPECT_EQ(b.st().bank_last_cell, 12);
  EXPECT_EQ(find_end_marker(b.cx()), -1);
  EXPECT_FALSE(bank_has_entries(b.cx()));

  // A short file without a marker: missing lines read as "".
  b.bench.write_file("bank05.dat", "bank05\r\nFM");
  b.st().bank_file_name = "bank05.dat";
  ASSERT_TRUE(load_bank(b.cx()));
  EXPECT_EQ(b.cells(3), (std::vector<std::string>{"bank05", "FM", ""}));
  EXPECT_EQ(b.st().bank_table[399], "");
}

TEST(LoadBank, MissingFileSaysBnfAndLeavesTheTable) {
  Banks b;
  b.bench.write_file("bank07.dat", crlf_lines(bank07));
  b.st().bank_file_name = "bank07.dat";
  ASSERT_TRUE(load_bank(b.cx()));
  b.st().selected_bank_loaded = 1;
  b.st().bank_file_name = "bank08.dat";
  EXPECT_FALSE(load_bank(b.cx()));
  EXPECT_EQ(b.cells(9), bank07);
  EXPECT_EQ(b.st().bank_cell_index, 6);
  EXPECT_EQ(b.st().selected_bank_loaded, 0) << "a failed load also ends bank mode";
  EXPECT_EQ(b.bench.audio.spoken_text(), "bnf");

  // A folder by that name is no bank either.
  fs::create_directory(b.bench.dir / "bank09.dat");
  b.st().bank_file_name = "bank09.dat";
  EXPECT_FALSE(load_bank(b.cx()));
  EXPECT_EQ(b.cells(9), bank07);
}

TEST(LoadBank, ArbitraryBytesNeverCrash) {
  std::mt19937 random(1234);
  for (int round = 0; round < 30; ++round) {
    Banks b;
    std::string bytes(static_cast<std::size_t>(random() % 5000), '\0');
    for (char& c : bytes) c = static_cast<char>(random() % 8 == 0 ? "\r\n9"[random() % 3] : random() % 256);
    if (round % 3 == 0) bytes += "\n9999\n";
    b.bench.write_file("bank01.dat", bytes);
    b.st().bank_file_name = "bank01.dat";
    ASSERT_TRUE(load_bank(b.cx()));
    for (const Text& cell : b.st().bank_table) EXPECT_LE(cell.size(), Text::capacity);
    save_bank(b.cx());
  }
}

TEST(SaveBank, WritesUpToAndIncludingTheMarkerInCrLfLines) {
  Banks b;
  for (std::size_t k = 0; k < bank07.size(); ++k) b.st().bank_table[k] = bank07[k];
  b.st().bank_table[9] = "junk after the marker";
  b.st().bank_table[10] = "9999";
  b.st().bank_file_name = "bank07.dat";
  save_bank(b.cx());
  EXPECT_EQ(b.bench.read_file("bank07.dat"), crlf_lines(bank07));
  EXPECT_FALSE(b.bench.exists("bank07.dat.tmp"));

  // Round trip.
  b.st().bank_table = BankTable{};
  ASSERT_TRUE(load_bank(b.cx()));
  EXPECT_EQ(b.cells(9), bank07);
  EXPECT_EQ(b.bench.audio.spoken_text(), "");
}

TEST(SaveBank, ATableWithoutMarkerIsSavedAsFourHundredLines) {
  Banks b;
  for (int k = 0; k < bank_table_size; ++k) b.st().bank_table[static_cast<std::size_t>(k)] = std::to_string(k);
  b.st().bank_table[400] = "9999";  // beyond what a save writes
  b.st().bank_file_name = "bank02.dat";
  save_bank(b.cx());
  std::vector<std::string> expected;
  for (int k = 0; k < 400; ++k) expected.push_back(std::to_string(k));
  EXPECT_EQ(b.bench.read_file("bank02.dat"), crlf_lines(expected));
}

TEST(SaveBank, AnInterruptedSaveLeavesTheOldBankWhole) {
  Banks b;
  const std::string old_bank = crlf_lines({"bank06", "AM", "5", " ", "99.5", " ", "9999"});
  b.bench.write_file("bank06.dat", old_bank);
  for (std::size_t k = 0; k < bank07.size(); ++k) b.st().bank_table[k] = bank07[k];
  b.st().bank_file_name = "bank06.dat";

  const auto pending = write_bank_temp(b.cx());
  ASSERT_TRUE(pending.has_value());
  // The program stops here: the old file is untouched, the new one complete
  // beside it.
  EXPECT_EQ(b.bench.read_file("bank06.dat"), old_bank);
  EXPECT_EQ(b.bench.read_file("bank06.dat.tmp"), crlf_lines(bank07));

  commit_bank_save(*pending);
  EXPECT_EQ(b.bench.read_file("bank06.dat"), crlf_lines(bank07));
  EXPECT_FALSE(b.bench.exists("bank06.dat.tmp"));
}

TEST(SaveBank, AReadOnlyTargetIsLeftAlone) {
  Banks b;
  const std::string old_bank = crlf_lines({"bank06", "AM", "5", " ", "9999"});
  b.bench.write_file("bank06.dat", old_bank);
  fs::permissions(b.bench.dir / "bank06.dat", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  for (std::size_t k = 0; k < bank07.size(); ++k) b.st().bank_table[k] = bank07[k];
  b.st().bank_file_name = "bank06.dat";
  save_bank(b.cx());
  EXPECT_EQ(b.bench.read_file("bank06.dat"), old_bank);
  EXPECT_FALSE(b.bench.exists("bank06.dat.tmp"));

  // A writable file keeps its permission bits across a save.
  const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(b.bench.dir / "bank06.dat", mode);
  save_bank(b.cx());
  EXPECT_EQ(b.bench.read_file("bank06.dat"), crlf_lines(bank07));
  EXPECT_EQ(fs::status(b.bench.dir / "bank06.dat").permissions() & fs::perms::all, mode);
}

TEST(SaveBank, ASymbolicLinkIsSavedThroughAndStaysALink) {
  Banks b;
  fs::create_directory(b.bench.dir / "store");
  b.bench.write_file("store/real.dat", "old\r\n9999\r\n");
  fs::create_symlink("store/real.dat", b.bench.dir / "bank07.dat");
  for (std::size_t k = 0; k < bank07.size(); ++k) b.st().bank_table[k] = bank07[k];
  b.st().bank_file_name = "bank07.dat";
  save_bank(b.cx());
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(b.bench.dir / "bank07.dat")));
  EXPECT_EQ(b.bench.read_file("store/real.dat"), crlf_lines(bank07));
  EXPECT_FALSE(b.bench.exists("store/real.dat.tmp"));
  EXPECT_FALSE(b.bench.exists("bank07.dat.tmp"));

  // A dangling link creates its target; a loop of links saves nothing.
  fs::create_symlink("store/new.dat", b.bench.dir / "bank08.dat");
  b.st().bank_file_name = "bank08.dat";
  save_bank(b.cx());
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(b.bench.dir / "bank08.dat")));
  EXPECT_EQ(b.bench.read_file("store/new.dat"), crlf_lines(bank07));
  fs::create_symlink("loop2.dat", b.bench.dir / "loop1.dat");
  fs::create_symlink("loop1.dat", b.bench.dir / "loop2.dat");
  b.st().bank_file_name = "loop1.dat";
  save_bank(b.cx());
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(b.bench.dir / "loop1.dat")));
}

TEST(SaveBank, AFolderInTheWayOrAnEmptyNameSavesNothing) {
  Banks b;
  for (std::size_t k = 0; k < bank07.size(); ++k) b.st().bank_table[k] = bank07[k];
  fs::create_directory(b.bench.dir / "bank07.dat");
  b.st().bank_file_name = "bank07.dat";
  save_bank(b.cx());
  EXPECT_TRUE(fs::is_directory(b.bench.dir / "bank07.dat"));
  b.st().bank_file_name = "";
  save_bank(b.cx());
  EXPECT_FALSE(b.bench.exists(".tmp"));
}

}  // namespace
}  // namespace talvaro
