#pragma once
// The main event handler: what the event source delivers enters the panel here.

namespace talvaro {

struct Context;

// Close request, key down (queued for the dispatcher), key up, timer tick
// (one step of the poll cycle).
void handle_event(Context& cx, int event_code, int event_param);

}  // namespace talvaro
