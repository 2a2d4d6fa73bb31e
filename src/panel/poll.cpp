#include "panel/poll.h"
#include "core/context.h"
namespace talvaro {
// PLACEHOLDER: replaced by the poll cycle implementation.
void poll_tick(Context&) {}
}  // namespace talvaro
