#pragma once
// The receiver's command protocol: framing and sending commands, collecting
// and trimming replies at their tags, the debug log and the connection check.

#include <string_view>

namespace talvaro {

struct Context;

// Sends command_text followed by CR and logs "TX= " + command. Leaves
// command_text = sent text + CR. An empty command_text sends nothing.
void send_command(Context& cx);
// Reads what has arrived (never waits) and keeps in reply_text the part that
// starts at the first known tag, "" when there is none.
void receive_reply(Context& cx);
// Logs "RX= " + reply_text and, on the first reply of the run, marks the
// receiver connected and plays "connected".
void log_reply(Context& cx);
// Writes the single byte 30 to the port: no CR, no log line.
void send_byte_30(Context& cx);
// Writes one line to the debug log when the log is on.
void write_debug_line(Context& cx, std::string_view line);

}  // namespace talvaro
