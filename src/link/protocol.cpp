#include "link/protocol.h"

#include <string>

#include "core/context.h"
#include "link/receiver.h"
#include "link/serial.h"
#include "voice/voice.h"

namespace talvaro {

namespace {

// Most bytes taken by one read: what reply_text can hold, so nothing read is
// silently dropped; the rest waits in the port for the next read.
constexpr int max_read = static_cast<int>(Text::capacity);

}  // namespace

TrimmedReply trim_reply(std::string_view received, bool after_listing) {
  TrimmedReply trimmed;
  for (const receiver::ReplyTag& row : receiver::reply_tags) {
    if (row.keep == 0) {
      if (after_listing) trimmed.listing_logged = true;
      continue;
    }
    const int at = position(received, row.tag);
    if (at == 0) continue;
    trimmed.kept = mid(received, at, row.keep);
    return trimmed;
  }
  return trimmed;
}

int level_from_reply(std::string_view reply) {
  const std::string digits = mid(reply, 4, 3);
  if (digits.find('-') != std::string::npos) return 0;
  return round_to_int(numeric_value(digits));
}

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

  const TrimmedReply trimmed = trim_reply(received, left(st.command_text, 2) == receiver::command::bank_list);
  if (trimmed.listing_logged) log_reply(cx);
  st.reply_text = trimmed.kept;
  if (!trimmed.kept.empty()) log_reply(cx);
}

void log_reply(Context& cx) {
  State& st = cx.st;
  st.log_line = cat("RX= ", st.reply_text);
  write_debug_line(cx, st.log_line);
  if (st.status_text == "Connecting") {
    st.connection_state = ConnectionState::answered;
    play_clip(cx, st.wave_path, clip::connected);
    st.status_text = ">";
  }
}

void send_byte_30(Context& cx) { write_port(cx, cx.st.com_port, std::string(1, '\x1e'), 1); }

}  // namespace talvaro
