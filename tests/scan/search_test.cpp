#include "scan/search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "banks/bank_file.h"
#include "link/serial.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

using Commands = std::vector<std::string>;

struct Searching : testing::Bench {
  Searching() {
    prime_state();
    make_clips();
    st.com_port = 1;
    open_port(*cx, 1, 9600);
    st.search_low_text = "145";
    st.search_high_text = "146";
    st.step_text = "12.5";
    st.mode_text = "FM";
    st.frequency_text = "145.5";
  }
  // Starts a search and forgets what it said, sent and drew.
  void start() {
    start_search(*cx);
    take_commands();
    audio.plays.clear();
    display.draws.clear();
  }
  void find(const std::string& frequency) {
    st.frequency_text = frequency;
    record_found(*cx);
  }
};

TEST(StartSearch, WritesTheSearchBankTunesBothLimitsAndStartsTheSweep) {
  Searching s;
  s.write_file("bank00.dat", "*** an old state record\r\nAM\r\n1\r\n2\r\n3\r\n4\r\n9999\r\n");
  s.st.found_count = 7;
  s.st.selected_bank_loaded = 1;
  s.st.frequency_text = "146";  // typed, not yet committed
  start_search(*s.cx);
  EXPECT_EQ(s.read_file("bank00.dat"), "Srchbank\r\nFM\r\n12.5\r\n \r\n9999\r\n");
  EXPECT_EQ(s.take_commands(), (Commands{"VA0145000000", "VB0146000000", "ST012.50", "MD1", "VS"}));
  EXPECT_EQ(s.audio.spoken_text(true), "srch shdel shdel shdel shdel fm act");

  EXPECT_EQ(s.display.draws.at(0).text, "Search Mode Active");
  EXPECT_EQ(s.display.draws.at(0).colour, colour_green);
  EXPECT_EQ(s.display.text_at(340, 370), "145/146");
  EXPECT_EQ(s.st.search_state, SearchState::searching);
  EXPECT_EQ(s.st.found_count, 0);
  EXPECT_EQ(s.st.selected_bank_loaded, 0) << "the table no longer holds a selected bank";
  EXPECT_TRUE(table_holds_search_bank(*s.cx));
  EXPECT_EQ(s.st.frequency_text, "145.0") << "the uncommitted 146 gave way to the low limit";
}

TEST(StartSearch, LimitsAreDrawnInBlackAndACommittedFrequencyStays) {
  Searching s;
  s.st.search_low_text = "118.5";
  s.st.search_high_text = "137";
  s.st.frequency_text = "120.5";
  start_search(*s.cx);
  const auto limits = std::find_if(s.display.draws.rbegin(), s.display.draws.rend(),
                                   [](const auto& draw) { return draw.x == 340 && draw.y == 370; });
  ASSERT_NE(limits, s.display.draws.rend());
  EXPECT_EQ(limits->text, "118.5/137");
  EXPECT_EQ(limits->colour, colour_black);
  EXPECT_EQ(limits->font, (FontSpec{"Ariel", 50, 700}));
  EXPECT_EQ(s.st.frequency_text, "120.5") << "a committed frequency is not changed by the low limit";
}

TEST(RecordFound, ContinuousModeCountsPrintsAndSpeaksEachNewFind) {
  Searching s;
  s.start();
  s.find("145.5");
  EXPECT_EQ(s.st.found_count, 1);
  EXPECT_EQ(s.display.text_at(20, 400), "Found");
  EXPECT_EQ(s.display.draws.back().colour, colour_red);
  EXPECT_EQ(s.audio.spoken_text(), "1");

  // The same frequency again: not stored, nothing printed or said.
  s.display.draws.clear();
  s.audio.plays.clear();
  s.find("145.5");
  EXPECT_EQ(s.st.found_count, 1);
  EXPECT_TRUE(s.display.draws.empty());
  EXPECT_EQ(s.audio.spoken_text(), "");
  s.find("145.50");  // compared as text: another entry
  for (int i = 3; i <= 10; ++i) s.find("146." + std::to_string(i));
  EXPECT_EQ(s.display.text_at(750, 400), "10 ");
  EXPECT_TRUE(s.audio.spoken_text().ends_with("9 1 0"));
  EXPECT_EQ(s.st.bank_table[6], "145.50");
  EXPECT_EQ(find_end_marker(*s.cx), 24);
  EXPECT_TRUE(s.take_commands().empty());
}

TEST(RecordFound, StopModeStoresSilentlyAndTheNinetyFirstFindFillsTheBank) {
  Searching s;
  s.st.search_stop_mode = SearchStopMode::stop;
  s.start();
  for (int i = 1; i <= 90; ++i) s.find(std::to_string(100 + i));
  EXPECT_TRUE(s.display.draws.empty());
  EXPECT_EQ(s.audio.spoken_text(), "");
  save_bank(*s.cx);
  const std::string saved = s.read_file("bank00.dat");
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 4 + 180 + 1);
  EXPECT_TRUE(saved.starts_with("Srchbank\r\nFM\r\n12.5\r\n \r\n101\r\n \r\n102\r\n"));
  EXPECT_TRUE(saved.ends_with("190\r\n \r\n9999\r\n"));

  s.st.search_stop_mode = SearchStopMode::cont;
  s.find("400");
  EXPECT_EQ(s.audio.spoken_text(), "9 1 bf") << "the count comes before the warning";
  s.find("401");
  EXPECT_EQ(s.st.found_count, 91);
  EXPECT_EQ(find_end_marker(*s.cx), 186);
  EXPECT_EQ(s.audio.spoken_text(), "9 1 bf bf");
}

TEST(RecordFound, NothingLandsOutsideTheSearchBank) {
  Searching s;
  s.start();
  // Another bank has been loaded since the search started.
  s.write_file("bank03.dat", "bank03\r\nAM\r\n5\r\n \r\n9999\r\n");
  s.st.bank_file_name = "bank03.dat";
  ASSERT_TRUE(load_bank(*s.cx));
  s.find("145.5");
  EXPECT_FALSE(table_holds_search_bank(*s.cx));
  // A table named like the search bank under another file name is not it.
  s.st.bank_table[0] = "Srchbank";
  EXPECT_FALSE(table_holds_search_bank(*s.cx));
  s.find("145.5");
  EXPECT_EQ(s.st.bank_table[4], "9999");
  EXPECT_EQ(s.st.found_count, 0);
  EXPECT_EQ(s.audio.spoken_text(), "");
}

TEST(SearchSettings, ToggleSwitchesStopAndContinueAndRedrawsTheLine) {
  Searching s;
  s.st.search_low_text = "118";
  s.st.search_high_text = "137.5";
  s.st.step_text = "25";
  toggle_stop_mode(*s.cx);
  EXPECT_EQ(s.display.text_at(500, 250), "STOP");
  toggle_stop_mode(*s.cx);
  EXPECT_EQ(s.display.text_at(500, 250), "CONT");
  EXPECT_EQ(s.audio.spoken_text(), "stmode cont");
  EXPECT_EQ(s.display.text_at(80, 250), "118" + std::string(10, ' '));
  EXPECT_EQ(s.display.text_at(300, 250), "25" + std::string(9, ' '));
  EXPECT_EQ(s.display.text_at(750, 250), "137.5" + std::string(8, ' '));
  EXPECT_TRUE(std::all_of(s.display.draws.begin(), s.display.draws.end(),
                          [](const auto& draw) { return draw.colour == colour_black; }));
  EXPECT_TRUE(s.take_commands().empty());
}

}  // namespace
}  // namespace talvaro
