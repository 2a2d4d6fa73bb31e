#include "panel/poll/poll.h"

#include <array>
#include <cctype>
#include <string>
#include <string_view>

#include "banks/bank_file.h"
#include "banks/bank_ops.h"
#include "commands/dispatch.h"
#include "core/bank_view.h"
#include "core/context.h"
#include "link/protocol.h"
#include "link/receiver.h"
#include "panel/display.h"
#include "scan/search.h"
#include "tuning/frequency.h"
#include "voice/voice.h"

namespace talvaro {

namespace {

// "RX" sent this often without a usable frequency in the answer ends the
// read-back, so a receiver that never answers cannot lock the keyboard out.
constexpr int readback_attempt_limit = 10;
// Cycles a stopped CONT search waits before it is resumed.
constexpr int search_resume_cycles = 5;
// Cycles a receiver scan is not reported as scanning again after a stop.
constexpr int scan_resume_cycles = 7;

constexpr std::string_view scanning_banner = "      *** SCANNING ***  ";
constexpr std::string_view stopped_banner = "      *** STOPPED ***  ";

void use_banner_font(Context& cx) { set_font(cx, layout::normal); }

// Positions, font and colour of the scan status line, ready for a print.
void prepare_status_line(Context& cx) { place(cx, layout::status); }

void show_status_banner(Context& cx, std::string_view banner) {
  prepare_status_line(cx);
  print_text(cx, {banner});
}

// ------------------------------------------------------------ level display

std::string level_bar(const State& st) {
  const int level = st.signal_level;
  std::string bar = left(st.meter_scale, level - 1);
  bar += level < 10 ? decimal(level) : std::string("9");
  for (int above : {9, 10, 11, 12}) {
    if (level > above) bar += "+";
  }
  bar += ">" + space_text(17);
  return bar;
}

void show_level(Context& cx) {
  State& st = cx.st;
  st.command_text = "";
  place(cx, layout::level_meter);
  st.squelch_closed = st.reply_text.size() >= 3 && st.reply_text[2] == '%' ? 1 : 0;
  const bool level_report = st.reply_text.str().starts_with(receiver::command::level_report);
  if (st.reply_text.str().starts_with(receiver::command::level) || level_report)
    st.signal_level = level_from_reply(st.reply_text);
  if (level_report) st.signal_level += 10;
  // Runs on every reply, so a reply with another tag divides the old value again.
  st.signal_level /= 12;
  use_banner_font(cx);
  if (st.squelch_closed == 1) {
    st.signal_level = 0;
    print_text(cx, {">" + space_text(26)});
  } else {
    st.status_text = level_bar(st);
    print_text(cx, {st.status_text});
  }
  set_colour(cx, colour_black);
}

// ------------------------------------------------------------ scan and search

// The cell of the bank entry tuned last by the bank scan: the entry tuned by
// the scan start while nothing has been stepped yet, otherwise the one before
// bank_cell_index, or the last entry when the scan has just wrapped.
int last_tuned_cell(const Context& cx) {
  const State& st = cx.st;
  if (st.bank_scan_state == BankScanState::started) return st.bank_cell_index;
  if (st.bank_cell_index > bank_cells::first_entry) return BankView::previous_entry(st.bank_cell_index);
  const int end = ConstBankView(st.bank_table).end_marker();
  return end > bank_cells::first_entry ? BankView::previous_entry(end) : bank_cells::first_entry;
}

bool valid_entry_cell(const Context& cx, int cell) { return ConstBankView(cx.st.bank_table).holds_entry(cell); }

// A: the receiver scan hears nothing.
bool receiver_scan_quiet(const State& st) {
  return st.receiver_scan_state >= ReceiverScanState::started && st.squelch_closed == 1;
}
bool report_receiver_scanning(Context& cx) {
  State& st = cx.st;
  if (st.scan_resume_delay > 0) {
    --st.scan_resume_delay;
    if (st.scan_resume_delay > 0) {
      st.meter_state = MeterState::idle;
      return true;
    }
  }
  if (st.receiver_scan_state == ReceiverScanState::stopped) st.receiver_scan_state = ReceiverScanState::started;
  show_status_banner(cx, scanning_banner);
  // Not waited for, so the level keeps being polled while it sounds.
  if (st.receiver_scan_state == ReceiverScanState::started && st.scan_voice_enabled == 1)
    play_clip(cx, st.wave_path, clip::scan, false);
  st.receiver_scan_state = ReceiverScanState::scanning;
  st.meter_state = MeterState::idle;
  return true;
}

// B: the bank scan hears nothing: tune the next entry.
bool bank_scan_quiet(const State& st) { return st.bank_scan_state >= BankScanState::started && st.squelch_closed == 1; }
bool step_bank_scan(Context& cx) {
  State& st = cx.st;
  place(cx, layout::scan_label);
  print_text(cx, {space_text(39)});
  // A table without entries (replaced since the scan started) is never tuned.
  if (!valid_entry_cell(cx, st.bank_cell_index)) st.bank_cell_index = bank_cells::first_entry;
  if (valid_entry_cell(cx, st.bank_cell_index)) {
    // An entry that cannot be tuned is skipped with "inv"; the next cycle
    // tunes the one after it.
    if (bank_entry_usable(cx, st.bank_cell_index)) {
      st.frequency_text = ConstBankView(st.bank_table).frequency(st.bank_cell_index);
      st.argument_text = st.frequency_text;
      tune_vfo_a(cx);
    } else {
      say(cx, clip::inv);
    }
    st.bank_cell_index = BankView::next_entry(st.bank_cell_index);
    if (!valid_entry_cell(cx, st.bank_cell_index)) st.bank_cell_index = bank_cells::first_entry;
  }
  if (st.bank_scan_state != BankScanState::scanning) {
    show_status_banner(cx, scanning_banner);
    if (st.scan_voice_enabled == 1) say(cx, clip::scan);
    st.bank_scan_state = BankScanState::scanning;
  }
  st.meter_state = MeterState::idle;
  return true;
}

// C: the receiver scan stopped on a signal; ask where once the hold is over.
bool receiver_scan_signal(const State& st) {
  return st.receiver_scan_state >= ReceiverScanState::started && st.squelch_closed == 0;
}
bool report_receiver_stopped(Context& cx) {
  State& st = cx.st;
  prepare_status_line(cx);
  // The first stop of a scan started from the keyboard is the channel it
  // started on, not a find.
  if (st.scan_just_started == 0) print_text(cx, {stopped_banner});
  st.receiver_scan_state = ReceiverScanState::stopped;
  st.meter_state = MeterState::hold;
  return true;
}

// D: the bank scan hears a signal: stay on this entry and show its label.
bool bank_scan_signal(const State& st) {
  return st.bank_scan_state >= BankScanState::started && st.squelch_closed == 0;
}
bool halt_bank_scan(Context& cx) {
  State& st = cx.st;
  prepare_status_line(cx);
  if (st.bank_scan_state < BankScanState::stopped) {
    print_text(cx, {stopped_banner});
    if (st.scan_voice_enabled == 1) say(cx, clip::stop);
    place(cx, layout::scan_label);
    const int entry = last_tuned_cell(cx);
    if (entry >= 0 && entry + 1 < bank_table_size) print_text(cx, {ConstBankView(st.bank_table).label(entry)});
    st.bank_scan_state = BankScanState::stopped;
  }
  st.meter_state = MeterState::idle;
  return true;
}

// E: a CONT search stopped on a signal is resumed after a few cycles.
bool cont_search_stopped(const State& st) {
  return st.search_state == SearchState::stopped && st.search_stop_mode != SearchStopMode::stop;
}
bool count_down_search_resume(Context& cx) {
  State& st = cx.st;
  if (st.search_resume_count == 0) st.search_resume_count = search_resume_cycles;
  --st.search_resume_count;
  if (st.search_resume_count != 0) return false;  // F and G are still tried
  short_pause(cx);
  send_byte_30(cx);
  short_pause(cx);
  send_byte_30(cx);
  st.meter_state = MeterState::idle;
  return true;
}

// F: the search stopped on a signal: ask the receiver where.
bool search_signal(const State& st) { return st.search_state == SearchState::searching && st.squelch_closed == 0; }
bool report_search_stopped(Context& cx) {
  State& st = cx.st;
  show_status_banner(cx, stopped_banner);
  if (st.search_stop_mode == SearchStopMode::stop) say(cx, clip::stop);
  st.search_state = SearchState::stopped;
  st.readback_attempts = 0;
  st.meter_state = MeterState::ask_frequency;
  return true;
}

// G: the signal that stopped the search is gone: it searches again.
bool search_signal_gone(const State& st) { return st.search_state == SearchState::stopped && st.squelch_closed == 1; }
bool report_search_active(Context& cx) {
  State& st = cx.st;
  place(cx, layout::status_searching);
  // In the font left by the level display of this tick.
  print_text(cx, {"Search Mode Active"});
  st.search_state = SearchState::searching;
  st.meter_state = MeterState::idle;
  return true;
}

// H: nothing to follow.
bool always(const State&) { return true; }
bool back_to_idle(Context& cx) {
  cx.st.meter_state = MeterState::idle;
  return true;
}

// The decisions after a level reading, tried in this order. The first whose
// condition holds is carried out; its action tells whether the tick ends.
struct Decision {
  bool (*applies)(const State&);
  bool (*act)(Context&);  // true: the tick ends here
};

constexpr std::array<Decision, 8> scan_decisions{{
    {receiver_scan_quiet, report_receiver_scanning},  // A
    {bank_scan_quiet, step_bank_scan},                // B
    {receiver_scan_signal, report_receiver_stopped},  // C
    {bank_scan_signal, halt_bank_scan},               // D
    {cont_search_stopped, count_down_search_resume},  // E
    {search_signal, report_search_stopped},           // F
    {search_signal_gone, report_search_active},       // G
    {always, back_to_idle},                           // H
}};

void follow_scans(Context& cx) {
  for (const Decision& decision : scan_decisions) {
    if (decision.applies(cx.st) && decision.act(cx)) return;
  }
}

// ------------------------------------------------------------ frequency read-back

// The ten frequency digits that follow the first "RF" of the reply, or ""
// when there is no "RF" or fewer than ten digits follow it.
std::string frequency_digits(const Text& reply) {
  const int at = position(reply, "RF");
  if (at == 0) return {};
  std::string digits = mid(reply, at + 2, 10);
  if (digits.size() != 10) return {};
  for (char c : digits) {
    if (std::isdigit(static_cast<unsigned char>(c)) == 0) return {};
  }
  return digits;
}

std::string strip_leading_zeros(std::string text) {
  const auto first = text.find_first_not_of('0');
  return first == std::string::npos ? std::string() : text.substr(first);
}

std::string strip_trailing_zeros(std::string text) {
  const auto last = text.find_last_not_of('0');
  return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

// MHz text of ten digits of hertz: "0145500000" -> "0145.500000".
std::string megahertz_text(std::string_view digits) { return cat(left(digits, 4), ".", mid(digits, 5)); }

void read_back_search_stop(Context& cx) {
  State& st = cx.st;
  receive_reply(cx);
  const std::string digits = frequency_digits(st.reply_text);
  if (digits.empty()) {
    // Ask again, unless the receiver has been asked often enough: the search
    // then stays stopped without a find and the keys are served again.
    if (st.readback_attempts >= readback_attempt_limit) {
      st.readback_attempts = 0;
      st.meter_state = MeterState::idle;
    } else {
      st.meter_state = MeterState::ask_frequency;
    }
    return;
  }
  st.readback_attempts = 0;
  st.argument_text = digits;
  st.frequency_text = strip_trailing_zeros(strip_leading_zeros(megahertz_text(digits)));
  show_frequency(cx);
  record_found(cx);
  st.meter_state = MeterState::idle;
}

// Uses the reply that the level reading left: the receiver's level report
// after a scan stop names the channel and frequency.
void read_back_scan_stop(Context& cx) {
  State& st = cx.st;
  if (position(st.reply_text, "RF") != 0) {
    if (st.reply_text.size() < 20) {
      // Too short to hold the frequency: resume the scan.
      send_byte_30(cx);
      st.reply_text = "";
      st.receiver_scan_state = ReceiverScanState::started;
      st.meter_state = MeterState::idle;
      return;
    }
    const std::string digits = frequency_digits(st.reply_text);
    if (!digits.empty()) {
      st.frequency_text = strip_leading_zeros(megahertz_text(digits));
      st.argument_text = st.frequency_text;
      show_frequency(cx);
      if (st.scan_voice_enabled == 1 && st.scan_resume_delay == 0 && st.scan_just_started == 0) say(cx, clip::stop);
      if (st.scan_just_started == 1) st.scan_just_started = 0;
    }
  }
  st.scan_resume_delay = scan_resume_cycles;
  st.meter_state = MeterState::idle;
}

// Until the first level poll, a receiver that has not answered has not yet
// been asked anything it must answer: a key pressed during the greeting
// waits for that poll instead of finding the receiver "never answered".
bool before_first_level_poll(const State& st) {
  return st.connection_state == ConnectionState::unanswered && st.level_polled == 0;
}

}  // namespace

void poll_tick(Context& cx) {
  State& st = cx.st;
  switch (st.meter_state) {
    case MeterState::idle:
      // Keys come first: one queue entry per tick, and no level poll while
      // any wait, except that keys wait for the first level poll of a
      // receiver that has not answered yet.
      if (st.key_queue_length != 0 && !before_first_level_poll(st)) {
        dispatch_key(cx);
      } else {
        st.meter_state = MeterState::ask_level;
      }
      break;
    case MeterState::ask_level:
      st.command_text = receiver::command::level;
      send_command(cx);
      st.meter_state = MeterState::read_level;
      break;
    case MeterState::read_level:
      receive_reply(cx);
      st.level_polled = 1;
      // Without a reply the decisions run on the previous squelch reading.
      if (!st.reply_text.empty()) show_level(cx);
      follow_scans(cx);
      break;
    case MeterState::ask_frequency:
      st.command_text = receiver::command::read_frequency;
      send_command(cx);
      ++st.readback_attempts;
      st.meter_state = MeterState::read_frequency;
      break;
    case MeterState::read_frequency:
      read_back_search_stop(cx);
      break;
    case MeterState::hold:
      st.meter_state = MeterState::read_scan_stop;
      break;
    case MeterState::read_scan_stop:
      read_back_scan_stop(cx);
      break;
    default:
      break;
  }
}

}  // namespace talvaro
