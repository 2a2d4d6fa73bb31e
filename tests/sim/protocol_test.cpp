// Splitting the received bytes into commands, and the number formats.

#include <gtest/gtest.h>

#include "protocol.h"

namespace ar8600sim {
namespace {

using Kind = ReceivedItem::Kind;

TEST(CommandSplitter, SplitsAtCrOrLfActsOnControlBytesAtOnceAndCutsOverlongLines) {
  CommandSplitter splitter;
  EXPECT_TRUE(splitter.feed("L").empty());
  const auto items = splitter.feed(std::string("M\r\nRX\n\r\x1E\rL\x1FM\r\x13\x11", 15));
  const std::vector<std::pair<Kind, std::string>> expected = {
      {Kind::command, "LM"}, {Kind::command, "RX"}, {Kind::key, ""},    {Kind::key, ""},
      {Kind::command, "LM"}, {Kind::flow_off, ""},  {Kind::flow_on, ""}};
  ASSERT_EQ(items.size(), expected.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].kind, expected[i].first) << i;
    if (items[i].kind == Kind::command) {
      EXPECT_EQ(items[i].text, expected[i].second) << i;
    }
  }
  EXPECT_EQ(items[2].byte, kKeyUp);
  EXPECT_EQ(items[3].byte, kKeyDown);

  const auto cut = splitter.feed(std::string(1000, 'A') + "\rLM\r");
  ASSERT_EQ(cut.size(), 2u);
  EXPECT_TRUE(cut[0].overlong);
  EXPECT_EQ(cut[0].text.size(), kMaxCommandLength);
  EXPECT_FALSE(cut[1].overlong);
  EXPECT_EQ(cut[1].text, "LM");
}

TEST(Protocol, ScaledDecimalsRoundHalfUpToTheQuantum) {
  EXPECT_EQ(parse_scaled("0145.50000", 6, 50), 145'500'000);
  EXPECT_EQ(parse_scaled(".5", 6, 1), 500'000);
  EXPECT_EQ(parse_scaled("5.", 3, 1), 5'000);
  EXPECT_EQ(parse_scaled("100.0000245", 6, 50), 100'000'000) << "rounded once, not twice";
  EXPECT_EQ(parse_scaled("100.000025", 6, 50), 100'000'050);
  for (const char* bad : {"", ".", "+5", "-5", "1e3", "0x1A", "1.2.3", " 5", "12345678901234567", "99999999999999"}) {
    EXPECT_EQ(parse_scaled(bad, 6, 1), std::nullopt) << bad;
  }
}

TEST(Protocol, FieldFormatsVisibleTextAndGarble) {
  EXPECT_EQ(format_frequency(145'500'000), "0145500000");
  EXPECT_EQ(format_level(300), "255");
  EXPECT_EQ(parse_step("012.50"), 12'500);
  EXPECT_EQ(parse_step("12500"), std::nullopt);
  EXPECT_EQ(visible_text(std::string("\x1E\x00\xFF"
                                     "a b",
                                     6)),
            "<1E><00><FF>a b");

  const std::string clean(600, 'M');
  std::mt19937 first(7);
  std::mt19937 second(7);
  const std::string garbled = garble(clean, first);
  EXPECT_NE(garbled, clean);
  EXPECT_GE(garbled.size(), clean.size());
  EXPECT_EQ(garble(clean, second), garbled) << "reproducible from the seed";
}

}  // namespace
}  // namespace ar8600sim
