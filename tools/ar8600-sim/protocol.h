#pragma once
// The receiver's line protocol: splitting the received bytes into commands,
// and the number formats of its fields.

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace ar8600sim {

// Control bytes with a meaning of their own on the line.
inline constexpr unsigned char kKeyRight = 0x1C;
inline constexpr unsigned char kKeyLeft = 0x1D;
inline constexpr unsigned char kKeyUp = 0x1E;
inline constexpr unsigned char kKeyDown = 0x1F;
inline constexpr unsigned char kXon = 0x11;
inline constexpr unsigned char kXoff = 0x13;

// Longest command kept; the rest of a longer line is dropped and the line refused.
inline constexpr std::size_t kMaxCommandLength = 255;

struct ReceivedItem {
  enum class Kind { command, key, flow_off, flow_on };
  Kind kind = Kind::command;
  std::string text;        // the command without its terminator (Kind::command)
  unsigned char byte = 0;  // the control byte (the other kinds)
  bool overlong = false;   // the command was longer than kMaxCommandLength
};

// Splits the received byte stream into commands. A command ends with CR or
// LF; an empty line is ignored. The key bytes and XON/XOFF act at once,
// wherever they arrive, and are not part of any command.
class CommandSplitter {
 public:
  std::vector<ReceivedItem> feed(std::string_view bytes);

 private:
  std::string line_;
  bool overlong_ = false;
};

// Printable ASCII as it is, every other byte as <XX> in hexadecimal.
std::string visible_text(std::string_view bytes);

// A frequency: ten digits of hertz, or megahertz with a decimal point.
// Rounded to 50 Hz; nothing when malformed or outside 0.1-2040 MHz.
std::optional<std::int64_t> parse_frequency(std::string_view text);

// A step: six digits of hertz, or kilohertz with a decimal point.
// Nothing when malformed or outside 1 Hz-999.999 kHz.
std::optional<std::int32_t> parse_step(std::string_view text);

// A decimal number with at most one point, times 10^exponent, rounded half
// up to a multiple of quantum. Nothing for signs, exponents, empty text or
// values too long to hold.
std::optional<std::int64_t> parse_scaled(std::string_view text, int exponent, std::int64_t quantum);

std::string format_frequency(std::int64_t hz);  // ten digits
std::string format_step(std::int32_t hz);       // six digits
std::string format_level(int level);            // three digits, 000-255

inline constexpr std::int64_t kLowestHz = 100'000;
inline constexpr std::int64_t kHighestHz = 2'040'000'000;

// Mixes random bytes into a reply and replaces some of its bytes.
std::string garble(std::string_view bytes, std::mt19937& random);

}  // namespace ar8600sim
