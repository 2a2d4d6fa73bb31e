#include "tuning/frequency.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

#include "core/context.h"
#include "link/protocol.h"
#include "link/receiver.h"
#include "panel/display.h"
#include "voice/voice.h"

namespace talvaro {

namespace {

constexpr std::int64_t hz_per_mhz = 1'000'000;
// The lowest frequency that has a text form: hz_to_frequency needs six digits.
constexpr std::int64_t lowest_tunable_hz = 100'000;

// ------------------------------------------------------------ digit routing

// Where a typed character goes, by entry_mode.
enum class DigitTarget {
  field,         // a text field, emptied first when its fresh flag is set
  bank_number,   // appended to bank_number_text
  write_number,  // the two digits of the write command, then "torb"
  echo_only,     // spoken, not stored
};

struct DigitRoute {
  EntryMode entry_mode;
  DigitTarget target;
  Text State::*field;
  int State::*fresh_flag;
};

constexpr std::array digit_routes = {
    DigitRoute{EntryMode::none, DigitTarget::field, &State::frequency_text, &State::frequency_entry_fresh},
    DigitRoute{EntryMode::low_limit, DigitTarget::field, &State::search_low_text, &State::limit_entry_fresh},
    DigitRoute{EntryMode::high_limit, DigitTarget::field, &State::search_high_text, &State::limit_entry_fresh},
    DigitRoute{EntryMode::step, DigitTarget::field, &State::step_text, &State::limit_entry_fresh},
    DigitRoute{EntryMode::transfer, DigitTarget::bank_number, nullptr, nullptr},
    DigitRoute{EntryMode::put, DigitTarget::bank_number, nullptr, nullptr},
    DigitRoute{EntryMode::sort, DigitTarget::bank_number, nullptr, nullptr},
    DigitRoute{EntryMode::select, DigitTarget::bank_number, nullptr, nullptr},
    DigitRoute{EntryMode::write, DigitTarget::write_number, nullptr, nullptr},
    DigitRoute{EntryMode::delete_file, DigitTarget::bank_number, nullptr, nullptr},
    DigitRoute{EntryMode::kill, DigitTarget::bank_number, nullptr, nullptr},
};

// The receiver bank scan, and any other mode without a row, only echoes.
constexpr DigitRoute echo_route{EntryMode::receiver_scan, DigitTarget::echo_only, nullptr, nullptr};

const DigitRoute& digit_route(EntryMode entry_mode) {
  for (const DigitRoute& row : digit_routes) {
    if (row.entry_mode == entry_mode) return row;
  }
  return echo_route;
}

// ------------------------------------------------------------ hertz

using Limits = std::numeric_limits<std::int64_t>;

std::optional<std::int64_t> checked_add(std::int64_t a, std::int64_t b) {
  if ((b > 0 && a > Limits::max() - b) || (b < 0 && a < Limits::min() - b)) return std::nullopt;
  return a + b;
}

std::int64_t saturating_add(std::int64_t a, std::int64_t b) {
  if (auto sum = checked_add(a, b)) return *sum;
  return b > 0 ? Limits::max() : Limits::min();
}

// Whole hertz of a number of megahertz, or nothing when it does not fit.
std::optional<std::int64_t> whole_hz(double mhz) {
  const double hz = mhz * static_cast<double>(hz_per_mhz);
  // 2^63: every double below it rounds to a value that fits (doubles are far
  // apart up there), and -2^63 itself fits.
  constexpr double limit = 9223372036854775808.0;
  if (!(hz >= -limit && hz < limit)) return std::nullopt;
  return round_to_int64(hz);
}

// The hertz of a frequency text in MHz, digit by digit after the point (digits
// beyond the sixth decimal add nothing), or nothing when it does not fit.
std::optional<std::int64_t> hz_of_text(std::string_view text) {
  const int point = position(text, ".");
  if (point == 0) return whole_hz(numeric_value(text));
  std::optional<std::int64_t> hz = whole_hz(numeric_value(left(text, point - 1)));
  std::int64_t weight = 100'000;
  for (char c : text.substr(static_cast<std::size_t>(point))) {
    if (!hz) return std::nullopt;
    const std::int64_t digit = (c >= '0' && c <= '9') ? c - '0' : 0;
    hz = checked_add(*hz, digit * weight);
    weight /= 10;
  }
  return hz;
}

// MHz text of whole hertz: the point before the last six digits, trailing
// zeros removed (145000000 gives "145.", 500000 gives ".5").
std::string text_of_hz(std::int64_t hz) {
  std::string sign;
  // Work on the magnitude as unsigned so that the lowest value has one.
  auto magnitude = static_cast<std::uint64_t>(hz);
  if (hz < 0) {
    sign = "-";
    magnitude = 0 - magnitude;
  }
  std::string digits = std::to_string(magnitude);
  // Below 0.1 MHz there are fewer than six digits; pad so the point still
  // stands before the sixth-last one.
  if (digits.size() < 6) digits.insert(0, 6 - digits.size(), '0');
  std::string text = cat(sign, left(digits, length(digits) - 6), ".", right(digits, 6));
  while (!text.empty() && text.back() == '0') text.pop_back();
  return text;
}

}  // namespace

// ------------------------------------------------------------ command fields

std::string vfo_command(std::string_view prefix, std::string_view frequency) {
  const std::int64_t whole_mhz = truncate_to_int64(numeric_value(frequency));
  std::string command(prefix);
  if (whole_mhz < 1000) command += "0";
  if (whole_mhz < 100) command += "0";
  if (whole_mhz < 10) command += "0";
  command += frequency;
  while (command.size() < 11) command += "0";
  command += "0";
  return command;
}

std::string step_command(std::string_view step) {
  const std::int64_t whole_khz = truncate_to_int64(numeric_value(step));
  std::string command(receiver::command::step);
  if (whole_khz < 100) command += "0";
  if (whole_khz < 10) command += "0";
  command += step;
  while (command.size() < 8) command += "0";
  return command;
}

// ------------------------------------------------------------ entry

void enter_digit(Context& cx, int key) {
  State& st = cx.st;
  const bool point = key == '.';
  if (!point && (key < '0' || key > '9')) return;
  // A running bank scan ignores typed characters altogether.
  if (st.bank_scan_state > BankScanState::bank_mode) return;

  const std::string typed = character(key);
  say(cx, point ? clip::point : clip::digits[static_cast<std::size_t>(key - '0')]);

  const DigitRoute& route = digit_route(st.entry_mode);
  switch (route.target) {
    case DigitTarget::field: {
      Text& field = st.*(route.field);
      int& fresh = st.*(route.fresh_flag);
      if (fresh == 1) {
        field = "";
        fresh = 0;
      }
      field += typed;
      break;
    }
    case DigitTarget::bank_number:
      st.bank_number_text += typed;
      break;
    case DigitTarget::write_number:
      if (st.bank_number_text.size() >= 2) {
        say(cx, clip::inv);
        st.entry_mode = EntryMode::none;
        break;
      }
      st.bank_number_text += typed;
      if (st.bank_number_text.size() == 2) say(cx, clip::torb);
      break;
    case DigitTarget::echo_only:
      break;
  }
}

void commit_frequency(Context& cx) {
  State& st = cx.st;
  if (st.entry_mode != EntryMode::none || st.frequency_text.empty()) return;
  short_pause(cx);
  st.argument_text = st.frequency_text;
  tune_vfo_a(cx);
  st.receiver_scan_state = ReceiverScanState::off;
  st.bank_scan_state = BankScanState::off;
  st.search_state = SearchState::off;
}

// ------------------------------------------------------------ VFOs and step

void tune_vfo_a(Context& cx) {
  State& st = cx.st;
  // The command is built before frequency_text gains its ".0": a typed "145"
  // goes out as VA0145000000 and is then shown and spoken as 145.0.
  st.command_text = vfo_command(receiver::command::vfo_a, st.argument_text);
  if (position(st.frequency_text, ".") == 0) st.frequency_text = cat(st.argument_text, ".0");
  send_command(cx);
  show_frequency(cx);
}

void set_vfo_b(Context& cx) {
  cx.st.command_text = vfo_command(receiver::command::vfo_b, cx.st.argument_text);
  send_command(cx);
}

void show_frequency(Context& cx) {
  State& st = cx.st;
  st.argument_text = st.frequency_text;
  set_font(cx, layout::large);
  move_to(cx, layout::frequency.at);
  // Blank the old frequency in whatever colour is current.
  print_text(cx, {space_text(20), "\r\n"});
  place(cx, layout::frequency);
  print_text(cx, {st.frequency_text, "\r\n"});
  const int shown = length(st.argument_text);
  if (shown < 8) print_text(cx, {left("0000", 8 - shown), space_text(30)});
  set_colour(cx, colour_black);
  set_font(cx, layout::normal);
  st.limit_entry_fresh = 1;
}

void send_step(Context& cx) {
  cx.st.command_text = step_command(cx.st.step_text);
  send_command(cx);
}

// ------------------------------------------------------------ hertz

std::int64_t hz_of_frequency(std::string_view text) {
  if (auto hz = hz_of_text(text)) return *hz;
  // Out of range: saturate toward the sign of the text's value.
  return numeric_value(text) < 0 ? Limits::min() : Limits::max();
}

std::string frequency_of_hz(std::int64_t hz) { return text_of_hz(hz); }

void frequency_to_hz(Context& cx) { cx.st.frequency_hz = hz_of_frequency(cx.st.argument_text); }

void hz_to_frequency(Context& cx) { cx.st.argument_text = frequency_of_hz(cx.st.frequency_hz); }

std::int64_t step_offset_hz(Context& cx) { return step_offset_hz(cx.st.step_text); }

std::int64_t step_offset_hz(std::string_view step) {
  const int point = position(step, ".");
  std::int64_t offset = 0;
  if (point == 0) {
    const std::int64_t khz = round_to_int64(numeric_value(step));
    if (khz > Limits::max() / 1000) {
      offset = Limits::max();
    } else if (khz < Limits::min() / 1000) {
      offset = Limits::min();
    } else {
      offset = khz * 1000;
    }
  } else {
    // Only the first decimal counts: 6.25 gives 6200 Hz.
    const std::int64_t whole = round_to_int64(numeric_value(left(step, point - 1)) * 1000.0);
    const std::int64_t tenths = round_to_int64(numeric_value(mid(step, point + 1, 1)) * 100.0);
    offset = saturating_add(whole, tenths);
  }
  // Keep the offset negatable: Page Down tunes by minus this value.
  return std::max(offset, -Limits::max());
}

void tune_by_offset(Context& cx, std::int64_t offset_hz) {
  State& st = cx.st;
  // Work on copies first: a refused key changes nothing at all.
  const std::optional<std::int64_t> start = hz_of_text(st.frequency_text);
  const std::optional<std::int64_t> result = start ? checked_add(*start, offset_hz) : std::nullopt;
  if (!result || *result < lowest_tunable_hz) {
    say(cx, clip::inv);
    return;
  }
  st.argument_text = st.frequency_text;
  st.frequency_hz = *result;
  hz_to_frequency(cx);
  st.frequency_text = st.argument_text;
  tune_vfo_a(cx);
  // The text now holds the tuned frequency, not typed digits: the next digit
  // starts a new frequency instead of extending this one.
  st.frequency_entry_fresh = 1;
}

}  // namespace talvaro
