#include "tuning/frequency.h"
#include "core/context.h"
namespace talvaro {
// PLACEHOLDER: replaced by the tuning implementation.
std::string vfo_command(std::string_view, std::string_view) { return {}; }
std::string step_command(std::string_view) { return {}; }
void enter_digit(Context&, int) {}
void commit_frequency(Context&) {}
void tune_vfo_a(Context&) {}
void set_vfo_b(Context&) {}
void show_frequency(Context&) {}
void send_step(Context&) {}
void frequency_to_hz(Context&) {}
void hz_to_frequency(Context&) {}
std::int64_t step_offset_hz(Context&) { return 0; }
void tune_by_offset(Context&, std::int64_t) {}
}  // namespace talvaro
