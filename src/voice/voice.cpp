#include "voice/voice.h"
#include "core/context.h"
namespace talvaro {
// PLACEHOLDER: replaced by the voice implementation.
void play_clip(Context&, std::string_view, std::string_view, bool) {}
void say(Context&, std::string_view) {}
void short_pause(Context&) {}
void speak_frequency(Context&) {}
void speak_mode(Context&) {}
void speak_signal_report(Context&) {}
void speak_count(Context&, int) {}
}  // namespace talvaro
