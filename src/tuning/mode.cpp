#include "tuning/mode.h"

#include <array>

#include "core/context.h"
#include "link/protocol.h"
#include "link/receiver.h"
#include "panel/display.h"
#include "voice/voice.h"

namespace talvaro {

namespace {

// The command of a mode text, from the receiver's mode codes.
constexpr std::string_view code_of(std::string_view mode_text) { return receiver::mode_command(mode_text).value(); }

// In function-key order.
constexpr std::array<ModeRow, 7> mode_rows = {{
    {ModeMember::fm, 112, "FM", clip::fm, code_of("FM")},
    {ModeMember::am, 113, "AM", clip::am, code_of("AM")},
    {ModeMember::lsb, 114, "LSB", clip::lsb, code_of("LSB")},
    {ModeMember::usb, 115, "USB", clip::usb, code_of("USB")},
    {ModeMember::wfm, 116, "WFM", clip::wfm, code_of("WFM")},
    {ModeMember::cw, 117, receiver::cw_key_text, clip::cw, code_of(receiver::cw_key_text)},
    {ModeMember::automatic, 118, receiver::automatic.name, clip::auto_, receiver::automatic.command},
}};

// The order in which apply_mode compares mode_text with the mode texts.
constexpr std::array<ModeMember, 7> apply_order = {
    ModeMember::fm,  ModeMember::am, ModeMember::wfm,       ModeMember::lsb,
    ModeMember::usb, ModeMember::cw, ModeMember::automatic,
};

const ModeRow& row_of(ModeMember member) {
  for (const ModeRow& row : mode_rows) {
    if (row.member == member) return row;
  }
  return mode_rows.front();  // every member has a row; not reached
}

// The clip of each switch, indexed by its new state; the command is the
// switch's command followed by that state.
constexpr std::array<ClipName, 2> attenuator_clips = {clip::attoff, clip::atton};
constexpr std::array<ClipName, 2> noise_limiter_clips = {clip::off, clip::on};

}  // namespace

std::span<const ModeRow> mode_table() { return mode_rows; }

std::optional<ModeRow> mode_row_for_text(std::string_view mode_text) {
  for (const ModeRow& row : mode_rows) {
    if (row.mode_text == mode_text) return row;
  }
  return std::nullopt;
}

void select_mode(Context& cx, ModeMember member) {
  const ModeRow& row = row_of(member);
  cx.st.mode_text = row.mode_text;
  say(cx, row.clip);
  cx.st.command_text = row.command;
  send_command(cx);
  if (member == ModeMember::cw) set_font(cx, layout::after_mode);
}

void draw_mode_line(Context& cx) {
  place(cx, layout::mode);
  print_text(cx, {cx.st.mode_text, "      ", "\r\n"});
  // Later prints without a font of their own use this one.
  set_font(cx, layout::after_mode);
}

void apply_mode(Context& cx) {
  draw_mode_line(cx);
  // A text that is none of the modes (such as "CW" without its blank) is only
  // shown; the receiver keeps its mode.
  for (ModeMember member : apply_order) {
    if (cx.st.mode_text == row_of(member).mode_text) select_mode(cx, member);
  }
}

void toggle_attenuator(Context& cx) {
  State& st = cx.st;
  st.attenuator_on = st.attenuator_on == 0 ? 1 : 0;
  st.command_text = cat(receiver::command::attenuator, decimal(st.attenuator_on));
  say(cx, attenuator_clips[static_cast<std::size_t>(st.attenuator_on)]);
  send_command(cx);
}

void toggle_noise_limiter(Context& cx) {
  State& st = cx.st;
  say(cx, clip::noise);
  st.noise_limiter_on = st.noise_limiter_on == 1 ? 0 : 1;
  st.command_text = cat(receiver::command::noise_limiter, decimal(st.noise_limiter_on));
  say(cx, noise_limiter_clips[static_cast<std::size_t>(st.noise_limiter_on)]);
  send_command(cx);
}

}  // namespace talvaro
