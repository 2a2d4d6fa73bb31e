#pragma once
// The command keys, as a table: one row per key, in the order rows are tried.

namespace talvaro {

struct Context;

// W and R, examined before Enter. Returns true when the dispatch ends there.
bool run_early_command_key(Context& cx);
// Every other key that is not Enter.
void run_command_key(Context& cx);

}  // namespace talvaro
