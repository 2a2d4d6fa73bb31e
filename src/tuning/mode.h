#pragma once
// Mode, attenuator and noise limiter.

#include <optional>
#include <span>
#include <string_view>

#include "voice/clip_names.h"

namespace talvaro {

struct Context;

enum class ModeMember { fm, am, lsb, usb, wfm, cw, automatic };

struct ModeRow {
  ModeMember member;
  int key;                     // function key code
  std::string_view mode_text;  // exact text kept in mode_text
  ClipName clip;
  std::string_view command;
};

// The mode table, in function-key order (F1 to F7).
std::span<const ModeRow> mode_table();
// The row whose mode text is exactly this text.
std::optional<ModeRow> mode_row_for_text(std::string_view mode_text);

void select_mode(Context& cx, ModeMember member);
// Draws the mode line (steps that the function keys share with apply_mode).
void draw_mode_line(Context& cx);
void apply_mode(Context& cx);
void toggle_attenuator(Context& cx);
void toggle_noise_limiter(Context& cx);

}  // namespace talvaro
