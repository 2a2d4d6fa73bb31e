#pragma once
// Start-up, the event loop and shutdown.

#include <string>

#include "core/platform.h"

namespace talvaro {

struct Context;

inline constexpr std::string_view window_caption = "*** AR8600 Talvaro Front Panel v4.1b***";

// Runs the whole program on the given platform; returns the exit code.
int run_talvaro(Platform& platform);
// The start-up steps up to and including connection start (before the timer).
// false when the configuration is missing (the program then ends).
bool start_up(Context& cx);
// Runs the event loop until running is 0.
void run_event_loop(Context& cx);
// The shutdown order: timer, log, "EX", port, state record.
void shut_down(Context& cx, bool write_state_record);
// "dd-MM-yyyy" and "hh:mm:ss" of the local time.
std::string date_text(const LocalTime& t);
std::string time_text(const LocalTime& t);

}  // namespace talvaro
