#include "commands/command_keys.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "banks/bank_ops.h"
#include "banks/transfer.h"
#include "commands/keys.h"
#include "core/context.h"
#include "link/receiver.h"
#include "scan/bank_scan.h"
#include "scan/receiver_scan.h"
#include "scan/search.h"
#include "tuning/frequency.h"
#include "tuning/mode.h"
#include "voice/voice.h"

namespace talvaro {

namespace {

// ------------------------------------------------------------ which keys a row is for

template <int Code>
bool is(int key) {
  return key == Code;
}
template <int First, int Second>
bool either(int key) {
  return key == First || key == Second;
}
template <int First, int Last>
bool from_to(int key) {
  return key >= First && key <= Last;
}
bool any_key(int) { return true; }

// ------------------------------------------------------------ when a row applies

bool always(const State&) { return true; }
bool receiver_scan_pending(const State& st) { return st.entry_mode == EntryMode::receiver_scan; }
bool setting_pending(const State& st) {
  return st.entry_mode >= EntryMode::low_limit && st.entry_mode <= EntryMode::step;
}
bool nothing_pending(const State& st) { return st.entry_mode == EntryMode::none; }
bool in_bank_mode(const State& st) { return st.bank_scan_state == BankScanState::bank_mode; }
// Bank mode whose table has been replaced by another load since the bank was
// selected: it must not be browsed, edited or scanned.
bool stale_bank_mode(const State& st) {
  return st.bank_scan_state == BankScanState::bank_mode && st.selected_bank_loaded == 0;
}
bool stale_bank_scan(const State& st) {
  return st.bank_scan_state >= BankScanState::bank_mode && st.selected_bank_loaded == 0;
}
bool no_bank_mode(const State& st) { return st.bank_scan_state == BankScanState::off; }
// The receiver scan is sweeping, or the bank scan is stepping: there is no
// one frequency to announce.
bool scan_sweeping(const State& st) {
  return st.receiver_scan_state == ReceiverScanState::started ||
         st.receiver_scan_state == ReceiverScanState::scanning ||
         (st.bank_scan_state >= BankScanState::started && st.squelch_closed == 1);
}
bool search_or_receiver_scan(const State& st) {
  return st.search_state > SearchState::off || st.receiver_scan_state > ReceiverScanState::off;
}
bool anything_scans(const State& st) {
  return st.search_state >= SearchState::searching || st.receiver_scan_state >= ReceiverScanState::started ||
         st.bank_scan_state >= BankScanState::bank_mode;
}
bool receiver_scan_just_started(const State& st) {
  return st.receiver_scan_state == ReceiverScanState::started && st.space_pressed == 0;
}
bool receiver_scan_on_signal(const State& st) {
  return st.receiver_scan_state >= ReceiverScanState::started && st.squelch_closed == 0;
}

// ------------------------------------------------------------ what a row does

void ignore(Context&) {}
void refuse(Context& cx) { say(cx, clip::inv); }

// A command that waits for typed characters and Enter.
void begin_pending(Context& cx, EntryMode mode, ClipName name) {
  cx.st.entry_mode = mode;
  say(cx, name);
}
// A bank command: its bank number is typed afresh.
void begin_bank_command(Context& cx, EntryMode mode, ClipName name) {
  cx.st.bank_number_text = "";
  begin_pending(cx, mode, name);
}
// A search limit or the step: the first digit typed starts the value afresh.
void begin_setting(Context& cx, EntryMode mode, ClipName name) {
  cx.st.limit_entry_fresh = 1;
  begin_pending(cx, mode, name);
}

void choose_receiver_bank(Context& cx) {
  cx.st.bank_number_text = character(cx.st.last_key);
  say(cx, clip::named(cx.st.bank_number_text));
}
void drop_receiver_scan(Context& cx) {
  say(cx, clip::inv);
  cx.st.entry_mode = EntryMode::none;
}
// What was typed stays in its field.
void drop_setting(Context& cx) { cx.st.entry_mode = EntryMode::none; }
void begin_low_limit(Context& cx) { begin_setting(cx, EntryMode::low_limit, clip::start); }
void begin_high_limit(Context& cx) { begin_setting(cx, EntryMode::high_limit, clip::end); }
void begin_step(Context& cx) { begin_setting(cx, EntryMode::step, clip::incr); }
void begin_kill(Context& cx) { begin_pending(cx, EntryMode::kill, clip::kill); }
// G keeps bank_number_text: a letter typed next replaces it.
void begin_receiver_scan(Context& cx) { begin_pending(cx, EntryMode::receiver_scan, clip::radbank); }
void begin_delete_file(Context& cx) { begin_bank_command(cx, EntryMode::delete_file, clip::delete_); }
void begin_select(Context& cx) { begin_bank_command(cx, EntryMode::select, clip::bank); }
void begin_sort(Context& cx) { begin_bank_command(cx, EntryMode::sort, clip::sort); }
void begin_put(Context& cx) { begin_bank_command(cx, EntryMode::put, clip::put); }
void begin_transfer(Context& cx) { begin_bank_command(cx, EntryMode::transfer, clip::transfer); }
void begin_write(Context& cx) {
  cx.st.entry_mode = EntryMode::write;
  cx.st.bank_number_text = "";
  say(cx, clip::write);
  say(cx, clip::fromb);
}

void begin_search(Context& cx) {
  cx.st.entry_mode = EntryMode::none;
  start_search(cx);
}
// R cannot scan a bank that is no longer loaded; like any other refused
// scan start it ends the pending entry.
void refuse_bank_scan(Context& cx) {
  cx.st.entry_mode = EntryMode::none;
  refuse(cx);
}
void begin_bank_scan(Context& cx) {
  cx.st.entry_mode = EntryMode::none;
  start_bank_scan(cx);
}

void say_scan(Context& cx) { say(cx, clip::scan); }
void announce_frequency(Context& cx) {
  cx.st.argument_text = cx.st.frequency_text;
  speak_frequency(cx);
  if (cx.st.receiver_scan_state == ReceiverScanState::off) speak_mode(cx);
}
void play_help(Context& cx) { play_clip(cx, cx.st.wave_path, clip::help, false); }

// Like the other tuning keys, browsing leaves the tuned frequency shown: the
// next digit starts a new one.
void browse_bank(Context& cx) {
  step_entry(cx, cx.st.last_key == key::up);
  cx.st.frequency_entry_fresh = 1;
}
void tune_by_kilohertz(Context& cx) { tune_by_offset(cx, cx.st.last_key == key::up ? 1000 : -1000); }
void tune_by_100_hz(Context& cx) { tune_by_offset(cx, cx.st.last_key == key::right ? 100 : -100); }
void tune_by_step(Context& cx) {
  const std::int64_t step = step_offset_hz(cx);
  tune_by_offset(cx, cx.st.last_key == key::page_up ? step : -step);
}

// Any key that reaches this point ends the bookkeeping of a receiver scan
// that has only just been started; the receiver itself is not told.
void leave_started_receiver_scan(Context& cx) {
  say(cx, clip::exitscan);
  cx.st.receiver_scan_state = ReceiverScanState::off;
}
void forget_space(Context& cx) { cx.st.space_pressed = 0; }

void toggle_scan_voice(Context& cx) {
  cx.st.scan_voice_enabled = 1 - cx.st.scan_voice_enabled;
  say(cx, clip::svoice);
  say(cx, cx.st.scan_voice_enabled == 1 ? clip::on : clip::off);
}

void select_function_key_mode(Context& cx) {
  for (const ModeRow& row : mode_table()) {
    if (row.key == cx.st.last_key) {
      select_mode(cx, row.member);
      draw_mode_line(cx);
      return;
    }
  }
}

// ------------------------------------------------------------ the tables

enum class Then { end, go_on };

// One row of a key table: the keys it is for, the state in which it applies,
// what it does, and whether the dispatch ends there. Rows are tried in order;
// the first that applies acts, and a row that goes on lets the following rows
// be tried too. A key no row takes does nothing.
struct CommandRow {
  bool (*key)(int key_code);
  bool (*when)(const State& st);
  void (*action)(Context& cx);
  Then then;
};

// W and R, examined before Enter.
constexpr std::array early_rows{
    CommandRow{is<'W'>, always, begin_write, Then::end},
    CommandRow{is<'R'>, no_bank_mode, begin_search, Then::end},
    CommandRow{is<'R'>, stale_bank_scan, refuse_bank_scan, Then::end},
    CommandRow{is<'R'>, always, begin_bank_scan, Then::go_on},
};

// Every other key that is not Enter.
constexpr std::array command_rows{
    // A receiver bank scan is pending: only a bank letter A to J is taken.
    CommandRow{from_to<receiver::first_bank, receiver::last_bank>, receiver_scan_pending, choose_receiver_bank,
               Then::end},
    CommandRow{any_key, receiver_scan_pending, drop_receiver_scan, Then::end},
    // A limit or step entry is dropped by any command key.
    CommandRow{any_key, setting_pending, drop_setting, Then::go_on},
    CommandRow{is<'Z'>, always, check_receiver_banks, Then::end},
    CommandRow{is<'S'>, always, begin_low_limit, Then::end},
    CommandRow{is<'K'>, stale_bank_mode, refuse, Then::end},
    CommandRow{is<'K'>, in_bank_mode, begin_kill, Then::end},
    CommandRow{is<'K'>, always, ignore, Then::end},
    CommandRow{is<'F'>, scan_sweeping, say_scan, Then::end},
    CommandRow{is<'F'>, always, announce_frequency, Then::end},
    CommandRow{is<'H'>, always, play_help, Then::end},
    CommandRow{either<key::up, key::down>, search_or_receiver_scan, refuse, Then::end},
    CommandRow{either<key::up, key::down>, stale_bank_mode, refuse, Then::end},
    CommandRow{either<key::up, key::down>, in_bank_mode, browse_bank, Then::end},
    CommandRow{either<key::up, key::down>, always, tune_by_kilohertz, Then::end},
    CommandRow{is<'D'>, nothing_pending, begin_delete_file, Then::end},
    CommandRow{is<'D'>, always, ignore, Then::end},
    CommandRow{is<'M'>, always, speak_signal_report, Then::end},
    // Every key that gets this far, Space excepted.
    CommandRow{any_key, receiver_scan_just_started, leave_started_receiver_scan, Then::go_on},
    CommandRow{any_key, always, forget_space, Then::go_on},
    CommandRow{is<'E'>, always, begin_high_limit, Then::end},
    CommandRow{is<'N'>, always, toggle_scan_voice, Then::end},
    CommandRow{is<'I'>, always, begin_step, Then::end},
    CommandRow{is<'G'>, always, begin_receiver_scan, Then::end},
    CommandRow{from_to<key::f1, key::f7>, always, select_function_key_mode, Then::end},
    CommandRow{is<'C'>, always, toggle_stop_mode, Then::go_on},
    CommandRow{either<key::left, key::right>, anything_scans, refuse, Then::end},
    CommandRow{either<key::left, key::right>, always, tune_by_100_hz, Then::end},
    CommandRow{either<key::page_up, key::page_down>, anything_scans, refuse, Then::end},
    CommandRow{either<key::page_up, key::page_down>, always, tune_by_step, Then::end},
    CommandRow{is<'A'>, always, toggle_attenuator, Then::end},
    CommandRow{is<'L'>, always, toggle_noise_limiter, Then::end},
    CommandRow{is<'B'>, always, begin_select, Then::end},
    CommandRow{is<'O'>, always, begin_sort, Then::end},
    CommandRow{is<'P'>, receiver_scan_on_signal, pass_channel, Then::end},
    CommandRow{is<'P'>, always, begin_put, Then::end},
    CommandRow{is<'T'>, always, begin_transfer, Then::end},
};

// True when a row ended the dispatch.
bool run_rows(Context& cx, std::span<const CommandRow> rows) {
  for (const CommandRow& row : rows) {
    if (!row.key(cx.st.last_key) || !row.when(cx.st)) continue;
    row.action(cx);
    if (row.then == Then::end) return true;
  }
  return false;
}

}  // namespace

bool run_early_command_key(Context& cx) { return run_rows(cx, early_rows); }

void run_command_key(Context& cx) { run_rows(cx, command_rows); }

}  // namespace talvaro
