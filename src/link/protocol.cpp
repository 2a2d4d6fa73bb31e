#include "link/protocol.h"

#include <array>

#include "core/context.h"
#include "link/serial.h"
#include "voice/voice.h"

namespace talvaro {

namespace {

// Most bytes taken by one read: what reply_text can hold, so nothing read is
// silently dropped; the rest waits in the port for the next read.
constexpr int max_read = static_cast<int>(Text::capacity);

// The receiver's reply tags, in the order they are looked for, with the number
// of characters kept from the tag on. The row with keep 0 is not a tag: after
// an "MA" listing command the whole reply is logged, then the search goes on.
struct ReplyTag {
  std::string_view tag;
  int keep;
};
constexpr std::array<ReplyTag, 6> reply_tags{{
    {"LC", 30},
    {"MW", 13},
    {"MA", 0},
    {"MX", 60},
    {"VS", 18},
    {"LM", 6},
}};

}  // namespace

void write_debug_line(Context& cx, std::string_view line) {
  if (cx.st.debug_enabled != 1) return;
  // Each line reaches the file at once: the log is read while the panel runs,
  // and it must hold the last command even if the program is killed.
  write_line(cx.st.debug_file, line);
  flush_text_file(cx.st.debug_file);
}

void send_command(Context& cx) {
  State& st = cx.st;
  if (st.command_text.empty()) return;
  st.log_line = cat("TX= ", st.command_text);
  write_debug_line(cx, st.log_line);
  // The wire always gets the CR, even after a command of full text length.
  const std::string wire = cat(st.command_text, "\r");
  st.command_text = wire;
  write_port(cx, st.com_port, wire, static_cast<int>(wire.size()));
}

void receive_reply(Context& cx) {
  State& st = cx.st;
  st.reply_text = "";
  if (bytes_waiting(cx, st.com_port) <= 0) return;
  std::string received;
  read_port(cx, st.com_port, received, max_read);
  st.reply_text = received;

  for (const ReplyTag& row : reply_tags) {
    if (row.keep == 0) {
      // The command still holds the last command sent (with its CR).
      if (left(st.command_text, 2) == "MA") log_reply(cx);
      continue;
    }
    const int at = position(received, row.tag);
    if (at == 0) continue;
    st.reply_text = mid(received, at, row.keep);
    log_reply(cx);
    return;
  }
  st.reply_text = "";
}

void log_reply(Context& cx) {
  State& st = cx.st;
  st.log_line = cat("RX= ", st.reply_text);
  write_debug_line(cx, st.log_line);
  if (st.status_text == "Connecting") {
    st.connection_state = ConnectionState::answered;
    play_clip(cx, st.wave_path, "connected");
    st.status_text = ">";
  }
}

void send_byte_30(Context& cx) { write_port(cx, cx.st.com_port, std::string(1, '\x1e'), 1); }

}  // namespace talvaro
