#include "commands/dispatch.h"
#include "core/context.h"
namespace talvaro {
// PLACEHOLDER: replaced by the dispatcher implementation.
void dispatch_key(Context&) {}
}  // namespace talvaro
