// Splitting the received bytes into commands, and the number formats.

#include <gtest/gtest.h>

#include "protocol.h"

namespace ar8600sim {
namespace {

using Kind = ReceivedItem::Kind;

std::vector<std::string> commands_of(const std::vector<ReceivedItem>& items) {
  std::vector<std::string> out;
  for (const auto& item : items) {
    if (item.kind == Kind::command) out.push_back(item.text);
  }
  return out;
}

TEST(CommandSplitter, EndsCommandsAtCrOrLfAndIgnoresEmptyLines) {
  CommandSplitter splitter;
  EXPECT_TRUE(splitter.feed("L").empty());
  EXPECT_EQ(commands_of(splitter.feed("M\r")), std::vector<std::string>{"LM"});
  EXPECT_EQ(commands_of(splitter.feed("RX\r\nVA\n\r\r\nMA A\r")), (std::vector<std::string>{"RX", "VA", "MA A"}));
  EXPECT_TRUE(splitter.feed("\r\r\n\n").empty());
}

TEST(CommandSplitter, ControlBytesActAtOnceWithOrWithoutCr) {
  CommandSplitter splitter;
  const auto items =
      splitter.feed(std::string("\x1E\r"
                                "L\x1FM\r\x13\x11",
                                9));
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[0].kind, Kind::key);
  EXPECT_EQ(items[0].byte, kKeyUp);
  EXPECT_EQ(items[1].kind, Kind::key);
  EXPECT_EQ(items[1].byte, kKeyDown);
  EXPECT_EQ(items[2].kind, Kind::command);
  EXPECT_EQ(items[2].text, "LM");
  EXPECT_EQ(items[3].kind, Kind::flow_off);
  EXPECT_EQ(items[4].kind, Kind::flow_on);
}

TEST(CommandSplitter, OverlongLineIsCutAndMarked) {
  CommandSplitter splitter;
  const auto items = splitter.feed(std::string(1000, 'A') + "\rLM\r");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_TRUE(items[0].overlong);
  EXPECT_EQ(items[0].text.size(), kMaxCommandLength);
  EXPECT_FALSE(items[1].overlong);
  EXPECT_EQ(items[1].text, "LM");
}

TEST(Protocol, VisibleTextShowsControlBytes) {
  EXPECT_EQ(visible_text("LM"), "LM");
  EXPECT_EQ(visible_text(std::string("\x1E\x00\xFF"
                                     "a b",
                                     6)),
            "<1E><00><FF>a b");
}

TEST(Protocol, ScaledDecimalsRoundHalfUpToTheQuantum) {
  EXPECT_EQ(parse_scaled("145.5", 6, 50), 145'500'000);
  EXPECT_EQ(parse_scaled("0145.50000", 6, 50), 145'500'000);
  EXPECT_EQ(parse_scaled(".5", 6, 1), 500'000);
  EXPECT_EQ(parse_scaled("5.", 3, 1), 5'000);
  EXPECT_EQ(parse_scaled("100.0000245", 6, 50), 100'000'000) << "rounded once, not twice";
  EXPECT_EQ(parse_scaled("100.000025", 6, 50), 100'000'050);
  EXPECT_EQ(parse_scaled("8.33", 3, 1), 8'330);
  for (const char* bad : {"", ".", "+5", "-5", "1e3", "0x1A", "1.2.3", " 5", "12345678901234567"}) {
    EXPECT_EQ(parse_scaled(bad, 6, 50), std::nullopt) << bad;
  }
  EXPECT_EQ(parse_scaled("99999999999999", 6, 1), std::nullopt) << "too big to hold";
}

TEST(Protocol, FieldFormats) {
  EXPECT_EQ(format_frequency(145'500'000), "0145500000");
  EXPECT_EQ(format_step(12'500), "012500");
  EXPECT_EQ(format_level(49), "049");
  EXPECT_EQ(format_level(300), "255");
  EXPECT_EQ(parse_step("012500"), 12'500);
  EXPECT_EQ(parse_step("012.50"), 12'500);
  EXPECT_EQ(parse_step("12500"), std::nullopt);
}

TEST(Protocol, GarbleMixesInBytesReproducibly) {
  const std::string clean(600, 'M');
  std::mt19937 first(7);
  std::mt19937 second(7);
  const std::string garbled = garble(clean, first);
  EXPECT_NE(garbled, clean);
  EXPECT_GE(garbled.size(), clean.size());
  EXPECT_EQ(garble(clean, second), garbled);
}

}  // namespace
}  // namespace ar8600sim
