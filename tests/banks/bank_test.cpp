// The bank file, the bank operations and the transfers, driven by keys.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <tuple>

#include "banks/bank_file.h"
#include "banks/bank_ops.h"
#include "banks/transfer.h"
#include "commands/keys.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

namespace fs = std::filesystem;
using testing::Answers;
using testing::bank_file;
using testing::Panel;
using Files = std::map<std::string, std::string>;
using Entries = std::vector<std::pair<std::string, std::string>>;

// n entries 100.5, 101.5, ... labelled L0, L1, ...
Entries numbered(int n, Entries tail = {}) {
  Entries entries;
  for (int k = 0; k < n; ++k) entries.emplace_back(std::to_string(100 + k) + ".5", "L" + std::to_string(k));
  entries.insert(entries.end(), tail.begin(), tail.end());
  return entries;
}
std::string fm(const std::string& name, const Entries& entries) { return bank_file(name, "FM", "12.5", entries); }

TEST(BankFile, LoadReadsUpToTheFirstEndMarkerWhateverTheLineEnds) {
  const std::vector<std::string> bank07 = {"bank07", "FM", "12.5", " ", "145.5", " ", "433.075", "Rep", "9999"};
  struct Case {
    std::vector<std::string> cells;
    std::string end;
    int last_cell, marker;
  };
  for (const Case& c : std::vector<Case>{
           {bank07, "\r\n", 6, 8},
           {{"Srchbank", "FM", "9999"}, "\r\n", 0, 2},                  // left by connection start
           {{"bank03", "AM", "5", " ", "99.5", "9999"}, "\r\n", 3, 5},  // a label "9999" ends the bank
           {{"bank03", "AM", "5", " ", "145", " ", "9999", "146", " ", "9999"}, "\n", 4, 6},
           {{"9999"}, "\r\n", 0, 0},
       }) {
    testing::Bench b;
    const auto after = static_cast<std::size_t>(c.marker + 1);
    b.st.bank_table[after] = "stale";
    b.st.selected_bank_loaded = 1;
    std::string bytes;
    for (const auto& cell : c.cells) bytes += cell + c.end;
    b.write_file("bank03.dat", bytes + "after\r\nthe\r\nmarker\r\n");
    b.st.bank_file_name = "bank03.dat";
    ASSERT_TRUE(load_bank(*b.cx));
    for (std::size_t k = 0; k <= after; ++k) EXPECT_EQ(b.st.bank_table[k], k < after ? c.cells[k] : "") << k;
    EXPECT_EQ(std::tuple(b.st.bank_last_cell, b.st.bank_cell_index, b.st.selected_bank_loaded),
              std::tuple(c.last_cell, c.last_cell, 0));
  }
  // Without a marker 400 lines are read and the indexes kept; missing lines read as "".
  testing::Bench b;
  b.make_clips();
  b.prime_state();
  std::string many;
  for (int i = 0; i < 450; ++i) many += "line" + std::to_string(i) + "\n";
  b.write_file("bank04.dat", many);
  b.st.bank_file_name = "bank04.dat";
  b.st.bank_cell_index = 10;
  b.st.bank_table[400] = "spare";
  ASSERT_TRUE(load_bank(*b.cx));
  EXPECT_EQ(std::tuple(b.st.bank_table[399].str(), b.st.bank_table[400].str(), b.st.bank_cell_index),
            std::tuple("line399", "spare", 10));
  // A missing file or a folder says "bnf" and leaves the table.
  fs::create_directory(b.dir / "bank09.dat");
  for (const char* name : {"bank08.dat", "bank09.dat"}) {
    b.st.bank_file_name = name;
    EXPECT_FALSE(load_bank(*b.cx));
  }
  EXPECT_EQ(b.st.bank_table[399], "line399");
  EXPECT_EQ(b.audio.spoken_text(), "bnf bnf");
}

TEST(BankFile, SaveReplacesOnlyWritableTargetsAndSavesThroughLinks) {
  testing::Bench b;
  const std::string old_bank = fm("bank06", {{"99.5", " "}});
  const std::string bank07 = fm("bank07", {{"145.5", " "}});
  b.write_file("bank07.dat", bank07);
  b.st.bank_file_name = "bank07.dat";
  ASSERT_TRUE(load_bank(*b.cx));
  b.st.bank_table[9] = "junk after the marker";
  const auto save_as = [&](const std::string& name) {
    b.st.bank_file_name = name;
    return save_bank(*b.cx);
  };
  b.write_file("bank06.dat", old_bank);
  // A replaced file keeps its mode.
  const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(b.dir / "bank06.dat", mode);
  EXPECT_TRUE(save_as("bank06.dat"));
  EXPECT_EQ(b.read_file("bank06.dat"), bank07);
  EXPECT_EQ(fs::status(b.dir / "bank06.dat").permissions() & fs::perms::all, mode);
  // Links are saved through and stay links; a dangling one creates its target.
  fs::create_directory(b.dir / "store");
  b.write_file("store/real.dat", old_bank);
  fs::create_symlink("store/real.dat", b.dir / "bank08.dat");
  fs::create_symlink("store/new.dat", b.dir / "bank09.dat");
  EXPECT_TRUE(save_as("bank08.dat") && save_as("bank09.dat"));
  EXPECT_EQ(b.read_file("store/real.dat") + b.read_file("store/new.dat"), bank07 + bank07);
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(b.dir / "bank08.dat")));
  // A loop of links or a folder in the way saves nothing.
  fs::create_symlink("loop2.dat", b.dir / "loop1.dat");
  fs::create_symlink("loop1.dat", b.dir / "loop2.dat");
  fs::create_directory(b.dir / "bank05.dat");
  EXPECT_FALSE(save_as("loop1.dat") || save_as("bank05.dat"));
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(b.dir / "loop1.dat")));
  for (const auto& entry : fs::recursive_directory_iterator(b.dir))
    EXPECT_FALSE(entry.path().string().ends_with(".tmp")) << entry.path();
}

// One bank command typed: the files before, the keys, what is said, the files after.
struct BankCase {
  Files before;
  std::string keys;
  std::string spoken;
  Files after;
};

TEST(BankOps, EachOperationsSuccessAndRefusal) {
  const std::string net = fm("bank05", {{"145.5", "Net"}});
  const std::string mine = fm("bank05", {{"146", "Mine"}});
  const std::string src = bank_file("bank01", "FM", "25", {{"430", "Rep"}, {"145.5", "Other"}, {"430", "Again"}});
  const std::string long_bank = fm("bank06", numbered(92));
  // clang-format off
  const std::vector<BankCase> cases = {
      // Put: once per frequency, same mode only, blank label; four digits name the bank by the last two.
      {{{"bank05.dat", fm("bank05", {{"145.0", "Net"}})}}, "P05\n", "put 0 5 ok", {}},
      {{{"bank05.dat", bank_file("bank05", "AM", "5", {})}}, "P05\n", "put 0 5 incmode", {}},
      {{{"bank05.dat", net}}, "P9905\n", "put 9 9 0 5 ok", {{"bank05.dat", fm("bank05", {{"145.5", "Net"}, {"145.0", " "}})}}},
      {{}, "P07\n", "put 0 7 bnf create 0 7 ok", {{"bank07.dat", fm("bank07", {{"145.0", " "}})}}},
      // Banks longer than 91 entries take and give nothing; 91 take one more.
      {{{"bank06.dat", long_bank}}, "P06\n", "put 0 6 n", {}},
      {{{"bank08.dat", fm("bank08", numbered(91))}}, "P08\n", "put 0 8 ok", {{"bank08.dat", fm("bank08", numbered(91, {{"145.0", " "}}))}}},
      {{{"bank06.dat", long_bank}, {"bank07.dat", net}}, "T0607\n", "transfer 0 6 0 7 n", {}},
      // Copy (T): two digits copy bank 0; labels there are kept, repeats added once, missing banks created.
      {{{"bank00.dat", fm("Srchbank", {{"145.5", "Net"}, {"146", " "}})}, {"bank05.dat", mine}}, "T05\n", "transfer 0 5 ok", {{"bank05.dat", fm("bank05", {{"146", "Mine"}, {"145.5", "Net"}})}}},
      {{{"bank01.dat", src}, {"bank05.dat", mine}}, "T0105\n", "transfer 0 1 0 5 ok", {{"bank05.dat", fm("bank05", {{"146", "Mine"}, {"430", "Rep"}, {"145.5", "Other"}})}}},
      {{{"bank01.dat", src}}, "T0109\n", "transfer 0 1 0 9 bnf create 0 9 ok", {{"bank09.dat", bank_file("bank09", "FM", "25", {{"430", "Rep"}, {"145.5", "Other"}})}}},
      {{{"bank05.dat", mine}}, "T0305\n", "transfer 0 3 0 5 bnf create 0 3 ok", {{"bank03.dat", fm("bank03", {})}}},
      {{{"bank01.dat", src}, {"bank05.dat", mine}}, "T0105.\n", "transfer 0 1 0 5 point inv", {}},
      {{{"bank01.dat", src}, {"bank05.dat", bank_file("bank05", "AM", "5", {})}}, "T0105\n", "transfer 0 1 0 5 incmode", {}},
      // A source whose header the end marker cuts short gives a whole header.
      {{{"bank00.dat", "Srchbank\r\n9999\r\n"}}, "T07\n", "transfer 0 7 bnf create 0 7 ok", {{"bank07.dat", fm("bank07", {})}}},
      {{{"bank00.dat", "Srchbank\r\nAM\r\n5\r\nsp\r\n9999\r\n"}}, "T07\n", "transfer 0 7 bnf create 0 7 ok", {{"bank07.dat", "bank07\r\nAM\r\n5\r\nsp\r\n9999\r\n"}}},
      // Sort: by number, repeated neighbours dropped (of three the second); a label "9999" is refused.
      {{{"bank04.dat", fm("bank04", {{"146", "a"}, {"145.5", "b"}, {"145.5", "c"}, {"12000", "d"}, {"99.5", "e"}})}}, "O04\n", "sort 0 4 ok", {{"bank04.dat", fm("bank04", {{"99.5", "e"}, {"145.5", "b"}, {"146", "a"}, {"12000", "d"}})}}},
      {{{"bank04.dat", fm("bank04", {{"145", "a"}, {"145", "b"}, {"145", "c"}})}}, "O04\n", "sort 0 4 ok", {{"bank04.dat", fm("bank04", {{"145", "a"}, {"145", "c"}})}}},
      {{{"bank04.dat", "bank04\nFM\n12.5\n \n9999\n"}}, "O04\n", "sort 0 4 ok", {}},
      {{{"bank04.dat", "b\nFM\n1\n \n146\n9999\n145\n \n9999\n"}}, "O04\n", "sort 0 4 inv", {}},
      {{{"bank04.dat", net}}, "O123\n", "sort 1 2 3 inv", {}},
      // Delete: exactly two digits; a missing file is fine.
      {{{"bank05.dat", net}, {"bank5.dat", net}}, "D5\n", "delete 5 inv", {}},
      {{{"bank05.dat", net}}, "D05\nD07\n", "delete 0 5 ok delete 0 7 ok", {{"bank05.dat", ""}}},
      {{{"bank0..dat", net}}, "B0.\n", "bank 0 point inv", {}},
  };
  // clang-format on
  for (const BankCase& c : cases) {
    Panel p;
    for (const auto& [name, bytes] : c.before) p.write_file(name, bytes);
    p.type(c.keys);
    EXPECT_EQ(p.spoken(), c.spoken) << c.keys;
    const Files after = c.after.empty() ? c.before : c.after;
    for (const auto& [name, bytes] : after) EXPECT_EQ(p.read_file(name), bytes) << c.keys << " " << name;
    EXPECT_EQ(p.st.entry_mode, EntryMode::none) << c.keys;
    EXPECT_EQ(p.sent(), "") << c.keys;
  }
}

TEST(BankOps, SelectBrowseAndKillEntriesOfTheSelectedBankOnly) {
  Panel p;
  const Entries three{{"145.5", " "}, {"433.075", "Repeater"}, {"29.7", "Ten metres"}};
  p.write_file("bank05.dat", bank_file("bank05", "AM", "25", three));
  p.type("B05\n");
  // A pause before the load, the tune, the mode and the step; Up shows the label.
  p.keys({key::up});
  EXPECT_EQ(std::tuple(p.st.bank_scan_state, p.audio.spoken_text(true) + " " + p.sent(), p.display.text_at(300, 370)),
            std::tuple(BankScanState::bank_mode,
                       "bank 0 5 shdel shdel shdel am shdel sel VA0145.50000|MD2|ST025000|VA0433.07500", "Repeater"));
  // Kill asks once; Enter deletes the entry and tunes the next.
  p.forget();
  p.type("K\n");
  EXPECT_EQ(p.spoken() + " " + p.sent(), "kill ok VA0029.70000");
  EXPECT_EQ(p.read_file("bank05.dat"), bank_file("bank05", "AM", "25", {{"145.5", " "}, {"29.7", "Ten metres"}}));
  // Deleting the last entry goes back to the first.
  p.type("K\n");
  EXPECT_EQ(p.sent(), "VA0145.50000");
  EXPECT_EQ(p.read_file("bank05.dat"), bank_file("bank05", "AM", "25", {{"145.5", " "}}));
  // Another bank loaded since (a put): K, Up, Down and R change nothing.
  p.forget();
  p.type("P06\n");
  p.forget();
  p.keys({'K', key::up, key::down, 'R'});
  EXPECT_EQ(p.spoken() + p.sent(), "inv inv inv inv");
  EXPECT_EQ(p.read_file("bank06.dat"), bank_file("bank06", "AM", "25", {{"145.5", " "}}));
  // Deleting the only entry leaves an empty bank and ends bank mode untuned.
  p.type("B05\n");
  p.forget();
  p.type("K\n");
  EXPECT_EQ(p.read_file("bank05.dat"), bank_file("bank05", "AM", "25", {}));
  EXPECT_EQ(std::tuple(p.st.bank_scan_state, p.sent()), std::tuple(BankScanState::off, ""));
}

TEST(BankOps, FailedSavesSayInvAndLeaveTheFileWhole) {
  Panel p;
  const std::string bank05 = fm("bank05", {{"145.5", " "}, {"433", " "}});
  p.write_file("bank05.dat", bank05);
  // The temporary file's name is held by a folder: no save of bank 5 can end.
  fs::create_directories(p.dir / "bank05.dat.tmp" / "inside");
  for (const std::string keys : {"P05\n", "O05\n", "T05\n", "B05\nK\n"}) {
    p.forget();
    p.type(keys);
    EXPECT_EQ(std::tuple(p.spoken().ends_with("inv"), p.spoken().find("ok"), p.read_file("bank05.dat")),
              std::tuple(true, std::string::npos, bank05))
        << keys;
  }
  // Read-only files are neither replaced nor deleted; a link goes, its target stays.
  fs::remove_all(p.dir / "bank05.dat.tmp");
  fs::permissions(p.dir / "bank05.dat", fs::perms::owner_read | fs::perms::group_read);
  p.write_file("target.dat", "kept\r\n");
  fs::create_symlink("target.dat", p.dir / "bank08.dat");
  p.forget();
  p.type("P05\nD05\nD08\n");
  EXPECT_EQ(p.spoken(), "put 0 5 inv delete 0 5 ok delete 0 8 ok");
  EXPECT_EQ(p.read_file("bank05.dat") + p.read_file("target.dat"), bank05 + "kept\r\n");
  EXPECT_FALSE(fs::is_symlink(fs::symlink_status(p.dir / "bank08.dat")));
}

TEST(Transfer, ChannelRecordFields) {
  const std::string blanks(12, ' ');
  struct Case {
    std::string bank;
    int channel;
    std::string frequency, mode, label, record;
  };
  // clang-format off
  for (const Case& c : std::vector<Case>{
           {"B", 7, "1296.125", "WFM", "Up", "MXB07 RF1296125000 ST012500 MD0 TMUp          "},
           {"C", 90, "29.7", "USB", "A label that is long", "MXC90 RF0029700000 ST012500 MD3 TMA label that"},
           {"A", 1, "433.075", "CW ", " ", "MXA01 RF0433075000 ST012500 MD5 TM" + blanks},
           {"A", 1, "1000", "AUT", " ", "MXA01 RF1000000000 ST012500 AU1 TM" + blanks},
           {"A", 1, "100", "NFM", " ", "MXA01 RF0100000000 ST012500 MD TM" + blanks},  // unknown mode: no code
           {"A", 0, ".5", "FM", " ", "MXA00 RF0000500000 ST012500 MD1 TM" + blanks},
           {"A", 0, "10.1234567", "FM", " ", "MXA00 RF0010123456 ST012500 MD1 TM" + blanks}})
    EXPECT_EQ(channel_record(c.bank, c.channel, c.frequency, c.mode, c.label), c.record) << c.frequency;
  // clang-format on
}

TEST(Transfer, WriteSendsEveryEntryWithPacingPausesUpToChannelNinety) {
  Panel p;
  p.write_file("bank04.dat", fm("bank04", {{"14\x13", " "},
                                           {"29.7",
                                            "A\x11\x1e"
                                            "B"},
                                           {"433.075", "Repeater"}}));
  p.write_file("bank05.dat", bank_file("bank05", "AM", "12.5", numbered(95)));
  // A frequency with a control byte is skipped with "inv"; in a label they go out as blanks.
  p.type("W04B\n");
  EXPECT_EQ(std::tuple(p.sent(), p.spoken(), p.audio.pauses()),  // pauses after "wait", then before the entries
            std::tuple("MQB%%|MXB01 RF0029700000 ST012500 MD1 TMA  B        |MXB02 RF0433075000 ST012500 MD1 "
                       "TMRepeater    ",
                       "write fromb 0 4 torb b wait inv ok", 10 + 7 + 5 + 3));
  // A long bank stops after channel 90, with a beep after every 11 channels.
  p.forget();
  p.type("W05J\n");
  const auto sent = p.take_commands();
  const auto spoken = p.audio.spoken();
  ASSERT_EQ(sent.size(), 92u);
  EXPECT_EQ(std::tuple(sent.back(), std::count(spoken.begin(), spoken.end(), "beep"), spoken.back(), p.audio.pauses()),
            std::tuple("MXJ90 RF0190500000 ST012500 MD2 TML90         ", 8, "ok", 10 + 7 + 5 + 3 + 88));
}

// A receiver whose banks hold 50 channels, except those listed at 90.
testing::FakeSerialDevice::Script bank_sizes(std::string at_ninety, int resize_polls) {
  return [at_ninety, resize_polls](const std::string& command) -> Answers {
    if (command.size() == 5 && command.starts_with("MW")) return {{"\r\n", resize_polls}};
    if (command.size() != 3 || !command.starts_with("MW")) return {};
    const bool ninety = at_ninety.find(command[2]) != std::string::npos;
    return {{"MW " + command.substr(2) + (ninety ? ":90 x:10" : ":50 x:50") + "\r\n", 0}};
  };
}

TEST(Transfer, CheckResizesEveryBankThatIsNotNinetyAndGivesUpOnSilence) {
  struct Case {
    testing::FakeSerialDevice::Script script;
    std::string commands, spoken;
    long pauses_min, pauses_max;
    bool voice = true;
    std::string pause_clip;  // a clip of one second counts so
  };
  const auto silent = [](const std::string&) { return Answers{}; };
  // clang-format off
  const std::vector<Case> cases = {
      // One round of the resize wait, with its four progress beeps; an answer at once ends the wait.
      {bank_sizes("BCDEFGHIJ", 2), "MWA|MWA90|MWB|MWC|MWD|MWE|MWF|MWG|MWH|MWI|MWJ", "ckconfig a beep beep beep beep ok", 112, 112, true, ""},
      {bank_sizes("ABCDEFGHI", 0), "MWA|MWB|MWC|MWD|MWE|MWF|MWG|MWH|MWI|MWJ|MWJ90", "ckconfig j ok", 12, 12, true, ""},
      // Silence: 30 seconds of pauses of 0.1 s, the answered query's and the letter's pauses not counted.
      {silent, "", "ckconfig inv", 300, 302, true, ""},
      {[](const std::string& c) { return c == "MWA" ? Answers{{"MW A:50 a:50\r\n", 0}} : Answers{}; }, "MWA|MWA90", "", 302, 302, true, ""},
      // Each letter answered after some 20 s: the silences add up.
      {[asked = std::string()](const std::string& c) mutable {
         if (c.size() != 3 || asked.find(c[2]) != std::string::npos) return Answers{};
         asked += c[2];
         return Answers{{"MW " + c.substr(2) + ":90\r\n", 100}};
       }, "", "ckconfig inv", 200, 302, true, ""},
      // The beeps sound with the voice off.
      {bank_sizes("BCDEFGHIJ", 2), "", "beep beep beep beep", 112, 112, false, ""},
      {silent, "", "ckconfig inv", 30, 32, true, testing::tiny_wav(8000, 8000)},
  };
  // clang-format on
  for (const Case& c : cases) {
    Panel p(0, c.pause_clip.empty() ? Files{} : Files{{"wave/shdel.wav", c.pause_clip}});
    if (!c.voice) p.st.wave_path = "";
    p.script(c.script);
    p.keys({'Z'});
    const std::string commands = p.sent();
    EXPECT_TRUE(c.commands.empty() || commands == c.commands) << commands;
    EXPECT_TRUE(c.spoken.empty() || p.spoken() == c.spoken) << p.spoken();
    EXPECT_TRUE(p.audio.pauses() >= c.pauses_min && p.audio.pauses() <= c.pauses_max) << p.audio.pauses();
    EXPECT_EQ(p.st.meter_state, MeterState::idle);
  }
}

}  // namespace
}  // namespace talvaro
