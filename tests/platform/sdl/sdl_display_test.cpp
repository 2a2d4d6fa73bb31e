// The panel window on SDL's stand-in video driver: what each print leaves on
// the drawing surface and on the window.
#include "platform/sdl/sdl_display.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <string_view>

namespace talvaro {
namespace {

constexpr int white = 0xFFFFFF;
constexpr int background = 0xF0F0F0;
bool dark(int rgb) { return rgb >= 0 && (rgb & 0x808080) == 0; }

const FontSpec ariel_30{"Ariel", 30, 700};
const FontSpec ariel_50{"Ariel", 50, 700};

class SdlDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(display.open_window({"panel", 250, 100, 950, 500})); }

  int draw(int x, int y, std::string_view text, const FontSpec& font = ariel_30, int rgb = 0) {
    return display.draw_text(x, y, text, font, rgb);
  }
  // Height of the character cells printed with their top-left corner at
  // (x, y): the run of pixels down from there that are not background.
  int cell_height(int x, int y) const {
    int h = 0;
    while (display.pixel(x, y + h) != background && display.pixel(x, y + h) != -1) ++h;
    return h;
  }
  template <class Test>
  int count(int x, int y, int w, int h, Test test) const {
    int found = 0;
    for (int row = y; row < y + h; ++row)
      for (int column = x; column < x + w; ++column) found += test(display.pixel(column, row)) ? 1 : 0;
    return found;
  }

  SdlDisplay display;
};

TEST_F(SdlDisplayTest, TextFillsItsCellsWhiteBehindDarkGlyphsAndNothingAround) {
  EXPECT_EQ(draw(10, 10, ""), 0);
  const int w = draw(100, 100, "Hi there");
  const int h = cell_height(100, 100);
  EXPECT_GE(h, display.pixel_height(30));
  // The cells are paper up to their edges (the glyphs keep clear of them).
  const auto paper = [](int p) { return p == white; };
  EXPECT_EQ(count(100, 100, w, 1, paper) + count(100, 100 + h - 1, w, 1, paper), 2 * w);
  EXPECT_EQ(count(100, 100, 1, h, paper) + count(100 + w - 1, 100, 1, h, paper), 2 * h);
  const auto drawn = [](int p) { return p != background; };
  EXPECT_EQ(count(0, 0, 950, 500, drawn), count(100, 100, w, h, drawn)) << "nothing around the cells";
  const int strokes = count(100, 100, w, h, dark);
  EXPECT_GT(strokes, 50);
  EXPECT_GT(count(100, 100, w, h, paper), strokes);
}

TEST_F(SdlDisplayTest, TrailingSpacesCoverALongerTextAndWithoutThemItsTailStays) {
  const int longer = draw(380, 80, "WFM      ", ariel_50);
  const int shorter = draw(380, 80, "FM      ", ariel_50);
  ASSERT_GT(longer, shorter);
  // The same print on a clean part of the surface, for comparison.
  ASSERT_EQ(draw(380, 300, "FM      ", ariel_50), shorter);
  const int h = cell_height(380, 300);
  for (int row = 0; row < h; ++row)
    for (int column = 380; column < 380 + shorter; ++column)
      ASSERT_EQ(display.pixel(column, 80 + row), display.pixel(column, 300 + row)) << column << "," << row;
  EXPECT_EQ(count(380 + shorter, 80, longer - shorter, h, [](int p) { return p != white; }), 0);

  draw(380, 80, "WFM      ", ariel_50);
  const int bare = draw(380, 80, "FM", ariel_50);
  EXPECT_GT(count(380 + bare, 80, longer - bare, h, dark), 0);
}

TEST_F(SdlDisplayTest, ATextHoldingANulByteIsDrawnWhole) {
  const int whole = draw(0, 0, std::string_view("145\0.5000", 9), ariel_50);
  EXPECT_GT(whole, draw(0, 200, "145", ariel_50) * 2);
  EXPECT_GT(count(whole * 2 / 3, 0, whole / 3, 60, dark), 20) << "ink after the NUL";
}

TEST_F(SdlDisplayTest, FontsFollowFaceWeightAndPoints) {
  int y = 300;
  for (const char* face : {"ARIEL", "No Such Face Anywhere", ""}) {
    const int w = draw(0, y, "Scan 145.5", {face, 30, 700});
    EXPECT_GT(count(0, y, w, 40, dark), 50) << face;
    y += 60;
  }
  const int bold = draw(0, 100, "Heavy", {"Ariel", 30, 700});
  const int regular = draw(0, 200, "Heavy", {"Ariel", 30, 400});
  EXPECT_GT(count(0, 100, bold, 60, dark), count(0, 200, regular, 60, dark) * 5 / 4);

  // The stand-in driver reports no screen density, so 96 dpi is taken.
  EXPECT_EQ(display.pixel_height(70), 93);
  draw(300, 0, "88", {"Ariel", 70, 700});
  const int large = cell_height(300, 0);
  EXPECT_GT(large * 10, cell_height(0, 100) * 21);
  EXPECT_LT(large * 10, cell_height(0, 100) * 26);
  draw(500, 0, "*** Talvaro V 4.1b ***", FontSpec{});
  EXPECT_GE(cell_height(500, 0), 14);
  EXPECT_LT(cell_height(500, 0), cell_height(0, 100)) << "the default font is smaller than the panel fonts";
}

TEST_F(SdlDisplayTest, TextReachingPastTheEdgesIsClippedButMeasured) {
  EXPECT_GT(draw(900, 480, "a long line running off the window"), 100);
  EXPECT_NE(display.pixel(949, 499), background);
  EXPECT_GT(draw(-30, -20, "corner"), 0);
  EXPECT_NE(display.pixel(0, 0), background);
  EXPECT_EQ(display.pixel(950, 0), -1);
  EXPECT_GT(draw(INT_MAX - 10, 0, "far") + draw(INT_MIN, INT_MIN, "far"), 0);
  EXPECT_GT(draw(0, 0, std::string(254, 'W'), {"Ariel", 70, 700}), 950);
}

TEST(SdlDisplayWithoutWindow, DrawsNothing) {
  SdlDisplay display;
  display.repaint();
  ASSERT_TRUE(display.open_window({"panel", 0, 0, 200, 100}));
  display.close_window();
  EXPECT_EQ(display.draw_text(0, 0, "text", ariel_30, 0), 0);
  EXPECT_EQ(display.pixel(0, 0), -1);
  EXPECT_FALSE(display.open_window({"panel", 0, 0, 0, 100}));
}

}  // namespace
}  // namespace talvaro
