#include "core/text.h"

#include <gtest/gtest.h>

#include <limits>

namespace talvaro {
namespace {

TEST(Text, AssignmentKeeps254CharactersPartsClampAndNumbersSaturate) {
  Text t = std::string(300, 'x');
  EXPECT_EQ(t.size(), 254u);
  t = "short";
  t += std::string(400, 'y');
  EXPECT_EQ(left(t, 6), "shorty");
  // Joining is not limited; only the assignment truncates.
  const std::string joined = cat(std::string(200, 'a'), std::string(200, 'b'));
  EXPECT_EQ(joined.size(), 400u);
  t = joined;
  EXPECT_EQ(right(t, 1) + std::to_string(t.size()), "b254");
  // clang-format off
  for (const auto& [got, want] : std::vector<std::pair<std::string, std::string>>{
           {mid("RF0145500000", 3, 4), "0145"}, {mid("RF0145500000", 0, 2), "RF"}, {mid("RF0145500000", 11), "00"},
           {mid("abc", 2, 99), "bc"}, {left("abc", -1), ""}, {left("abc", 9), "abc"}, {right("abc", 2), "bc"},
           {character(30), "\x1e"}, {space_text(-3), ""}, {decimal(position("xxLM%000", "LM")), "3"}})
    EXPECT_EQ(got, want);
  // Only a leading decimal number is read; far too many digits saturate.
  for (const auto& [text, value] : std::vector<std::pair<std::string, double>>{
           {"12.5kHz", 12.5}, {" -3", -3}, {"kHz", 0}, {".5", 0.5}, {"-.5", -0.5}, {"+5", 0}, {"1e3", 1},
           {"0x1A", 0}, {"\n5", 0}, {std::string(400, '9'), std::numeric_limits<double>::max()}})
    EXPECT_EQ(numeric_value(text), value) << text;
  // Rounding goes to the even neighbour and saturates.
  constexpr auto max32 = std::numeric_limits<std::int32_t>::max(), min32 = std::numeric_limits<std::int32_t>::min();
  for (const auto& [value, rounded] : std::vector<std::pair<double, std::int32_t>>{
           {2.5, 2}, {3.5, 4}, {-2.5, -2}, {1e20, max32}, {-1e20, min32}, {std::numeric_limits<double>::quiet_NaN(), 0}})
    EXPECT_EQ(round_to_int(value), rounded) << value;
  // clang-format on
  EXPECT_EQ(round_to_int64(1e30), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(truncate_to_int64(145.99), 145);
  EXPECT_EQ(truncate_to_int64(-0.5), 0);
}

}  // namespace
}  // namespace talvaro
