#pragma once
// The serial port layer: ports addressed by number 1 to 256. A number outside
// that range, or a port that is not open, makes every operation do nothing and
// return 0.

#include <string>
#include <string_view>

#include "core/port_table.h"

namespace talvaro {

struct Context;

// 1 = opened, 0 = failed. Opens for exclusive use at baud with 8 data bits,
// one stop bit and no parity.
int open_port(Context& cx, int port, int baud);
// 0 = set, 1 = refused by the driver. A port that is not open returns 0, as
// the layer's rule above says.
int set_line_format(Context& cx, int port, int data_bits, int parity, int stop_bits);
// Always 0. multiplier -1: reads never wait.
int set_read_timeouts(Context& cx, int port, int multiplier);
// Received bytes not yet read; clears line errors.
int bytes_waiting(Context& cx, int port);
// Reads up to max_count bytes into buffer (replacing its contents); returns the count.
int read_port(Context& cx, int port, std::string& buffer, int max_count);
int write_port(Context& cx, int port, std::string_view bytes, int count);
// Always 0. Closing a closed port is harmless.
int close_port(Context& cx, int port);

}  // namespace talvaro
