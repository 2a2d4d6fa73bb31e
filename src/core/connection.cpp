#include "core/connection.h"
#include "core/context.h"
namespace talvaro {
// PLACEHOLDER: replaced by connection start.
void connection_start(Context&) {}
}  // namespace talvaro
