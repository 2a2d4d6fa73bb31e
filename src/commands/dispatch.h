#pragma once
// The dispatcher: takes one queue entry and carries it out.

namespace talvaro {

struct Context;

void dispatch_key(Context& cx);

}  // namespace talvaro
