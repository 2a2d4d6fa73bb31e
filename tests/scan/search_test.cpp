#include "scan/search.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "banks/bank_file.h"
#include "link/serial.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

namespace fs = std::filesystem;
using testing::Bench;
using Commands = std::vector<std::string>;

struct Searching {
  Searching() {
    bench.prime_state();
    bench.make_clips();
    st().com_port = 1;
    open_port(cx(), 1, 9600);
    st().search_low_text = "145";
    st().search_high_text = "146";
    st().step_text = "12.5";
    st().mode_text = "FM";
    st().frequency_text = "145.5";
  }
  Context& cx() { return *bench.cx; }
  State& st() { return bench.st; }
  // Starts a search and forgets what it said, sent and drew.
  void start() {
    start_search(cx());
    bench.take_commands();
    bench.audio.plays.clear();
    bench.display.draws.clear();
  }
  void find(const std::string& frequency) {
    st().frequency_text = frequency;
    record_found(cx());
  }
  Bench bench;
};

TEST(StartSearch, WritesTheSearchBankTunesBothLimitsAndStartsTheSweep) {
  Searching s;
  s.bench.write_file("bank00.dat", "*** an old state record\r\nAM\r\n1\r\n2\r\n3\r\n4\r\n9999\r\n");
  s.st().found_count = 7;
  s.st().selected_bank_loaded = 1;
  s.st().frequency_text = "146";  // typed, not yet committed
  start_search(s.cx());

  EXPECT_EQ(s.bench.read_file("bank00.dat"), "Srchbank\r\nFM\r\n12.5\r\n \r\n9999\r\n");
  EXPECT_FALSE(s.bench.exists("bank00.dat.tmp"));
  EXPECT_EQ(s.bench.take_commands(), (Commands{"VA0145000000", "VB0146000000", "ST012.50", "MD1", "VS"}));
  EXPECT_EQ(s.bench.audio.spoken_text(), "srch fm act");
  EXPECT_EQ(s.bench.audio.spoken_text(true), "srch shdel shdel shdel shdel fm act");

  const auto& draws = s.bench.display.draws;
  ASSERT_FALSE(draws.empty());
  EXPECT_EQ(draws[0].x, 290);
  EXPECT_EQ(draws[0].y, 320);
  EXPECT_EQ(draws[0].text, "Search Mode Active");
  EXPECT_EQ(draws[0].colour, colour_green);
  EXPECT_EQ(draws[0].font, (FontSpec{"Ariel", 30, 700}));
  EXPECT_EQ(s.bench.display.text_at(340, 370), "145/146");
  EXPECT_EQ(s.bench.display.text_at(380, 80), "FM      ");

  EXPECT_EQ(s.st().search_state, 1);
  EXPECT_EQ(s.st().found_count, 0);
  EXPECT_EQ(s.st().bank_cell_index, 2);
  EXPECT_EQ(s.st().bank_file_name, "bank00.dat");
  EXPECT_EQ(s.st().selected_bank_loaded, 0) << "the table no longer holds a selected bank";
  EXPECT_TRUE(table_holds_search_bank(s.cx()));
  // The uncommitted "146" gave way to the low limit.
  EXPECT_EQ(s.st().frequency_text, "145.0");
}

TEST(StartSearch, LimitsLineIsDrawnInTheColourLeftByTheFrequencyDisplay) {
  Searching s;
  s.st().search_low_text = "118.5";
  s.st().search_high_text = "137";
  s.st().frequency_text = "120.5";
  start_search(s.cx());
  for (const auto& draw : s.bench.display.draws) {
    if (draw.x == 340 && draw.y == 370) {
      EXPECT_EQ(draw.text, "118.5/137");
      EXPECT_EQ(draw.colour, colour_black);
      EXPECT_EQ(draw.font, (FontSpec{"Ariel", 50, 700}));
    }
  }
  EXPECT_EQ(s.st().frequency_text, "120.5") << "a committed frequency is not changed by the low limit";
}

TEST(StartSearch, AReadOnlySearchBankFileIsLeftAlone) {
  Searching s;
  const std::string old_bank = "bank00\r\nAM\r\n5\r\n \r\n9999\r\n";
  s.bench.write_file("bank00.dat", old_bank);
  fs::permissions(s.bench.dir / "bank00.dat", fs::perms::owner_read);
  start_search(s.cx());
  EXPECT_EQ(s.bench.read_file("bank00.dat"), old_bank);
  // The search runs all the same.
  EXPECT_EQ(s.bench.take_commands().back(), "VS");
  EXPECT_EQ(s.st().search_state, 1);
}

TEST(RecordFound, ContinuousModeCountsPrintsAndSpeaksEachNewFind) {
  Searching s;
  s.start();
  s.find("145.5");
  EXPECT_EQ(s.st().found_count, 1);
  EXPECT_EQ(s.bench.display.text_at(20, 400), "Found");
  EXPECT_EQ(s.bench.display.text_at(750, 400), "1 ");
  EXPECT_EQ(s.bench.display.draws.back().colour, colour_red);
  EXPECT_EQ(s.cx().text_state.colour, colour_black);
  EXPECT_EQ(s.bench.audio.spoken_text(), "1");

  // The same frequency again: not stored, nothing printed or said.
  s.bench.display.draws.clear();
  s.bench.audio.plays.clear();
  s.find("145.5");
  EXPECT_EQ(s.st().found_count, 1);
  EXPECT_TRUE(s.bench.display.draws.empty());
  EXPECT_EQ(s.bench.audio.spoken_text(), "");
  // Compared as text: 145.50 is another entry.
  s.find("145.50");
  EXPECT_EQ(s.st().found_count, 2);

  for (int i = 3; i <= 10; ++i) s.find("146." + std::to_string(i));
  EXPECT_EQ(s.st().found_count, 10);
  EXPECT_EQ(s.bench.display.text_at(750, 400), "10 ");
  const auto spoken = s.bench.audio.spoken();
  ASSERT_GE(spoken.size(), 2u);
  EXPECT_EQ(spoken[spoken.size() - 2], "1");
  EXPECT_EQ(spoken.back(), "0");

  EXPECT_EQ(s.st().bank_table[4], "145.5");
  EXPECT_EQ(s.st().bank_table[5], " ");
  EXPECT_EQ(s.st().bank_table[6], "145.50");
  EXPECT_EQ(s.st().bank_table[24], "9999");
  EXPECT_EQ(find_end_marker(s.cx()), 24);
  EXPECT_TRUE(s.bench.take_commands().empty());
}

TEST(RecordFound, StopModeStoresSilently) {
  Searching s;
  s.st().search_stop_mode = 1;
  s.start();
  s.find("145.5");
  s.find("145.6");
  EXPECT_EQ(s.st().found_count, 2);
  EXPECT_EQ(s.st().bank_table[6], "145.6");
  EXPECT_TRUE(s.bench.display.draws.empty());
  EXPECT_EQ(s.bench.audio.spoken_text(), "");
}

TEST(RecordFound, TheNinetyFirstFindFillsTheBank) {
  Searching s;
  s.st().search_stop_mode = 1;
  s.start();
  for (int i = 1; i <= 90; ++i) s.find(std::to_string(100 + i));
  EXPECT_EQ(s.bench.audio.spoken_text(), "");
  s.st().search_stop_mode = 0;
  s.find("400");
  EXPECT_EQ(s.st().found_count, 91);
  EXPECT_EQ(find_end_marker(s.cx()), 186);
  EXPECT_EQ(s.bench.audio.spoken_text(), "9 1 bf") << "the count comes before the warning";

  s.bench.audio.plays.clear();
  s.find("401");
  EXPECT_EQ(s.st().found_count, 91);
  EXPECT_EQ(find_end_marker(s.cx()), 186);
  EXPECT_EQ(s.bench.audio.spoken_text(), "bf");
}

TEST(RecordFound, NothingLandsOutsideTheSearchBank) {
  Searching s;
  s.start();
  // Another bank has been loaded since the search started.
  s.bench.write_file("bank03.dat", "bank03\r\nAM\r\n5\r\n \r\n9999\r\n");
  s.st().bank_file_name = "bank03.dat";
  ASSERT_TRUE(load_bank(s.cx()));
  s.find("145.5");
  EXPECT_EQ(s.st().found_count, 0);
  EXPECT_EQ(s.st().bank_table[4], "9999");
  EXPECT_FALSE(table_holds_search_bank(s.cx()));

  // A table named like the search bank under another file name is not it.
  s.st().bank_table[0] = "Srchbank";
  EXPECT_FALSE(table_holds_search_bank(s.cx()));
  s.find("145.5");
  EXPECT_EQ(s.st().bank_table[4], "9999");

  // A search bank whose first marker is odd (a label "9999") takes nothing.
  s.st().bank_file_name = "bank00.dat";
  s.st().bank_table[3] = "9999";
  s.find("145.5");
  EXPECT_EQ(s.st().bank_table[4], "9999");
  EXPECT_EQ(s.st().found_count, 0);
  EXPECT_EQ(s.bench.audio.spoken_text(), "");
}

TEST(RecordFound, TwelveFindsSaveAsTwentyNineLines) {
  Searching s;
  s.st().search_stop_mode = 1;
  s.start();
  for (int i = 0; i < 12; ++i) s.find("145." + std::to_string(10 + i));
  save_bank(s.cx());
  const std::string saved = s.bench.read_file("bank00.dat");
  std::size_t lines = 0;
  for (std::size_t at = saved.find("\r\n"); at != std::string::npos; at = saved.find("\r\n", at + 2)) ++lines;
  EXPECT_EQ(lines, 4u + 24u + 1u);
  EXPECT_TRUE(saved.starts_with("Srchbank\r\nFM\r\n12.5\r\n \r\n145.10\r\n \r\n"));
  EXPECT_TRUE(saved.ends_with("145.21\r\n \r\n9999\r\n"));
}

TEST(SearchSettings, ToggleSwitchesStopAndContinueAndRedrawsTheLine) {
  Searching s;
  s.st().search_low_text = "118";
  s.st().search_high_text = "137.5";
  s.st().step_text = "25";
  toggle_stop_mode(s.cx());
  EXPECT_EQ(s.st().search_stop_mode, 1);
  EXPECT_EQ(s.bench.display.text_at(500, 250), "STOP");
  toggle_stop_mode(s.cx());
  EXPECT_EQ(s.st().search_stop_mode, 0);
  EXPECT_EQ(s.bench.display.text_at(500, 250), "CONT");
  EXPECT_EQ(s.bench.audio.spoken_text(), "stmode cont");

  EXPECT_EQ(s.bench.display.text_at(80, 250), "118" + std::string(10, ' '));
  EXPECT_EQ(s.bench.display.text_at(300, 250), "25" + std::string(9, ' '));
  EXPECT_EQ(s.bench.display.text_at(750, 250), "137.5" + std::string(8, ' '));
  for (const auto& draw : s.bench.display.draws) {
    EXPECT_EQ(draw.colour, colour_black);
    EXPECT_EQ(draw.font, (FontSpec{"Ariel", 30, 700}));
  }
  EXPECT_TRUE(s.bench.take_commands().empty());
}

}  // namespace
}  // namespace talvaro
