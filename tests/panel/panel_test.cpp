// What the panel draws: the text state and the level meter.

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "panel/display.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

TEST(PanelText, TheTextStatePersistsAndPrintsContinueWhereTheLastEnded) {
  testing::Bench bench;
  Context& cx = *bench.cx;
  const auto& draws = bench.display.draws;
  print_text(cx, {"abc"});
  move_to(cx, 380, 80);
  set_font(cx, "Ariel", 50, 700);
  set_colour(cx, colour_blue);
  // Only one trailing line end is dropped; empty prints draw nothing.
  for (const std::string text : {"\r\n", "", "\n", "FM\r\n\r\n", "b\r"}) print_text(cx, {text});
  print_text(cx, {"Found ", 12});  // integers print in decimal with one space
  std::vector<std::tuple<int, int, std::string, int, int>> got;
  for (const auto& d : draws) got.emplace_back(d.x, d.y, d.text, d.font.points, d.colour);
  // At first the surface's font, black, at (0, 0); the fake draws 10 pixels a character.
  EXPECT_EQ(got, (decltype(got){{0, 0, "abc", 0, colour_black},
                                {380, 80, "FM\r\n", 50, colour_blue},
                                {420, 80, "b\r", 50, colour_blue},
                                {440, 80, "Found 12 ", 50, colour_blue}}));
}

TEST(PollLevel, TheMeterFollowsTheLevel) {
  const std::string tail = ">" + std::string(17, ' ');
  struct Case {
    const char* reply;
    std::string bar;
    int level;
  };
  for (const Case& c :
       {Case{"LM%099\r\n", ">" + std::string(26, ' '), 0}, Case{"LM 000\r\n", "0" + tail, 0},
        Case{"LM 023\r\n", "1" + tail, 1}, Case{"LM 108\r\n", "********9" + tail, 9},
        Case{"LM 120\r\n", "*********9+" + tail, 10}, Case{"LM 240\r\n", std::string(18, '*') + "9++++" + tail, 20},
        Case{"LM -50\r\n", "0" + tail, 0},  // a minus sign counts as level 0
        Case{"LC050 VA RF0145500000\r\n", "****5" + tail, 5},
        Case{"xxVS RF0145500000 ST012500\r\n", "*********9+" + tail, 10}}) {
    testing::Panel p;
    p.st.signal_level = 120;  // a reply without a level divides this again
    p.poll(c.reply);
    const auto meter = p.at(320, 30);
    EXPECT_EQ(std::tuple(meter.text, meter.font, meter.colour, p.st.signal_level, p.st.squelch_closed),
              std::tuple(c.bar, FontSpec{"Ariel", 30, 700}, colour_green, c.level, c.reply[2] == '%' ? 1 : 0))
        << c.reply;
  }
  // No reply keeps the reading and draws nothing.
  testing::Panel p;
  p.st.squelch_closed = 1;
  p.st.signal_level = 4;
  p.poll("");
  EXPECT_EQ(std::tuple(p.at(320, 30).text, p.st.squelch_closed, p.st.signal_level, p.st.meter_state),
            std::tuple("", 1, 4, MeterState::idle));
}

}  // namespace
}  // namespace talvaro
