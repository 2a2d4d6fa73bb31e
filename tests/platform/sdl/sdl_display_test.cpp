// The panel window on SDL's stand-in video driver: what each print leaves on
// the drawing surface and on the window.
#include "platform/sdl/sdl_display.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <string_view>

namespace talvaro {
namespace {

constexpr int white = 0xFFFFFF;
constexpr int background = 0xF0F0F0;
constexpr int black = 0;
constexpr int red = 255;
constexpr int green = 65280;
constexpr int blue = 16711680;

int red_of(int rgb) { return (rgb >> 16) & 0xFF; }
int green_of(int rgb) { return (rgb >> 8) & 0xFF; }
int blue_of(int rgb) { return rgb & 0xFF; }
bool dark(int rgb) { return rgb >= 0 && red_of(rgb) < 0x80 && green_of(rgb) < 0x80 && blue_of(rgb) < 0x80; }

const FontSpec ariel_30{"Ariel", 30, 700};
const FontSpec ariel_50{"Ariel", 50, 700};

class SdlDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(display.open_window({"panel", 250, 100, 950, 500})); }

  int draw(int x, int y, std::string_view text, const FontSpec& font = ariel_30, int rgb = black) {
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
      for (int column = x; column < x + w; ++column)
        if (test(display.pixel(column, row))) ++found;
    return found;
  }

  SdlDisplay display;
};

TEST_F(SdlDisplayTest, OpensOnBackgroundAndDrawsNothingForEmptyText) {
  EXPECT_EQ(draw(10, 10, ""), 0);
  EXPECT_EQ(count(0, 0, 950, 500, [](int p) { return p != background; }), 0);
  EXPECT_EQ(display.pixel(950, 0), -1);
  EXPECT_EQ(display.pixel(0, 500), -1);
  EXPECT_NE(display.window_id(), 0U);
}

TEST_F(SdlDisplayTest, TextFillsItsCellsWhiteBehindDarkGlyphs) {
  const int w = draw(100, 100, "Hi there");
  const int h = cell_height(100, 100);
  ASSERT_GT(w, 0);
  EXPECT_GE(h, display.pixel_height(30));
  EXPECT_LT(h, 2 * display.pixel_height(30));

  // The cells are paper up to their edges (the glyphs keep clear of them);
  // nothing around them is drawn.
  const auto paper = [](int p) { return p == white; };
  EXPECT_EQ(count(100, 100, w, 1, paper), w);
  EXPECT_EQ(count(100, 100 + h - 1, w, 1, paper), w);
  EXPECT_EQ(count(100, 100, 1, h, paper), h);
  EXPECT_EQ(count(100 + w - 1, 100, 1, h, paper), h);
  EXPECT_EQ(count(99, 100, 1, h, [](int p) { return p != background; }), 0);
  EXPECT_EQ(count(100 + w, 100, 1, h, [](int p) { return p != background; }), 0);
  EXPECT_EQ(count(100, 100 + h, w, 1, [](int p) { return p != background; }), 0);
  // Mostly paper, with dark strokes.
  const int strokes = count(100, 100, w, h, dark);
  EXPECT_GT(strokes, 50);
  EXPECT_GT(count(100, 100, w, h, [](int p) { return p == white; }), strokes);
}

TEST_F(SdlDisplayTest, TrailingSpacesCoverALongerText) {
  const int longer = draw(380, 80, "WFM      ", ariel_50);
  const int shorter = draw(380, 80, "FM      ", ariel_50);
  ASSERT_GT(longer, shorter);
  // The same print on a clean part of the surface, for comparison.
  ASSERT_EQ(draw(380, 300, "FM      ", ariel_50), shorter);
  const int h = cell_height(380, 300);
  ASSERT_GT(h, 0);

  for (int row = 0; row < h; ++row)
    for (int column = 380; column < 380 + shorter; ++column)
      ASSERT_EQ(display.pixel(column, 80 + row), display.pixel(column, 300 + row)) << column << "," << row;
  // What is left of the longer text is its blank cells only.
  EXPECT_EQ(count(380 + shorter, 80, longer - shorter, h, [](int p) { return p != white; }), 0);
}

TEST_F(SdlDisplayTest, WithoutTrailingSpacesTheLongerTextsTailStaysVisible) {
  const int longer = draw(380, 80, "WFM      ", ariel_50);
  const int shorter = draw(380, 80, "FM", ariel_50);
  ASSERT_GT(longer, shorter);
  const int h = cell_height(380, 80);
  EXPECT_GT(count(380 + shorter, 80, longer - shorter, h, dark), 0);
}

TEST_F(SdlDisplayTest, ColoursAreBlueGreenRedFromTheHighByteDown) {
  struct Case {
    int colour;
    int full;  // the pixel of a solid stroke, 0xRRGGBB
  };
  const Case cases[] = {{blue, 0x0000FF}, {green, 0x00FF00}, {red, 0xFF0000}};
  int y = 0;
  for (const Case& c : cases) {
    const int w = draw(300, y, "145.5000", ariel_50, c.colour);
    const int h = cell_height(300, y);
    EXPECT_GT(count(300, y, w, h, [&c](int p) { return p == c.full; }), 20) << c.colour;
    // Edges blend the ink into white, so the full channel never drops.
    EXPECT_EQ(count(300, y, w, h, [&c](int p) { return (p & c.full) != c.full; }), 0) << c.colour;
    y += h + 10;
  }
}

TEST_F(SdlDisplayTest, AnyFaceNameDrawsInTheFaceFontconfigPicks) {
  int y = 0;
  for (const char* face : {"Ariel", "ARIEL", "Aerial", "No Such Face Anywhere", ""}) {
    const int w = draw(0, y, "Scan 145.5", {face, 30, 700});
    EXPECT_GT(w, 0) << face;
    EXPECT_GT(count(0, y, w, 40, dark), 50) << face;
    y += 60;
  }
}

TEST_F(SdlDisplayTest, BoldDrawsHeavierStrokesThanRegular) {
  const int bold_width = draw(0, 0, "Heavy", {"Ariel", 30, 700});
  const int regular_width = draw(0, 100, "Heavy", {"Ariel", 30, 400});
  EXPECT_GT(count(0, 0, bold_width, 60, dark), count(0, 100, regular_width, 60, dark) * 5 / 4);
}

TEST_F(SdlDisplayTest, FontSizeFollowsPointsOnTheScreen) {
  // The stand-in driver reports no screen density, so 96 dpi is taken.
  EXPECT_EQ(display.pixel_height(10), 13);
  EXPECT_EQ(display.pixel_height(30), 40);
  EXPECT_EQ(display.pixel_height(50), 67);
  EXPECT_EQ(display.pixel_height(70), 93);

  draw(0, 0, "88", {"Ariel", 30, 700});
  draw(200, 0, "88", {"Ariel", 70, 700});
  const int small = cell_height(0, 0);
  const int large = cell_height(200, 0);
  EXPECT_GT(large * 10, small * 21);
  EXPECT_LT(large * 10, small * 26);
}

TEST_F(SdlDisplayTest, DefaultFontIsSmallerThanThePanelFonts) {
  const int w = draw(270, 0, "*** Talvaro V 4.1b ***", FontSpec{});
  ASSERT_GT(w, 0);
  const int h = cell_height(270, 0);
  EXPECT_GE(h, 14);
  draw(270, 100, "*** Talvaro V 4.1b ***", ariel_30);
  EXPECT_LT(h, cell_height(270, 100));
}

TEST_F(SdlDisplayTest, PrintIsOnTheWindowAtOnceAndARepaintRestoresIt) {
  SDL_Window* window = SDL_GetWindowFromID(display.window_id());
  ASSERT_NE(window, nullptr);
  SDL_Surface* screen = SDL_GetWindowSurface(window);
  ASSERT_NE(screen, nullptr);
  const auto screen_pixel = [screen](int x, int y) {
    Uint32 value = 0;
    const auto* row = static_cast<const Uint8*>(screen->pixels) + y * screen->pitch;
    std::memcpy(&value, row + x * screen->format->BytesPerPixel, screen->format->BytesPerPixel);
    Uint8 r = 0, g = 0, b = 0;
    SDL_GetRGB(value, screen->format, &r, &g, &b);
    return (r << 16) | (g << 8) | b;
  };
  const auto same_as_surface = [&] {
    for (int y = 0; y < 500; y += 3)
      for (int x = 0; x < 950; x += 3)
        if (screen_pixel(x, y) != display.pixel(x, y)) return false;
    return true;
  };

  const int w = draw(300, 150, "145.5000", ariel_50, blue);
  EXPECT_TRUE(same_as_surface());
  EXPECT_GT(count(300, 150, w, 60, [](int p) { return p == 0x0000FF; }), 0);

  SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 255, 0, 0));
  display.repaint();
  EXPECT_TRUE(same_as_surface());
}

TEST_F(SdlDisplayTest, TextReachingPastTheEdgesIsClipped) {
  EXPECT_GT(draw(900, 480, "a long line running off the window"), 100);
  EXPECT_NE(display.pixel(949, 499), background);
  EXPECT_GT(draw(-30, -20, "corner"), 0);
  EXPECT_NE(display.pixel(0, 0), background);
  // Far away: nothing drawn, but the width is still told.
  EXPECT_GT(draw(INT_MAX - 10, 0, "far"), 0);
  EXPECT_GT(draw(INT_MIN, INT_MIN, "far"), 0);
  EXPECT_GT(draw(0, 0, std::string(254, 'W'), {"Ariel", 70, 700}), 950);
}

TEST(SdlDisplayWithoutWindow, DrawsNothing) {
  SdlDisplay display;
  EXPECT_EQ(display.draw_text(0, 0, "text", ariel_30, black), 0);
  EXPECT_EQ(display.pixel(0, 0), -1);
  EXPECT_EQ(display.window_id(), 0U);
  display.repaint();

  ASSERT_TRUE(display.open_window({"panel", 0, 0, 200, 100}));
  display.close_window();
  EXPECT_EQ(display.draw_text(0, 0, "text", ariel_30, black), 0);
  EXPECT_EQ(display.pixel(0, 0), -1);
  EXPECT_FALSE(display.open_window({"panel", 0, 0, 0, 100}));
}

}  // namespace
}  // namespace talvaro
