#pragma once
// Texts and the text operations every part of the panel shares.
//
// A Text keeps at most 254 single-byte characters: every assignment keeps the
// first 254 characters of a longer value. Intermediate results (joins, parts)
// are plain std::string and are not limited; only storing them truncates.
// Positions count from 1, as the panel's operations are written.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace talvaro {

class Text {
 public:
  static constexpr std::size_t capacity = 254;

  Text() = default;
  Text(std::string_view value) : value_(value.substr(0, capacity)) {}  // NOLINT: implicit by design
  Text(const char* value) : Text(std::string_view(value)) {}           // NOLINT
  Text(const std::string& value) : Text(std::string_view(value)) {}    // NOLINT

  Text& operator=(std::string_view value) {
    value_.assign(value.substr(0, capacity));
    return *this;
  }
  Text& operator=(const char* value) { return *this = std::string_view(value); }
  Text& operator=(const std::string& value) { return *this = std::string_view(value); }

  // Appends and keeps the capacity.
  Text& operator+=(std::string_view more) {
    value_.append(more.substr(0, capacity - std::min(capacity, value_.size())));
    return *this;
  }

  const std::string& str() const { return value_; }
  operator std::string_view() const { return value_; }  // NOLINT: implicit by design
  std::size_t size() const { return value_.size(); }
  bool empty() const { return value_.empty(); }
  char operator[](std::size_t i) const { return value_[i]; }

  friend bool operator==(const Text& a, const Text& b) { return a.value_ == b.value_; }
  friend bool operator==(const Text& a, std::string_view b) { return a.value_ == b; }
  friend bool operator==(const Text& a, const char* b) { return a.value_ == std::string_view(b); }
  friend bool operator==(const Text& a, const std::string& b) { return a.value_ == b; }

 private:
  std::string value_;
};

// Joins texts one after the other (not limited: assign to a Text to truncate).
std::string cat(std::initializer_list<std::string_view> parts);
template <typename... Parts>
std::string cat(const Parts&... parts) {
  return cat({std::string_view(parts)...});
}

// The first n characters; n below 0 counts as 0; n beyond the length gives all.
std::string left(std::string_view text, long long n);
// n characters from position start (1-based). start below 1 counts as 1; start
// beyond the end gives ""; n of -1, or n running past the end, gives the rest.
std::string mid(std::string_view text, long long start, long long n = -1);
// The last n characters.
std::string right(std::string_view text, long long n);
// 1-based position of the first occurrence of tag, 0 when it does not occur.
int position(std::string_view text, std::string_view tag);
// The decimal number at the start of the text after spaces and tabs: an
// optional "-", digits, an optional "." and fraction digits. 0 when no digit
// follows. Huge values saturate at the largest double instead of overflowing.
double numeric_value(std::string_view text);
// The one-character text of a byte value.
std::string character(int code);
int length(std::string_view text);
// A run of n spaces (n below 0 counts as 0).
std::string space_text(long long n);

// Rounds to the nearest whole number, an exact half going to the even
// neighbour (2.5 -> 2, 3.5 -> 4). Saturates at the 32-bit range; NaN gives 0.
std::int32_t round_to_int(double value);
// The same for 64-bit results.
std::int64_t round_to_int64(double value);
// Truncates toward zero, saturating at the 64-bit range; NaN gives 0.
std::int64_t truncate_to_int64(double value);
// Decimal text of an integer, digits only (with "-" when negative).
std::string decimal(long long value);

}  // namespace talvaro
