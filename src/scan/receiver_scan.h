#pragma once
// The receiver's own memory scan: start, pass a channel, and leaving a scan.

namespace talvaro {

struct Context;

void start_receiver_scan(Context& cx);
void pass_channel(Context& cx);
// Leaves any running scan and gives passed channels back to the receiver.
void exit_scan(Context& cx);

}  // namespace talvaro
