#include "core/start/connection.h"

#include <array>
#include <string_view>
#include <variant>

#include "banks/bank_file.h"
#include "core/bank_view.h"
#include "core/context.h"
#include "core/start/state_record.h"
#include "link/receiver.h"
#include "link/serial.h"
#include "panel/display.h"
#include "scan/search.h"
#include "tuning/frequency.h"
#include "tuning/mode.h"
#include "voice/voice.h"

namespace talvaro {

namespace {

// A variable of the state record and the value it starts from (a text's value
// as a string_view).
template <typename T>
struct StartValue {
  using type = T;
};
template <>
struct StartValue<Text> {
  using type = std::string_view;
};
template <typename T>
struct Initial {
  T State::*variable;
  typename StartValue<T>::type value;
};
// Spelled out for compilers without deduction for aggregates.
template <typename T, typename V>
Initial(T State::*, V) -> Initial<T>;

using InitialValue =
    std::variant<Initial<int>, Initial<Text>, Initial<ConnectionState>, Initial<MeterState>, Initial<EntryMode>,
                 Initial<BankScanState>, Initial<ReceiverScanState>, Initial<SearchState>, Initial<SearchStopMode>>;

// The values every connection starts from, in the order they are set.
const std::array<InitialValue, 22> initial_values = {{
    Initial{&State::entry_mode, EntryMode::none},
    Initial{&State::connection_state, ConnectionState::unanswered},
    Initial{&State::limit_entry_fresh, 0},
    Initial{&State::frequency_entry_fresh, 1},
    Initial{&State::meter_state, MeterState::idle},
    Initial{&State::search_resume_count, 0},
    Initial{&State::key_queue_length, 0},
    Initial{&State::bank_cell_index, 0},
    Initial{&State::search_stop_mode, SearchStopMode::cont},
    Initial{&State::search_state, SearchState::off},
    Initial{&State::receiver_scan_state, ReceiverScanState::off},
    Initial{&State::bank_scan_state, BankScanState::off},
    Initial{&State::noise_limiter_on, 0},
    Initial{&State::quit_requested, 0},
    Initial{&State::scan_resume_delay, 0},
    Initial{&State::pass_list_count, 1},
    Initial{&State::scan_voice_enabled, 1},
    Initial{&State::scanned_bank_text, "X"},
    Initial{&State::status_text, "Connecting"},
    Initial{&State::frequency_text, ""},
    Initial{&State::meter_scale, "******************"},
    Initial{&State::bank_file_name, "bank00.dat"},
}};

void set_initial_values(State& st) {
  for (const InitialValue& row : initial_values) {
    std::visit([&st](const auto& initial) { st.*initial.variable = initial.value; }, row);
  }
}

// A state record: the first line begins with "***", and every value it gives
// back is printable text (anything else would go onto the serial line).
bool holds_state_record(const State& st) {
  const ConstBankView record(st.bank_table);
  if (!record.cell(state_record::title_cell).str().starts_with(state_record::title_mark)) return false;
  for (const state_record::Setting& row : state_record::settings) {
    if (!printable_ascii(record.cell(row.cell))) return false;
  }
  return true;
}

// The state record written at the last shutdown, when bank00.dat holds one:
// its values come back once, and the file becomes an empty search bank.
void restore_or_default(Context& cx) {
  State& st = cx.st;
  if (!holds_state_record(st)) {
    for (const state_record::Setting& row : state_record::settings) st.*row.variable = row.default_value;
    return;
  }
  const BankView record(st.bank_table);
  for (const state_record::Setting& row : state_record::settings) st.*row.variable = record.cell(row.cell);
  record.cell(state_record::title_cell) = "Srchbank";
  record.cell(state_record::restored_end_cell) = end_marker;
  record.cell(state_record::restored_end_cell + 1) = state_record::after_end;
  save_bank(cx);
}

// A baud rate outside the integer range cannot be handed to the port.
bool representable(double value) { return value >= -2147483648.5 && value < 2147483647.5; }

void open_receiver_port(Context& cx) {
  State& st = cx.st;
  st.com_port = round_to_int(numeric_value(right(st.config_port_text, 1)));
  const double baud = numeric_value(st.config_baud_text);
  st.com_baud = round_to_int(baud);
  st.com_data_bits = receiver::line_format.data_bits;
  st.com_parity = receiver::line_format.parity;
  st.com_stop_bits = receiver::line_format.stop_bits;

  close_port(cx, st.com_port);
  if (representable(baud)) open_port(cx, st.com_port, st.com_baud);
  set_read_timeouts(cx, st.com_port, -1);
  set_line_format(cx, st.com_port, st.com_data_bits, st.com_parity, st.com_stop_bits);
}

}  // namespace

void connection_start(Context& cx) {
  State& st = cx.st;
  move_to(cx, layout::origin.at);
  set_font(cx, layout::large);

  set_initial_values(st);
  remove_leftover_saves();
  st.bank_file_name = "bank00.dat";
  load_bank(cx);  // "bnf" when missing; the table then stays as it was
  restore_or_default(cx);
  show_search_settings(cx);

  open_receiver_port(cx);

  st.argument_text = st.frequency_text;
  tune_vfo_a(cx);
  speak_frequency(cx);
  short_pause(cx);
  apply_mode(cx);
  short_pause(cx);
  send_step(cx);
  // The receiver always starts with the attenuator off.
  st.attenuator_on = 1;
  toggle_attenuator(cx);

  place(cx, layout::mode);
  print_text(cx, {st.mode_text, "      "});
}

}  // namespace talvaro
