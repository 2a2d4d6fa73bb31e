#include "commands/dispatch.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "banks/bank_file.h"
#include "banks/bank_ops.h"
#include "banks/transfer.h"
#include "commands/command_keys.h"
#include "commands/keys.h"
#include "core/context.h"
#include "link/protocol.h"
#include "link/receiver.h"
#include "link/serial.h"
#include "panel/display.h"
#include "scan/receiver_scan.h"
#include "scan/search.h"
#include "tuning/frequency.h"
#include "voice/voice.h"

namespace talvaro {

namespace {

constexpr int key_q = 'Q';
constexpr int key_x = 'X';
// A raw command reply is read into reply_text, which holds 254 characters.
constexpr int raw_reply_limit = 254;

bool is_digit_key(int key) { return key == key::point || (key >= '0' && key <= '9'); }
bool all_digits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Takes the first queue entry into last_key.
void take_queue_entry(State& st) {
  st.last_key = st.key_queue[0];
  std::copy(st.key_queue.begin() + 1, st.key_queue.end(), st.key_queue.begin());
  st.key_queue.back() = 0;
  --st.key_queue_length;
}

std::string key_echo(int key) {
  if (key == key::enter) return "C/R";
  if (key == key::space) return "SPC";
  return character(key);
}

void reset_entry(State& st) {
  st.entry_mode = EntryMode::none;
  st.limit_entry_fresh = 0;
}

// ------------------------------------------------------------ raw commands

// Sends the typed text as it is and shows what comes back, unprocessed.
void run_raw_command(Context& cx) {
  State& st = cx.st;
  st.entry_mode = EntryMode::none;
  if (st.bank_number_text.empty()) return;
  st.command_text = st.bank_number_text;
  send_command(cx);
  st.log_line = cat("TX=", st.bank_number_text, " RX=");
  short_pause(cx);
  std::string received;
  read_port(cx, st.com_port, received, raw_reply_limit);
  st.reply_text = received;
  st.log_line += st.reply_text;
  place(cx, layout::origin);
  set_font(cx, layout::log_line);
  set_colour(cx, colour_black);
  print_text(cx, {st.log_line, space_text(22)});
}

// ------------------------------------------------------------ the write command's letter step

// Loads the bank the write command names; true when it has entries to write.
// A missing bank has said "bnf".
bool load_bank_to_write(Context& cx) {
  State& st = cx.st;
  st.bank_file_name = cat("bank", st.bank_number_text, ".dat");
  return load_bank(cx) && bank_has_entries(cx);
}

// After W and two digits, the receiver bank letter: the receiver bank is
// cleared at once, ready for the write that Enter starts, but only when that
// write can happen: a bank that does not load or has no entries leaves the
// receiver's bank as it is.
void take_receiver_bank_letter(Context& cx) {
  State& st = cx.st;
  const char letter = static_cast<char>(st.last_key);
  if (st.bank_number_text.size() != 2 || !all_digits(st.bank_number_text) || !receiver::is_bank_letter(letter) ||
      !load_bank_to_write(cx)) {
    say(cx, clip::inv);
    st.entry_mode = EntryMode::none;
    return;
  }
  st.bank_number_text += std::string_view(&letter, 1);
  say(cx, clip::named(std::string_view(&letter, 1)));
  st.command_text = cat(receiver::command::bank_quick, std::string_view(&letter, 1), "%%");
  send_command(cx);
}

// ------------------------------------------------------------ Enter

void clear_lower_panel(Context& cx) {
  set_font(cx, layout::blanking);
  for (const layout::BlankRow& row : layout::lower_panel) {
    move_to(cx, row.at);
    print_text(cx, {space_text(row.blanks)});
  }
}

// Enter ends a running search: its finds are saved and counted aloud.
void end_search(Context& cx) {
  State& st = cx.st;
  if (st.search_state > SearchState::off) {
    // Finds are saved only into the search bank, never over a bank that has
    // been loaded since the search started.
    if (table_holds_search_bank(cx)) save_bank(cx);
    speak_count(cx, st.found_count);
    st.receiver_scan_state = ReceiverScanState::off;
    st.bank_scan_state = BankScanState::off;
  }
  st.search_state = SearchState::off;
}

// Enter on a search limit or the step: with nothing typed, say the value;
// otherwise show the new settings.
void finish_setting(Context& cx, const Text& field) {
  State& st = cx.st;
  if (st.limit_entry_fresh == 1) {
    st.argument_text = field;
    speak_frequency(cx);
  } else {
    show_search_settings(cx);
    say(cx, clip::ok);
  }
  reset_entry(st);
}

void finish_low_limit(Context& cx) { finish_setting(cx, cx.st.search_low_text); }
void finish_high_limit(Context& cx) { finish_setting(cx, cx.st.search_high_text); }
void finish_step(Context& cx) {
  send_step(cx);
  finish_setting(cx, cx.st.step_text);
}

// The bank commands that take a bank number of two digits (or two pairs).
void run_bank_command(Context& cx, void (*operation)(Context&)) {
  State& st = cx.st;
  const std::size_t length = st.bank_number_text.size();
  if ((length != 2 && length != 4) || !all_digits(st.bank_number_text)) {
    say(cx, clip::inv);
    reset_entry(st);
    return;
  }
  operation(cx);
  reset_entry(st);
}

void finish_transfer(Context& cx) { run_bank_command(cx, copy_bank); }
void finish_put(Context& cx) { run_bank_command(cx, put_memory); }
void finish_sort(Context& cx) { run_bank_command(cx, sort_bank); }
void finish_select(Context& cx) { run_bank_command(cx, select_bank); }

// start_receiver_scan checks its argument itself: no letter (the current
// bank) or one receiver bank letter, else "inv" and the scan stays pending.
void finish_receiver_bank_scan(Context& cx) { start_receiver_scan(cx); }

void finish_write(Context& cx) {
  State& st = cx.st;
  if (st.bank_number_text.size() == 3) {
    write_bank_to_receiver(cx);
  } else {
    say(cx, clip::inv);
  }
  st.entry_mode = EntryMode::none;
}

// delete_bank_file takes exactly two digits, else plays "inv".
void finish_delete_file(Context& cx) {
  delete_bank_file(cx);
  cx.st.entry_mode = EntryMode::none;
}

void finish_kill(Context& cx) {
  // delete_entry confirms with "ok" itself.
  delete_entry(cx);
  cx.st.entry_mode = EntryMode::none;
}

// Enter (or Q) with no pending command: tune the typed frequency, or leave
// the running scan.
void finish_frequency(Context& cx) {
  State& st = cx.st;
  st.search_resume_count = 0;
  st.frequency_entry_fresh = 1;
  if (st.receiver_scan_state < ReceiverScanState::started && st.bank_scan_state < BankScanState::started) {
    commit_frequency(cx);
    short_pause(cx);
    send_step(cx);
    say(cx, st.quit_requested == 1 ? clip::quit : clip::ok);
    return;
  }
  exit_scan(cx);
}

// What Enter carries out for each pending command.
struct PendingCommand {
  EntryMode entry_mode;
  void (*finish)(Context&);
};

constexpr std::array<PendingCommand, 12> pending_commands{{
    {EntryMode::none, finish_frequency},
    {EntryMode::low_limit, finish_low_limit},
    {EntryMode::high_limit, finish_high_limit},
    {EntryMode::step, finish_step},
    {EntryMode::transfer, finish_transfer},
    {EntryMode::put, finish_put},
    {EntryMode::sort, finish_sort},
    {EntryMode::select, finish_select},
    {EntryMode::receiver_scan, finish_receiver_bank_scan},
    {EntryMode::write, finish_write},
    {EntryMode::delete_file, finish_delete_file},
    {EntryMode::kill, finish_kill},
}};

void run_pending_command(Context& cx) {
  for (const PendingCommand& pending : pending_commands) {
    if (pending.entry_mode == cx.st.entry_mode) {
      pending.finish(cx);
      return;
    }
  }
}

}  // namespace

void dispatch_key(Context& cx) {
  State& st = cx.st;
  if (st.key_queue_length <= 0) return;
  st.space_pressed = 0;
  take_queue_entry(st);

  // The receive marker that follows every key: collect the answer to
  // whatever the key sent.
  if (st.last_key == 0) {
    receive_reply(cx);
    return;
  }

  place(cx, layout::entry_echo);
  if (st.last_key == key::full_stop) st.last_key = key::point;
  const int key = st.last_key;

  st.log_line = cat("**", key_echo(key));
  if (key == key::space) {
    send_byte_30(cx);
    st.space_pressed = 1;
  }
  write_debug_line(cx, st.log_line);

  if (st.connection_state == ConnectionState::unanswered) {
    // The receiver has never answered: give up.
    say(cx, clip::rnc);
    st.connection_state = ConnectionState::none;
    st.running = 0;
    return;
  }

  if (key == key_x && st.entry_mode != EntryMode::raw_command && st.debug_enabled == 1) {
    say(cx, clip::test);
    st.bank_number_text = "";
    st.entry_mode = EntryMode::raw_command;
    return;
  }
  if (st.entry_mode == EntryMode::raw_command) {
    if (key == key::enter) {
      run_raw_command(cx);
    } else {
      st.bank_number_text += character(key);
    }
    return;
  }

  if (key == key_q) {
    st.quit_requested = 1;
    st.running = 0;
  } else {
    if (is_digit_key(key)) {
      enter_digit(cx, key);
      return;
    }
    if (st.entry_mode == EntryMode::write && key != key::enter) {
      take_receiver_bank_letter(cx);
      return;
    }
    if (run_early_command_key(cx)) return;
    if (key != key::enter) {
      run_command_key(cx);
      return;
    }
    clear_lower_panel(cx);
    end_search(cx);
  }
  run_pending_command(cx);
}

}  // namespace talvaro
