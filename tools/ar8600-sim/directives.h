#pragma once
// The simulator's settings language: one directive per line, used by the
// scenario file, the command line and the control channel alike.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clock.h"
#include "receiver.h"

namespace ar8600sim {

// Faults of the line, for testing how the other end copes.
struct Faults {
  bool silence = false;             // replies are dropped
  Millis late{0};                   // every reply this much later
  bool bytewise = false;            // every byte a write of its own
  Millis byte_gap{2};               // ... this far apart
  bool garbage = false;             // random bytes mixed into the replies
  std::optional<Millis> hangup_at;  // the line is hung up from then on
};

struct LineSettings {
  long baud = 0;  // paces the output at 11 bit times a byte; 0 = unpaced
  Millis latency{10};
  Faults faults;
  std::uint32_t seed = 1;  // for the garbage
};

// Carries out one line; `now` is the simulator's time. Returns what is wrong
// with the line, or "" when it was carried out. Blank lines and comments
// (from # outside quotes) are fine.
std::string apply_directive(std::string_view line, Receiver& receiver, LineSettings& settings, Millis now);

// Carries out a whole scenario; one "line N: problem" for every line refused.
std::vector<std::string> apply_scenario(std::string_view text, Receiver& receiver, LineSettings& settings);

struct Word {
  std::string text;
  bool quoted = false;
};

// Splits a line into words; a word in double quotes keeps its spaces.
// Nothing from a # outside quotes on. Nothing at all for an unclosed quote.
std::optional<std::vector<Word>> split_words(std::string_view line);

// The directives, for the help text.
extern const char* const kDirectiveHelp;

}  // namespace ar8600sim
