#include "core/text.h"

#include <algorithm>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <limits>

namespace talvaro {

std::string cat(std::initializer_list<std::string_view> parts) {
  std::size_t total = 0;
  for (auto part : parts) total += part.size();
  std::string joined;
  joined.reserve(total);
  for (auto part : parts) joined.append(part);
  return joined;
}

std::string left(std::string_view text, long long n) {
  if (n <= 0) return {};
  return std::string(
      text.substr(0, static_cast<std::size_t>(std::min<long long>(n, static_cast<long long>(text.size())))));
}

std::string mid(std::string_view text, long long start, long long n) {
  if (start < 1) start = 1;
  const auto size = static_cast<long long>(text.size());
  if (start > size) return {};
  const long long available = size - start + 1;
  const long long count = (n < 0 || n > available) ? available : n;
  return std::string(text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count)));
}

std::string right(std::string_view text, long long n) {
  if (n <= 0) return {};
  const auto size = static_cast<long long>(text.size());
  if (n >= size) return std::string(text);
  return std::string(text.substr(static_cast<std::size_t>(size - n)));
}

int position(std::string_view text, std::string_view tag) {
  const auto found = text.find(tag);
  if (found == std::string_view::npos) return 0;
  return static_cast<int>(found) + 1;
}

double numeric_value(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && text[i] == '-') {
    negative = true;
    ++i;
  }
  std::string digits;
  bool any_digit = false;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    digits.push_back(text[i++]);
    any_digit = true;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    std::string fraction;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      fraction.push_back(text[i++]);
      any_digit = true;
    }
    if (!fraction.empty()) {
      if (digits.empty()) digits = "0";
      digits += '.';
      digits += fraction;
    }
  }
  if (!any_digit) return 0.0;
  double value = 0.0;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    value = std::numeric_limits<double>::max();
  }
  return negative ? -value : value;
}

std::string character(int code) { return std::string(1, static_cast<char>(static_cast<unsigned char>(code))); }

int length(std::string_view text) { return static_cast<int>(text.size()); }

std::string space_text(long long n) {
  if (n <= 0) return {};
  return std::string(static_cast<std::size_t>(n), ' ');
}

namespace {
double nearest_even(double value) {
  // nearbyint honours the current rounding mode, which is round-to-nearest-even
  // unless someone changed it; make sure nobody did.
  const int saved = std::fegetround();
  if (saved != FE_TONEAREST) std::fesetround(FE_TONEAREST);
  const double rounded = std::nearbyint(value);
  if (saved != FE_TONEAREST) std::fesetround(saved);
  return rounded;
}

template <typename Int>
Int saturate(double value) {
  if (std::isnan(value)) return 0;
  constexpr auto low = static_cast<double>(std::numeric_limits<Int>::min());
  // The largest Int is not exactly representable as a double for 64 bits, so
  // compare against the power of two just above it.
  constexpr double high = -low;
  if (value < low) return std::numeric_limits<Int>::min();
  if (value >= high) return std::numeric_limits<Int>::max();
  return static_cast<Int>(value);
}
}  // namespace

std::int32_t round_to_int(double value) { return saturate<std::int32_t>(nearest_even(value)); }

std::int64_t round_to_int64(double value) { return saturate<std::int64_t>(nearest_even(value)); }

std::int64_t truncate_to_int64(double value) { return saturate<std::int64_t>(std::trunc(value)); }

std::string decimal(long long value) { return std::to_string(value); }

}  // namespace talvaro
