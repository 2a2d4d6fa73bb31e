#pragma once
// The voice: recorded clips played by name, one at a time, and the spoken
// announcements built from them (frequencies, modes, signal reports, counts).

#include <optional>
#include <string_view>

#include "core/clip_cache.h"
#include "voice/clip_names.h"

namespace talvaro {

struct Context;

// Plays folder + name ("wave\" + "point": the file wave/point.wav, found
// without regard to case under the working folder, then the program's
// folder, then share/talvaro beside the program's folder). Any clip still
// sounding is stopped first. A missing or unplayable file is silent and
// returns at once. Each lookup, found or not, is remembered in cx.clips for
// the rest of the run.
void play_clip(Context& cx, std::string_view folder, ClipName name, bool wait = true);
// Plays a speech clip from wave_path, waiting.
void say(Context& cx, ClipName name);
// A computed name (clip::named of a typed character or a mode text): none is
// silent, though it stops any clip still sounding as a clip would.
void say(Context& cx, std::optional<ClipName> name);
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
