#include "protocol.h"

#include <cstdio>

namespace ar8600sim {

std::vector<ReceivedItem> CommandSplitter::feed(std::string_view bytes) {
  std::vector<ReceivedItem> items;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\r' || byte == '\n') {
      if (!line_.empty() || overlong_) {
        items.push_back({ReceivedItem::Kind::command, line_, 0, overlong_});
      }
      line_.clear();
      overlong_ = false;
    } else if (byte >= kKeyRight && byte <= kKeyDown) {
      items.push_back({ReceivedItem::Kind::key, {}, byte, false});
    } else if (byte == kXoff) {
      items.push_back({ReceivedItem::Kind::flow_off, {}, byte, false});
    } else if (byte == kXon) {
      items.push_back({ReceivedItem::Kind::flow_on, {}, byte, false});
    } else if (line_.size() < kMaxCommandLength) {
      line_.push_back(c);
    } else {
      overlong_ = true;
    }
  }
  return items;
}

std::string visible_text(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      out.push_back(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<%02X>", static_cast<unsigned>(byte));
      out += hex;
    }
  }
  return out;
}

std::optional<std::int64_t> parse_scaled(std::string_view text, int exponent, std::int64_t quantum) {
  constexpr int kMaxDigits = 15;
  std::int64_t mantissa = 0;
  int digits = 0;
  int decimals = 0;
  bool point = false;
  for (const char c : text) {
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9') {
      if (digits == 0 && c == '0' && !point) continue;  // leading zeros cost nothing
      if (++digits > kMaxDigits) return std::nullopt;
      mantissa = mantissa * 10 + (c - '0');
      if (point) ++decimals;
    } else {
      return std::nullopt;
    }
  }
  const bool any_digit = text.find_first_of("0123456789") != std::string_view::npos;
  if (!any_digit || quantum <= 0) return std::nullopt;
  // value = mantissa * 10^(exponent - decimals)
  int shift = exponent - decimals;
  std::int64_t divisor = 1;
  while (shift > 0) {
    if (mantissa > INT64_MAX / 10) return std::nullopt;
    mantissa *= 10;
    --shift;
  }
  while (shift < 0) {
    if (divisor > INT64_MAX / 10 / quantum) return std::nullopt;
    divisor *= 10;
    ++shift;
  }
  const std::int64_t unit = divisor * quantum;
  return (mantissa / unit + (mantissa % unit * 2 >= unit ? 1 : 0)) * quantum;
}

std::optional<std::int64_t> parse_frequency(std::string_view text) {
  std::optional<std::int64_t> hz;
  if (text.find('.') != std::string_view::npos) {
    hz = parse_scaled(text, 6, 50);
  } else if (text.size() == 10) {
    hz = parse_scaled(text, 0, 50);
  }
  if (!hz || *hz < kLowestHz || *hz > kHighestHz) return std::nullopt;
  return hz;
}

std::optional<std::int32_t> parse_step(std::string_view text) {
  std::optional<std::int64_t> hz;
  if (text.find('.') != std::string_view::npos) {
    hz = parse_scaled(text, 3, 1);
  } else if (text.size() == 6) {
    hz = parse_scaled(text, 0, 1);
  }
  if (!hz || *hz < 1 || *hz > 999'999) return std::nullopt;
  return static_cast<std::int32_t>(*hz);
}

std::string format_frequency(std::int64_t hz) {
  char text[24];
  std::snprintf(text, sizeof text, "%010lld", static_cast<long long>(hz));
  return text;
}

std::string format_step(std::int32_t hz) {
  char text[16];
  std::snprintf(text, sizeof text, "%06d", static_cast<int>(hz));
  return text;
}

std::string format_level(int level) {
  char text[8];
  std::snprintf(text, sizeof text, "%03d", level < 0 ? 0 : (level > 255 ? 255 : level));
  return text;
}

std::string garble(std::string_view bytes, std::mt19937& random) {
  std::uniform_int_distribution<int> chance(0, 7);
  std::uniform_int_distribution<int> any_byte(0, 255);
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    if (chance(random) == 0) out.push_back(static_cast<char>(any_byte(random)));
    out.push_back(chance(random) == 0 ? static_cast<char>(any_byte(random)) : c);
  }
  if (chance(random) == 0) out.push_back(static_cast<char>(any_byte(random)));
  return out;
}

}  // namespace ar8600sim
