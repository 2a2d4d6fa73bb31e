#include "panel/display.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace talvaro {
namespace {

using testing::Bench;

TEST(PanelText, TextStatePersistsAndPrintsContinueWhereTheLastEnded) {
  Bench bench;
  Context& cx = *bench.cx;
  // The initial font is the surface's default, the colour black, at (0, 0).
  print_text(cx, {"abc"});
  ASSERT_EQ(bench.display.draws.size(), 1u);
  EXPECT_EQ(bench.display.draws[0].font.points, 0);
  EXPECT_EQ(bench.display.draws[0].colour, colour_black);
  EXPECT_EQ(bench.display.draws[0].x, 0);

  move_to(cx, 380, 80);
  set_font(cx, "Ariel", 50, 700);
  set_colour(cx, colour_blue);
  print_text(cx, {"FM", space_text(6), "\r\n"});
  print_text(cx, {"x"});  // the fake draws 10 pixels per character
  ASSERT_EQ(bench.display.draws.size(), 3u);
  EXPECT_EQ(bench.display.draws[1].text, "FM      ");
  EXPECT_EQ(bench.display.draws[1].font, (FontSpec{"Ariel", 50, 700}));
  EXPECT_EQ(bench.display.draws[1].colour, colour_blue);
  EXPECT_EQ(bench.display.draws[2].x, 380 + 80);
  EXPECT_EQ(bench.display.draws[2].y, 80);
}

TEST(PanelText, OnlyOneTrailingLineEndIsDroppedAndEmptyPrintsDrawNothing) {
  Bench bench;
  Context& cx = *bench.cx;
  move_to(cx, 5, 5);
  print_text(cx, {"\r\n"});
  print_text(cx, {""});
  print_text(cx, {"\n"});
  EXPECT_TRUE(bench.display.draws.empty());
  EXPECT_EQ(cx.text_state.x, 5);
  print_text(cx, {"a\r\n\r\n"});
  print_text(cx, {"b\r"});
  print_text(cx, {"Found ", 12});  // integers print in decimal with one space
  ASSERT_EQ(bench.display.draws.size(), 3u);
  EXPECT_EQ(bench.display.draws[0].text, "a\r\n");
  EXPECT_EQ(bench.display.draws[1].text, "b\r");
  EXPECT_EQ(bench.display.draws[2].text, "Found 12 ");
}

}  // namespace
}  // namespace talvaro
