#pragma once
// The receiver's command protocol: framing and sending commands, collecting
// and trimming replies at their tags, the debug log and the connection check.

#include <string>
#include <string_view>

namespace talvaro {

struct Context;

// A reply as received, trimmed at the first known tag.
struct TrimmedReply {
  // The whole reply is logged first: it answers a listing command and holds
  // none of the tags looked for before the listing's place in the tag order.
  bool listing_logged = false;
  // From the first tag on, as many characters as that tag keeps; "" when the
  // reply holds no tag.
  std::string kept;
};
TrimmedReply trim_reply(std::string_view received, bool after_listing);
// The level digits of an "LM" or "LC" reply: characters 4 to 6, taken
// literally. A minus sign among them counts as level 0.
int level_from_reply(std::string_view reply);

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
