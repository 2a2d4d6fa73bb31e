// Splitting the received bytes into commands (the number formats and field
// layouts are checked through the replies in receiver_test.cpp).

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

}  // namespace
}  // namespace ar8600sim
