#include "link/serial.h"
#include "core/context.h"
namespace talvaro {
// PLACEHOLDER: replaced by the link implementation.
int open_port(Context&, int, int) { return 0; }
int set_line_format(Context&, int, int, int, int) { return 1; }
int set_read_timeouts(Context&, int, int) { return 0; }
int bytes_waiting(Context&, int) { return 0; }
int read_port(Context&, int, std::string&, int) { return 0; }
int write_port(Context&, int, std::string_view, int) { return 0; }
int close_port(Context&, int) { return 0; }
}  // namespace talvaro
