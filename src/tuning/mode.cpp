#include "tuning/mode.h"
#include "core/context.h"
namespace talvaro {
// PLACEHOLDER: replaced by the mode implementation.
std::span<const ModeRow> mode_table() { return {}; }
std::optional<ModeRow> mode_row_for_text(std::string_view) { return std::nullopt; }
void select_mode(Context&, ModeMember) {}
void draw_mode_line(Context&) {}
void apply_mode(Context&) {}
void toggle_attenuator(Context&) {}
void toggle_noise_limiter(Context&) {}
}  // namespace talvaro
