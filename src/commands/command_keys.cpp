#include "commands/command_keys.h"
#include "core/context.h"
namespace talvaro {
// PLACEHOLDER: replaced by the command-key table.
bool run_early_command_key(Context&) { return false; }
void run_command_key(Context&) {}
}  // namespace talvaro
