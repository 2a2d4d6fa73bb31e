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
using Lines = std::vector<std::string>;

std::string lines_of(const Lines& lines, const std::string& end = "\r\n") {
  std::string bytes;
  for (const auto& line : lines) bytes += line + end;
  return bytes;
}

const Lines bank07 = {"bank07", "FM", "12.5", " ", "145.5", " ", "433.075", "Repeater", "9999"};

struct Banks : testing::Bench {
  Banks() {
    prime_state();
    make_clips();
  }
  bool load(const std::string& name, const std::string& bytes) {
    write_file(name, bytes);
    st.bank_file_name = name;
    return load_bank(*cx);
  }
  // Puts bank07 into the table and saves it under the name.
  void save_bank07(const std::string& name) {
    for (std::size_t k = 0; k < bank07.size(); ++k) st.bank_table[k] = bank07[k];
    st.bank_file_name = name;
    save_bank(*cx);
  }
  Lines cells(std::size_t count) const {
    Lines out;
    for (std::size_t k = 0; k < count; ++k) out.push_back(st.bank_table[k].str());
    return out;
  }
  bool is_link(const std::string& name) const { return fs::is_symlink(fs::symlink_status(dir / name)); }
};

TEST(LoadBank, ReadsUpToTheFirstEndMarkerWhateverTheLineEnds) {
  struct Case {
    Lines lines;
    std::string end;
    int last_cell, marker;
    bool has_entries;
  };
  const std::vector<Case> cases = {
      {bank07, "\r\n", 6, 8, true},
      {bank07, "\n", 6, 8, true},
      {bank07, "\r", 6, 8, true},
      {{"bank03", "AM", "5", " ", "9999"}, "\r\n", 2, 4, false},          // no entries
      {{"Srchbank", "FM", "9999"}, "\r\n", 0, 2, false},                  // left by connection start
      {{"bank03", "AM", "5", " ", "99.5", "9999"}, "\r\n", 3, 5, false},  // a label "9999" ends the bank
      {{"bank03", "AM", "5", " ", "145", " ", "9999", "146", " ", "9999"}, "\n", 4, 6, true},
      {{"9999"}, "\r\n", 0, 0, false},  // indexes never point before cell 0
  };
  for (const Case& c : cases) {
    Banks b;
    const auto after = static_cast<std::size_t>(c.marker + 1);
    b.st.bank_table[after] = "stale";
    b.st.selected_bank_loaded = 1;
    ASSERT_TRUE(b.load("bank03.dat", lines_of(c.lines, c.end) + "after\r\nthe\r\nmarker\r\n"));
    EXPECT_EQ(b.cells(after), (Lines{c.lines.begin(), c.lines.begin() + c.marker + 1})) << c.lines.size();
    EXPECT_EQ(b.st.bank_table[after], "") << "cells after the marker are emptied";
    EXPECT_EQ(b.st.bank_last_cell, c.last_cell);
    EXPECT_EQ(b.st.bank_cell_index, c.last_cell);
    EXPECT_EQ(find_end_marker(*b.cx), c.marker);
    EXPECT_EQ(bank_has_entries(*b.cx), c.has_entries);
    EXPECT_EQ(b.st.selected_bank_loaded, 0);
  }
}

TEST(LoadBank, WithoutAnEndMarkerFourHundredLinesAreReadAndTheIndexesKept) {
  Banks b;
  Lines lines;
  for (int i = 0; i < 450; ++i) lines.push_back("line" + std::to_string(i));
  b.st.bank_cell_index = 10;
  b.st.bank_table[400] = "spare";
  ASSERT_TRUE(b.load("bank04.dat", lines_of(lines)));
  EXPECT_EQ(b.st.bank_table[399], "line399");
  EXPECT_EQ(b.st.bank_table[400], "spare") << "loading never goes past cell 399";
  EXPECT_EQ(b.st.bank_cell_index, 10);
  EXPECT_EQ(find_end_marker(*b.cx), -1);
  ASSERT_TRUE(b.load("bank05.dat", "bank05\r\nFM"));  // missing lines read as ""
  EXPECT_EQ(b.cells(3), (Lines{"bank05", "FM", ""}));
  EXPECT_EQ(b.st.bank_table[399], "");
}

TEST(LoadBank, MissingFileOrFolderSaysBnfAndLeavesTheTable) {
  Banks b;
  ASSERT_TRUE(b.load("bank07.dat", lines_of(bank07)));
  b.st.selected_bank_loaded = 1;
  b.st.bank_file_name = "bank08.dat";
  EXPECT_FALSE(load_bank(*b.cx));
  fs::create_directory(b.dir / "bank09.dat");
  b.st.bank_file_name = "bank09.dat";
  EXPECT_FALSE(load_bank(*b.cx));
  EXPECT_EQ(b.cells(9), bank07);
  EXPECT_EQ(b.st.bank_cell_index, 6);
  EXPECT_EQ(b.st.selected_bank_loaded, 0) << "a failed load also ends bank mode";
  EXPECT_EQ(b.audio.spoken_text(), "bnf bnf");
}

TEST(LoadBank, ArbitraryBytesNeverCrash) {
  std::mt19937 random(1234);
  for (int round = 0; round < 30; ++round) {
    Banks b;
    std::string bytes(static_cast<std::size_t>(random() % 5000), '\0');
    for (char& c : bytes) c = random() % 8 == 0 ? "\r\n9"[random() % 3] : static_cast<char>(random() % 256);
    ASSERT_TRUE(b.load("bank01.dat", bytes + (round % 3 == 0 ? "\n9999\n" : "")));
    for (const Text& cell : b.st.bank_table) EXPECT_LE(cell.size(), Text::capacity);
    save_bank(*b.cx);
  }
}

TEST(SaveBank, ReplacesOnlyAWritableTargetAndSaysWhetherItDid) {
  Banks b;
  const std::string old_bank = lines_of({"bank06", "AM", "5", " ", "99.5", " ", "9999"});
  b.write_file("bank06.dat", old_bank);
  for (std::size_t k = 0; k < bank07.size(); ++k) b.st.bank_table[k] = bank07[k];
  b.st.bank_table[9] = "junk after the marker";  // a save stops at the marker
  b.st.bank_file_name = "bank06.dat";
  EXPECT_TRUE(save_bank(*b.cx));
  EXPECT_EQ(b.read_file("bank06.dat"), lines_of(bank07));
  EXPECT_FALSE(b.exists("bank06.dat.tmp"));

  // A read-only target is left alone; a writable one keeps its mode.
  b.write_file("bank06.dat", old_bank);
  fs::permissions(b.dir / "bank06.dat", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_FALSE(save_bank(*b.cx));
  EXPECT_EQ(b.read_file("bank06.dat"), old_bank);
  EXPECT_FALSE(b.exists("bank06.dat.tmp"));
  const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(b.dir / "bank06.dat", mode);
  EXPECT_TRUE(save_bank(*b.cx));
  EXPECT_EQ(b.read_file("bank06.dat"), lines_of(bank07));
  EXPECT_EQ(fs::status(b.dir / "bank06.dat").permissions() & fs::perms::all, mode);

  // The temporary file's name held by a folder: the save fails, the old file
  // stays whole.
  b.write_file("bank06.dat", old_bank);
  fs::create_directories(b.dir / "bank06.dat.tmp" / "inside");
  EXPECT_FALSE(save_bank(*b.cx));
  EXPECT_EQ(b.read_file("bank06.dat"), old_bank);
}

TEST(SaveBank, LinksAreSavedThroughAndStayLinks) {
  Banks b;
  fs::create_directory(b.dir / "store");
  b.write_file("store/real.dat", "old\r\n9999\r\n");
  fs::create_symlink("store/real.dat", b.dir / "bank07.dat");
  fs::create_symlink("store/new.dat", b.dir / "bank08.dat");
  for (const std::string name : {"bank07", "bank08"}) {
    b.save_bank07(name + ".dat");
    EXPECT_TRUE(b.is_link(name + ".dat"));
  }
  EXPECT_EQ(b.read_file("store/real.dat"), lines_of(bank07));
  EXPECT_EQ(b.read_file("store/new.dat"), lines_of(bank07)) << "a dangling link creates its target";
  EXPECT_FALSE(b.exists("store/real.dat.tmp") || b.exists("bank07.dat.tmp"));
  // A loop of links or a folder in the way saves nothing.
  fs::create_symlink("loop2.dat", b.dir / "loop1.dat");
  fs::create_symlink("loop1.dat", b.dir / "loop2.dat");
  b.save_bank07("loop1.dat");
  EXPECT_TRUE(b.is_link("loop1.dat"));
  fs::create_directory(b.dir / "bank09.dat");
  b.save_bank07("bank09.dat");
  EXPECT_TRUE(fs::is_directory(b.dir / "bank09.dat"));
}

}  // namespace
}  // namespace talvaro
