#include "commands/keys.h"
#include "core/context.h"
namespace talvaro {
// PLACEHOLDER: replaced by the key handling implementation.
void handle_event(Context& cx, int event_code, int) {
  if (event_code == event_close) cx.st.running = 0;
}
}  // namespace talvaro
