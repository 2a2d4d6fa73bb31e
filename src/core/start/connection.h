#pragma once
// Connection start: initial values, the restore of the last state, the serial
// port, and bringing the receiver to that state.

namespace talvaro {

struct Context;

void connection_start(Context& cx);

}  // namespace talvaro
