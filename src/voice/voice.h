#pragma once
// The voice: recorded clips played by name, one at a time, and the spoken
// announcements built from them (frequencies, modes, signal reports, counts).

#include <string_view>

#include "core/clip_cache.h"

namespace talvaro {

struct Context;

// Plays folder + name ("wave\" + "point": the file wave/point.wav, found
// without regard to case under the working folder, then the program's
// folder). A name with an extension ("fm.wav") is used as it is. Any clip
// still sounding is stopped first. A missing or unplayable file, or a name
// that is not one plain file name (a folder part, "." or ".."), is silent and
// returns at once. Each lookup, found or not, is remembered in cx.clips for
// the rest of the run.
void play_clip(Context& cx, std::string_view folder, std::string_view name, bool wait = true);
// Plays a speech clip from wave_path, waiting.
void say(Context& cx, std::string_view name);
// The pause: "shdel" from pause_wave_path, waiting.
void short_pause(Context& cx);
// Speaks argument_text digit by digit ("point" for "."), normalising it in
// place (trailing zeros after a point removed, a bare final point gets "0").
void speak_frequency(Context& cx);
// Speaks mode_text by the mode table; a text matching no row is not spoken.
void speak_mode(Context& cx);
// "s", the level digit (at most 9), and "plus" above 9.
void speak_signal_report(Context& cx);
// A count below 100: the tens digit when above 9, then the units digit.
void speak_count(Context& cx, int count);

}  // namespace talvaro
