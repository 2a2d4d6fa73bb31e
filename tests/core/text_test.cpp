#include "core/text.h"

#include <gtest/gtest.h>

#include <limits>

namespace talvaro {
namespace {

TEST(Text, AssignmentKeepsAtMost254Characters) {
  Text t = std::string(300, 'x');
  EXPECT_EQ(t.size(), 254u);
  t = "short";
  t += std::string(400, 'y');
  EXPECT_EQ(t.size(), 254u);
  EXPECT_EQ(left(t, 5), "short");
  // Joining is not limited; only the assignment truncates.
  const std::string joined = cat(std::string(200, 'a'), std::string(200, 'b'));
  EXPECT_EQ(joined.size(), 400u);
  t = joined;
  EXPECT_EQ(right(t, 1), "b");
  EXPECT_EQ(t.size(), 254u);
}

TEST(Text, PartsCountFromOneAndClampAtTheEnds) {
  EXPECT_EQ(mid("RF0145500000", 3, 4), "0145");
  EXPECT_EQ(mid("RF0145500000", 0, 2), "RF");
  EXPECT_EQ(mid("RF0145500000", 11), "00");
  EXPECT_EQ(mid("abc", 2, 99), "bc");
  EXPECT_EQ(left("abc", -1), "");
  EXPECT_EQ(left("abc", 9), "abc");
  EXPECT_EQ(right("abc", 2), "bc");
  EXPECT_EQ(position("xxLM%000", "LM"), 3);
  EXPECT_EQ(character(30), std::string(1, '\x1e'));
  EXPECT_EQ(space_text(-3), "");
}

TEST(Text, NumericValueReadsOnlyALeadingDecimalNumber) {
  EXPECT_DOUBLE_EQ(numeric_value("12.5kHz"), 12.5);
  EXPECT_DOUBLE_EQ(numeric_value(" -3"), -3.0);
  EXPECT_DOUBLE_EQ(numeric_value("kHz"), 0.0);
  EXPECT_DOUBLE_EQ(numeric_value(".5"), 0.5);
  EXPECT_DOUBLE_EQ(numeric_value("-.5"), -0.5);
  EXPECT_DOUBLE_EQ(numeric_value("+5"), 0.0);
  EXPECT_DOUBLE_EQ(numeric_value("1e3"), 1.0);
  EXPECT_DOUBLE_EQ(numeric_value("0x1A"), 0.0);
  EXPECT_DOUBLE_EQ(numeric_value("\n5"), 0.0);
  // Far too many digits saturate instead of overflowing.
  EXPECT_EQ(numeric_value(std::string(400, '9')), std::numeric_limits<double>::max());
}

TEST(Text, RoundingGoesToTheEvenNeighbourAndSaturates) {
  EXPECT_EQ(round_to_int(2.5), 2);
  EXPECT_EQ(round_to_int(3.5), 4);
  EXPECT_EQ(round_to_int(-2.5), -2);
  EXPECT_EQ(round_to_int(1e20), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(round_to_int(-1e20), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(round_to_int(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(round_to_int64(1e30), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(truncate_to_int64(145.99), 145);
  EXPECT_EQ(truncate_to_int64(-0.5), 0);
}

}  // namespace
}  // namespace talvaro
