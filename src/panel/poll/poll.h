#pragma once
// The poll cycle: one step of the meter state machine per timer tick.

namespace talvaro {

struct Context;

// Advances the poll cycle by one step (the handling of a timer tick).
void poll_tick(Context& cx);

}  // namespace talvaro
