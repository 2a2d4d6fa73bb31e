#pragma once
// Frequency entry and the VFOs: typed digits, the "VA"/"VB" and "ST" command
// fields, the frequency display, and tuning by fixed offsets in hertz.

#include <cstdint>
#include <string>
#include <string_view>

namespace talvaro {

struct Context;

// The "VA"/"VB" command for a frequency text in MHz: prefix, whole MHz padded
// to four digits, the text, zeros to 11 characters, then one more zero.
std::string vfo_command(std::string_view prefix, std::string_view frequency);
// The "ST" command for a step text in kHz.
std::string step_command(std::string_view step);

// Key 46 (the point) or 48 to 57: echoes and appends to the field of entry_mode.
void enter_digit(Context& cx, int key);
void commit_frequency(Context& cx);
// Tunes VFO A to argument_text and shows frequency_text.
void tune_vfo_a(Context& cx);
// Sets VFO B to argument_text; shows nothing.
void set_vfo_b(Context& cx);
void show_frequency(Context& cx);
void send_step(Context& cx);
// The hertz of a frequency text in MHz, digit by digit after the point
// (digits beyond the sixth decimal add nothing); a value that does not fit
// saturates toward the text's sign.
std::int64_t hz_of_frequency(std::string_view text);
// The MHz text of whole hertz: the point before the last six digits, trailing
// zeros removed (145000000 gives "145.", 500000 gives ".5").
std::string frequency_of_hz(std::int64_t hz);
// argument_text (MHz) -> frequency_hz, and back.
void frequency_to_hz(Context& cx);
void hz_to_frequency(Context& cx);
// The Page Up / Page Down offset in hertz of a step text in kHz (only the
// first decimal counts), and the same from step_text.
std::int64_t step_offset_hz(std::string_view step);
std::int64_t step_offset_hz(Context& cx);
// Retunes by a signed offset; "inv" when the result would fall below 0.1 MHz
// or cannot be represented. After it has tuned, the next digit typed starts a
// new frequency.
void tune_by_offset(Context& cx, std::int64_t offset_hz);

}  // namespace talvaro
