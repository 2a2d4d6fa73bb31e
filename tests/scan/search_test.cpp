// Searches between the limits: started by R outside bank mode, stopped and
// read back by the level polls, their finds kept in the search bank only.

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "banks/bank_file.h"
#include "scan/search.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

using testing::Panel;

const std::string squelch_closed = "LM%000\r\n";
const std::string signal = "LM 120\r\n";  // level 10

// Connected, limits 145 to 146, searching; what the start did is forgotten.
struct Searching : Panel {
  explicit Searching(SearchStopMode mode = SearchStopMode::cont) {
    st.search_stop_mode = mode;
    type("R");
    forget();
  }
  void find(const std::string& frequency) {
    st.frequency_text = frequency;
    record_found(*cx);
  }
};

TEST(Search, StartWritesTheSearchBankTunesBothLimitsAndStartsTheSweep) {
  Panel p;
  p.write_file("bank00.dat", "*** an old state record\r\nAM\r\n1\r\n2\r\n3\r\n4\r\n9999\r\n");
  p.type("S118.5\nE137\n120.5\n");
  p.st.found_count = 7;
  p.forget();
  p.type("R");
  EXPECT_EQ(p.read_file("bank00.dat"), "Srchbank\r\nFM\r\n12.5\r\n \r\n9999\r\n");
  EXPECT_EQ(p.sent(), "VA0118.50000|VB0137000000|ST012.50|MD1|VS");
  EXPECT_EQ(p.audio.spoken_text(true), "srch shdel shdel shdel shdel fm act");
  const auto& first = p.display.draws.at(0);
  EXPECT_EQ(std::tuple(first.text, first.colour), std::tuple("Search Mode Active", colour_green));
  const auto limits = p.at(340, 370);
  EXPECT_EQ(std::tuple(limits.text, limits.colour, limits.font),
            std::tuple("118.5/137", colour_black, FontSpec{"Ariel", 50, 700}));
  EXPECT_EQ(std::tuple(p.st.search_state, p.st.found_count, table_holds_search_bank(*p.cx)),
            std::tuple(SearchState::searching, 0, true));
  EXPECT_EQ(p.st.frequency_text, "120.5") << "a committed frequency stays";
  // A typed but uncommitted frequency gives way to the low limit.
  Panel q;
  q.st.frequency_text = "146";
  q.st.frequency_entry_fresh = 0;
  q.type("R");
  EXPECT_EQ(q.st.frequency_text, "145.0");
}

TEST(Search, ContinuousModeCountsPrintsAndSpeaksEachNewFindUpToNinetyOne) {
  Searching s;
  s.find("145.5");
  EXPECT_EQ(s.display.text_at(20, 400) + s.spoken() + decimal(s.st.found_count), "Found11");
  EXPECT_EQ(s.display.draws.back().colour, colour_red);
  // The same frequency again: not stored, nothing printed or said.
  s.forget();
  s.find("145.5");
  EXPECT_EQ(s.st.found_count, 1);
  EXPECT_TRUE(s.display.draws.empty());
  s.find("145.50");  // compared as text: another entry
  for (int i = 3; i <= 10; ++i) s.find("146." + std::to_string(i));
  EXPECT_EQ(s.display.text_at(750, 400) + s.st.bank_table[6].str() + s.sent(), "10 145.50");
  EXPECT_TRUE(s.spoken().ends_with("9 1 0"));
  for (int i = 11; i <= 90; ++i) s.find(std::to_string(100 + i));
  s.forget();
  s.find("400");
  EXPECT_EQ(s.spoken(), "9 1 bf") << "the count comes before the warning";
  s.find("401");
  EXPECT_EQ(s.spoken() + decimal(s.st.found_count), "9 1 bf bf91");
  // Enter ends the search and saves the finds to the search bank.
  s.type("\n");
  EXPECT_EQ(s.st.search_state, SearchState::off);
  const std::string saved = s.read_file("bank00.dat");
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 4 + 182 + 1);
  EXPECT_TRUE(saved.ends_with("190\r\n \r\n400\r\n \r\n9999\r\n"));
}

TEST(Search, NothingLandsOutsideTheSearchBank) {
  Searching s(SearchStopMode::stop);
  s.find("101");
  EXPECT_EQ(s.spoken(), "");  // stop mode stores silently
  s.write_file("bank03.dat", "bank03\r\nAM\r\n5\r\n \r\n9999\r\n");
  s.st.bank_file_name = "bank03.dat";
  ASSERT_TRUE(load_bank(*s.cx));
  // A table named like the search bank under another file name is not it.
  s.st.bank_table[0] = "Srchbank";
  s.find("145.5");
  EXPECT_EQ(s.st.bank_table[4], "9999");
  EXPECT_EQ(s.st.found_count, 1);
  // Enter then saves nothing anywhere.
  s.type("\n");
  EXPECT_EQ(s.spoken(), "1 ok");
  EXPECT_EQ(s.read_file("bank03.dat"), "bank03\r\nAM\r\n5\r\n \r\n9999\r\n");
  EXPECT_EQ(s.read_file("bank00.dat"), "Srchbank\r\nFM\r\n12.5\r\n \r\n9999\r\n");
}

TEST(Search, AStopInStopModeIsSpokenOnceAndReadBack) {
  Searching s(SearchStopMode::stop);
  s.replies["RX"] = "VS RF0145000000 ST012500 AU0 MD1 AT0\r\n";
  s.poll(signal);
  EXPECT_EQ(s.at(270, 320).text + s.spoken(), "      *** STOPPED ***  stop");
  EXPECT_EQ(s.st.search_state, SearchState::stopped);
  s.tick(2);
  EXPECT_EQ(s.sent(), "LM|RX");
  // Ten digits kept; leading, then trailing zeros removed.
  EXPECT_EQ(s.st.frequency_text.str() + s.at(300, 150).text + s.st.bank_table[4].str(), "145.145.145.");
  EXPECT_EQ(std::tuple(s.st.found_count, s.st.meter_state), std::tuple(1, MeterState::idle));
  // While the signal lasts nothing more is said or sent.
  s.forget();
  s.poll(signal);
  s.poll(signal);
  EXPECT_EQ(s.spoken() + s.sent(), "LM|LM");
  s.poll(squelch_closed);
  EXPECT_EQ(std::tuple(s.at(270, 320).text, s.at(270, 320).colour, s.st.search_state),
            std::tuple("Search Mode Active", colour_green, SearchState::searching));
}

TEST(Search, ContModeResumesAfterFiveCyclesAndTheReadBackGivesUpAfterTenRequests) {
  Searching s;
  s.replies["RX"] = "VS RF0145512500 ST012500 AU0 MD1 AT0\r\n";
  s.poll(signal);
  EXPECT_EQ(s.spoken(), "");  // no "stop" in CONT mode
  s.tick(2);
  EXPECT_EQ(s.st.frequency_text, "145.5125");
  s.forget();
  for (int cycle = 0; cycle < 5; ++cycle) s.poll(signal);
  EXPECT_EQ(s.sent(), "LM|LM|LM|LM|LM|<RS>|<RS>");
  EXPECT_EQ(s.st.search_state, SearchState::stopped);
  // The countdown runs on, and the closed squelch is still seen.
  s.poll(squelch_closed);
  EXPECT_EQ(std::tuple(s.at(270, 320).text, s.st.search_state, s.st.search_resume_count),
            std::tuple("Search Mode Active", SearchState::searching, 4));

  Searching t(SearchStopMode::stop);
  t.replies["RX"] = "VS RF01455\r\n";  // too few digits after "RF"
  t.poll(signal);
  t.take_commands();
  t.settle();
  EXPECT_EQ(t.sent(), "RX|RX|RX|RX|RX|RX|RX|RX|RX|RX");
  EXPECT_EQ(std::tuple(t.st.search_state, t.st.frequency_text.str(), t.st.found_count),
            std::tuple(SearchState::stopped, "145.0", 0));
  t.type("H");  // keys are served again
  EXPECT_EQ(t.spoken(), "stop help");
}

TEST(Search, ToggleSwitchesStopAndContinueAndRedrawsTheLine) {
  Panel p;
  p.type("S118\nE137.5\nI25\n");
  p.forget();
  p.type("CC");
  EXPECT_EQ(p.spoken() + p.sent(), "stmode cont");
  EXPECT_EQ(p.at(80, 250).text + "|" + p.at(300, 250).text + "|" + p.at(500, 250).text + "|" + p.at(750, 250).text,
            "118          |25         |CONT|137.5        ");
  EXPECT_TRUE(std::all_of(p.display.draws.begin(), p.display.draws.end(),
                          [](const auto& draw) { return draw.colour == colour_black; }));
}

}  // namespace
}  // namespace talvaro
