#include "link/protocol.h"
#include "core/context.h"
namespace talvaro {
// PLACEHOLDER: replaced by the link implementation.
void send_command(Context&) {}
void receive_reply(Context&) {}
void log_reply(Context&) {}
void send_byte_30(Context&) {}
void write_debug_line(Context&, std::string_view) {}
}  // namespace talvaro
